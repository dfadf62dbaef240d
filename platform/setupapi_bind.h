// SetupAPI reached by name at run time: one wrapper per entry point, with the
// entry point's own type.
#pragma once

#include <windows.h>
#include <setupapi.h>

namespace setupapi {
decltype(::SetupPromptReboot) SetupPromptReboot;
}  // namespace setupapi
