// The run of plain numbers with AVX2: four numbers converted at once. Compiled
// for AVX2 function by function, so that the program as a whole still runs on
// any x86-64 processor; input.cpp calls it only where the processor has AVX2.
#include "input.h"

#if defined(SATVET_AVX2_RUN)

#include <immintrin.h>

// The GNU C library's record of the processor's features, read at start. (Its
// header spells bool as C's _Bool, which clang does not take in C++: a clang
// build, the fuzzer's, asks the processor.)
#if defined(__GLIBC__) && !defined(__clang__) && __has_include(<sys/platform/x86.h>)
#include <sys/platform/x86.h>
#endif

#define SATVET_AVX2 __attribute__((target("avx2,bmi,popcnt")))

namespace detail {

bool has_avx2() {
#if defined(CPU_FEATURE_ACTIVE)
  // What the C library found at start (usable: the system saves the AVX
  // registers too). The compiler's own check asks the processor again, a
  // dozen cpuid instructions, each of which a virtual machine's host answers
  // in microseconds: together a tenth of a run on a small formula.
  return CPU_FEATURE_ACTIVE(AVX2) && CPU_FEATURE_ACTIVE(BMI1) && CPU_FEATURE_ACTIVE(POPCNT);
#else
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
         __builtin_cpu_supports("popcnt");
#endif
}

namespace {

// The top bits of the bytes of low (bits 0 to 31) and high (bits 32 to 63).
SATVET_AVX2 inline std::uint64_t mask64(__m256i low, __m256i high) {
  return std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(low))} |
         std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))} << 32;
}

SATVET_AVX2 inline std::uint64_t load8(const char* p) {
  std::uint64_t bytes;
  std::memcpy(&bytes, p, sizeof bytes);
  return bytes;
}

SATVET_AVX2 inline const char* take_space(std::uint64_t& pending, const char* window) {
  const char* space = window + _tzcnt_u64(pending);
  pending = _blsr_u64(pending);
  return space;
}

// The run's constants, 32 bytes each.
struct alignas(32) Constants {
  std::uint8_t space[32], minus[32], first_byte[32], zero_char[32], nine[32], one[32], eight[32], tens[32], hundreds[32],
      ten_thousands[32];
};

template <typename Word>
constexpr void fill(std::uint8_t (&bytes)[32], Word word) {
  for (std::size_t i = 0; i < 32; ++i) bytes[i] = static_cast<std::uint8_t>(word >> (8 * (i % sizeof word)));
}

constexpr Constants make_constants() {
  Constants c{};
  fill(c.space, std::uint8_t{' '});
  fill(c.minus, std::uint8_t{'-'});
  fill(c.first_byte, std::uint64_t{0xFF});
  fill(c.zero_char, std::uint8_t{'0'});
  fill(c.nine, std::uint8_t{9});
  fill(c.one, std::uint64_t{1});
  fill(c.eight, std::uint8_t{8});
  fill(c.tens, std::uint16_t{0x010A});               // bytes 10, 1
  fill(c.hundreds, std::uint32_t{0x00010064});       // words 100, 1
  fill(c.ten_thousands, std::uint32_t{0x00012710});  // words 10000, 1
  return c;
}

constexpr Constants CONSTANTS = make_constants();

SATVET_AVX2 inline __m256i constant(const std::uint8_t (&bytes)[32]) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes));
}

// load_window of input.h with 32-byte compares.
SATVET_AVX2 inline void load_window_avx2(const Constants& k, Spaces& spaces, const char* window) {
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + 32));
  const __m256i space = constant(k.space);
  const __m256i nul = _mm256_setzero_si256();
  std::uint64_t spaces_here = mask64(_mm256_cmpeq_epi8(low, space), _mm256_cmpeq_epi8(high, space));
  const std::uint64_t ends = mask64(_mm256_cmpeq_epi8(low, nul), _mm256_cmpeq_epi8(high, nul));
  spaces.window = window;
  spaces.next = window + 64;
  spaces.last = ends != 0;
  if (ends != 0) spaces_here &= (ends & (0 - ends)) - 1;
  spaces.pending = spaces_here;
}

