// libFuzzer target over the whole program. One input holds a formula file and a
// solution file; satvet runs on them as its command line would, inside this
// process, and its outcome must keep the program's rule for every input:
//
//   exit status 0:  nothing on standard error, and on standard output a complete
//                   report whose value listing and clause lines agree with the
//                   tables that the readers filled;
//   exit status -1: one message line on standard error, nothing on standard output.
//
// Anything else aborts, and libFuzzer keeps the input as a crash.
//
// Input layout: the formula's bytes, the separator "%%\n", the solution's bytes.
// An input without the separator is given as both files (the same path twice).
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "satvet.h"
#include "input.h"
#include "output.h"
#include "tables.h"

extern "C" __attribute__((weak)) void __sanitizer_set_report_fd(void* fd);

namespace {

constexpr std::string_view SEPARATOR = "%%\n";

struct FatalExit {
  int status;
};

[[noreturn]] void throw_fatal(int status) { throw FatalExit{status}; }

// Read buffers of the two files, as main has them.
InputFile formula_file;
InputFile solution_file;

// In-memory files: the two inputs, and what the run writes on its standard
// output and standard error.
int formula_fd, solution_fd, stdout_fd, stderr_fd;
char formula_path[64], solution_path[64];

// Standard error as it was at start: for the harness's own complaints, which must
// not vanish into the captured stream.
int complaint_fd = 2;

int memory_file(const char* name) {
  int fd = memfd_create(name, 0);
  if (fd < 0) {
    std::perror("memfd_create");
    std::abort();
  }
  return fd;
}

void fill(int fd, const uint8_t* data, std::size_t size) {
  if (ftruncate(fd, 0) != 0) std::abort();
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) std::abort();
    done += static_cast<std::size_t>(n);
  }
}

// A captured stream, mapped for reading.
struct Captured {
  const char* data = nullptr;
  std::size_t size = 0;
  std::string_view view() const { return {data, size}; }
};

Captured map_file(int fd) {
  Captured c;
  off_t size = lseek(fd, 0, SEEK_END);
  if (size < 0) std::abort();
  c.size = static_cast<std::size_t>(size);
  if (c.size > 0) {
    void* p = mmap(nullptr, c.size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) std::abort();
    c.data = static_cast<const char*>(p);
  }
  return c;
}

void unmap(Captured& c) {
  if (c.size > 0) munmap(const_cast<char*>(c.data), c.size);
}

void show(const char* name, std::string_view text) {
  dprintf(complaint_fd, "  %s (%zu bytes): \"", name, text.size());
  std::size_t shown = text.size() < 600 ? text.size() : 600;
  for (std::size_t i = 0; i < shown; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') dprintf(complaint_fd, "\\n");
    else if (c == '\\' || c == '"') dprintf(complaint_fd, "\\%c", c);
    else if (c < 32 || c >= 127) dprintf(complaint_fd, "\\x%02x", c);
    else dprintf(complaint_fd, "%c", c);
  }
  dprintf(complaint_fd, "\"%s\n", shown < text.size() ? "..." : "");
}

[[noreturn]] void broken_rule(const char* what, int status, const Captured& out, const Captured& err) {
  dprintf(complaint_fd, "\nsatvet broke its output rule: %s\n  exit status %d\n", what, status);
  show("stdout", out.view());
  show("stderr", err.view());
  std::abort();
}

// Reads an unsigned decimal without leading zeros at text[pos]; false if none.
bool read_number(std::string_view text, std::size_t& pos, long long& value) {
  std::size_t start = pos;
  value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 12) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos == start) return false;
  return !(text[start] == '0' && pos - start > 1);
}

bool take(std::string_view text, std::size_t& pos, std::string_view expected) {
  if (text.substr(pos, expected.size()) != expected) return false;
  pos += expected.size();
  return true;
}

// The value that the listing gave each variable last: -1 where none.
signed char listed[ASSIGNMENT_SIZE];

