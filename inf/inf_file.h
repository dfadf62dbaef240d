// INF and INI text held in memory as sections of lines, looked up by pattern.
// Standard C++ and C stdio only: this also builds natively for sanitizers.
#pragma once

#include <deque>
#include <string>
#include <vector>

// One section: a name (none for the preamble before the first header) and its
// lines, each a private copy without line terminator, addressed from 0.
class CInfSection {
public:
    CInfSection() = default;  // the unnamed preamble
    explicit CInfSection(const char* name) : m_name(name), m_hasName(true) {}

    bool HasName() const { return m_hasName; }
    const char* Name() const { return m_hasName ? m_name.c_str() : nullptr; }
    int LineCount() const { return static_cast<int>(m_lines.size()); }
    // The line at the index, or nullptr when there is none.
    const char* Line(int index) const;
    const std::vector<std::string>& Lines() const { return m_lines; }

    // Case-insensitive (ASCII letters only) comparison with the section's name.
    bool IsNamed(const char* name) const;
    void AppendLine(const char* text) { m_lines.emplace_back(text); }
    void Clear() { m_lines.clear(); }

private:
    std::string m_name;
    bool m_hasName = false;
    std::vector<std::string> m_lines;
};

// Every operation returns 1 for success and 0 for failure unless told
// otherwise; nothing throws. Wherever a section name is taken, nullptr means
// the preamble.
class CInfFile {
public:
    explicit CInfFile(const char* path);
    ~CInfFile();
    CInfFile(const CInfFile&) = delete;
    CInfFile& operator=(const CInfFile&) = delete;

    // Reads the file: blank lines dropped, long lines split every 1,023
    // characters, sections of one name merged at the first. 0 if it cannot be
    // opened (the model is then unchanged).
    int Load();
    // Writes the whole model, replacing the file; sections separated by one
    // empty line.
    int Save();

    // The section of that name (case-insensitively), or nullptr; the preamble for nullptr.
    CInfSection* FindSection(const char* name);
    // 0 for no name; 1 if it exists already; otherwise appends an empty section.
    int AddSection(const char* name);
    // Appends a line, creating a missing named section at the end of the file.
    int AddLine(const char* section, const char* text);
    // Removes every line; the section stays. 0 if there is no such section.
    int ClearSection(const char* name);
    // Number of lines; 0 if there is no such section.
    int GetLineCount(const char* section);
    // *length holds the buffer's size on entry. Copies the line when it fits
    // (result 1); otherwise sets *length to the line's length (0 beyond the
    // last line) and returns 0. Ask with no buffer first, then with length + 1.
    int GetLine(const char* section, int index, char* buffer, int* length);
    // Value of the first "key = value" line at or after firstIndex whose key
    // matches the pattern (case folded): unquoted, comment cut, trimmed.
    // 0 with the default copied (when it fits) if there is no usable value;
    // 0 with the buffer untouched if there is no such section.
    int GetValue(const char* section, const char* keyPattern, char* buffer, int size,
                 const char* defaultText, int firstIndex, int* foundIndex);
    // The value read as an unsigned number of automatic base ("0x" hex,
    // leading 0 octal), or the default.
    int GetInt(const char* section, const char* keyPattern, int defaultNumber, int firstIndex,
               int* foundIndex);

    // Whole-text match: '*' any run, '?' one character, '^' optional white
    // space. No escapes. 0 if either text is missing.
    static int GlobMatch(const char* text, const char* pattern, int ignoreCase);

private:
    CInfSection* AppendSection(const char* name);

    std::string m_path;
    CInfSection m_preamble;
    // A deque, so that a section found stays where it is when others are added.
    std::deque<CInfSection> m_sections;
};
