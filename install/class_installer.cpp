#include "remove/driver_record.h"

bool DriverInfRecord::InstallByClassInstaller(const CString&) { return false; }
bool DriverInfRecord::HasCabinetSource() const { return false; }