// Checks a report of a completed run against the tables; returns what is wrong,
// or nullptr.
const char* check_report(std::string_view out) {
  std::memset(listed, -1, sizeof listed);
  std::size_t pos = 0;
  // Listing header: an empty line, then the label token and "  value".
  if (out.size() >= 2 && out[0] == '\n' && out[1] == 'v') {
    std::size_t at = out.find("  value\n", 1);
    if (at == std::string_view::npos) return "listing header without its end";
    std::string_view label = out.substr(1, at - 1);
    for (std::size_t i = 0; i < label.size(); ++i) {
      char c = label[i];
      if (c == ' ' || c == '\0' || (c == '\n' && i + 1 != label.size())) return "bad listing label";
    }
    pos = at + 8;
  }
  // Listing lines: "variable  value".
  while (pos < out.size() && out[pos] != '\n') {
    long long variable;
    if (!read_number(out, pos, variable) || variable > MAX_VARS) return "bad variable in the listing";
    if (!take(out, pos, "  ")) return "bad listing line";
    if (pos >= out.size() || (out[pos] != '0' && out[pos] != '1')) return "bad value in the listing";
    listed[variable] = static_cast<signed char>(out[pos] - '0');
    ++pos;
    if (!take(out, pos, "\n")) return "listing line not ended";
  }
  if (!take(out, pos, "\n")) return "no empty line after the listing";

  // The assignment table holds what was listed last, and 0 elsewhere.
  for (int v = 0; v < ASSIGNMENT_SIZE; ++v) {
    int want = listed[v] < 0 ? 0 : listed[v];
    if (assgn[v] != want) return "assignment table differs from the listing";
  }
  // The clause store keeps its invariants.
  if (vars > MAX_VARS || clauses > MAX_CLAUSES) return "counts beyond the limits";
  bool satisfied = true;
  char line[32];
  for (int k = 0; k < clauses; ++k) {
    if (lic[k] < 1 || lic[k] > MAX_LITERALS) return "bad literal count";
    bool found = false;
    for (int j = 0; j < lic[k]; ++j) {
      if (form[k][j] < 0 || form[k][j] > MAX_VARS || (sgn[k][j] != 0 && sgn[k][j] != 1)) return "bad literal";
      if (assgn[form[k][j]] == sgn[k][j]) found = true;
    }
    if (found) continue;
    satisfied = false;
    std::snprintf(line, sizeof line, "Clause %d  (", k + 1);
    if (!take(out, pos, line)) return "missing or wrong clause line";
    for (int j = 0; j < lic[k]; ++j) {
      std::snprintf(line, sizeof line, j == 0 ? "%d" : " %d", sgn[k][j] == 0 ? -form[k][j] : form[k][j]);
      if (!take(out, pos, line)) return "wrong literal in a clause line";
    }
    if (!take(out, pos, ")  is not satisfied!\n")) return "clause line not ended";
  }
  if (satisfied && !take(out, pos, "Assignment is satisfying!\n")) return "no verdict line";
  if (!take(out, pos, "\n") || pos != out.size()) return "report not ended by an empty line";
  return nullptr;
}

// Puts back the start state of the tables: only what a run can have written.
void reset_tables() {
  int rows = clauses < MAX_CLAUSES ? clauses : MAX_CLAUSES;
  for (int k = 0; k < rows; ++k) {
    // A row without a count is the one that a refusal cut short, or the first
    // that was never reached; nothing after it was written.
    int used = lic[k] == 0 ? MAX_LITERALS : lic[k];
    std::memset(form[k], 0, sizeof(int) * static_cast<std::size_t>(used));
    std::memset(sgn[k], 0, sizeof(int) * static_cast<std::size_t>(used));
    if (lic[k] == 0) break;
    lic[k] = 0;
  }
  std::memset(assgn, 0, sizeof assgn);
  vars = 0;
  clauses = 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  set_fatal_handler(throw_fatal);
  formula_fd = memory_file("formula");
  solution_fd = memory_file("solution");
  stdout_fd = memory_file("stdout");
  stderr_fd = memory_file("stderr");
  std::snprintf(formula_path, sizeof formula_path, "/proc/self/fd/%d", formula_fd);
  std::snprintf(solution_path, sizeof solution_path, "/proc/self/fd/%d", solution_fd);
  complaint_fd = dup(2);
  if (complaint_fd < 0) std::abort();
  if (__sanitizer_set_report_fd != nullptr) {
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(complaint_fd)));
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t split = input.find(SEPARATOR);
  char* second_path = formula_path;
  if (split == std::string_view::npos) {
    fill(formula_fd, data, size);
  } else {
    fill(formula_fd, data, split);
    std::size_t rest = split + SEPARATOR.size();
    fill(solution_fd, data + rest, size - rest);
    second_path = solution_path;
  }
  char name[] = "satvet";
  char* argv[] = {name, formula_path, second_path, nullptr};

  // Standard output and standard error go to the in-memory files for the run.
  std::fflush(stdout);
  std::fflush(stderr);
  for (int fd : {stdout_fd, stderr_fd}) {
    if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) std::abort();
  }
  int saved_out = dup(1), saved_err = dup(2);
  if (saved_out < 0 || saved_err < 0 || dup2(stdout_fd, 1) < 0 || dup2(stderr_fd, 2) < 0) std::abort();
  std::clearerr(stdout);

  formula_file.stream = nullptr;
  solution_file.stream = nullptr;
  int status;
  try {
    status = run_satvet(3, argv, formula_file, solution_file);
  } catch (const FatalExit& exit) {
    status = exit.status;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  if (dup2(saved_out, 1) < 0 || dup2(saved_err, 2) < 0) std::abort();
  close(saved_out);
  close(saved_err);
  for (InputFile* in : {&formula_file, &solution_file}) close_input(*in);

  Captured out = map_file(stdout_fd);
  Captured err = map_file(stderr_fd);
  if (status == 0) {
    if (err.size != 0) broken_rule("exit status 0 with a message on stderr", status, out, err);
    if (const char* wrong = check_report(out.view())) broken_rule(wrong, status, out, err);
  } else if (status == -1) {
    if (out.size != 0) broken_rule("exit status -1 with output on stdout", status, out, err);
    std::string_view message = err.view();
    if (message.empty() || message.find('\n') != message.size() - 1) {
      broken_rule("exit status -1 without one message line on stderr", status, out, err);
    }
  } else {
    broken_rule("exit status other than 0 and -1", status, out, err);
  }
  unmap(out);
  unmap(err);
  reset_tables();
  return 0;
}
