// The language file "vx.lng": a tab-separated table whose header names one
// column per language and code page ("Russian, 1251") and whose rows map the
// dialogs' English texts to their translations. Standard C++ and C stdio only.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// A growable list of owned text copies.
class CTextArray {
public:
    void Add(const char* text);
    int GetCount() const { return static_cast<int>(m_items.size()); }
    // The entry at index, or null for an index outside the list.
    const char* GetAt(int index) const;
    void RemoveAll() { m_items.clear(); }

private:
    std::vector<std::string> m_items;
};

// Limits of the format: a longer line or field makes its row unreadable.
const size_t kMaxLangLineLength = 4095;   // characters, without the line end
const size_t kMaxLangFieldLength = 511;   // raw characters between separators

// Copies field without the white space around it (tab, LF, VT, FF, CR, blank;
// bytes 128-255 never count as white space) into out; with stripQuotes, then
// also one pair of enclosing double quotes.
void TrimField(std::string& out, const char* field, bool stripQuotes);

// Appends the line's fields, split at separator and trimmed, to fields
// (emptied first when clearFirst is set). Inside double quotes the separator
// belongs to the field. Returns false, appending nothing, if a field is longer
// than kMaxLangFieldLength.
bool SplitFields(const char* line, CTextArray& fields, char separator, bool clearFirst);

// The header column to read for a system language and ANSI code page,
// "<name>, <code page>", with any name that contains "Chinese" read as
// "Chinese". False for "English" with code page 1252, whose texts need no
// translation.
bool LanguageColumnKey(const char* languageName, unsigned codePage, std::string& key);

// Reads the table from file: finds the header column equal to columnKey and
// appends, for every row that has a usable translation in it, the key to keys
// and the translation to values. A translation that is empty or begins with ';'
// is not usable; rows with an over-long line or field are skipped. Returns
// false when the file has no header line or no such column.
bool ReadLanguageTable(std::FILE* file, const char* columnKey, CTextArray& keys, CTextArray& values);

// The translation of text: the value of the first key equal to it, ignoring
// ASCII case; null when no key matches.
const char* FindTranslation(const CTextArray& keys, const CTextArray& values, const char* text);
