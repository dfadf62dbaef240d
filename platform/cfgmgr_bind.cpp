#include "platform/cfgmgr_bind.h"

#include <type_traits>

#include "platform/late_library.h"

namespace {
const char kCaption[] = "Bad call to CfgMgr32";
// Not CR_SUCCESS, so callers that test for success see a failure.
const CONFIGRET kUnavailable = static_cast<CONFIGRET>(-1);
}  // namespace

// As for SetupAPI: looked up by name on every call, the exported name in the
// box when it is missing, and the declared type enforced by the compiler.
#define CFGMGR_WRAPPER(Name, Params, Args)                                                    \
    static_assert(std::is_same<decltype(&cfgmgr::Name), decltype(&::Name)>::value,             \
                  #Name " keeps the type the configuration manager declares");                  \
    CONFIGRET WINAPI cfgmgr::Name Params                                                        \
    {                                                                                           \
        auto entry = BoundEntry<decltype(::Name)>(CfgMgrLibrary(), #Name, #Name, kCaption);     \
        return entry ? entry Args : kUnavailable;                                               \
    }

CFGMGR_WRAPPER(CM_Locate_DevNodeA, (PDEVINST node, DEVINSTID_A deviceId, ULONG flags), (node, deviceId, flags))
CFGMGR_WRAPPER(CM_Reenumerate_DevNode, (DEVINST node, ULONG flags), (node, flags))
CFGMGR_WRAPPER(CM_Get_Child, (PDEVINST child, DEVINST node, ULONG flags), (child, node, flags))
CFGMGR_WRAPPER(CM_Get_Device_IDA, (DEVINST node, PCHAR buffer, ULONG size, ULONG flags), (node, buffer, size, flags))
