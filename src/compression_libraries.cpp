// The decompression libraries' function tables: filled from the libraries
// linked in, or from each library loaded when its format is first met.
#include "compression_libraries.h"

#include <cstring>

#if defined(SATVET_LOAD_LIBRARIES)
#include <dlfcn.h>
#endif

#if defined(SATVET_LOAD_LIBRARIES)

namespace {

// Fills a table of function pointers from the functions that `name` has under
// the names given, in the table's order; loads `name` once, and tries again
// after a failure only if asked again.
template <typename Table, int Count>
const char* load_table(Table& table, bool& loaded, const char* name, const char* const (&names)[Count]) {
  static_assert(sizeof(Table) == Count * sizeof(void*), "one name for each function of the table");
  if (loaded) return nullptr;
  void* functions[Count];
  if (!detail::load_functions(name, names, functions, Count)) return name;
  // POSIX: a function's address as dlsym returns it converts to the function's type.
  static_assert(sizeof(void (*)()) == sizeof(void*));
  std::memcpy(&table, functions, sizeof table);
  loaded = true;
  return nullptr;
}

}  // namespace

namespace detail {

bool load_functions(const char* name, const char* const* names, void** functions, int count) {
  void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return false;
  for (int i = 0; i < count; ++i) {
    functions[i] = dlsym(library, names[i]);
    if (functions[i] == nullptr) {
      dlclose(library);
      return false;
    }
  }
  return true;  // kept loaded until the process ends
}

}  // namespace detail

#if defined(SATVET_WITH_GZIP)
ZlibFunctions zlib;
#endif
#if defined(SATVET_WITH_XZ)
LzmaFunctions liblzma;
#endif
#if defined(SATVET_WITH_BZIP2)
Bzip2Functions libbz2;
#endif
#if defined(SATVET_WITH_ZSTD)
ZstdFunctions libzstd;
#endif

const char* prepare_library(Compression format) {
  switch (format) {
#if defined(SATVET_WITH_GZIP)
    case Compression::gzip: {
      static bool loaded = false;
      return load_table(zlib, loaded, "libz.so.1", {"inflateInit2_", "inflate", "inflateReset", "inflateEnd"});
    }
#endif
#if defined(SATVET_WITH_XZ)
    case Compression::xz: {
      static bool loaded = false;
      return load_table(liblzma, loaded, "liblzma.so.5", {"lzma_stream_decoder", "lzma_code", "lzma_end"});
    }
#endif
#if defined(SATVET_WITH_BZIP2)
    case Compression::bzip2: {
      static bool loaded = false;
      return load_table(libbz2, loaded, "libbz2.so.1.0",
                        {"BZ2_bzDecompressInit", "BZ2_bzDecompress", "BZ2_bzDecompressEnd"});
    }
#endif
#if defined(SATVET_WITH_ZSTD)
    case Compression::zstd: {
      static bool loaded = false;
      return load_table(libzstd, loaded, "libzstd.so.1",
                        {"ZSTD_createDCtx", "ZSTD_decompressStream", "ZSTD_isError", "ZSTD_getErrorCode",
                         "ZSTD_freeDCtx"});
    }
#endif
    default: return nullptr;
  }
}

#else  // the libraries are linked in

#if defined(SATVET_WITH_GZIP)
ZlibFunctions zlib{&::inflateInit2_, &::inflate, &::inflateReset, &::inflateEnd};
#endif
#if defined(SATVET_WITH_XZ)
LzmaFunctions liblzma{&::lzma_stream_decoder, &::lzma_code, &::lzma_end};
#endif
#if defined(SATVET_WITH_BZIP2)
Bzip2Functions libbz2{&::BZ2_bzDecompressInit, &::BZ2_bzDecompress, &::BZ2_bzDecompressEnd};
#endif
#if defined(SATVET_WITH_ZSTD)
ZstdFunctions libzstd{&::ZSTD_createDCtx, &::ZSTD_decompressStream, &::ZSTD_isError, &::ZSTD_getErrorCode,
                      &::ZSTD_freeDCtx};
#endif

const char* prepare_library(Compression) { return nullptr; }

#endif
