#include "inf_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Longest line kept from a file; a longer physical line continues as the next line.
constexpr int kMaxLineLength = 1023;
// GetInt reads its value into a buffer of this size.
constexpr int kNumberBufferSize = 32;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNameIgnoringCase(const char* a, const char* b)
{
    while (*a && FoldAscii(*a) == FoldAscii(*b)) {
        ++a;
        ++b;
    }
    return FoldAscii(*a) == FoldAscii(*b);
}

// The name of a "[name]" header line: the first ']' is looked for from the
// third character on, so the name is never empty and "[]" stays a line.
bool ParseHeader(const char* line, std::string& name)
{
    if (line[0] != '[' || line[1] == '\0') return false;
    const char* close = std::strchr(line + 2, ']');
    if (!close) return false;
    name.assign(line + 1, close);
    return true;
}

// The value part of a "key = value" line, as GetValue hands it out.
std::string ExtractValue(const std::string& line)
{
    std::string::size_type equals = line.find('=');
    if (equals == std::string::npos) return std::string();
    std::string::size_type begin = equals + 1;
    while (begin < line.size() && IsBlank(line[begin])) ++begin;
    std::string value = line.substr(begin);

    while (!value.empty() && IsBlank(value.back())) value.pop_back();

    // A ';' starts a comment unless it stands inside double quotes.
    bool quoted = false;
    for (std::string::size_type i = 0; i < value.size(); ++i) {
        if (value[i] == '"') {
            quoted = !quoted;
        } else if (value[i] == ';' && !quoted) {
            value.erase(i);
            break;
        }
    }

    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return value;
}

// Copies text and terminator when they fit into size bytes.
bool CopyIfFits(const std::string& text, char* buffer, int size)
{
    if (size <= 0 || text.size() >= static_cast<std::string::size_type>(size)) return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

bool WriteLines(std::FILE* file, const CInfSection& section)
{
    for (const std::string& line : section.Lines()) {
        if (std::fputs(line.c_str(), file) < 0 || std::fputc('\n', file) == EOF) return false;
    }
    return true;
}

}  // namespace

const char* CInfSection::Line(int index) const
{
    if (index < 0 || index >= LineCount()) return nullptr;
    return m_lines[static_cast<size_t>(index)].c_str();
}

bool CInfSection::IsNamed(const char* name) const
{
    return m_hasName && name && SameNameIgnoringCase(m_name.c_str(), name);
}

CInfFile::CInfFile(const char* path) : m_path(path ? path : "") {}

CInfFile::~CInfFile() = default;

CInfSection* CInfFile::AppendSection(const char* name)
{
    m_sections.emplace_back(name);
    return &m_sections.back();
}

int CInfFile::Load()
{
    std::FILE* file = std::fopen(m_path.c_str(), "r");
    if (!file) return 0;

    int result = 1;
    try {
        char line[kMaxLineLength + 1];
        CInfSection* current = &m_preamble;
        std::string name;
        while (std::fgets(line, sizeof(line), file)) {
            size_t length = std::strlen(line);
            if (length > 0 && line[length - 1] == '\n') line[--length] = '\0';
            if (length == 0) continue;

            if (ParseHeader(line, name)) {
                current = FindSection(name.c_str());
                if (!current) current = AppendSection(name.c_str());
            } else {
                current->AppendLine(line);
            }
        }
    } catch (const std::bad_alloc&) {
        result = 0;
    }
    std::fclose(file);
    return result;
}

int CInfFile::Save()
{
    std::FILE* file = std::fopen(m_path.c_str(), "w");
    if (!file) return 0;

    bool written = WriteLines(file, m_preamble);
    if (written && m_preamble.LineCount() > 0) written = std::fputc('\n', file) != EOF;
    for (const CInfSection& section : m_sections) {
        if (!written) break;
        written = std::fprintf(file, "[%s]\n", section.Name()) >= 0 && WriteLines(file, section) &&
                  std::fputc('\n', file) != EOF;
    }
    // A full disk shows only here; the file is then incomplete and Save fails.
    bool closed = std::fclose(file) == 0;
    return written && closed ? 1 : 0;
}