// Four numbers converted, and the vectors that tell, where they end a run,
// whether the number that stopped it is the clause's closing 0.
struct Group {
  unsigned stop;     // bit i: number i stops the run
  __m256i is_minus;  // 0xFF in the first byte of a lane that begins with '-'
  __m256i run;       // the lane's digit bytes from its first byte on
  __m128i found;     // the magnitudes
};

// The four numbers at a, b, c and d, one 64-bit lane each: stores their
// magnitudes at magnitudes[0..3] and their polarities at positives[0..3], and
// tells which stop the run.
//
// Each lane holds the eight bytes at its place: a '-' in the first byte is
// noted and read as a leading 0, the digits from the first byte on are kept and
// moved to the top of the lane, and the lane is converted as eight decimal
// digits. A lane without a digit there reads as 0 (as does a lone '-'), and one
// whose digits fill it may go on beyond it: both stop the run, as do a 0 and a
// number beyond the bound.
SATVET_AVX2 inline Group convert_four(const Constants& k, __m128i bound, const char* a, const char* b,
                                      const char* c, const char* d, int* magnitudes, int* positives) {
  const __m256i minus = constant(k.minus);
  const __m256i zero_char = constant(k.zero_char);
  const __m256i nine = constant(k.nine);
  const __m256i one = constant(k.one);
  const __m256i eight = constant(k.eight);
  const __m256i none = _mm256_setzero_si256();
  const __m256i bytes = _mm256_set_epi64x(static_cast<long long>(load8(d)), static_cast<long long>(load8(c)),
                                          static_cast<long long>(load8(b)), static_cast<long long>(load8(a)));
  Group group;
  group.is_minus = _mm256_and_si256(_mm256_cmpeq_epi8(bytes, minus), constant(k.first_byte));
  const __m256i digits = _mm256_andnot_si256(group.is_minus, _mm256_sub_epi8(bytes, zero_char));
  const __m256i is_digit = _mm256_cmpeq_epi8(_mm256_min_epu8(digits, nine), digits);
  // The digit bytes from the first on (adding 1 carries through them), and
  // eight bits for each byte after them: the shift that puts them on top.
  group.run = _mm256_andnot_si256(_mm256_add_epi64(is_digit, one), is_digit);
  const __m256i shift = _mm256_sad_epu8(_mm256_andnot_si256(group.run, eight), none);
  const __m256i aligned = _mm256_sllv_epi64(_mm256_and_si256(digits, group.run), shift);
  const __m256i pairs = _mm256_maddubs_epi16(aligned, constant(k.tens));
  const __m256i quads = _mm256_madd_epi16(pairs, constant(k.hundreds));
  const __m256i eights = _mm256_madd_epi16(_mm256_packus_epi32(quads, quads), constant(k.ten_thousands));
  // Lanes 0 and 1 of each half hold its two numbers.
  group.found = _mm256_castsi256_si128(_mm256_permute4x64_epi64(eights, 0x08));
  // 1 in a lane without a '-', 0 in one with it, moved likewise (dwords 0 and 2
  // of each half).
  const __m128i positive = _mm256_castsi256_si128(
      _mm256_permute4x64_epi64(_mm256_shuffle_epi32(_mm256_andnot_si256(group.is_minus, one), 0x08), 0x08));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(magnitudes), group.found);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(positives), positive);
  const __m128i out_of_range = _mm_or_si128(_mm_cmpeq_epi32(group.found, _mm256_castsi256_si128(none)),
                                            _mm_cmpgt_epi32(group.found, bound));
  // A lane whose run reaches its last byte is digits throughout.
  group.stop = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(out_of_range))) |
               static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(group.run)));
  return group;
}

// Bit i set where number i of the group is a 0 read whole from its lane: an
// optional '-', then one to seven bytes of digits, then a byte that is none,
// all within the lane's eight bytes. Such a 0 ends the clause; a lane that
// only reads as 0 (no digit, or digits that go on) does not.
SATVET_AVX2 inline unsigned whole_zeros(const Group& group) {
  const __m256i none = _mm256_setzero_si256();
  const auto zero = static_cast<unsigned>(
      _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(group.found, _mm256_castsi256_si128(none)))));
  const auto goes_on = static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(group.run)));
  // Lanes whose run holds no digit but the '-' read as one.
  const auto no_digit = static_cast<unsigned>(_mm256_movemask_pd(
      _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_andnot_si256(group.is_minus, group.run), none))));
  return zero & ~goes_on & ~no_digit;
}

