# The same sources for 64-bit Windows (package g++-mingw-w64-x86-64). Brenmira.exe ships as a
# 32-bit program; this build is only for testing under Wine on a machine that runs no 32-bit code.
set(MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-i686.cmake)
