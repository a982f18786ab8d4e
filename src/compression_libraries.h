// The headers of the decompression libraries that this build was made with
// (cmake/Compression.cmake defines SATVET_WITH_<FORMAT> for each).
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
