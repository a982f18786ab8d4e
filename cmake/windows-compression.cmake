# Compression libraries for the Windows cross build (mingw-w64), linked
# statically. Included by the top-level CMakeLists.txt when MINGW is true;
# afterwards these IMPORTED targets exist, each with its include directory
# and the definitions that a static user needs:
#
#   ZLIB::ZLIB          zlib from Debian's libz-mingw-w64-dev (libz.a, never
#                       the import library libz.dll.a)
#   LibLZMA::LibLZMA    liblzma, cross-built from Debian's xz-utils sources;
#                       LZMA_API_STATIC
#   BZip2::BZip2        libbz2, cross-built from Debian's bzip2 sources
#                       (unless SATVET_WINDOWS_BZIP2 is OFF)
#   zstd::zstd          libzstd, cross-built from Debian's libzstd sources
#                       (unless SATVET_WINDOWS_ZSTD is OFF)
#
# There are no mingw-w64 packages of liblzma, libbz2 and libzstd, so their
# Debian source packages are fetched with `apt-get source` when the build is
# configured (which needs a deb-src entry: scripts/setup adds one, and
# dpkg-dev) into SATVET_WINDOWS_DEPS_DIR, and built there at build time with
# their own CMake builds (ExternalProject), for the same toolchain. A source
# folder given in SATVET_XZ_SOURCE, SATVET_BZIP2_SOURCE or SATVET_ZSTD_SOURCE
# is used as it is instead, with nothing fetched.
include_guard(GLOBAL)
include(ExternalProject)

option(SATVET_WINDOWS_BZIP2 "Windows build: build libbz2 from Debian's sources and provide BZip2::BZip2" ON)
option(SATVET_WINDOWS_ZSTD "Windows build: build libzstd from Debian's sources and provide zstd::zstd" ON)
set(SATVET_WINDOWS_DEPS_DIR ${CMAKE_BINARY_DIR}/windows-deps CACHE PATH
    "Windows build: where the compression libraries' sources are fetched and built")
set(SATVET_XZ_SOURCE "" CACHE PATH "Windows build: unpacked xz-utils sources to use instead of fetching them")
set(SATVET_BZIP2_SOURCE "" CACHE PATH "Windows build: unpacked bzip2 sources to use instead of fetching them")
set(SATVET_ZSTD_SOURCE "" CACHE PATH "Windows build: unpacked libzstd sources to use instead of fetching them")

# zlib: Debian's static library for the target. The folder also holds the
# import library of zlib1.dll, which a plain find_library could pick.
find_path(SATVET_WINDOWS_ZLIB_INCLUDE zlib.h)
find_library(SATVET_WINDOWS_ZLIB_LIBRARY NAMES libz.a)
if(NOT SATVET_WINDOWS_ZLIB_INCLUDE OR NOT SATVET_WINDOWS_ZLIB_LIBRARY)
  message(FATAL_ERROR "The Windows build needs zlib for mingw-w64 (zlib.h and libz.a): "
                      "install Debian's libz-mingw-w64-dev (scripts/setup does).")
