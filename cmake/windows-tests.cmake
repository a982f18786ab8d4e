# Testing the Windows build on Linux: GoogleTest is built from its sources for
# the target (Debian's libgtest-dev ships them), and every test runs its
# Windows program under Wine, in a Wine prefix of the build's own that a setup
# test creates first (a first start of Wine takes some seconds and talks on
# stderr).
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  message(FATAL_ERROR "Testing the Windows build needs Wine: install wine64, or "
                      "set CMAKE_CROSSCOMPILING_EMULATOR, or configure with -DSATVET_BUILD_TESTS=OFF")
endif()

# Python runs the test scripts here, never through the emulator, which CMake
# would otherwise put before every executable target in a test's command,
# imported ones included.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set_target_properties(Python3::Interpreter PROPERTIES CROSSCOMPILING_EMULATOR "")

set(SATVET_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources, built for the target")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${SATVET_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
if(NOT TARGET GTest::gtest_main)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()

# Wine takes the command line's bytes in the encoding of the Linux locale; the
# test fixtures name files in UTF-8.
set(SATVET_WINE_ENVIRONMENT WINEDEBUG=-all WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix LC_ALL=C.UTF-8)
# The setup starts the Wine server for the whole run, kept up until a minute
# after its last program, and boots the prefix's background programs, all with
# their output to /dev/null. A server or background program started by a
# test's own run would hold that test's output pipes open until the server
# ends, and the test would wait for it.
get_filename_component(wine_folder ${CMAKE_CROSSCOMPILING_EMULATOR} DIRECTORY)
find_program(SATVET_WINESERVER NAMES wineserver wineserver64 HINTS ${wine_folder} NO_CMAKE_FIND_ROOT_PATH REQUIRED)
# (The server starts only in an existing folder. A server already up is kept:
# "-p" then fails, and is not heeded.)
add_test(NAME wine.prefix COMMAND sh -c [[exec </dev/null >/dev/null 2>&1; mkdir -p "$WINEPREFIX" || exit; "$0" -p60; exec "$1" wineboot --init]]
                                  ${SATVET_WINESERVER} ${CMAKE_CROSSCOMPILING_EMULATOR})
set_tests_properties(wine.prefix PROPERTIES
  FIXTURES_SETUP wine_prefix
  ENVIRONMENT "${SATVET_WINE_ENVIRONMENT}")

# Runs the named tests under Wine, once the prefix is there.
function(satvet_windows_tests)
  set_tests_properties(${ARGN} PROPERTIES
    FIXTURES_REQUIRED wine_prefix
    ENVIRONMENT "${SATVET_WINE_ENVIRONMENT}")
endfunction()
