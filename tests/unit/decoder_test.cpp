// Compressed input below the input layer: which bytes announce a format, and
// that a compressed file gives exactly the pieces of the same text in a plain
// file, wherever the decoder's chunks and the reader's blocks end.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "decoder.h"
#include "input.h"
#include "temp_file.h"

#include "compression_libraries.h"

namespace {

// The status of exit(-1) as the parent sees it: 255 on POSIX systems, -1 on
// Windows, which keeps the whole value.
#if defined(_WIN32)
constexpr int FATAL_STATUS = -1;
#else
constexpr int FATAL_STATUS = 255;
#endif

TEST(DetectCompression, TellsFormatsByTheirMagicOnly) {
  struct Case {
    std::string head;
    Compression format;
  };
  const Case cases[] = {
      {std::string("\x1f\x8b\x08\x00\x00\x00", 6), Compression::gzip},
      {std::string("\x1f\x8b\x07\x00\x00\x00", 6), Compression::none},  // no deflate: no gzip that gzip reads
      {std::string("\xfd" "7zXZ\0", 6), Compression::xz},
      {std::string("\xfd" "7zXZ", 5), Compression::none},  // cut short
      {"BZh91AY", Compression::bzip2},
      {"BZh1", Compression::bzip2},
      {"BZh0xx", Compression::none},  // no block size
      {"BZh", Compression::none},
      {std::string("\x28\xb5\x2f\xfd\x00\x00", 6), Compression::zstd},
      {std::string("\x5a\x2a\x4d\x18\x00\x00", 6), Compression::zstd},  // a skippable frame first
      {std::string("\x60\x2a\x4d\x18\x00\x00", 6), Compression::none},
      {"p cnf 3 2\n", Compression::none},
      {"c\n", Compression::none},
      {"", Compression::none},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(detect_compression(reinterpret_cast<const unsigned char*>(c.head.data()), c.head.size()), c.format)
        << testing::PrintToString(c.head);
  }
}

using Bytes = std::string;

// Each format's compressor, from the same library that decodes it.
#if defined(SATVET_WITH_GZIP)
Bytes gzip(const Bytes& text) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, 16 + 15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  Bytes out(deflateBound(&z, text.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}
#endif
#if defined(SATVET_WITH_XZ)
Bytes xz(const Bytes& text) {
  Bytes out(lzma_stream_buffer_bound(text.size()), '\0');
  std::size_t size = 0;
  EXPECT_EQ(lzma_easy_buffer_encode(1, LZMA_CHECK_CRC64, nullptr, reinterpret_cast<const std::uint8_t*>(text.data()),
                                    text.size(), reinterpret_cast<std::uint8_t*>(out.data()), &size, out.size()),
            LZMA_OK);
  out.resize(size);
  return out;
}
#endif
#if defined(SATVET_WITH_BZIP2)
Bytes bzip2(const Bytes& text) {
  Bytes out(text.size() + text.size() / 100 + 600, '\0');
  auto size = static_cast<unsigned>(out.size());
  EXPECT_EQ(BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(text.data()),
                                     static_cast<unsigned>(text.size()), 1, 0, 0),
            BZ_OK);
  out.resize(size);
  return out;
}
#endif
#if defined(SATVET_WITH_ZSTD)
Bytes zstd(const Bytes& text) {
  // With a checksum, as the zstd command writes its frames.
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
  Bytes out(ZSTD_compressBound(text.size()), '\0');
  std::size_t size = ZSTD_compress2(context, out.data(), out.size(), text.data(), text.size());
  EXPECT_FALSE(ZSTD_isError(size));
  out.resize(size);
  ZSTD_freeCCtx(context);
  return out;
}
#endif

using Compressor = Bytes (*)(const Bytes&);
struct Format {
  const char* name;
  Compressor compress;
};
const Format FORMATS[] = {
#if defined(SATVET_WITH_GZIP)
    {"gzip", gzip},
#endif
#if defined(SATVET_WITH_XZ)
    {"xz", xz},
#endif
#if defined(SATVET_WITH_BZIP2)
    {"bzip2", bzip2},
#endif
#if defined(SATVET_WITH_ZSTD)
    {"zstd", zstd},
#endif
};

InputFile input;  // static: it holds a 1 MiB block

std::vector<std::string> pieces_of_file(const Bytes& content) {
  TempFile file(content);
  EXPECT_TRUE(open_input(input, file.path.c_str()));
  std::vector<std::string> pieces;
  const char* line = nullptr;
  while (read_line(input, line)) pieces.emplace_back(line);
  finish_input(input);
  close_input(input);
  return pieces;
}

// About 3 MB of clause-like lines, long lines and CR LF pairs, so that chunk
// and block ends fall everywhere: inside lines, between CR and LF, inside
// pieces of long lines.
Bytes mixed_text() {
  Bytes text;
  std::uint32_t state = 12345;
  auto next = [&] { return state = state * 1103515245 + 12345, (state >> 16) & 0x7fff; };
  while (text.size() < 3000000) {
    const unsigned kind = next() % 10;
    if (kind == 0) {
      text += Bytes(4990 + next() % 20000, static_cast<char>('a' + next() % 26));
    } else {
      for (unsigned n = next() % 30; n > 0; --n) text += std::to_string(static_cast<int>(next()) - 16384) + " ";
      text += "0";
    }
    text += kind < 3 ? "\r\n" : "\n";
  }
  return text;
}

TEST(CompressedInput, GivesThePiecesOfThePlainText) {
  const Bytes text = mixed_text();
  const std::vector<std::string> plain = pieces_of_file(text);
  ASSERT_GT(plain.size(), 1000u);
  for (const Format& format : FORMATS) {
    EXPECT_TRUE(pieces_of_file(format.compress(text)) == plain) << format.name;
    // Concatenated streams, cut at an odd place: one text.
    const std::size_t cut = text.size() / 3 + 7;
    const Bytes two = format.compress(text.substr(0, cut)) + format.compress(text.substr(cut));
    EXPECT_TRUE(pieces_of_file(two) == plain) << format.name << ", two streams";
  }
}

TEST(CompressedInput, AnEmptyStreamIsAnEmptyText) {
  for (const Format& format : FORMATS) {
    EXPECT_TRUE(pieces_of_file(format.compress("")).empty()) << format.name;
  }
}

// A run whose compressed file is faulty ends with the format's message; the
// text before the fault is read first.
void read_all(const Bytes& content) {
  TempFile file(content);
  if (!open_input(input, file.path.c_str())) std::exit(3);
  input.name = "faulty";
  const char* line = nullptr;
  while (read_line(input, line)) {
  }
  finish_input(input);
  std::exit(0);
}

TEST(CompressedInput, ACutOrDamagedFileEndsTheRun) {
  const Bytes text = mixed_text().substr(0, 200000);
  for (const Format& format : FORMATS) {
    const Bytes whole = format.compress(text);
    const std::string name = format.name;
    EXPECT_EXIT(read_all(whole.substr(0, whole.size() / 2)), testing::ExitedWithCode(FATAL_STATUS),
                "^error reading 'faulty': the " + name + " data ends early\n$")
        << name;
    Bytes damaged = whole;
    for (std::size_t i = whole.size() / 3; i < whole.size() / 3 + 8; ++i) damaged[i] = static_cast<char>(~damaged[i]);
    EXPECT_EXIT(read_all(damaged), testing::ExitedWithCode(FATAL_STATUS),
                "^error reading 'faulty': the " + name + " data is corrupt\n$")
        << name;
    EXPECT_EXIT(read_all(whole + "trailing"), testing::ExitedWithCode(FATAL_STATUS),
                "^error reading 'faulty': the " + name + " data")
        << name;
  }
}

#if defined(SATVET_LOAD_LIBRARIES) && defined(SATVET_WITH_GZIP)
// Loading a library by name: all its functions or nothing.
TEST(LoadFunctions, TakesEveryFunctionOrNone) {
  const char* const names[] = {"inflate", "inflateEnd"};
  void* functions[2] = {nullptr, nullptr};
  ASSERT_TRUE(detail::load_functions("libz.so.1", names, functions, 2));
  EXPECT_NE(functions[0], nullptr);
  EXPECT_NE(functions[1], nullptr);
  EXPECT_NE(functions[0], functions[1]);

  const char* const missing[] = {"inflate", "satvet_no_such_function"};
  EXPECT_FALSE(detail::load_functions("libz.so.1", missing, functions, 2));
  EXPECT_FALSE(detail::load_functions("libsatvet-no-such-library.so.1", names, functions, 2));
}
#endif

}  // namespace
