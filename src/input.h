// The input layer: the only place that knows about buffers. It cuts an input
// file into the pieces that a bounded line read into a 5000-byte buffer delivers,
// in text mode on every platform, and scans numbers and tokens in those pieces.
// The readers above it see each piece as a NUL-terminated string.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "decoder.h"

// SATVET_NO_SIMD (CMake option SATVET_SIMD=OFF) builds the bytewise scans only,
// as on a processor without vector instructions.
#if !defined(SATVET_NO_SIMD) && (defined(__SSE2__) || defined(_M_X64))
#include <emmintrin.h>
#define SATVET_SSE2 1
#endif

// The AVX2 run of plain numbers (scan_avx2.cpp): compiled into every x86-64
// build whose compiler takes per-function targets, used only where the
// processor has AVX2 (chosen once at start).
#if !defined(SATVET_NO_SIMD) && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define SATVET_AVX2_RUN 1
#endif

// Each reader reads through a line buffer of this size: one piece holds at most
// LINE_BUFFER_SIZE - 1 characters, with the newline when the whole line fits.
constexpr int LINE_BUFFER_SIZE = 5000;
constexpr std::size_t MAX_PIECE = LINE_BUFFER_SIZE - 1;

// Bytes read from the file at a time. Must hold more than one piece. A build
// may set a smaller block (the fuzzer's does, so that its small inputs cross
// block ends).
#ifndef SATVET_INPUT_BLOCK
#define SATVET_INPUT_BLOCK (1 << 20)
#endif
constexpr std::size_t INPUT_BLOCK = SATVET_INPUT_BLOCK;
static_assert(INPUT_BLOCK > 2 * MAX_PIECE, "a block must hold a whole piece and more");

// Bytes after the end of a piece that the scans may read (see scan_at, Spaces).
constexpr std::size_t SCAN_PADDING = 128;

struct InputFile {
  std::FILE* stream;
  const char* name;       // the path, for messages
  // What the file holds is known after its first read: a plain file's first
  // bytes, read to look for a compression format's magic, are kept in `head`
  // until they are delivered; a compressed file is read through its decoder.
  bool looked_for_magic;
  unsigned char head[MAGIC_LENGTH];
  std::size_t head_length, head_given;
  Decoder* decoder;       // nullptr for a plain file
  std::size_t start;      // first byte of block not yet delivered
  std::size_t end;        // end of the bytes read into block
  char covered;           // the byte at block[start] that the last piece's NUL covers
  bool is_covered;        // block[start] holds that NUL now
  bool held_cr;           // a CR that ended the last read, not yet known to precede LF
  bool at_eof;            // the stream has nothing more to give
  // +1: room for the NUL after a piece that ends the data; then what scan_at may read.
  char block[INPUT_BLOCK + 1 + SCAN_PADDING];
};

// Opens path for reading. Returns false, with nothing left open, when the path
// cannot be opened as a file (a directory cannot).
bool open_input(InputFile& in, const char* path);

// After the reader is done with the file: a compressed file is decoded to its
// end, so that a corrupt or cut-off file is never taken for a good one, and its
// decoder is stopped. Nothing happens to a plain file, whose rest is never read.
void finish_input(InputFile& in);

// Stops the decoder of a file, if it has one, and closes the file. For a harness
// that runs the program several times in one process; the program itself leaves
// its files open.
void close_input(InputFile& in);

// Puts back the byte that the last piece's NUL covers, if it is covered.
inline void uncover(InputFile& in) {
  if (in.is_covered) {
    in.block[in.start] = in.covered;
    in.is_covered = false;
  }
}

namespace detail {
// Delivers the next `length` bytes of the block, which must hold them, as the
// next piece: terminates it in place (the byte under the NUL is kept, to be put
// back before the next piece is cut) and returns its start.
inline const char* cut_piece(InputFile& in, std::size_t length) {
  char* piece = in.block + in.start;
  in.start += length;
  if (in.start < in.end) {
    in.covered = in.block[in.start];
    in.is_covered = true;
  }
  in.block[in.start] = '\0';
  return piece;
}
}  // namespace detail

