#include "output.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t OUTPUT_BLOCK = std::size_t{1} << 20;
char buffer[OUTPUT_BLOCK];
std::size_t used;
bool write_failed;
FatalHandler fatal_handler;
FatalCheck fatal_check;

void drain() {
  if (used > 0 && std::fwrite(buffer, 1, used, stdout) != used) write_failed = true;
  used = 0;
}

}  // namespace

void out_bytes(const char* data, std::size_t length) {
  if (length > OUTPUT_BLOCK - used) {
    drain();
    if (length > OUTPUT_BLOCK) {
      if (std::fwrite(data, 1, length, stdout) != length) write_failed = true;
      return;
    }
  }
  std::memcpy(buffer + used, data, length);
  used += length;
}

void out_char(char c) {
  if (used == OUTPUT_BLOCK) drain();
  buffer[used++] = c;
}

void out_text(const char* text) { out_bytes(text, std::strlen(text)); }

void out_int(long long value) {
  char digits[24];
  char* p = digits + sizeof digits;
  unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--p = '-';
  out_bytes(p, static_cast<std::size_t>(digits + sizeof digits - p));
}

bool out_flush() {
  drain();
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
