// Fixture program of ui_lang_test: translates its arguments through the
// language table, as the dialogs would, in a process that a test starts under
// a chosen Unix locale. Writes to the file named by its first argument:
//   <system language>|<ANSI code page>|<translation off: 0 or 1>
//   <translated: 0 or 1>|<result>          (one line per further argument)
#include <windows.h>

#include <cstdio>
#include <string>

#include "ui/lang_table.h"

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    std::string results;
    for (int i = 2; i < argc; ++i) {
        char buffer[1024] = {0};
        int translated = TranslateText(argv[i], buffer, sizeof(buffer));
        results += std::to_string(translated) + "|" + buffer + "\n";
    }
    char name[128] = {0};
    GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, name, sizeof(name));
    std::string report = std::string(name) + "|" + std::to_string(GetACP()) + "|" + (g_langDisabled ? "1" : "0") +
                         "\n" + results;

    // Written aside and renamed, so that the test never reads half a report.
    std::string partial = std::string(argv[1]) + ".part";
    FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) return 1;
    std::fwrite(report.data(), 1, report.size(), file);
    std::fclose(file);
    return MoveFileExA(partial.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
