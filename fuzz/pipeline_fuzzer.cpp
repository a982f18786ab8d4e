// libFuzzer target over the whole program. One input holds a formula file and a
// solution file; satvet runs on them as its command line would, inside this
// process, and its outcome must keep the program's rule for every input:
//
//   exit status 0:  nothing on standard error, and on standard output a complete
//                   report whose value listing and clause lines agree with the
//                   tables that the readers filled;
//   exit status -1: one message line on standard error, nothing on standard output
//                   (but when the message is about reading the solution, the part
//                   of the value listing written before it, which agrees with the
//                   assignment table).
//
// Anything else aborts, and libFuzzer keeps the input as a crash.
//
// Input layout: the formula's bytes, the separator "%%\n", the solution's bytes.
// An input without the separator is given as both files (the same path twice).
//
// Compressed input: an input that begins with "%z" and six bytes F S f f s s
// holds, after them, a formula and a solution as above, and says how the harness
// compresses each of them (F and S) and where it damages one (the 16-bit numbers
// ff and ss, little-endian). Bits of F and S:
//
//   0-2  the format: 1 gzip, 2 xz, 3 bzip2, 4 zstd; any other value: plain
//   3-4  the text is cut into 1 to 4 parts, each compressed as a stream of its own
//        and the streams concatenated
//   5-6  damage: 1 appends 1 to 16 bytes of one value after the last stream, 2
//        cuts the file short inside its last stream, 3 changes one bit of a byte
//        after the file's magic; 0 none. Only the formula is damaged when both
//        ask.
//   7    extras: gzip headers with a name, a comment, extra data and a header CRC;
//        xz stream padding between streams; zstd skippable frames before the
//        first frame and between frames
//
// satvet runs first on the plain files, under the rule above, then on the
// compressed ones (a text that satvet itself takes for compressed data stays
// plain), and must then write exactly what it wrote for the plain files. A
// damaged file must make it fail with "error reading 'PATH': the FORMAT data is
// corrupt" or "... ends early":
//
//   appended bytes: corrupt (either, for a single byte that begins a magic);
//                   zero bytes after gzip and xz's stream padding change nothing
//   a cut:          ends early
//   a changed byte: either, or nothing at all when the byte was harmless (gzip's
//                   time, a skippable frame's content)
//
// with nothing on standard output for the formula and, for the solution, a part
// of the value listing (of the plain files' listing, when the text before the
// damage is whole). An error in a plain formula still comes first when the
// solution is damaged. Every check value is on, so no changed byte can pass for
// other text.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

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

