// Smoke test of the Windows build's compression libraries: decodes the
// fixtures in the folder given as the argument (text.gz, text.xz, text.bz2,
// text.zst, made by the standard tools with data/make-fixtures) through each
// library's streaming interface, in small steps, and checks
// - that the library's version is that of the header compiled against
//   (zlib, liblzma, libzstd; bzlib.h names none),
// - that each file decodes to exactly the text that make-fixtures compressed,
// - that a flipped byte and a cut-off end are reported, not passed as data.
// A format whose library the build leaves out (SATVET_WITH_... undefined) is
// reported as not built. Exit status 0 when every check passes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "compression_libraries.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Input is handed over and output taken in steps of this size, so that every
// decoder has to stop and resume many times.
constexpr std::size_t kStep = 4096;

// The text of data/make-fixtures, generated the same way.
std::string fixture_text() {
  std::uint64_t state = 1;
  auto draw = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return state >> 33;
  };
  std::string text = "c compressed input, smoke test\np cnf 50 12000\n";
  for (int clause = 0; clause < 12000; ++clause) {
    for (int i = 0; i < 3; ++i) {
      const std::uint64_t variable = draw() % 50 + 1;
      if (draw() & 1) text += '-';
      text += std::to_string(variable);
      text += ' ';
    }
    text += "0\n";
  }
  return text;
}

// The decoded text, or nothing when the decoder reported an error or the
// input ended before the end of the stream (then why, in `error`).
struct Decoded {
  std::optional<std::string> text;
  std::string error;
};

Decoded failed(std::string why) { return {std::nullopt, std::move(why)}; }

#if defined(SATVET_WITH_GZIP)
Decoded decode_gzip(const Bytes& in) {
  z_stream s{};
  if (inflateInit2(&s, 16 + MAX_WBITS) != Z_OK) return failed("inflateInit2 failed");
  std::string out;
  unsigned char buffer[kStep];
  std::size_t pos = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (s.avail_in == 0 && pos < in.size()) {
      const std::size_t n = std::min(kStep, in.size() - pos);
      s.next_in = const_cast<unsigned char*>(in.data() + pos);
      s.avail_in = static_cast<uInt>(n);
      pos += n;
    }
    s.next_out = buffer;
    s.avail_out = sizeof buffer;
    status = inflate(&s, Z_NO_FLUSH);
    out.append(reinterpret_cast<char*>(buffer), sizeof buffer - s.avail_out);
    if (status == Z_BUF_ERROR && s.avail_in == 0 && pos == in.size()) break;
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
      std::string why = "zlib error " + std::to_string(status) + (s.msg ? std::string(": ") + s.msg : "");
      inflateEnd(&s);
      return failed(why);
    }
  }
  inflateEnd(&s);
  if (status != Z_STREAM_END) return failed("input ended inside the stream");
  if (s.avail_in != 0 || pos != in.size()) return failed("bytes after the stream");
  return {out, ""};
}
#endif

#if defined(SATVET_WITH_XZ)
Decoded decode_xz(const Bytes& in) {
  lzma_stream s = LZMA_STREAM_INIT;
  if (lzma_stream_decoder(&s, UINT64_MAX, 0) != LZMA_OK) return failed("lzma_stream_decoder failed");
  std::string out;
  unsigned char buffer[kStep];
  std::size_t pos = 0;
  lzma_ret status = LZMA_OK;
  while (status == LZMA_OK) {
    if (s.avail_in == 0 && pos < in.size()) {
      const std::size_t n = std::min(kStep, in.size() - pos);
      s.next_in = in.data() + pos;
      s.avail_in = n;
      pos += n;
    }
    s.next_out = buffer;
    s.avail_out = sizeof buffer;
    status = lzma_code(&s, pos == in.size() ? LZMA_FINISH : LZMA_RUN);
    out.append(reinterpret_cast<char*>(buffer), sizeof buffer - s.avail_out);
  }
  lzma_end(&s);
  if (status == LZMA_BUF_ERROR) return failed("input ended inside the stream");
  if (status != LZMA_STREAM_END) return failed("liblzma error " + std::to_string(status));
  if (s.avail_in != 0 || pos != in.size()) return failed("bytes after the stream");
  return {out, ""};
}
#endif

#if defined(SATVET_WITH_BZIP2)
Decoded decode_bzip2(const Bytes& in) {
  bz_stream s{};
  if (BZ2_bzDecompressInit(&s, 0, 0) != BZ_OK) return failed("BZ2_bzDecompressInit failed");
  std::string out;
  char buffer[kStep];
  std::size_t pos = 0;
  int status = BZ_OK;
  bool output_full = false;
  while (status == BZ_OK) {
    if (s.avail_in == 0) {
      // All input handed over: done once the decoder has no output left.
      if (pos == in.size() && !output_full) break;
      const std::size_t n = std::min(kStep, in.size() - pos);
      s.next_in = reinterpret_cast<char*>(const_cast<unsigned char*>(in.data() + pos));
      s.avail_in = static_cast<unsigned>(n);
      pos += n;
    }
    s.next_out = buffer;
    s.avail_out = sizeof buffer;
    status = BZ2_bzDecompress(&s);
    out.append(buffer, sizeof buffer - s.avail_out);
    output_full = s.avail_out == 0;
  }
  BZ2_bzDecompressEnd(&s);
  if (status == BZ_OK) return failed("input ended inside the stream");
  if (status != BZ_STREAM_END) return failed("libbz2 error " + std::to_string(status));
  if (s.avail_in != 0 || pos != in.size()) return failed("bytes after the stream");
  return {out, ""};
}
#endif