// read_line for every case: a piece that may cross the end of the bytes read,
// be cut at MAX_PIECE or end the file.
bool read_line_beyond(InputFile& in, const char*& line);

// Reads the next piece: the rest of the current line up to and including its
// newline, but at most MAX_PIECE characters; a carriage return directly before a
// line feed never appears. On success points `line` at the piece, NUL-terminated,
// and returns true; the piece stays valid until the next call. At the end of the
// input returns false and leaves `line`, and the piece it points at, as they were.
// A read error ends the process with a message naming the file.
inline bool read_line(InputFile& in, const char*& line);

// Removes each CR that directly precedes an LF from data[0, length) and returns
// the new length. A CR in the last byte is kept: the caller decides about it.
std::size_t drop_cr_before_lf(char* data, std::size_t length);

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// White space as the C library's scanning and conversion functions skip it.
inline bool is_white(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Magnitudes beyond this are held at it: it is far out of every range the
// readers accept, and no arithmetic on it can overflow.
constexpr long long SATURATED = 1LL << 40;

// A decimal number as the C library's conversions read it: leading white space,
// an optional sign, then digits up to the first non-digit.
struct Decimal {
  long long value;      // signed; its magnitude is held at SATURATED
  int digits;           // decimal digits read, leading zeros included; 0: none
  const char* begin;    // first character of the number (its sign or first digit)
  const char* end;      // first character after its digits

  long long magnitude() const { return value < 0 ? -value : value; }
};

namespace detail {
// The sign and digits of a decimal number at p, after any white space.
inline Decimal read_signed_digits(const char* p) {
  Decimal d{0, 0, p, p};
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  long long magnitude = 0;
  const char* first = p;
  while (is_digit(*p)) {
    if (magnitude < SATURATED) magnitude = magnitude * 10 + (*p - '0');
    ++p;
  }
  if (magnitude > SATURATED) magnitude = SATURATED;
  d.digits = static_cast<int>(p - first);
  if (d.digits == 0) return d;
  d.value = negative ? -magnitude : magnitude;
  d.end = p;
  return d;
}
}  // namespace detail

// Reads a decimal number at p (NUL-terminated) as the "%d" scan does. When no
// digit follows the white space and sign, digits is 0 and value is 0.
inline Decimal read_decimal(const char* p) {
  while (is_white(*p)) ++p;
  return detail::read_signed_digits(p);
}

// The value of a token that next_token split off, as atoi reads it: the token
// ends at a space, so only the other white space is skipped before it.
inline Decimal token_decimal(const char* token) {
  while (*token != ' ' && is_white(*token)) ++token;
  return detail::read_signed_digits(token);
}

// The "%d" scan: like read_decimal, but reports whether a number was found; the
// caller keeps its old value when none was.
inline bool scan_int(const char* p, Decimal& number) {
  Decimal found = read_decimal(p);
  if (found.digits == 0) return false;
  number = found;
  return true;
}

// The "%d" scan at pos, for the formula reader's hot loop: sets `value` when a
// number is found and leaves it as it was when none is. A number written plainly,
// with at most 7 digits, is converted eight bytes at a time; all else (white
// space, '+', longer numbers) takes the exact rule of read_decimal. pos must have
// SCAN_PADDING readable bytes after its string's NUL, as the input layer's block
// provides.
inline void scan_at(const char* pos, long long& value) {
  if constexpr (std::endian::native == std::endian::little) {
    const bool negative = *pos == '-';
    const char* first = pos + negative;
    std::uint64_t chunk;
    std::memcpy(&chunk, first, sizeof chunk);
    // Bytes as digit values; a byte is no digit when its value is 10 or more.
    std::uint64_t digits = chunk ^ 0x3030303030303030ULL;
    const std::uint64_t nondigit = ((digits + 0x7676767676767676ULL) | digits) & 0x8080808080808080ULL;
    // The first non-digit's marker bit is bit 8 * count + 7, where count is the
    // number of digits before it: 1 to 7 digits put it at bits 15 to 63.
    const unsigned marker = static_cast<unsigned>(std::countr_zero(nondigit));
    if (marker - 15 <= 48) [[likely]] {
      // Drop the bytes after the digits (shift by 8 * (8 - count)); zero bytes in
      // front read as leading zeros.
      digits <<= 71 - marker;
      digits = (digits * 10 + (digits >> 8)) & 0x00FF00FF00FF00FFULL;
      digits = (digits * 100 + (digits >> 16)) & 0x0000FFFF0000FFFFULL;
      digits = (digits * 10000 + (digits >> 32)) & 0x00000000FFFFFFFFULL;
      const long long number = static_cast<long long>(digits);
      value = negative ? -number : number;
      return;
    }
  }
  Decimal found = read_decimal(pos);
  if (found.digits > 0) value = found.value;
}

// token_decimal(token).value, converted as scan_at converts: the token's string
// must have SCAN_PADDING readable bytes after its NUL, as the input layer's
// block provides.
inline long long token_value(const char* token) {
  // scan_at would skip white space that goes on into a space; token_decimal
  // stops there.
  if (is_white(*token)) return token_decimal(token).value;
  long long value = 0;
  scan_at(token, value);
  return value;
}

// The space characters of a NUL-terminated string, found 64 bytes at a time and
// handed out in order: the same positions that repeated find_space calls, each
// starting just past the space before, return.
struct Spaces {
  const char* window;  // start of the 64 bytes that `pending` describes
  const char* next;    // the window to read when `pending` runs out
  std::uint64_t pending;  // bit i: window[i] is a space not yet handed out
  bool last;           // the string ends within this window
};

namespace detail {

std::uint64_t byte_mask_bytewise(const char* text, char c);

// Bit i set where text[i] equals c, for i from 0 to 63: with the processor's
// vector instructions where it has them, else byte by byte.
inline std::uint64_t byte_mask(const char* text, char c) {
#if defined(SATVET_SSE2)
  const __m128i wanted = _mm_set1_epi8(c);
  std::uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * i));
    const auto bits = static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
    mask |= std::uint64_t{bits} << (16 * i);
  }
  return mask;
