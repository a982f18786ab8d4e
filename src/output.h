// Standard output through one large buffer of the program's own, and the fatal
// exit. Everything the program writes on standard output goes through here, so
// that a failed write is noticed and never reported as success.
#pragma once

#include <cstddef>
#include <cstring>

namespace detail {
// The buffer that standard output is collected in, and how much of it is used.
constexpr std::size_t OUTPUT_BLOCK = std::size_t{1} << 20;
extern char output_buffer[OUTPUT_BLOCK];
extern std::size_t output_used;
// Writes the buffer out and empties it.
void drain_output();
// out_bytes for what does not fit in the buffer's free room.
void out_bytes_beyond(const char* data, std::size_t length);
}  // namespace detail

// Appends bytes to standard output. Inline, so that the listing's many short
// writes are a copy into the buffer each.
inline void out_bytes(const char* data, std::size_t length) {
  if (length > detail::OUTPUT_BLOCK - detail::output_used) [[unlikely]] {
    detail::out_bytes_beyond(data, length);
    return;
  }
  std::memcpy(detail::output_buffer + detail::output_used, data, length);
  detail::output_used += length;
}

inline void out_char(char c) {
  if (detail::output_used == detail::OUTPUT_BLOCK) [[unlikely]] detail::drain_output();
  detail::output_buffer[detail::output_used++] = c;
}

// A NUL-terminated string, without its NUL.
inline void out_text(const char* text) { out_bytes(text, std::strlen(text)); }

// As a signed decimal number, as "%lld" writes it.
void out_int(long long value);

// Writes what is buffered and makes sure it reached the stream. Returns false when
// any write on standard output has failed.
bool out_flush();

// Flushes standard output, writes the formatted message on standard error and ends
// the process with exit status -1 (through the fatal handler, when one is set).
[[noreturn]] void fatal(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The input layer sets a check here that fatal runs before it writes anything:
// a compressed file found corrupt there is the error reported instead (the check
// then ends the process itself, through fatal), and no decoder thread is left
// running when the check returns.
using FatalCheck = void (*)();
void set_fatal_check(FatalCheck check);

// A harness that runs the whole program inside its own process (a fuzzer) sets a
// handler here: fatal calls it with the exit status instead of ending the process.
// The handler must not return (it may throw: the pieces that harnesses link are
// built with exceptions); if it does, the process ends as usual. The program
// itself never sets one.
using FatalHandler = void (*)(int status);
void set_fatal_handler(FatalHandler handler);

// Ends a completed check: flushes standard output and returns 0, or, when the
// report could not be written, says so on standard error and returns -1.
int finish_output();
