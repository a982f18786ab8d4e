#include "input.h"

#include <cstring>

#include "output.h"

#if defined(__unix__) || defined(__APPLE__)
#include <sys/stat.h>
#endif

bool open_input(InputFile& in, const char* path) {
  // Binary mode everywhere: the CR-before-LF translation below is the same on
  // every platform, so a file gives the same pieces wherever it is read.
  std::FILE* stream = std::fopen(path, "rb");
  if (stream == nullptr) return false;
#if defined(__unix__) || defined(__APPLE__)
  struct stat info;
  if (fstat(fileno(stream), &info) != 0 || S_ISDIR(info.st_mode)) {
    std::fclose(stream);
    return false;
  }
#endif
  if (in.decoder != nullptr) stop_decoder(in.decoder);
  in.decoder = nullptr;
  in.looked_for_magic = false;
  in.head_length = in.head_given = 0;
  in.stream = stream;
  in.name = path;
  in.start = in.end = 0;
  in.covered = 0;
  in.is_covered = false;
  in.held_cr = false;
  in.at_eof = false;
  return true;
}

std::size_t drop_cr_before_lf(char* data, std::size_t length) {
  char* cr = static_cast<char*>(std::memchr(data, '\r', length));
  if (cr == nullptr) return length;
  char* out = cr;
  const char* end = data + length;
  for (const char* p = cr; p < end; ++p) {
    if (*p == '\r' && p + 1 < end && p[1] == '\n') continue;
    *out++ = *p;
  }
  return static_cast<std::size_t>(out - data);
}

void finish_input(InputFile& in) {
  if (in.decoder == nullptr) return;
  Decoder* decoder = in.decoder;
  in.decoder = nullptr;
  finish_decoder(decoder);
}

void close_input(InputFile& in) {
  if (in.decoder != nullptr) stop_decoder(in.decoder);
  in.decoder = nullptr;
  if (in.stream != nullptr) std::fclose(in.stream);
  in.stream = nullptr;
}

namespace {

// Reads the file's first bytes and starts a decoder when they are a compression
// format's magic; a plain file's first bytes are kept to be delivered first.
void look_for_magic(InputFile& in) {
  in.looked_for_magic = true;
  in.head_given = 0;
  in.head_length = std::fread(in.head, 1, MAGIC_LENGTH, in.stream);
  if (in.head_length == 0 && std::ferror(in.stream)) fatal("error reading '%s'\n", in.name);
  const Compression format = detect_compression(in.head, in.head_length);
  if (format == Compression::none) return;
  if (!can_decompress(format)) {
    fatal("error reading '%s': this satvet cannot decompress %s files; decompress the file first\n", in.name,
          compression_name(format));
  }
  if (const char* library = prepare_library(format)) {
    fatal("error reading '%s': decompressing %s files needs the library %s, which cannot be loaded; install it or "
          "decompress the file first\n",
          in.name, compression_name(format), library);
  }
  in.decoder = start_decoder(format, in.stream, in.name, in.head, in.head_length);
}

// Reads up to `capacity` bytes of the file's text, the file's own bytes or what
// they decompress to. Returns 0 at the end of the text; a failed read ends the
// process with a message naming the file.
std::size_t read_text(InputFile& in, char* dest, std::size_t capacity) {
  if (!in.looked_for_magic) look_for_magic(in);
  if (in.decoder != nullptr) return read_decoded(in.decoder, dest, capacity);
  std::size_t got = in.head_length - in.head_given;
  if (got > capacity) got = capacity;
  std::memcpy(dest, in.head + in.head_given, got);
  in.head_given += got;
  got += std::fread(dest + got, 1, capacity - got, in.stream);
  if (got == 0 && std::ferror(in.stream)) fatal("error reading '%s'\n", in.name);
  return got;
}

// Moves the bytes not yet delivered to the front of the block and reads more
// after them. Sets at_eof when the stream gives nothing more. When nothing was
// left undelivered and the stream is at its end, the block is not touched, so
// the last piece delivered stays as it was.
void refill(InputFile& in) {
  uncover(in);
  std::size_t kept = in.end - in.start;
  if (kept > 0 && in.start > 0) std::memmove(in.block, in.block + in.start, kept);
  in.start = 0;
  in.end = kept;
  std::size_t fresh = kept;  // where translation must start
  if (in.held_cr) {
    in.block[in.end++] = '\r';
    in.held_cr = false;
  }
  std::size_t got = read_text(in, in.block + in.end, INPUT_BLOCK - in.end);
  if (got == 0) {
    in.at_eof = true;
    return;  // a held CR stays in the data: nothing follows it
  }
  in.end += got;
  in.end = fresh + drop_cr_before_lf(in.block + fresh, in.end - fresh);
  // A CR at the end of the block may precede an LF still in the stream.
  if (in.end > fresh && in.block[in.end - 1] == '\r') {
    in.held_cr = true;
    --in.end;
  }
}

}  // namespace

bool read_line_beyond(InputFile& in, const char*& line) {
  for (;;) {
    uncover(in);
    std::size_t available = in.end - in.start;
    char* piece = in.block + in.start;
    std::size_t limit = available < MAX_PIECE ? available : MAX_PIECE;
    const char* newline = static_cast<const char*>(std::memchr(piece, '\n', limit));
    std::size_t length;
    if (newline != nullptr) {
      length = static_cast<std::size_t>(newline - piece) + 1;
    } else if (available >= MAX_PIECE) {
      length = MAX_PIECE;
    } else if (!in.at_eof) {
      refill(in);
      continue;
    } else if (available > 0) {
      length = available;
    } else {
      return false;
    }
    line = detail::cut_piece(in, length);
    return true;
  }
}

namespace detail {

std::uint64_t byte_mask_bytewise(const char* text, char c) {
  std::uint64_t mask = 0;
  for (int i = 0; i < 64; ++i) mask |= std::uint64_t{text[i] == c} << i;
  return mask;
}

}  // namespace detail

namespace detail {

#if defined(SATVET_AVX2_RUN)
PlainRun plain_run = has_avx2() ? plain_run_avx2 : nullptr;
#else
PlainRun plain_run = nullptr;
#endif

}  // namespace detail