endif()
add_library(ZLIB::ZLIB STATIC IMPORTED GLOBAL)
set_target_properties(ZLIB::ZLIB PROPERTIES
  IMPORTED_LOCATION ${SATVET_WINDOWS_ZLIB_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${SATVET_WINDOWS_ZLIB_INCLUDE})

# Sets ${out} to the unpacked sources of the Debian source package ${package}:
# the folder given in the cache variable ${override} if any, else those fetched by an earlier
# configure, else those that `apt-get source` fetches now. apt-get takes the
# newest version that the deb-src entries list; when that cannot be fetched
# (an archive can list a security update whose files it does not serve), the
# version of the release itself.
function(satvet_debian_source package override out)
  if(${override})
    if(NOT IS_DIRECTORY ${${override}})
      message(FATAL_ERROR "${override}=${${override}}: the sources given for ${package} are not a folder.")
    endif()
    set(${out} ${${override}} PARENT_SCOPE)
    return()
  endif()
  set(folder ${SATVET_WINDOWS_DEPS_DIR}/${package})
  set(stamp ${folder}/unpacked)
  if(EXISTS ${stamp})
    file(READ ${stamp} unpacked)
    if(IS_DIRECTORY ${folder}/${unpacked})
      set(${out} ${folder}/${unpacked} PARENT_SCOPE)
      return()
    endif()
  endif()

  find_program(SATVET_APT_GET apt-get)
  if(NOT SATVET_APT_GET)
    message(FATAL_ERROR "Fetching the sources of ${package} for the Windows build needs apt-get; "
                        "or give its unpacked sources in ${override}.")
  endif()
  set(release "")
  if(EXISTS /etc/os-release)
    file(STRINGS /etc/os-release codename REGEX "^VERSION_CODENAME=")
    string(REGEX REPLACE "^VERSION_CODENAME=\"?([^\"]*)\"?$" "\\1" release "${codename}")
  endif()
  set(requests ${package})
  if(release)
    list(APPEND requests ${package}/${release})
  endif()
  set(log "")
  foreach(request ${requests})
    # A clean folder for each try: apt-get leaves what it fetched of a failed
    # try behind.
    file(REMOVE_RECURSE ${folder})
    file(MAKE_DIRECTORY ${folder})
    message(STATUS "Fetching the Debian sources of ${request} for the Windows build")
    execute_process(COMMAND ${SATVET_APT_GET} source -qq ${request}
                    WORKING_DIRECTORY ${folder}
                    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    string(APPEND log "apt-get source ${request}:\n${output}\n")
    file(GLOB dsc RELATIVE ${folder} ${folder}/*.dsc)
    file(GLOB unpacked LIST_DIRECTORIES true RELATIVE ${folder} ${folder}/${package}-*)
    if(status EQUAL 0 AND dsc AND unpacked)
      list(LENGTH unpacked count)
      if(count EQUAL 1 AND IS_DIRECTORY ${folder}/${unpacked})
        message(STATUS "Fetched ${dsc}")
        file(WRITE ${stamp} ${unpacked})
        set(${out} ${folder}/${unpacked} PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
  file(REMOVE_RECURSE ${folder})
  message(FATAL_ERROR "Could not fetch the Debian sources of ${package} for the Windows build.\n"
                      "apt-get source needs a deb-src entry (scripts/setup adds one and runs "
                      "apt-get update) and dpkg-dev. Or give its unpacked sources in ${override}.\n${log}")
endfunction()

# The toolchain file as a whole path: the libraries' builds run in folders of
# their own. A configure run again with the relative path of the README's
# command leaves it relative in the cache; CMake finds it from the build folder
# first, then the source folder.
set(satvet_toolchain ${CMAKE_TOOLCHAIN_FILE})
if(NOT IS_ABSOLUTE "${satvet_toolchain}")
  if(EXISTS ${CMAKE_BINARY_DIR}/${satvet_toolchain})
    set(satvet_toolchain ${CMAKE_BINARY_DIR}/${satvet_toolchain})
  else()
    set(satvet_toolchain ${CMAKE_SOURCE_DIR}/${satvet_toolchain})
  endif()
endif()

# Build arguments common to the libraries' own CMake builds.
set(satvet_dep_args
  -DCMAKE_TOOLCHAIN_FILE=${satvet_toolchain}
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=OFF
  -DBUILD_TESTING=OFF)
if(CMAKE_MAKE_PROGRAM)
  list(APPEND satvet_dep_args -DCMAKE_MAKE_PROGRAM=${CMAKE_MAKE_PROGRAM})
endif()

# Builds one target of an external build: under make through $(MAKE), so that
# the outer make's -j covers it.
function(satvet_dep_build_command target out)
  if(CMAKE_GENERATOR MATCHES "Makefiles")
    set(${out} "$(MAKE)" ${target} PARENT_SCOPE)
  else()
    set(${out} ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${target} PARENT_SCOPE)
  endif()
endfunction()

# Defines ${name} as a static IMPORTED target for ${library}, built by the
# external project ${project}.
function(satvet_dep_target name project library include)
  add_library(${name} STATIC IMPORTED GLOBAL)
  set_target_properties(${name} PROPERTIES
    IMPORTED_LOCATION ${library}
    INTERFACE_INCLUDE_DIRECTORIES ${include}
    INTERFACE_COMPILE_DEFINITIONS "${ARGN}")
  add_dependencies(${name} ${project})
endfunction()

# liblzma: xz-utils' CMake build, its liblzma target alone (not the xz and
# xzdec programs). On Windows it uses the system's threads (MYTHREAD_VISTA).
satvet_debian_source(xz-utils SATVET_XZ_SOURCE satvet_xz_source)
set(satvet_xz_build ${SATVET_WINDOWS_DEPS_DIR}/xz-build)
satvet_dep_build_command(liblzma satvet_xz_build_command)
ExternalProject_Add(satvet_liblzma
  SOURCE_DIR ${satvet_xz_source}
  BINARY_DIR ${satvet_xz_build}
  PREFIX ${SATVET_WINDOWS_DEPS_DIR}/xz-ep
  CMAKE_ARGS ${satvet_dep_args}
  BUILD_COMMAND ${satvet_xz_build_command}
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${satvet_xz_build}/liblzma.a
  LOG_CONFIGURE ON LOG_BUILD ON LOG_OUTPUT_ON_FAILURE ON)
# (Not needed by GCC's headers, which never import, but by lzma.h's rule.)
satvet_dep_target(LibLZMA::LibLZMA satvet_liblzma ${satvet_xz_build}/liblzma.a
                  ${satvet_xz_source}/src/liblzma/api LZMA_API_STATIC)

# libbz2: bzip2 has only a Makefile; cmake/windows-bzip2/CMakeLists.txt builds
# the library's seven files. bzlib.h declares plain functions unless BZ_IMPORT
# is defined, so a static user needs no definition. On Windows it includes
# <windows.h>.
if(SATVET_WINDOWS_BZIP2)
  satvet_debian_source(bzip2 SATVET_BZIP2_SOURCE satvet_bzip2_source)
  set(satvet_bzip2_build ${SATVET_WINDOWS_DEPS_DIR}/bzip2-build)
  ExternalProject_Add(satvet_libbz2
    SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/windows-bzip2
    BINARY_DIR ${satvet_bzip2_build}
    PREFIX ${SATVET_WINDOWS_DEPS_DIR}/bzip2-ep
    CMAKE_ARGS ${satvet_dep_args} -DBZIP2_SOURCE=${satvet_bzip2_source}
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${satvet_bzip2_build}/libbz2.a
    LOG_CONFIGURE ON LOG_BUILD ON LOG_OUTPUT_ON_FAILURE ON)
  satvet_dep_target(BZip2::BZip2 satvet_libbz2 ${satvet_bzip2_build}/libbz2.a ${satvet_bzip2_source})
endif()

# libzstd: its build/cmake, the static library alone, single-threaded, with
# the legacy formats that Debian's libzstd also decodes (v0.5 and later).
# zstd.h imports only when ZSTD_DLL_IMPORT is defined: a static user needs no
# definition.
if(SATVET_WINDOWS_ZSTD)
  satvet_debian_source(libzstd SATVET_ZSTD_SOURCE satvet_zstd_source)
  set(satvet_zstd_build ${SATVET_WINDOWS_DEPS_DIR}/zstd-build)
  ExternalProject_Add(satvet_libzstd
    SOURCE_DIR ${satvet_zstd_source}
    SOURCE_SUBDIR build/cmake
    BINARY_DIR ${satvet_zstd_build}
    PREFIX ${SATVET_WINDOWS_DEPS_DIR}/zstd-ep
    CMAKE_ARGS ${satvet_dep_args}
      -DZSTD_BUILD_STATIC=ON -DZSTD_BUILD_SHARED=OFF -DZSTD_BUILD_PROGRAMS=OFF
      -DZSTD_BUILD_TESTS=OFF -DZSTD_MULTITHREAD_SUPPORT=OFF -DZSTD_LEGACY_SUPPORT=ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${satvet_zstd_build}/lib/libzstd.a
    LOG_CONFIGURE ON LOG_BUILD ON LOG_OUTPUT_ON_FAILURE ON)
  satvet_dep_target(zstd::zstd satvet_libzstd ${satvet_zstd_build}/lib/libzstd.a ${satvet_zstd_source}/lib)
endif()