// mask without its lowest `count` set bits.
SATVET_AVX2 inline std::uint64_t drop_lowest(std::uint64_t mask, unsigned count) {
  for (unsigned i = 0; i < count; ++i) mask = _blsr_u64(mask);
  return mask;
}

}  // namespace

// The first group holds the number at the start of the line and those past the
// line's first three spaces; every later one those past the next four spaces.
// Where a group has fewer than four spaces left, the missing ones read the
// padding past the window, and their lanes stop the run. Its state stays in
// registers while it runs and is written out only where the line goes on past
// the run: on a clause line of plain numbers ended by its 0, never.
SATVET_AVX2 RunEnd plain_run_avx2(const char* line, int* magnitudes, int* positives, int room, int limit,
                                  Spaces& spaces, long long& last) {
  // The constants, read from a table that the compiler cannot see through:
  // otherwise it builds each from an immediate (three instructions instead of
  // one) and builds some of them again in every group.
  const Constants* table = &CONSTANTS;
  __asm__("" : "+r"(table));
  const Constants& k = *table;
  const __m128i bound = _mm_set1_epi32(limit);

  Spaces at;
  load_window_avx2(k, at, line);
  // The number of spaces pending, at least `wanted` where the string has that
  // many more: when fewer are left, the next window starts at the first.
  const auto pending_at_least = [&at, &k](unsigned wanted) SATVET_AVX2 {
    unsigned available = static_cast<unsigned>(_mm_popcnt_u64(at.pending));
    if (available < wanted && !at.last) {
      load_window_avx2(k, at, at.pending != 0 ? at.window + _tzcnt_u64(at.pending) : at.next);
      available = static_cast<unsigned>(_mm_popcnt_u64(at.pending));
    }
    return available;
  };
  // Where the line goes on past the run: `taken` numbers, and `pending` the
  // spaces after those used.
  const auto go_on = [&](int taken, std::uint64_t pending) SATVET_AVX2 {
    at.pending = pending;
    spaces = at;
    if (taken > 0) {
      const long long magnitude = magnitudes[taken - 1];
      last = positives[taken - 1] != 0 ? magnitude : -magnitude;
    }
    return RunEnd{taken, false};
  };

  int taken = 0;
  unsigned from_line = 1;  // lanes of the group that are not just past a space
  unsigned lanes = 1 + pending_at_least(3);
  std::uint64_t rest = at.pending;
  const char* b = take_space(rest, at.window) + 1;
  const char* c = take_space(rest, at.window) + 1;
  const char* d = take_space(rest, at.window) + 1;
  Group group = convert_four(k, bound, line, b, c, d, magnitudes, positives);
  if (lanes < 4) [[unlikely]] group.stop |= (0xFu << lanes) & 0xF;
  while (group.stop == 0) [[likely]] {
    at.pending = rest;
    taken += 4;
    from_line = 0;
    if (room - taken < 4) [[unlikely]] return go_on(taken, rest);
    lanes = pending_at_least(4);
    if (lanes == 0) [[unlikely]] return go_on(taken, at.pending);
    rest = at.pending;
    const char* a = take_space(rest, at.window) + 1;
    b = take_space(rest, at.window) + 1;
    c = take_space(rest, at.window) + 1;
    d = take_space(rest, at.window) + 1;
    group = convert_four(k, bound, a, b, c, d, magnitudes + taken, positives + taken);
    if (lanes < 4) [[unlikely]] group.stop |= (0xFu << lanes) & 0xF;
  }
  // The numbers before the first that stops the run are taken; a number just
  // past a space that is 0, read whole, is the 0 that ends the clause.
  const unsigned good = _tzcnt_u32(group.stop);
  taken += static_cast<int>(good);
  if (good >= from_line && good < lanes && (whole_zeros(group) >> good & 1) != 0) [[likely]] {
    return RunEnd{taken, true};
  }
  return go_on(taken, drop_lowest(at.pending, good >= from_line ? good - from_line : 0));
}

}  // namespace detail

#endif  // SATVET_AVX2_RUN
