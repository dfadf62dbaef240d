// Optional translation of the removal dialogs' texts from "vx.lng".
#pragma once

#include <windows.h>

#include "framework/cstring.h"

// Copies the translation of text (or text itself) into buffer; 1 if translated.
int TranslateText(const char* text, char* buffer, int size);
CString TranslateToString(const char* text, int* translated = nullptr);
// Translates the given text (or the window's own) and appends the suffix.
int TranslateWindowText(HWND window, const char* text = nullptr, const char* suffix = nullptr);
