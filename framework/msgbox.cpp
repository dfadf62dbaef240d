#include "msgbox.h"

#include "winapp.h"

namespace {
MessageBoxHook g_messageBoxHook = nullptr;
}

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style)
{
    if (g_messageBoxHook) return g_messageBoxHook(owner, text, caption, style);
    return MessageBoxA(owner, text, caption, style);
}

int AppMessageBox(const char* text, UINT style)
{
    return ShowMessageBox(GetActiveWindow(), text, ApplicationTitle(), style);
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook)
{
    MessageBoxHook previous = g_messageBoxHook;
    g_messageBoxHook = hook;
    return previous;
}
