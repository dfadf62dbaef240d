#!/bin/bash
# The main job on a Wine machine: builds setup.exe and shows what it does.
# For now it shows the usage dialog and leaves its screenshot in
# build/main-job/usage.png; setup and removal of the sample package follow.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=$(nproc)
out=build/main-job
export WINEPREFIX="$PWD/$out/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

build() {
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32 -j "$JOBS" --target setup
tools/check-pe.sh build/win32/bin/setup.exe
# This machine runs 64-bit Wine only, so the machine runs the 64-bit build of the same sources.
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
cmake --build build/win64 -j "$JOBS" --target setup
rm -rf "$out" && mkdir -p "$out"
}


show_usage() {
    timeout 120 wineboot -i >/dev/null 2>&1 </dev/null
    timeout 30 wineserver -p >/dev/null 2>&1 </dev/null || true
    timeout 60 wine build/win64/bin/setup.exe "?" >/dev/null 2>&1 </dev/null &
    local pid=$! window=""
    for _ in $(seq 1 100); do
        window=$(xdotool search --name "^Setup usage$" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
        sleep 0.2
    done
    [ -n "$window" ] || { echo "main-job: the usage dialog did not appear"; exit 1; }
    sleep 0.5
    import -window "$window" "$out/usage.png"
    xdotool key --window "$window" Return
    wait "$pid" || true
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    echo "main-job: setup.exe showed its usage dialog ($out/usage.png)"
}
if [ "${1:-}" = "--on-display" ]; then
    show_usage
else
    build
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --on-display
fi
