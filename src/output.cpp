#include "output.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>

namespace detail {

char output_buffer[OUTPUT_BLOCK];
std::size_t output_used;

}  // namespace detail

namespace {

using detail::OUTPUT_BLOCK;
using detail::output_buffer;
using detail::output_used;

bool write_failed;
FatalHandler fatal_handler;
FatalCheck fatal_check;

// "00" to "99": the two digits of each number below 100.
constexpr char DIGIT_PAIRS[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
    "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";

// 10 to the powers 0 to 19: a number has n digits when it is below entry n.
constexpr unsigned long long POWERS_OF_TEN[] = {1ULL,
                                                10ULL,
                                                100ULL,
                                                1000ULL,
                                                10000ULL,
                                                100000ULL,
                                                1000000ULL,
                                                10000000ULL,
                                                100000000ULL,
                                                1000000000ULL,
                                                10000000000ULL,
                                                100000000000ULL,
                                                1000000000000ULL,
                                                10000000000000ULL,
                                                100000000000000ULL,
                                                1000000000000000ULL,
                                                10000000000000000ULL,
                                                100000000000000000ULL,
                                                1000000000000000000ULL,
                                                10000000000000000000ULL};

}  // namespace

void detail::drain_output() {
  if (output_used > 0 && std::fwrite(output_buffer, 1, output_used, stdout) != output_used) write_failed = true;
  output_used = 0;
}

void detail::out_bytes_beyond(const char* data, std::size_t length) {
  drain_output();
  if (length > OUTPUT_BLOCK) {
    if (std::fwrite(data, 1, length, stdout) != length) write_failed = true;
    return;
  }
  std::memcpy(output_buffer, data, length);
  output_used = length;
}

namespace {

// Writes the digits of magnitude so that they end just before `end`,
// two at a time from the last.
template <typename Unsigned>
void write_digits(char* end, Unsigned magnitude) {
  while (magnitude >= 100) {
    const auto pair = static_cast<unsigned>(magnitude % 100);
    magnitude /= 100;
    end -= 2;
    std::memcpy(end, DIGIT_PAIRS + 2 * pair, 2);
  }
  if (magnitude >= 10) {
    std::memcpy(end - 2, DIGIT_PAIRS + 2 * magnitude, 2);
  } else {
    end[-1] = static_cast<char>('0' + magnitude);
  }
}

}  // namespace

void out_int(long long value) {
  // The longest number, "-9223372036854775808", takes 20 bytes.
  if (OUTPUT_BLOCK - output_used < 20) detail::drain_output();
  char* out = output_buffer + output_used;
  const unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                                 : static_cast<unsigned long long>(value);
  if (value < 0) *out++ = '-';
  int length = 1;
  if (magnitude <= 0xFFFFFFFFULL) {
    // Numbers that fit in 32 bits, as every one the program lists does.
    const auto small = static_cast<std::uint32_t>(magnitude);
    while (length < 10 && small >= POWERS_OF_TEN[length]) ++length;
    write_digits(out + length, small);
  } else {
    while (length < 20 && magnitude >= POWERS_OF_TEN[length]) ++length;
    write_digits(out + length, magnitude);
  }
  output_used = static_cast<std::size_t>(out + length - output_buffer);
}

bool out_flush() {
  detail::drain_output();
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) write_failed = true;
  return !write_failed;
}

void fatal(const char* format, ...) {
  if (fatal_check != nullptr) fatal_check();
  out_flush();
  std::va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  if (fatal_handler != nullptr) fatal_handler(-1);
  std::exit(-1);
}

void set_fatal_handler(FatalHandler handler) { fatal_handler = handler; }

void set_fatal_check(FatalCheck check) { fatal_check = check; }

int finish_output() {
  if (out_flush()) return 0;
  std::fputs("error writing the report to standard output\n", stderr);
  return -1;
}
