#!/bin/bash
# Checks that a file is a 32-bit Windows GUI executable that needs only system DLLs.
set -euo pipefail
exe="$1"
headers=$(i686-w64-mingw32-objdump -p "$exe")
grep -q 'file format pei-i386' <<<"$headers" || { echo "$exe: not a 32-bit PE file"; exit 1; }
grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || { echo "$exe: not a GUI program"; exit 1; }
allowed='^(KERNEL32|USER32|GDI32|ADVAPI32|COMCTL32|OLE32|SETUPAPI|CFGMGR32|MSVCRT|SHELL32)\.DLL$'
while read -r dll; do
    if ! grep -qiE "$allowed" <<<"$dll"; then echo "$exe: needs $dll"; exit 1; fi
done < <(grep 'DLL Name:' <<<"$headers" | awk '{print $3}')
echo "$exe: PE32 GUI, system DLLs only"
