# Cross-compiling velvane.exe with Debian's mingw-w64 (posix threads), for
# either Windows target, chosen by VELVANE_ARCH:
#   x86_64 (default)  the 64-bit build (build/win)
#   i686              the 32-bit build (build/win32)
#   cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DVELVANE_ARCH=i686
set(VELVANE_ARCH x86_64 CACHE STRING "The Windows target: x86_64 or i686")
set_property(CACHE VELVANE_ARCH PROPERTY STRINGS x86_64 i686)
if(NOT VELVANE_ARCH MATCHES "^(x86_64|i686)$")
  message(FATAL_ERROR "VELVANE_ARCH is '${VELVANE_ARCH}': x86_64 or i686")
endif()

# ctest runs the Windows test programs through Wine: Debian's `wine` wrapper,
# or a Wine loader itself (scripts/lib.sh passes /usr/lib/wine/wine64 where
# the kernel cannot run 32-bit programs and the wrapper would pick the 32-bit
# loader), which then also names itself in WINELOADER for the processes Wine
# starts.
set(VELVANE_WINE wine CACHE STRING "What runs the Windows test programs: wine, or a Wine loader such as /usr/lib/wine/wine64")

# CMake's test compilations read this file again in a project of their own:
# they get the same choices.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELVANE_ARCH VELVANE_WINE)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VELVANE_ARCH})
set(TOOLCHAIN_PREFIX ${VELVANE_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(VELVANE_WINE STREQUAL "wine")
  set(CMAKE_CROSSCOMPILING_EMULATOR wine)
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR env "WINELOADER=${VELVANE_WINE}" "${VELVANE_WINE}")
endif()
