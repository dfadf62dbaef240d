// Reading the command line: usage request, switch words, folder of a path.
#pragma once

#include "framework/cstring.h"

// "?" or "/?" at the very start of the (upper-cased) line.
bool IsUsageRequest(const char* commandLine);
// Removes the first " /WORD" (else "/WORD") from the line; true if found.
bool TakeSwitch(char* commandLine, const char* word);
// The folder part of a path, ending in a backslash, or empty.
CString FolderOfPath(const CString& path);
