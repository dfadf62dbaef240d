// Optional translation of the removal dialogs' texts from "vx.lng", read once,
// the first time a text is translated.
#pragma once

#include <windows.h>

#include "framework/cstring.h"
#include "ui/lang_file.h"

// The table: keys and their translations for the system's language, same index.
extern CTextArray g_langKeys;
extern CTextArray g_langValues;
// Set once the table has been read or translation switched off.
extern bool g_langLoaded;
// Translation is off for the rest of the run: every text stays as it is.
extern bool g_langDisabled;

// Copies the translation of text (or text itself) into buffer; 1 if translated.
// Returns 0 and leaves the buffer alone when there is none or the result does not fit.
int TranslateText(const char* text, char* buffer, int size);
// The translation (or the text itself), or empty when it is 1,024 bytes or longer.
CString TranslateToString(const char* text, int* translated = nullptr);
// Translates the given text (or the window's own) and appends the suffix.
int TranslateWindowText(HWND window, const char* text = nullptr, const char* suffix = nullptr);
// Reads the table for the system's language and code page; 0 (translation off) if it cannot.
int LoadLanguageTable();
