// Device nodes removed through the class installer, and the Windows NT
// services an INF installs stopped and deleted.
#include <cstdio>
#include <cstring>

#include "app/setup_engine.h"
#include "platform/handles.h"
#include "platform/setupapi_bind.h"

namespace {
const char DRIVER_SERVICE[] = "VXService";
const char ADD_SERVICE[] = "ADDSERVICE";
const int SERVICE_LINE_BYTES = 256;

// The service name of an uppercased "AddService = name, flags, section" line
// that starts in the first column: from after the blanks behind "=" up to the
// first comma, blanks before the comma included. False for any other line.
bool ServiceNameOfLine(const char* line, CString& name)
{
    if (std::strncmp(line, ADD_SERVICE, sizeof(ADD_SERVICE) - 1) != 0) return false;
    const char* equals = std::strchr(line, '=');
    if (!equals) return false;
    const char* start = equals + 1;
    while (*start == ' ') ++start;
    const char* comma = std::strchr(line, ',');
    // A comma in front of the name leaves no name to look up.
    if (!comma || comma < start) return false;
    name = CString(start, static_cast<size_t>(comma - start));
    return true;
}

void StopAndDeleteService(SC_HANDLE manager, const char* name)
{
    ServiceHandle service(OpenServiceA(manager, name, SERVICE_ALL_ACCESS));
    if (!service) return;
    SERVICE_STATUS status;
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    DeleteService(service);
}
}  // namespace

bool CSetupEngine::RemoveDevice(const DriverInfRecord& record)
{
    if (!record.isDevice) return true;  // nothing to remove
    SP_DEVINFO_DATA device = record.devInfoData;
    return setupapi::SetupDiCallClassInstaller(DIF_REMOVE, g_hDevInfo, &device) != FALSE;
}

bool CSetupEngine::RemoveDevices()
{
    bool anyRemoved = false;
    for (const DriverInfRecord& record : m_infRecords)
        if (RemoveDevice(record)) anyRemoved = true;
    return anyRemoved;
}

void CSetupEngine::DeleteInfServices(const DriverInfRecord& record)
{
    if (record.infPath.IsEmpty()) return;
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return;
    StdioFile inf(std::fopen(record.infPath, "rt"));
    if (!inf) return;

    // Every AddService line counts, whatever section it stands in.
    char line[SERVICE_LINE_BYTES];
    for (;;) {
        std::memset(line, 0, sizeof(line));
        if (!std::fgets(line, SERVICE_LINE_BYTES - 1, inf)) break;
        UpperCaseAscii(line);
        CString name;
        if (ServiceNameOfLine(line, name)) StopAndDeleteService(manager, name);
    }
}

void CSetupEngine::StopDriverService()
{
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return;
    ServiceHandle service(OpenServiceA(manager, DRIVER_SERVICE, SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!service) return;
    SERVICE_STATUS status;
    ControlService(service, SERVICE_CONTROL_STOP, &status);
}
