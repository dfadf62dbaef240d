// The Windows folders of the machine the tools run on.
#pragma once

#include <string>

// The Windows folder (C:\windows when it cannot be read).
std::string WindowsFolder();
// The system folder (the Windows folder's system32 when it cannot be read).
std::string SystemFolder();
