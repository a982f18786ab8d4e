// The decompression libraries that this build was made with
// (cmake/Compression.cmake defines SATVET_WITH_<FORMAT> for each), and the
// functions of theirs that the decoders call, one table per library.
//
// Where the build loads the libraries (SATVET_LOAD_LIBRARIES, on Linux), a
// library is loaded by its shared object's name the first time a file in its
// format is met, so that a run on plain files never pays for them; elsewhere
// the libraries are linked in and the tables point at their functions
// (prepare_library in decoder.h makes a table ready).
#pragma once

#if defined(SATVET_WITH_GZIP)
#include <zlib.h>
#endif
#if defined(SATVET_WITH_XZ)
#include <lzma.h>
#endif
#if defined(SATVET_WITH_BZIP2)
#include <bzlib.h>
#endif
#if defined(SATVET_WITH_ZSTD)
#include <zstd.h>
#include <zstd_errors.h>
#endif

#include "decoder.h"

#if defined(SATVET_WITH_GZIP)
struct ZlibFunctions {
  decltype(&::inflateInit2_) inflateInit2_;
  decltype(&::inflate) inflate;
  decltype(&::inflateReset) inflateReset;
  decltype(&::inflateEnd) inflateEnd;
};
extern ZlibFunctions zlib;
#endif

#if defined(SATVET_WITH_XZ)
struct LzmaFunctions {
  decltype(&::lzma_stream_decoder) lzma_stream_decoder;
  decltype(&::lzma_code) lzma_code;
  decltype(&::lzma_end) lzma_end;
};
extern LzmaFunctions liblzma;
#endif

#if defined(SATVET_WITH_BZIP2)
struct Bzip2Functions {
  decltype(&::BZ2_bzDecompressInit) BZ2_bzDecompressInit;
  decltype(&::BZ2_bzDecompress) BZ2_bzDecompress;
  decltype(&::BZ2_bzDecompressEnd) BZ2_bzDecompressEnd;
};
extern Bzip2Functions libbz2;
#endif

#if defined(SATVET_WITH_ZSTD)
struct ZstdFunctions {
  decltype(&::ZSTD_createDCtx) ZSTD_createDCtx;
  decltype(&::ZSTD_decompressStream) ZSTD_decompressStream;
  decltype(&::ZSTD_isError) ZSTD_isError;
  decltype(&::ZSTD_getErrorCode) ZSTD_getErrorCode;
  decltype(&::ZSTD_freeDCtx) ZSTD_freeDCtx;
};
extern ZstdFunctions libzstd;
#endif

#if defined(SATVET_LOAD_LIBRARIES)
namespace detail {
// Loads the shared object `name` and looks up `count` functions by their names
// into functions[]: false, with nothing kept, when either fails.
bool load_functions(const char* name, const char* const* names, void** functions, int count);
}  // namespace detail
#endif
