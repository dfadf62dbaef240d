// The pending file operations of the next start as a plain list, and the two
// text forms they are stored in. Standard C++ only: no Windows headers, so the
// decoding can be checked natively with sanitizers.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// What an entry means for a given path (FindFor) and which kinds to cancel.
enum PendingKinds { PENDING_RENAMES = 1, PENDING_DELETES = 2, PENDING_ALL = 3 };

// Entries of (source, target) in stored order; an empty target means that the
// source is deleted. Paths are held without any "\??\" prefix.
class PendingOperationList {
public:
    // Appends copies of both strings; a null argument adds nothing.
    void Add(const char* source, const char* target);
    // Removes the entry at the index; false for an index out of range.
    bool RemoveAt(int index);
    void Clear();
    int Count() const;
    // The strings of an entry, or null for an index out of range.
    const char* SourceAt(int index) const;
    const char* TargetAt(int index) const;
    // The first index at or after start whose entry concerns the path, or -1.
    // *kind (if given) is PENDING_DELETES when the entry deletes the path,
    // PENDING_RENAMES when it renames another file onto the path. The delete
    // test comes first; comparison ignores case and nothing else. An empty or
    // null path concerns no entry.
    int FindFor(const char* path, int start, int* kind) const;

private:
    std::vector<std::pair<std::string, std::string>> m_entries;
};

// Decodes the byte data of PendingFileRenameOperations (strings taken two by
// two, "\??\" or else "!\??\" dropped from the front of each) and appends the
// pairs to the list. Data without its terminators is read only up to its end;
// a target missing at the very end counts as empty.
void DecodePendingRenameData(const unsigned char* data, size_t size, PendingOperationList& list);

// Lines of wininit.ini [rename] are read into a buffer of this many characters:
// a line of this length or longer cannot be read and is skipped.
constexpr size_t kRenameLineBuffer = 780;

// Splits one [rename] line "target=source" at its first "=", both sides
// trimmed of white space; a target of "NUL" (any case) becomes empty. False
// for a line without "=" or too long for the line buffer.
bool ParseRenameLine(const char* line, std::string& target, std::string& source);

// The [rename] line for an entry: target (or "NUL" for a delete), "=", source.
std::string FormatRenameLine(const char* source, const char* target);
