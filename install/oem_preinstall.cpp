#include "install/oem_preinstall.h"

#include "remove/driver_record.h"

bool DriverInfRecord::PreinstallOemInf(const CString&) { return false; }
CString DriverInfRecord::WriteAdjustedInf() const { return CString(); }
void InstallInfSectionFiles(const CString&, const CString&, const CString&) {}
UINT CALLBACK CopyQueueCallback(PVOID, UINT, UINT_PTR, UINT_PTR) { return 0; }
CString GetCatalogFileName(const CString&) { return CString(); }
CString ReadInfLineText(const CString&, const char*, const char*) { return CString(); }
