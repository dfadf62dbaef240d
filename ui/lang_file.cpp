#include "lang_file.h"

#include <cstring>

void CTextArray::Add(const char* text)
{
    m_items.emplace_back(text ? text : "");
}

const char* CTextArray::GetAt(int index) const
{
    if (index < 0 || index >= GetCount()) return nullptr;
    return m_items[static_cast<size_t>(index)].c_str();
}

namespace {
bool IsFieldSpace(char c)
{
    return c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == ' ';
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringAsciiCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (AsciiLower(*a) != AsciiLower(*b)) return false;
    return *a == *b;
}

enum class LineRead { kLine, kTooLong, kEnd };

// Reads one line without its line feed. A line longer than the format allows is
// read to its end and reported as too long, so it never splits into rows.
LineRead ReadLine(std::FILE* file, std::string& line)
{
    line.clear();
    bool tooLong = false;
    int c = std::fgetc(file);
    if (c == EOF) return LineRead::kEnd;
    for (; c != EOF && c != '\n'; c = std::fgetc(file)) {
        if (line.size() < kMaxLangLineLength)
            line.push_back(static_cast<char>(c));
        else
            tooLong = true;
    }
    return tooLong ? LineRead::kTooLong : LineRead::kLine;
}

int FindColumn(const CTextArray& header, const char* columnKey)
{
    for (int i = 0; i < header.GetCount(); ++i)
        if (std::strcmp(header.GetAt(i), columnKey) == 0) return i;
    return -1;
}

bool IsUsableTranslation(const char* value)
{
    return value && value[0] != '\0' && value[0] != ';';
}
}  // namespace

void TrimField(std::string& out, const char* field, bool stripQuotes)
{
    out.clear();
    if (!field) return;
    size_t length = std::strlen(field);
    size_t first = 0;
    while (first < length && IsFieldSpace(field[first])) ++first;
    size_t end = length;
    while (end > first && IsFieldSpace(field[end - 1])) --end;
    out.assign(field + first, end - first);
    if (stripQuotes && out.size() > 1 && out.front() == '"' && out.back() == '"') out = out.substr(1, out.size() - 2);
}

bool SplitFields(const char* line, CTextArray& fields, char separator, bool clearFirst)
{
    if (clearFirst) fields.RemoveAll();
    std::vector<std::string> raw(1);
    bool quoted = false;
    for (const char* p = line ? line : ""; *p; ++p) {
        if (!quoted && *p == separator) {
            raw.emplace_back();
            continue;
        }
        if (*p == '"') quoted = !quoted;
        if (raw.back().size() >= kMaxLangFieldLength) return false;
        raw.back().push_back(*p);
    }
    std::string trimmed;
    for (const std::string& field : raw) {
        TrimField(trimmed, field.c_str(), true);
        fields.Add(trimmed.c_str());
    }
    return true;
}

bool LanguageColumnKey(const char* languageName, unsigned codePage, std::string& key)
{
    std::string name = languageName ? languageName : "";
    if (name == "English" && codePage == 1252) return false;
    if (name.find("Chinese") != std::string::npos) name = "Chinese";
    key = name + ", " + std::to_string(static_cast<int>(codePage));
    return true;
}

bool ReadLanguageTable(std::FILE* file, const char* columnKey, CTextArray& keys, CTextArray& values)
{
    if (!file || !columnKey) return false;
    std::string line;
    CTextArray fields;
    if (ReadLine(file, line) != LineRead::kLine) return false;
    if (!SplitFields(line.c_str(), fields, '\t', true)) return false;
    int column = FindColumn(fields, columnKey);
    if (column < 0) return false;

    for (LineRead read; (read = ReadLine(file, line)) != LineRead::kEnd;) {
        if (read == LineRead::kTooLong) continue;
        if (!SplitFields(line.c_str(), fields, '\t', true)) continue;
        const char* value = fields.GetAt(column);
        if (!IsUsableTranslation(value)) continue;
        keys.Add(fields.GetAt(0));
        values.Add(value);
    }
    return true;
}

const char* FindTranslation(const CTextArray& keys, const CTextArray& values, const char* text)
{
    if (!text) return nullptr;
    for (int i = 0; i < keys.GetCount(); ++i)
        if (EqualIgnoringAsciiCase(keys.GetAt(i), text)) return values.GetAt(i);
    return nullptr;
}
