// A file with given content in the system's temporary folder, removed again at
// the end of its scope.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

struct TempFile {
  std::string path;

  explicit TempFile(const std::string& content) {
    const char* folder = std::getenv("TMPDIR");
    path = std::string(folder != nullptr ? folder : "/tmp") + "/satvet-unit-XXXXXX";
    int fd = mkstemp(path.data());
    if (fd < 0) std::abort();
    std::FILE* f = fdopen(fd, "wb");
    if (f == nullptr || std::fwrite(content.data(), 1, content.size(), f) != content.size()) std::abort();
    std::fclose(f);
  }
  ~TempFile() { std::remove(path.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
};
