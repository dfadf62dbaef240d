// Small file, folder and process services shared by installation and removal.
#pragma once

#include "framework/cstring.h"

// Starts a program and waits at most 20 s; false if it could not start or is still running.
bool RunAndWait(const char* commandLine);
// Starts a program and waits for its end without limit; false if it could not start.
bool RunToEnd(const char* commandLine);
// Creates the folder and every missing parent.
void CreateDirectoryPath(const char* path);
// The text after the last backslash, or the whole text.
CString FileNamePart(const char* path);
// Deletes every file below the folder and, without keepFolders, the folders too.
bool DeleteDirectoryTree(const char* folder, bool keepFolders);
