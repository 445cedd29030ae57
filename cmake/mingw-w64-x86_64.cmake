# Cross-compiling the 64-bit velvane.exe with Debian's mingw-w64 (posix threads), x86_64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# ctest runs the Windows test programs through Wine: Debian's `wine` wrapper,
# or a Wine loader itself (scripts/lib.sh passes /usr/lib/wine/wine64 where
# the kernel cannot run 32-bit programs and the wrapper would pick the 32-bit
# loader), which then also names itself in WINELOADER for the processes Wine
# starts.
set(VELVANE_WINE wine CACHE STRING "What runs the Windows test programs: wine, or a Wine loader such as /usr/lib/wine/wine64")
if(VELVANE_WINE STREQUAL "wine")
  set(CMAKE_CROSSCOMPILING_EMULATOR wine)
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR env "WINELOADER=${VELVANE_WINE}" "${VELVANE_WINE}")
endif()
