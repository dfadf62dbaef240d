#include "lang_table.h"

#include <cstring>

int TranslateText(const char* text, char* buffer, int size)
{
    if (!buffer || !text || static_cast<int>(std::strlen(text)) >= size) return 0;
    std::memcpy(buffer, text, std::strlen(text) + 1);
    return 0;
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
