// satvet_generate: writes the benchmark inputs of satvet, deterministically.
//
//   satvet_generate [--seed N] DIR [CASE...]
//
// Each CASE is NAME:VARS:CLAUSES:WIDTH, or one of the standard cases:
//   a     59999 variables, 600000 clauses of 100 literals (the largest formula
//         that satvet accepts)
//   b     59999 variables, 600000 clauses of 3 literals
//   c     59999 variables, 200000 clauses of 10 literals
//   tiny  3 variables, 3 clauses of 3 literals
// With no CASE, all four are written.
//
// For each case it picks a random assignment, then writes clauses whose
// literals are distinct variables with random signs, each clause made to hold at
// least one literal that the assignment makes true. Files written into DIR:
//   NAME.cnf              the formula, one clause per line: "l1 l2 ... 0"
//   NAME-competition.sol  "s SATISFIABLE", then "v" lines of at most 80
//                         characters listing every variable, and a final 0
//   NAME-minisat.sol      "SAT", then all values on one line ending with 0
//   NAME.params           written last: seed and sizes of the files above
// A file is written under a temporary name and renamed when complete, so an
// interrupted run leaves no file that looks finished. The same seed and case
// always give the same bytes; each case draws from its own stream, so the cases
// asked for do not change one another.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

[[noreturn]] void die(const std::string& message) {
  std::fprintf(stderr, "satvet_generate: %s\n", message.c_str());
  std::exit(1);
}

