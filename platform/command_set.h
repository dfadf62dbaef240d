// Command lines read from the numbered subkeys of a registry key, run in key order.
#pragma once

#include <windows.h>

#include <cstring>
#include <map>
#include <string>

#include "framework/cstring.h"

class CCommandSet {
public:
    CCommandSet();

    // Adds one command per subkey that has a readable "Path" value (at most
    // 260 bytes), with every %WINDIR% (any case) replaced by the Windows
    // directory. The first command stored under a name stays. Returns the code
    // that ended the enumeration.
    LONG LoadFromKey(HKEY key);
    // Runs every command in key order, each to its end.
    void RunAll() const;

    size_t Count() const { return m_commands.size(); }
    // The commands in run order, for callers that report them.
    struct ByteOrder {
        bool operator()(const std::string& a, const std::string& b) const
        {
            return std::strcmp(a.c_str(), b.c_str()) < 0;
        }
    };
    using CommandMap = std::map<std::string, CString, ByteOrder>;
    const CommandMap& Commands() const { return m_commands; }

    CString m_windowsDirectory;

private:
    CommandMap m_commands;
};

// Replaces every %WINDIR% (any letter case) by the folder, leftmost first.
CString ExpandWindowsDirectory(const CString& text, const CString& windowsDirectory);
