// A read that fails is an error, not the end of the file: the input layer ends
// the process with a message that names the file, and the data before the
// failure is never taken for a whole file.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "input.h"

namespace {

// A stream that gives `data` and then fails every read with EIO.
struct FailingStream {
  std::string data;
  std::size_t given = 0;
};

ssize_t read_then_fail(void* cookie, char* buffer, std::size_t size) {
  auto* stream = static_cast<FailingStream*>(cookie);
  if (stream->given == stream->data.size()) {
    errno = EIO;
    return -1;
  }
  std::size_t n = std::min(size, stream->data.size() - stream->given);
  std::memcpy(buffer, stream->data.data() + stream->given, n);
  stream->given += n;
  return static_cast<ssize_t>(n);
}

InputFile input;  // static: it holds the whole read block

// Reads every piece of `data` that ends in a newline, then one more, which must
// end the process: exit status 1 means that the pieces were not as written, 2
// that the failed read passed for the end of the file.
void read_past_failure(const std::string& data, int whole_lines) {
  FailingStream stream{data};
  std::memset(&input, 0, sizeof input);
  input.stream = fopencookie(&stream, "r", cookie_io_functions_t{read_then_fail, nullptr, nullptr, nullptr});
  input.name = "flaky.cnf";
  if (input.stream == nullptr) std::exit(3);
  const char* line = nullptr;
  std::size_t at = 0;
  for (int i = 0; i < whole_lines; ++i) {
    std::size_t end = data.find('\n', at) + 1;
    if (!read_line(input, line) || data.compare(at, end - at, line) != 0) std::exit(1);
    at = end;
  }
  read_line(input, line);
  std::exit(2);
}

}  // namespace

TEST(ReadError, AFailedReadEndsTheRunWithTheFileName) {
  struct Case {
    const char* data;
    int whole_lines;
  };
  const Case cases[] = {
      {"", 0},                     // the first read fails
      {"p cnf 1 1\n1 0\n", 2},     // after whole lines
      {"p cnf 1 1\n1 ", 1},        // in the middle of a line: no last line is made of it
  };
  for (const Case& c : cases) {
    EXPECT_EXIT(read_past_failure(c.data, c.whole_lines), testing::ExitedWithCode(255),
                "^error reading 'flaky.cnf'\n$")
        << "data: " << c.data;
  }
}
