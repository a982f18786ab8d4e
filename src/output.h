// Standard output through one large buffer of the program's own, and the fatal
// exit. Everything the program writes on standard output goes through here, so
// that a failed write is noticed and never reported as success.
#pragma once

#include <cstddef>

// Appends bytes to standard output.
void out_bytes(const char* data, std::size_t length);
void out_char(char c);
void out_text(const char* text);  // a NUL-terminated string, without its NUL
void out_int(long long value);    // as a signed decimal number

// Writes what is buffered and makes sure it reached the stream. Returns false when
// any write on standard output has failed.
bool out_flush();

// Flushes standard output, writes the formatted message on standard error and ends
// the process with exit status -1.
[[noreturn]] void fatal(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Ends a completed check: flushes standard output and returns 0, or, when the
// report could not be written, says so on standard error and returns -1.
int finish_output();