#else
  return byte_mask_bytewise(text, c);
#endif
}

// Inline, like next_space, so that the hot loop keeps a Spaces in registers.
inline void load_window(Spaces& spaces, const char* window) {
  std::uint64_t spaces_here = byte_mask(window, ' ');
  const std::uint64_t ends = byte_mask(window, '\0');
  spaces.window = window;
  spaces.next = window + 64;
  spaces.last = ends != 0;
  // Only the spaces before the string's end count.
  if (ends != 0) spaces_here &= (ends & (0 - ends)) - 1;
  spaces.pending = spaces_here;
}

}  // namespace detail

inline bool read_line(InputFile& in, const char*& line) {
#if defined(SATVET_SSE2)
  // A line that ends within the next NEAR bytes read, as most do, is cut here,
  // inline, 16 bytes at a time: those bytes are the file's, and the piece is far
  // below MAX_PIECE.
  constexpr std::size_t NEAR = 128;
  if (in.end - in.start >= NEAR) [[likely]] {
    uncover(in);
    const char* piece = in.block + in.start;
    const __m128i newline = _mm_set1_epi8('\n');
    for (std::size_t at = 0; at < NEAR; at += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(piece + at));
      const unsigned found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newline)));
      if (found != 0) {
        line = detail::cut_piece(in, at + static_cast<std::size_t>(std::countr_zero(found)) + 1);
        return true;
      }
    }
  }
#endif
  return read_line_beyond(in, line);
}

// The spaces of text; its first window is read when a space is first asked for.
inline Spaces spaces_of(const char* text) { return Spaces{text, text, 0, false}; }

// The next space of the string, or nullptr when it has no more.
inline const char* next_space(Spaces& spaces) {
  while (spaces.pending == 0) [[unlikely]] {
    if (spaces.last) return nullptr;
    detail::load_window(spaces, spaces.next);
  }
  const int at = std::countr_zero(spaces.pending);
  spaces.pending &= spaces.pending - 1;
  return spaces.window + at;
}

