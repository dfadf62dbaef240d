// The configuration manager reached by name at run time: one wrapper per entry
// point, each with the entry point's own type. The library is loaded on first
// use and kept; when it or an entry point is missing the result is -1
// (0xFFFFFFFF, never CR_SUCCESS), with a "Bad call to CfgMgr32" box for a
// missing entry point.
#pragma once

#include <windows.h>
#include <cfgmgr32.h>

namespace cfgmgr {
decltype(::CM_Locate_DevNodeA) CM_Locate_DevNodeA;
decltype(::CM_Reenumerate_DevNode) CM_Reenumerate_DevNode;
decltype(::CM_Get_Child) CM_Get_Child;
decltype(::CM_Get_Device_IDA) CM_Get_Device_IDA;
}  // namespace cfgmgr