CInfSection* CInfFile::FindSection(const char* name)
{
    if (!name) return &m_preamble;
    for (CInfSection& section : m_sections) {
        if (section.IsNamed(name)) return &section;
    }
    return nullptr;
}

int CInfFile::AddSection(const char* name)
{
    if (!name || !*name) return 0;
    if (FindSection(name)) return 1;
    try {
        AppendSection(name);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

int CInfFile::AddLine(const char* section, const char* text)
{
    if (!text) return 0;
    try {
        CInfSection* target = FindSection(section);
        if (!target) {
            if (!*section) return 0;
            target = AppendSection(section);
        }
        target->AppendLine(text);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

int CInfFile::ClearSection(const char* name)
{
    CInfSection* section = FindSection(name);
    if (!section) return 0;
    section->Clear();
    return 1;
}

int CInfFile::GetLineCount(const char* section)
{
    CInfSection* found = FindSection(section);
    return found ? found->LineCount() : 0;
}

int CInfFile::GetLine(const char* section, int index, char* buffer, int* length)
{
    CInfSection* found = FindSection(section);
    if (!found || !length) return 0;
    const char* line = found->Line(index);
    if (!line) {
        *length = 0;
        return 0;
    }
    size_t lineLength = std::strlen(line);
    if (buffer && *length > 0 && lineLength < static_cast<size_t>(*length)) {
        std::memcpy(buffer, line, lineLength + 1);
        return 1;
    }
    *length = static_cast<int>(lineLength);
    return 0;
}

int CInfFile::GetValue(const char* section, const char* keyPattern, char* buffer, int size,
                       const char* defaultText, int firstIndex, int* foundIndex)
{
    if (!buffer) return 0;
    CInfSection* found = FindSection(section);
    if (!found) return 0;

    try {
        // The key must start the line; white space may surround the '='.
        std::string linePattern = std::string(keyPattern ? keyPattern : "") + "^=^*";
        for (int index = firstIndex < 0 ? 0 : firstIndex; index < found->LineCount(); ++index) {
            const char* line = found->Line(index);
            if (!GlobMatch(line, linePattern.c_str(), 1)) continue;
            if (foundIndex) *foundIndex = index;
            std::string value = ExtractValue(line);
            if (!value.empty() && size > 0 && value.size() < static_cast<std::string::size_type>(size)) {
                std::memset(buffer, 0, static_cast<size_t>(size));
                std::memcpy(buffer, value.data(), value.size());
                return 1;
            }
            break;
        }
    } catch (const std::bad_alloc&) {
        // Treated like a missing value.
    }

    if (defaultText) CopyIfFits(defaultText, buffer, size);
    return 0;
}

int CInfFile::GetInt(const char* section, const char* keyPattern, int defaultNumber, int firstIndex,
                     int* foundIndex)
{
    if (!FindSection(section)) return defaultNumber;
    char defaultText[kNumberBufferSize];
    std::snprintf(defaultText, sizeof(defaultText), "%d", defaultNumber);
    char value[kNumberBufferSize] = {0};
    GetValue(section, keyPattern, value, sizeof(value), defaultText, firstIndex, foundIndex);
    // The value wraps like a 32-bit unsigned number; that is how negative defaults come back.
    return static_cast<int>(static_cast<unsigned int>(std::strtoul(value, nullptr, 0)));
}

int CInfFile::GlobMatch(const char* text, const char* pattern, int ignoreCase)
{
    if (!text || !pattern) return 0;
    // Only the latest '*' is remembered: where it stands and where its text began.
    const char* starPattern = nullptr;
    const char* starText = nullptr;
    for (;;) {
        char p = *pattern;
        if (p == '*') {
            starPattern = pattern;
            starText = text;
            ++pattern;
        } else if (p == '?') {
            if (*text == '\0') return 0;
            ++text;
            ++pattern;
        } else if (p == '^') {
            while (IsBlank(*text)) ++text;
            ++pattern;
        } else {
            char t = *text;
            if (ignoreCase) {
                p = FoldAscii(p);
                t = FoldAscii(t);
            }
            if (p == t) {
                if (t == '\0') return 1;
                ++text;
                ++pattern;
            } else if (starPattern && *starText != '\0') {
                ++starText;
                text = starText;
                pattern = starPattern + 1;
            } else {
                return 0;
            }
        }
    }
}
