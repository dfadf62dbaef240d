#include "lang_table.h"

#include <cstring>
#include <string>

#include "platform/handles.h"

CTextArray g_langKeys;
CTextArray g_langValues;
bool g_langLoaded = false;
bool g_langDisabled = false;

namespace {
const char kLanguageFile[] = "vx.lng";

int SwitchTranslationOff()
{
    g_langDisabled = true;
    return 0;
}

// The column of vx.lng for this system, or false when it needs none.
bool SystemColumnKey(std::string& key)
{
    char name[128] = {0};
    if (GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, name, sizeof(name)) == 0) return false;
    name[sizeof(name) - 1] = '\0';
    return LanguageColumnKey(name, GetACP(), key);
}

// vx.lng of the current directory, else the Windows directory's copy. A copy
// in the current directory hides the other even if it has no column for us.
StdioFile OpenLanguageFile()
{
    StdioFile file(std::fopen(kLanguageFile, "r"));
    if (file) return file;
    char windowsDir[MAX_PATH] = {0};
    UINT length = GetWindowsDirectoryA(windowsDir, sizeof(windowsDir));
    if (length == 0 || length >= sizeof(windowsDir)) return StdioFile(std::fopen(kLanguageFile, "r"));
    std::string path = std::string(windowsDir, length) + "\\" + kLanguageFile;
    return StdioFile(std::fopen(path.c_str(), "r"));
}

void SetUpLanguageTable()
{
    if (g_langLoaded) return;
    if (!g_langDisabled && !LoadLanguageTable()) g_langDisabled = true;
    g_langLoaded = true;
}
}  // namespace

int LoadLanguageTable()
{
    // The system's column is known before the file is touched, so an English
    // system never opens it.
    std::string columnKey;
    if (!SystemColumnKey(columnKey)) return SwitchTranslationOff();
    StdioFile file = OpenLanguageFile();
    if (!file) return SwitchTranslationOff();
    if (!ReadLanguageTable(file, columnKey.c_str(), g_langKeys, g_langValues)) return SwitchTranslationOff();
    return 1;
}

int TranslateText(const char* text, char* buffer, int size)
{
    SetUpLanguageTable();
    if (!buffer || !text || size <= 0) return 0;
    const char* translation = g_langDisabled ? nullptr : FindTranslation(g_langKeys, g_langValues, text);
    const char* result = translation ? translation : text;
    size_t length = std::strlen(result);
    if (length >= static_cast<size_t>(size)) return 0;
    std::memcpy(buffer, result, length + 1);
    return translation ? 1 : 0;
}

CString TranslateToString(const char* text, int* translated)
{
    char buffer[1024] = {0};
    int result = TranslateText(text, buffer, sizeof(buffer));
    if (translated) *translated = result;
    return CString(buffer);
}

int TranslateWindowText(HWND window, const char* text, const char* suffix)
{
    char current[1024] = {0};
    if (!text) {
        GetWindowTextA(window, current, sizeof(current));
        text = current;
    }
    int translated = 0;
    CString result = TranslateToString(text, &translated);
    if (suffix) result += suffix;
    SetWindowTextA(window, result);
    return translated;
}
