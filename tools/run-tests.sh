#!/bin/bash
# Builds setup.exe as shipped (32-bit), builds the test suite (64-bit, the
# Wine this machine can run) and the native text-logic tests, and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=$(nproc)

echo "== setup.exe, 32-bit Windows"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32 -j "$JOBS" --target setup
tools/check-pe.sh build/win32/bin/setup.exe

echo "== text logic, native with sanitizers"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j "$JOBS"
(cd build/native && ctest --output-on-failure)

echo "== tests under Wine"
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
cmake --build build/win64 -j "$JOBS"
cd build/win64
xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -j "$JOBS"

# The main job, as the README's first command runs it, on two of the ways of
# installing: the class installer (XP, over an earlier installation) and Plug
# and Play (98).
cd ../..
echo "== main job, Windows XP machine with an earlier installation"
bash tools/main-job.sh xp --earlier-install
echo "== main job, Windows 98 machine"
bash tools/main-job.sh 98