[[noreturn]] void broken_rule(const char* what, int status, std::string_view out, std::string_view err) {
  dprintf(complaint_fd, "\nsatvet broke its output rule: %s\n  exit status %d\n", what, status);
  show("stdout", out);
  show("stderr", err);
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

// Checks the value listing at the start of out, sets pos past it and checks the
// assignment table against it; returns what is wrong, or nullptr.
const char* check_listing(std::string_view out, std::size_t& pos) {
  std::memset(listed, -1, sizeof listed);
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
  // The assignment table holds what was listed last, and 0 elsewhere.
  for (int v = 0; v < ASSIGNMENT_SIZE; ++v) {
    int want = listed[v] < 0 ? 0 : listed[v];
    if (assgn[v] != want) return "assignment table differs from the listing";
  }
  return nullptr;
}

// Checks a report of a completed run against the tables; returns what is wrong,
// or nullptr. listing_end: where the listing ends in it.
const char* check_report(std::string_view out, std::size_t& listing_end) {
  std::size_t pos = 0;
  if (const char* wrong = check_listing(out, pos)) return wrong;
  listing_end = pos;
  if (!take(out, pos, "\n")) return "no empty line after the listing";
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


namespace {

// What one run wrote, and where its listing ends (complete runs).
struct Outcome {
  int status;
  std::string out, err;
  std::size_t listing_end = 0;
  bool operator==(const Outcome& other) const {
    return status == other.status && out == other.out && err == other.err;
  }
};

[[noreturn]] void broken_rule(const char* what, const Outcome& run) { broken_rule(what, run.status, run.out, run.err); }

bool starts_with(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

// Runs satvet on the files in the two in-memory files, as they are, and checks
// its outcome against the rule for every input (see the top of this file).
Outcome run_once(bool same_file) {
  char name[] = "satvet";
  char* argv[] = {name, formula_path, same_file ? formula_path : solution_path, nullptr};

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
  Outcome run;
  try {
    run.status = run_satvet(3, argv, formula_file, solution_file);
  } catch (const FatalExit& exit) {
    run.status = exit.status;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  if (dup2(saved_out, 1) < 0 || dup2(saved_err, 2) < 0) std::abort();
  close(saved_out);
  close(saved_err);
  for (InputFile* in : {&formula_file, &solution_file}) close_input(*in);

  Captured out = map_file(stdout_fd);
  Captured err = map_file(stderr_fd);
  run.out.assign(out.view());
  run.err.assign(err.view());
  unmap(out);
  unmap(err);
  if (run.status == 0) {
    if (!run.err.empty()) broken_rule("exit status 0 with a message on stderr", run);
    if (const char* wrong = check_report(run.out, run.listing_end)) broken_rule(wrong, run);
  } else if (run.status == -1) {
    if (run.err.empty() || run.err.find('\n') != run.err.size() - 1) {
      broken_rule("exit status -1 without one message line on stderr", run);
    }
    // An error in reading the solution may follow a part of the listing.
    const std::string solution_error = std::string("error reading '") + argv[2] + "'";
    std::size_t pos = 0;
    if (!run.out.empty() && !starts_with(run.err, solution_error)) {
      broken_rule("exit status -1 with output on stdout", run);
    }
    if (const char* wrong = check_listing(run.out, pos)) broken_rule(wrong, run);
    if (pos != run.out.size()) broken_rule("exit status -1 after more than a part of the listing", run);
  } else {
    broken_rule("exit status other than 0 and -1", run);
  }
  reset_tables();
  return run;
}

// Compressing, as the harness's input asks (see the top of this file).
enum Format { PLAIN, GZIP, XZ, BZIP2, ZSTD };
constexpr const char* FORMAT_NAMES[] = {"plain", "gzip", "xz", "bzip2", "zstd"};
// Bytes at the start of a file that tell its format: a changed byte is looked
// for after them.
constexpr std::size_t MAGIC_BYTES[] = {0, 3, 6, 4, 4};

enum Damage { NONE, APPEND, CUT, CHANGE };

struct Mode {
  Format format;
  int parts;
  Damage damage;
  bool extras;
  unsigned place;  // where the damage goes, and what it is
};

Mode mode_of(unsigned char bits, unsigned place) {
  Mode m;
  unsigned format = bits & 7;
  m.format = format >= 1 && format <= 4 ? static_cast<Format>(format) : PLAIN;
  m.parts = 1 + ((bits >> 3) & 3);
  m.damage = static_cast<Damage>((bits >> 5) & 3);
  m.extras = (bits & 0x80) != 0;
  m.place = place;
  return m;
}

std::string gzip_stream(std::string_view text, bool extras) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, 16 + 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) std::abort();
  static unsigned char extra[] = "ab\4\0data";
  static unsigned char file_name[] = "part.cnf";
  static unsigned char comment[] = "made by the fuzz harness";
  gz_header header{};
  if (extras) {
    header.extra = extra;
    header.extra_len = sizeof extra - 1;
    header.name = file_name;
    header.comment = comment;
    header.hcrc = 1;
    if (deflateSetHeader(&z, &header) != Z_OK) std::abort();
  }
  std::string out(deflateBound(&z, text.size()) + 256, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) std::abort();
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string xz_stream(std::string_view text, int part) {
  // Each part with another check: CRC-32, CRC-64 or SHA-256 (never none: a
  // changed byte must not pass for other text).
  constexpr lzma_check CHECKS[] = {LZMA_CHECK_CRC64, LZMA_CHECK_CRC32, LZMA_CHECK_SHA256};
  std::string out(lzma_stream_buffer_bound(text.size()), '\0');
  std::size_t size = 0;
  if (lzma_easy_buffer_encode(0, CHECKS[part % 3], nullptr, reinterpret_cast<const std::uint8_t*>(text.data()),
                              text.size(), reinterpret_cast<std::uint8_t*>(out.data()), &size, out.size()) != LZMA_OK) {
    std::abort();
  }
  out.resize(size);
  return out;
}

std::string bzip2_stream(std::string_view text) {
  unsigned size = static_cast<unsigned>(text.size() + text.size() / 100 + 600);
  std::string out(size, '\0');
  if (BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(text.data()), static_cast<unsigned>(text.size()),
                               1, 0, 0) != BZ_OK) {
    std::abort();
  }
  out.resize(size);
  return out;
}

std::string zstd_frame(std::string_view text) {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  if (context == nullptr || ZSTD_isError(ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1))) std::abort();
  std::string out(ZSTD_compressBound(text.size()), '\0');
  std::size_t size = ZSTD_compress2(context, out.data(), out.size(), text.data(), text.size());
  if (ZSTD_isError(size)) std::abort();
  ZSTD_freeCCtx(context);
  out.resize(size);
  return out;
}

std::string skippable_frame(int part) {
  std::string payload(static_cast<std::size_t>(part * 3), 's');
  std::string frame = {static_cast<char>(0x50 + part), 0x2a, 0x4d, 0x18};
  for (int i = 0; i < 4; ++i) frame += static_cast<char>((payload.size() >> (8 * i)) & 0xff);
  return frame + payload;
}

// The text compressed as the mode says; last_stream: where the last stream
// (member, frame) begins.
std::string compress(std::string_view text, const Mode& m, std::size_t& last_stream) {
  std::string file;
  for (int part = 0; part < m.parts; ++part) {
    std::string_view piece = text.substr(text.size() * part / m.parts,
                                         text.size() * (part + 1) / m.parts - text.size() * part / m.parts);
    if (part > 0 && m.extras && m.format == XZ) file.append(4 * part, '\0');  // stream padding
    if (m.extras && m.format == ZSTD) file += skippable_frame(part);
    last_stream = file.size();
    switch (m.format) {
      case GZIP: file += gzip_stream(piece, m.extras); break;
      case XZ: file += xz_stream(piece, part); break;
      case BZIP2: file += bzip2_stream(piece); break;
      case ZSTD: file += zstd_frame(piece); break;
      case PLAIN: std::abort();
    }
  }
  return file;
}

// What APPEND appends: bytes of one value, which are no magic of any format.
struct Appended {
  std::size_t count;
  unsigned char value;
  // A single byte that begins the format's magic (or a zstd skippable frame's):
  // it may be taken for another stream that ends early.
  bool begins_magic(Format format) const {
    constexpr unsigned char FIRST[] = {0, 0x1f, 0xfd, 'B', 0x28};
    return count == 1 && (value == FIRST[format] || (format == ZSTD && (value & 0xf0) == 0x50));
  }
};

Appended appended(const Mode& m) { return {1 + m.place % 16, static_cast<unsigned char>(m.place >> 8)}; }

// Damages the file as the mode says. Returns false for bytes appended that the
// format passes over: zero bytes after gzip, and xz's stream padding.
bool damage(std::string& file, const Mode& m, std::size_t last_stream) {
  const std::size_t magic = MAGIC_BYTES[m.format];
  if (m.damage == APPEND) {
    const Appended tail = appended(m);
    file.append(tail.count, static_cast<char>(tail.value));
    return !(tail.value == 0 && (m.format == GZIP || (m.format == XZ && tail.count % 4 == 0)));
  }
  if (m.damage == CUT) {
    // Inside the last stream, past its magic: the file ends in a stream.
    const std::size_t first = last_stream + magic;
    file.resize(first + m.place % (file.size() - first));
  } else if (m.damage == CHANGE) {
    const std::size_t at = magic + m.place % (file.size() - magic);
    file[at] = static_cast<char>(file[at] ^ (1 << (m.place >> 13)));
  }
  return true;
}

// Whether satvet takes the text for compressed data: then it reads the plain
// file decompressed, and the compressed file only once decompressed.
bool looks_compressed(std::string_view text) {
  unsigned char head[MAGIC_LENGTH];
  std::size_t length = text.size() < MAGIC_LENGTH ? text.size() : MAGIC_LENGTH;
  std::memcpy(head, text.data(), length);
  return detect_compression(head, length) != Compression::none;
}

std::string message(const char* path, const Mode& m, const char* what) {
  return std::string("error reading '") + path + "': the " + FORMAT_NAMES[m.format] + " data " + what + "\n";
}

// The compressed run against the plain one.
// damaged: the mode of the file that was damaged, or nullptr.
void compare(const Outcome& plain, const Outcome& packed, const Mode* damaged, const char* damaged_path,
             bool damaged_formula) {
  if (damaged == nullptr) {
    if (!(packed == plain)) broken_rule("compressed files read otherwise than the plain ones", packed);
    return;
  }
  if (!damaged_formula && plain.status == -1) {
    // The plain formula's error comes first; the solution is never read.
    if (!(packed == plain)) broken_rule("the formula's error not first, before the damaged solution", packed);
    return;
  }
  if (damaged->damage == CHANGE && packed == plain) return;  // a harmless byte (gzip's time, a skippable frame)
  if (packed.status != -1) broken_rule("a damaged file not refused", packed);
  const std::string early = message(damaged_path, *damaged, "ends early");
  const std::string corrupt = message(damaged_path, *damaged, "is corrupt");
  const bool either = damaged->damage == CHANGE ||
                      (damaged->damage == APPEND && appended(*damaged).begins_magic(damaged->format));
  const bool expected = either ? packed.err == early || packed.err == corrupt
                               : packed.err == (damaged->damage == CUT ? early : corrupt);
  if (!expected) {
    dprintf(complaint_fd, "\nexpected \"%s\"\n", (damaged->damage == APPEND ? corrupt : early).c_str());
    broken_rule("a damaged file without its message", packed);
  }
  if (damaged_formula && !packed.out.empty()) broken_rule("output after a damaged formula", packed);
  // A solution whose text is whole up to the damage: a part of the plain listing.
  if (damaged->damage != CHANGE && !(starts_with(plain.out, packed.out) && packed.out.size() <= plain.listing_end)) {
    show("plain stdout", plain.out);
    broken_rule("a damaged solution listed what the plain one does not", packed);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  Mode formula_mode{}, solution_mode{};
  const bool compressed = input.size() >= 8 && starts_with(input, "%z");
  if (compressed) {
    formula_mode = mode_of(data[2], data[4] | data[5] << 8);
    solution_mode = mode_of(data[3], data[6] | data[7] << 8);
    input.remove_prefix(8);
  }
  std::size_t split = input.find(SEPARATOR);
  const bool same_file = split == std::string_view::npos;
  std::string_view formula = same_file ? input : input.substr(0, split);
  std::string_view solution = same_file ? input : input.substr(split + SEPARATOR.size());
  auto put = [](int fd, std::string_view text) {
    fill(fd, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  };
  put(formula_fd, formula);
  if (!same_file) put(solution_fd, solution);
  const Outcome plain = run_once(same_file);
  if (!compressed) return 0;

  // The same texts compressed: a text that satvet takes for compressed data
  // stays plain, and one file is damaged at most.
  if (looks_compressed(formula)) formula_mode.format = PLAIN;
  if (looks_compressed(solution) || same_file) solution_mode.format = PLAIN;
  const Mode* damaged = nullptr;
  const char* damaged_path = nullptr;
  bool damage_done = false;
  for (auto [text, mode, fd, path] : {std::tuple{formula, &formula_mode, formula_fd, formula_path},
                                      std::tuple{solution, &solution_mode, solution_fd, solution_path}}) {
    if (mode->format == PLAIN) continue;
    std::size_t last_stream = 0;
    std::string file = compress(text, *mode, last_stream);
    if (!damage_done && mode->damage != NONE) {
      damage_done = true;
      if (damage(file, *mode, last_stream)) {
        damaged = mode;
        damaged_path = path;
      }
    }
    put(fd, file);
  }
  if (formula_mode.format == PLAIN && solution_mode.format == PLAIN) return 0;
  compare(plain, run_once(same_file), damaged, damaged_path, damaged == &formula_mode);
  return 0;
}