// splitmix64, for seeding and for mixing a case name into the seed.
std::uint64_t splitmix(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// xoshiro256**: fast, and its output is fixed by its definition alone, unlike
// the standard library's distributions.
class Random {
 public:
  explicit Random(std::uint64_t seed) {
    for (auto& word : s_) word = splitmix(seed);
  }
  std::uint64_t next() {
    const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
  }
  // A number in [0, n), n < 2^32, by multiply and shift.
  std::uint32_t below(std::uint32_t n) {
    return static_cast<std::uint32_t>(((next() >> 32) * n) >> 32);
  }
  bool coin() { return (next() >> 63) != 0; }

 private:
  static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  std::uint64_t s_[4];
};

// A file written through one large buffer, under NAME.part until commit().
class Output {
 public:
  explicit Output(std::string path) : path_(std::move(path)), part_(path_ + ".part") {
    file_ = std::fopen(part_.c_str(), "wb");
    if (file_ == nullptr) die("cannot write '" + part_ + "': " + std::strerror(errno));
    buffer_.resize(BUFFER);
  }
  ~Output() {
    if (file_ != nullptr) {
      std::fclose(file_);
      std::remove(part_.c_str());
    }
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void text(const char* s) { bytes(s, std::strlen(s)); }
  void bytes(const char* s, std::size_t n) {
    if (used_ + n > buffer_.size()) flush();
    std::memcpy(buffer_.data() + used_, s, n);
    used_ += n;
  }
  void byte(char c) {
    if (used_ == buffer_.size()) flush();
    buffer_[used_++] = c;
  }
  void commit() {
    flush();
    const bool failed = std::fclose(file_) != 0;
    file_ = nullptr;
    if (failed) die("cannot write '" + part_ + "'");
    if (std::rename(part_.c_str(), path_.c_str()) != 0) {
      die("cannot rename '" + part_ + "' to '" + path_ + "': " + std::strerror(errno));
    }
  }

 private:
  static constexpr std::size_t BUFFER = std::size_t{8} << 20;
  void flush() {
    if (used_ > 0 && std::fwrite(buffer_.data(), 1, used_, file_) != used_) {
      die("cannot write '" + part_ + "': " + std::strerror(errno));
    }
    used_ = 0;
  }
  std::string path_;
  std::string part_;
  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
};

// Writes a literal as decimal text into out; returns its length.
std::size_t format_literal(int literal, char* out) {
  char digits[12];
  std::size_t n = 0;
  unsigned magnitude = literal < 0 ? 0u - static_cast<unsigned>(literal) : static_cast<unsigned>(literal);
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::size_t length = 0;
  if (literal < 0) out[length++] = '-';
  while (n > 0) out[length++] = digits[--n];
  return length;
}

struct Case {
  std::string name;
  int vars;
  int clauses;
  int width;
};

const Case STANDARD[] = {
    {"a", 59999, 600000, 100},
    {"b", 59999, 600000, 3},
    {"c", 59999, 200000, 10},
    {"tiny", 3, 3, 3},
};

int parse_count(const std::string& text, const std::string& what) {
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < 1 || value > 100000000) {
    die("bad " + what + " '" + text + "'");
  }
  return static_cast<int>(value);
}

Case parse_case(const std::string& arg) {
  for (const Case& c : STANDARD) {
    if (arg == c.name) return c;
  }
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (;;) {
    std::size_t colon = arg.find(':', from);
    parts.push_back(arg.substr(from, colon - from));
    if (colon == std::string::npos) break;
    from = colon + 1;
  }
  if (parts.size() != 4 || parts[0].empty() || parts[0].find('/') != std::string::npos) {
    die("unknown case '" + arg + "' (a, b, c, tiny or NAME:VARS:CLAUSES:WIDTH)");
  }
  Case c{parts[0], parse_count(parts[1], "variable count"), parse_count(parts[2], "clause count"),
         parse_count(parts[3], "clause width")};
  if (c.width > c.vars) die("case '" + arg + "': a clause cannot hold more distinct variables than there are");
  return c;
}

void generate(const std::string& dir, const Case& c, std::uint64_t seed) {
  std::uint64_t state = seed;
  for (unsigned char ch : c.name) state = splitmix(state) ^ ch;
  Random random(splitmix(state));

  // value[v] is the planted value of variable v (1..vars).
  std::vector<unsigned char> value(static_cast<std::size_t>(c.vars) + 1);
  for (int v = 1; v <= c.vars; ++v) value[v] = random.coin() ? 1 : 0;

  const std::string base = dir + "/" + c.name;
  char text[24];
  {
    Output cnf(base + ".cnf");
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(seed));
    cnf.text(("c satvet benchmark formula " + c.name + ", seed " + text + "\n").c_str());
    cnf.text(("p cnf " + std::to_string(c.vars) + " " + std::to_string(c.clauses) + "\n").c_str());

    // seen[v] == k + 1 when clause k already holds variable v.
    std::vector<std::uint32_t> seen(static_cast<std::size_t>(c.vars) + 1, 0);
    std::vector<int> clause(static_cast<std::size_t>(c.width));
    for (int k = 0; k < c.clauses; ++k) {
      const std::uint32_t mark = static_cast<std::uint32_t>(k) + 1;
      bool satisfied = false;
      for (int j = 0; j < c.width; ++j) {
        int v;
        do {
          v = static_cast<int>(random.below(static_cast<std::uint32_t>(c.vars))) + 1;
        } while (seen[v] == mark);
        seen[v] = mark;
        const bool positive = random.coin();
        satisfied = satisfied || (positive == (value[v] != 0));
        clause[j] = positive ? v : -v;
      }
      if (!satisfied) {
        // Plant: turn one literal true under the assignment.
        const int j = static_cast<int>(random.below(static_cast<std::uint32_t>(c.width)));
        clause[j] = -clause[j];
      }
      for (int j = 0; j < c.width; ++j) {
        cnf.bytes(text, format_literal(clause[j], text));
        cnf.byte(' ');
      }
      cnf.bytes("0\n", 2);
    }
    cnf.commit();
  }
  {
    // Competition layout: value lines of at most 80 characters.
    constexpr std::size_t LINE = 80;
    Output sol(base + "-competition.sol");
    sol.text("s SATISFIABLE\n");
    std::string line = "v";
    auto put = [&](int literal) {
      const std::size_t n = format_literal(literal, text);
      if (line.size() + 1 + n > LINE) {
        line += '\n';
        sol.bytes(line.data(), line.size());
        line = "v";
      }
      line += ' ';
      line.append(text, n);
    };
    for (int v = 1; v <= c.vars; ++v) put(value[v] ? v : -v);
    put(0);
    line += '\n';
    sol.bytes(line.data(), line.size());
    sol.commit();
  }
  {
    // minisat's result file: a status line, then every value on one line.
    Output sol(base + "-minisat.sol");
    sol.text("SAT\n");
    for (int v = 1; v <= c.vars; ++v) {
      sol.bytes(text, format_literal(value[v] ? v : -v, text));
      sol.byte(' ');
    }
    sol.bytes("0\n", 2);
    sol.commit();
  }
  {
    Output params(base + ".params");
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(seed));
    params.text(("seed " + std::string(text) + "\nvars " + std::to_string(c.vars) + "\nclauses " +
                 std::to_string(c.clauses) + "\nwidth " + std::to_string(c.width) + "\n")
                    .c_str());
    params.commit();
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t seed = 1;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seed") {
      if (++i == argc) die("--seed needs a number");
      char* end = nullptr;
      errno = 0;
      seed = std::strtoull(argv[i], &end, 10);
      if (*argv[i] == '\0' || *argv[i] == '-' || *end != '\0' || errno != 0) {
        die(std::string("bad seed '") + argv[i] + "'");
      }
    } else if (arg == "-h" || arg == "--help") {
      std::printf("usage: satvet_generate [--seed N] DIR [CASE...]\n"
                  "CASE: a, b, c, tiny (the default: all four) or NAME:VARS:CLAUSES:WIDTH\n");
      return 0;
    } else {
      args.push_back(arg);
    }
  }
  if (args.empty()) die("usage: satvet_generate [--seed N] DIR [CASE...]");
  const std::string dir = args[0];
  std::vector<Case> cases;
  for (std::size_t i = 1; i < args.size(); ++i) cases.push_back(parse_case(args[i]));
  if (cases.empty()) cases.assign(std::begin(STANDARD), std::end(STANDARD));
  for (const Case& c : cases) generate(dir, c, seed);
  return 0;
}
