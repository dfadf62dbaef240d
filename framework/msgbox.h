// The one way this program shows a message box. Tests replace the box with a
// hook that records what would have been shown and answers it.
#pragma once

#include <windows.h>

using MessageBoxHook = int (*)(HWND owner, const char* text, const char* caption, UINT style);

// Shows a message box (or hands it to the hook) and returns the button pressed.
int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style);

// The framework's application box: caption is the application's title.
int AppMessageBox(const char* text, UINT style);

// Installs a hook (null restores the real box); returns the previous one.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