#if defined(SATVET_WITH_ZSTD)
Decoded decode_zstd(const Bytes& in) {
  ZSTD_DCtx* context = ZSTD_createDCtx();
  if (!context) return failed("ZSTD_createDCtx failed");
  std::string out;
  char buffer[kStep];
  ZSTD_inBuffer input{in.data(), 0, 0};
  std::size_t remaining = 1;  // 0 once the frame is complete and flushed
  bool output_full = false;
  for (;;) {
    if (input.pos == input.size) {
      if (input.size == in.size() && !output_full) break;
      input.size = std::min(input.size + kStep, in.size());
    }
    ZSTD_outBuffer output{buffer, sizeof buffer, 0};
    remaining = ZSTD_decompressStream(context, &output, &input);
    if (ZSTD_isError(remaining)) {
      std::string why = std::string("libzstd error: ") + ZSTD_getErrorName(remaining);
      ZSTD_freeDCtx(context);
      return failed(why);
    }
    out.append(buffer, output.pos);
    output_full = output.pos == output.size;
    if (remaining == 0) break;
  }
  ZSTD_freeDCtx(context);
  if (remaining != 0) return failed("input ended inside the stream");
  if (input.pos != in.size()) return failed("bytes after the stream");
  return {out, ""};
}
#endif

int failures = 0;
int passes = 0;

void check(bool ok, const std::string& what, const std::string& detail = "") {
  if (ok) {
    ++passes;
    std::printf("ok      %s\n", what.c_str());
  } else {
    ++failures;
    std::printf("FAILED  %s%s%s\n", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
  }
}

std::optional<Bytes> read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Where two texts first differ, for the message.
std::string first_difference(const std::string& got, const std::string& want) {
  std::size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  std::ostringstream message;
  message << "got " << got.size() << " bytes, want " << want.size() << "; first difference at byte " << i;
  return message.str();
}

void check_format(const std::string& name, const std::string& path, Decoded (*decode)(const Bytes&),
                  const std::string& want) {
  const std::optional<Bytes> packed = read_file(path);
  if (!packed || packed->size() < 64) {
    check(false, name + ": read " + path, "missing or too short");
    return;
  }
  const Decoded whole = decode(*packed);
  if (!whole.text) {
    check(false, name + ": decodes", whole.error);
  } else {
    check(*whole.text == want, name + ": decodes to the text", first_difference(*whole.text, want));
  }

  Bytes flipped = *packed;
  flipped[flipped.size() / 2] ^= 0x55;
  const Decoded corrupt = decode(flipped);
  check(!corrupt.text, name + ": a flipped byte is an error",
        corrupt.text ? "decoded " + std::to_string(corrupt.text->size()) + " bytes" : "");

  const Bytes cut(packed->begin(), packed->end() - 9);
  const Decoded short_input = decode(cut);
  check(!short_input.text, name + ": a cut-off end is an error",
        short_input.text ? "decoded " + std::to_string(short_input.text->size()) + " bytes" : "");
}

// One format: its fixture, its decoder (none when the build leaves its library
// out), and the versions of the library linked and of the header compiled
// (none where the header names none).
struct Format {
  const char* name;
  const char* file;
  Decoded (*decode)(const Bytes&);
  std::string library;
  std::string header;
};

std::vector<Format> formats() {
  std::vector<Format> list;
#if defined(SATVET_WITH_GZIP)
  list.push_back({"gzip", "text.gz", decode_gzip, std::string("zlib ") + zlibVersion(), "zlib " ZLIB_VERSION});
#else
  list.push_back({"gzip", "text.gz", nullptr, "", ""});
#endif
#if defined(SATVET_WITH_XZ)
  list.push_back({"xz", "text.xz", decode_xz, std::string("liblzma ") + lzma_version_string(),
                  "liblzma " LZMA_VERSION_STRING});
#else
  list.push_back({"xz", "text.xz", nullptr, "", ""});
#endif
#if defined(SATVET_WITH_BZIP2)
  // bzlib.h names no version to compare with.
  list.push_back({"bzip2", "text.bz2", decode_bzip2, std::string("libbz2 ") + BZ2_bzlibVersion(), ""});
#else
  list.push_back({"bzip2", "text.bz2", nullptr, "", ""});
#endif
#if defined(SATVET_WITH_ZSTD)
  list.push_back({"zstd", "text.zst", decode_zstd, std::string("libzstd ") + ZSTD_versionString(),
                  "libzstd " ZSTD_VERSION_STRING});
#else
  list.push_back({"zstd", "text.zst", nullptr, "", ""});
#endif
  return list;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: compression_smoke FIXTURE_FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::string want = fixture_text();
  for (const Format& format : formats()) {
    const std::string name = format.name;
    if (!format.decode) {
      std::printf("--      %s: not in this build\n", format.name);
      continue;
    }
    if (format.header.empty()) {
      std::printf("        %s: %s\n", format.name, format.library.c_str());
    } else {
      check(format.library == format.header, name + ": " + format.library, "header of " + format.header);
    }
    check_format(name, folder + "/" + format.file, format.decode, want);
  }
  std::printf("%d passed, %d failed\n", passes, failures);
  return failures == 0 && passes > 0 ? 0 : 1;
}
