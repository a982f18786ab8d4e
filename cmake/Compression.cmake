# Compressed input: satvet decodes each format whose library this build
# finds (SATVET_WITH_<FORMAT>) and refuses the others with a message. The
# decoder runs on a thread of its own.
find_package(Threads REQUIRED)
target_link_libraries(satvet_settings INTERFACE Threads::Threads)

# (The Windows build has its libraries as targets already: see
# cmake/windows-compression.cmake.)
# Where the program links the libraries into itself (see SATVET_LOAD_LIBRARIES
# and SATVET_STATIC_LIBRARIES in CMakeLists.txt), their static archives are
# looked for, not the shared libraries; where it loads them, any kind does (for
# their headers, and for the tests that compress with them).
if(SATVET_LINK_STATIC AND NOT SATVET_LOAD_LIBRARIES)
  set(satvet_static_archives ON)
else()
  set(satvet_static_archives OFF)
endif()
if(satvet_static_archives)
  set(satvet_saved_suffixes ${CMAKE_FIND_LIBRARY_SUFFIXES})
  set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
endif()
# A library found by an earlier configure of the other kind is looked for again.
foreach(found ZLIB_LIBRARY ZLIB_LIBRARY_RELEASE LIBLZMA_LIBRARY LIBLZMA_LIBRARY_RELEASE BZIP2_LIBRARY_RELEASE
              BZIP2_LIBRARY SATVET_ZSTD_LIBRARY)
  if(DEFINED CACHE{${found}})
    if("${${found}}" MATCHES "\\.a$")
      set(found_static ON)
    else()
      set(found_static OFF)
    endif()
    if(NOT found_static STREQUAL satvet_static_archives)
      unset(${found} CACHE)
    endif()
  endif()
endforeach()

if(NOT TARGET ZLIB::ZLIB)
  find_package(ZLIB)
endif()
if(NOT TARGET LibLZMA::LibLZMA)
  find_package(LibLZMA)
endif()
if(NOT TARGET BZip2::BZip2)
  find_package(BZip2)
endif()
if(NOT TARGET zstd::zstd)
  # Debian's libzstd-dev has no CMake package file: found by hand.
  find_path(SATVET_ZSTD_INCLUDE_DIR zstd.h)
  find_library(SATVET_ZSTD_LIBRARY NAMES zstd)
  if(SATVET_ZSTD_INCLUDE_DIR AND SATVET_ZSTD_LIBRARY)
    add_library(zstd::zstd UNKNOWN IMPORTED)
    set_target_properties(zstd::zstd PROPERTIES
      IMPORTED_LOCATION ${SATVET_ZSTD_LIBRARY}
      INTERFACE_INCLUDE_DIRECTORIES ${SATVET_ZSTD_INCLUDE_DIR})
  endif()
endif()

if(satvet_static_archives)
  set(CMAKE_FIND_LIBRARY_SUFFIXES ${satvet_saved_suffixes})
endif()

# Where satvet loads the libraries when first needed, it takes only their
# headers; the tests that compress with them link them (SATVET_COMPRESSION_LIBRARIES).
if(SATVET_LOAD_LIBRARIES)
  target_compile_definitions(satvet_settings INTERFACE SATVET_LOAD_LIBRARIES)
  target_link_libraries(satvet_settings INTERFACE ${CMAKE_DL_LIBS})
endif()
set(SATVET_FORMATS)
set(SATVET_COMPRESSION_LIBRARIES)
foreach(format_target GZIP=ZLIB::ZLIB XZ=LibLZMA::LibLZMA BZIP2=BZip2::BZip2 ZSTD=zstd::zstd)
  string(REPLACE "=" ";" pair ${format_target})
  list(GET pair 0 format)
  list(GET pair 1 library)
  if(TARGET ${library})
    list(APPEND SATVET_COMPRESSION_LIBRARIES ${library})
    if(SATVET_LOAD_LIBRARIES)
      target_include_directories(satvet_settings INTERFACE $<TARGET_PROPERTY:${library},INTERFACE_INCLUDE_DIRECTORIES>)
    else()
      target_link_libraries(satvet_settings INTERFACE ${library})
    endif()
    target_compile_definitions(satvet_settings INTERFACE SATVET_WITH_${format})
    string(TOLOWER ${format} name)
    list(APPEND SATVET_FORMATS ${name})
  endif()
endforeach()
list(JOIN SATVET_FORMATS ", " SATVET_FORMATS_TEXT)
message(STATUS "satvet decompresses: ${SATVET_FORMATS_TEXT}")

# The manual page says which formats this build reads.
if(SATVET_FORMATS)
  set(SATVET_FORMATS_NOTE "This build reads ${SATVET_FORMATS_TEXT}; a file in one of the other formats named here is refused.")
else()
  set(SATVET_FORMATS_NOTE "This build reads no compressed format: every compressed file is refused.")
endif()
