# The same sources for 64-bit Windows: the build the tests run under Wine on
# machines whose kernel cannot start 32-bit programs (and so no 32-bit Wine).
set(MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