// Plain literals of a line, in a run: the number at the start of `line`, then
// those just past the line's next spaces, taken in groups of four as long as
// each is a plain number (an optional '-' and then digits, seven bytes at most,
// followed by any other byte) whose magnitude is from 1 to `limit`, and as long
// as `room` allows. Writes each magnitude to magnitudes[i] and 1 (no '-') or 0
// ('-') to positives[i] and returns how many were taken, possibly 0. Within a
// group it takes the numbers before the first that is not plain or not in
// range; room must be at least 4, and the places from magnitudes[taken] and
// positives[taken] to the end of the last group may be written too. When it
// stops at a 0 just past a space (a plain number whose value is 0), it reads
// that too and returns `ended`: the clause is over, and nothing else is set.
// Otherwise it sets `spaces` to the line's spaces that follow those it used,
// and `last` to the last number taken (signed) when it took any; the caller
// goes on a number at a time from there. What it takes is exactly what scan_at
// at the same places would find.
struct RunEnd {
  int taken;
  bool ended;
};
using PlainRun = RunEnd (*)(const char* line, int* magnitudes, int* positives, int room, int limit,
                            Spaces& spaces, long long& last);

namespace detail {
// The run chosen for this processor at start: nullptr where none is faster than
// a number at a time. Tests set it to each path in turn.
extern PlainRun plain_run;
#if defined(SATVET_AVX2_RUN)
// Whether the processor (and its system) runs the AVX2 kernel, and the kernel.
bool has_avx2();
RunEnd plain_run_avx2(const char* line, int* magnitudes, int* positives, int room, int limit, Spaces& spaces,
                      long long& last);
#endif
}  // namespace detail

namespace detail {
// Whether the string at text ends within its first 32 bytes, which may be read.
inline bool ends_early(const char* text) {
#if defined(SATVET_SSE2)
  const __m128i nul = _mm_setzero_si128();
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16));
  return _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(low, nul), _mm_cmpeq_epi8(high, nul))) != 0;
#else
  return std::memchr(text, '\0', 32) != nullptr;
#endif
}
}  // namespace detail

// The reader's run of plain literals, by the run this processor has (PlainRun
// above; where there is none, nothing is taken): `ended` tells whether the run
// read the clause's closing 0, and `last` becomes the number last read (that
// 0 where it did). Where the line goes on past the run, `spaces` (the line's,
// none handed out yet) moves past the spaces used.
inline int take_plain_run(const char* line, Spaces& spaces, int* magnitudes, int* positives, int room,
                          int limit, long long& last, bool& ended) {
  ended = false;
  // A short line (three literals, say) is read faster a number at a time: the
  // run's long chain from bytes to values does not pay for itself there.
  if (detail::plain_run == nullptr || room < 4 || detail::ends_early(line)) return 0;
  // Set by the run only where the line goes on past it: the caller's own stay
  // in registers around the call.
  Spaces moved;
  long long last_taken;
  const RunEnd end = detail::plain_run(line, magnitudes, positives, room, limit, moved, last_taken);
  if (end.ended) [[likely]] {
    ended = true;
    last = 0;
  } else {
    spaces = moved;
    if (end.taken > 0) last = last_taken;
  }
  return end.taken;
}

// The first space character at or after p, or nullptr when the string ends first.
inline const char* find_space(const char* p) {
  while (*p != ' ') {
    if (*p == '\0') return nullptr;
    ++p;
  }
  return p;
}

// Splitting at the space character: skips spaces at p and returns the token that
// follows (nullptr when the string ends first), its length in `length`, and moves
// p past it. Tab, CR and newline belong to tokens.
inline const char* next_token(const char*& p, std::size_t& length) {
  while (*p == ' ') ++p;
  if (*p == '\0') return nullptr;
  const char* token = p;
  while (*p != ' ' && *p != '\0') ++p;
  length = static_cast<std::size_t>(p - token);
  return token;
}
