# setup.exe as shipped: 32-bit Windows, built with Debian's MinGW-w64.
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
