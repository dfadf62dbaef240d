#include "platform/ext_lib.h"

#include <type_traits>

#include "platform/handles.h"
#include "platform/late_library.h"

int VXAddExtra(DWORD first, DWORD second, const char* command, DWORD fourth)
{
    // Loaded for this call only: the library ships with the driver package and
    // must not stay mapped (removal may delete it afterwards).
    ModuleHandle library(LoadLibraryA(ExtensionLibraryName()));
    if (!library) return -1;
    FARPROC entry = GetProcAddress(library, "VXAddExtra");
    if (!entry) return -1;
    return FunctionFrom<std::remove_pointer_t<VXAddExtraProc>>(entry)(first, second, command, fourth);
}
