#include "platform/pending_codec.h"

#include <cstring>

namespace {
bool EqualIgnoringCase(const std::string& a, const char* b)
{
    size_t length = std::strlen(b);
    if (a.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Windows writes "\??\" before each path, and "!\??\" before the target of a
// rename that may replace an existing file. At most one prefix is dropped.
std::string WithoutObjectPrefix(std::string path)
{
    if (StartsWith(path, "\\??\\"))
        path.erase(0, 4);
    else if (StartsWith(path, "!\\??\\"))
        path.erase(0, 5);
    return path;
}

// The string at *position, up to its NUL or the end of the data; *position
// moves past the NUL (or to the end).
std::string TakeString(const unsigned char* data, size_t size, size_t* position)
{
    size_t start = *position, end = start;
    while (end < size && data[end] != 0) ++end;
    *position = end < size ? end + 1 : size;
    return std::string(reinterpret_cast<const char*>(data) + start, end - start);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Trimmed(const std::string& text)
{
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}
}  // namespace

void PendingOperationList::Add(const char* source, const char* target)
{
    if (!source || !target) return;
    m_entries.emplace_back(source, target);
}

bool PendingOperationList::RemoveAt(int index)
{
    if (index < 0 || index >= Count()) return false;
    m_entries.erase(m_entries.begin() + index);
    return true;
}

void PendingOperationList::Clear() { m_entries.clear(); }

int PendingOperationList::Count() const { return static_cast<int>(m_entries.size()); }

const char* PendingOperationList::SourceAt(int index) const
{
    return index >= 0 && index < Count() ? m_entries[static_cast<size_t>(index)].first.c_str() : nullptr;
}

const char* PendingOperationList::TargetAt(int index) const
{
    return index >= 0 && index < Count() ? m_entries[static_cast<size_t>(index)].second.c_str() : nullptr;
}

int PendingOperationList::FindFor(const char* path, int start, int* kind) const
{
    // An empty path names no file; it must not match every pending delete.
    if (!path || !*path) return -1;
    for (int index = start < 0 ? 0 : start; index < Count(); ++index) {
        const auto& entry = m_entries[static_cast<size_t>(index)];
        if (entry.second.empty() && EqualIgnoringCase(entry.first, path)) {
            if (kind) *kind = PENDING_DELETES;
            return index;
        }
        if (EqualIgnoringCase(entry.second, path)) {
            if (kind) *kind = PENDING_RENAMES;
            return index;
        }
    }
    return -1;
}

void DecodePendingRenameData(const unsigned char* data, size_t size, PendingOperationList& list)
{
    if (!data) return;
    size_t position = 0;
    // The final NUL of the list is never read as a source.
    while (size > 0 && position < size - 1) {
        std::string source = WithoutObjectPrefix(TakeString(data, size, &position));
        std::string target = WithoutObjectPrefix(TakeString(data, size, &position));
        list.Add(source.c_str(), target.c_str());
    }
}

bool ParseRenameLine(const char* line, std::string& target, std::string& source)
{
    if (!line) return false;
    size_t length = std::strlen(line);
    if (length >= kRenameLineBuffer) return false;
    const char* equals = std::strchr(line, '=');
    if (!equals) return false;
    target = Trimmed(std::string(line, static_cast<size_t>(equals - line)));
    source = Trimmed(std::string(equals + 1));
    if (EqualIgnoringCase(target, "NUL")) target.clear();
    return true;
}

std::string FormatRenameLine(const char* source, const char* target)
{
    std::string line = (target && *target) ? target : "NUL";
    line += '=';
    line += source ? source : "";
    return line;
}
