#include "source_folder.h"

CString ChooseVersionSourceFolder(const CString& baseFolder)
{
    CString folder = baseFolder;
    if (folder.Last() != '\\') folder += "\\";
    return folder;
}
