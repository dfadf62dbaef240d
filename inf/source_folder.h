// Choosing the per-Windows-version folder of a driver package.
#pragma once

#include "framework/cstring.h"

// The folder the installation works from: base + the "zorirav.ini" location for
// this Windows, refined by the signed-INF search; always ends in a backslash.
CString ChooseVersionSourceFolder(const CString& baseFolder);
// Depth-first search for the folder of an INF whose signature carries the tag;
// the last match wins and a matching folder is not descended into.
void FindSignedInfFolder(const CString& folder, const CString& tag, CString& result);
// True when the "*Signature" value of the INF's [Strings] contains the tag.
bool InfHasSignature(const CString& infPath, const CString& tag);
