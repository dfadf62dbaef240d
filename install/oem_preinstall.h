// Making a package INF known to Windows before Windows installs the modem
// itself: section files copied from the package folder, catalog, OEM INF copy.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "framework/cstring.h"

// Copies the files of section, section.nt and section.nt.Coinstallers of the
// INF from the source folder, leaving files that exist at their targets.
void InstallInfSectionFiles(const CString& infPath, const CString& source, const CString& section);
// The file-queue callback of that copy.
UINT CALLBACK CopyQueueCallback(PVOID context, UINT notification, UINT_PTR first, UINT_PTR second);
// The CatalogFile value of the INF's [VERSION] section, or empty.
CString GetCatalogFileName(const CString& infPath);
// The text of the first line of the section with that key, or empty.
CString ReadInfLineText(const CString& infPath, const char* section, const char* key);
