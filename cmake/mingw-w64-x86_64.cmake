# Cross build of satvet.exe for 64-bit Windows with Debian's mingw-w64
# (package g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The tests of that build run the Windows programs under Wine (package wine64).
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

# Static C++ runtime, libgcc and winpthread: the program needs no DLL beyond
# those that every Windows has.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Runs the Windows programs of the build (tests, GoogleTest discovery) on this
# machine. Debian's wine64 package keeps its loader out of PATH.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(SATVET_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
  if(SATVET_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${SATVET_WINE64})
  endif()
endif()
