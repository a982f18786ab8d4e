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
// The handler must not return (it may throw); if it does, the process ends as
// usual. The program itself never sets one.
using FatalHandler = void (*)(int status);
void set_fatal_handler(FatalHandler handler);

// Ends a completed check: flushes standard output and returns 0, or, when the
// report could not be written, says so on standard error and returns -1.
int finish_output();
