#include "command_set.h"

CCommandSet::CCommandSet()
{
    char folder[MAX_PATH] = {0};
    UINT length = GetWindowsDirectoryA(folder, sizeof(folder));
    if (length > 0 && length < sizeof(folder)) m_windowsDirectory = folder;
}
