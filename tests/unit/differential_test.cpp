// The fast input layer against the C library functions whose behaviour it
// reproduces: fgets with a 5000-byte buffer (on the text with CR-before-LF
// removed), sscanf "%d", strchr, strtok " " and atoi, on many random inputs.
// Only inputs within the library's defined behaviour are compared (no number
// outside the int range).
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "formula_reader.h"
#include "input.h"
#include "output.h"
#include "tables.h"
#include "temp_file.h"

namespace {

std::mt19937_64 rng(20261211);

// Random text in which the characters that matter to the scans are common.
std::string random_text(std::size_t length, bool with_nul) {
  static const char alphabet[] = "0123456789012345678901234567890123456789      --+\t\r\n\v\fvcsx";
  std::string text(length, ' ');
  for (char& c : text) {
    c = alphabet[rng() % (sizeof alphabet - 1)];
    if (with_nul && rng() % 500 == 0) c = '\0';
  }
  return text;
}

// Text made of lines with a few CRLF, CR and long lines, as solvers and broken
// tools write them.
std::string random_file(std::size_t size) {
  std::string text;
  while (text.size() < size) {
    std::size_t line = rng() % 8 == 0 ? rng() % 15000 : rng() % 200;
    text += random_text(line, true);
    switch (rng() % 4) {
      case 0: text += "\r\n"; break;
      case 1: text += "\r"; break;
      default: text += "\n";
    }
  }
  text.resize(size);
  return text;
}

std::string without_cr_before_lf(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

std::vector<std::string> pieces_by_fgets(const std::string& text) {
  TempFile file(text);
  std::FILE* f = std::fopen(file.path.c_str(), "rb");
  std::vector<std::string> pieces;
  char buffer[LINE_BUFFER_SIZE];
  long before = 0;
  while (std::fgets(buffer, sizeof buffer, f) != nullptr) {
    long after = std::ftell(f);
    pieces.emplace_back(buffer, static_cast<std::size_t>(after - before));
    before = after;
  }
  std::fclose(f);
  return pieces;
}

InputFile input;

std::vector<std::string> pieces_by_read_line(const std::string& text) {
  TempFile file(text);
  EXPECT_TRUE(open_input(input, file.path.c_str()));
  std::vector<std::string> pieces;
  const char* line = nullptr;
  while (read_line(input, line)) {
    pieces.emplace_back(line, static_cast<std::size_t>(input.block + input.start - line));
  }
  std::fclose(input.stream);
  return pieces;
}

TEST(Differential, PiecesMatchFgets) {
  // Small files often; a few larger than a block so that CRLF falls on block ends.
  for (int round = 0; round < 60; ++round) {
    std::size_t size = round % 10 == 0 ? INPUT_BLOCK + rng() % (2 * INPUT_BLOCK) : rng() % 30000;
    std::string text = random_file(size);
    auto expected = pieces_by_fgets(without_cr_before_lf(text));
    auto actual = pieces_by_read_line(text);
    ASSERT_EQ(actual.size(), expected.size()) << "round " << round;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(actual[i], expected[i]) << "round " << round << ", piece " << i;
    }
  }
}

// A string in a buffer with room for what the fast scans read past its end.
struct Padded {
  std::vector<char> bytes;
  explicit Padded(const std::string& text) : bytes(text.begin(), text.end()) {
    bytes.push_back('\0');
    for (std::size_t i = 0; i < SCAN_PADDING; ++i) bytes.push_back(static_cast<char>(rng()));
  }
  const char* c_str() const { return bytes.data(); }
};

bool fits_int(const char* text) {
  errno = 0;
  long long value = std::strtoll(text, nullptr, 10);
  return errno == 0 && value >= INT_MIN && value <= INT_MAX;
}

TEST(Differential, NumberScansMatchSscanf) {
  for (int round = 0; round < 200000; ++round) {
    std::string text = random_text(rng() % 14, false);
    if (!fits_int(text.c_str())) continue;
    int expected = 12345;
    bool found = std::sscanf(text.c_str(), "%d", &expected) == 1;
    Decimal number{12345, 0, "", ""};
    ASSERT_EQ(scan_int(text.c_str(), number), found) << '"' << text << '"';
    ASSERT_EQ(number.value, expected) << '"' << text << '"';

    Padded padded(text);
    long long value = 12345;
    scan_at(padded.c_str(), value);
    ASSERT_EQ(value, expected) << '"' << text << '"';
  }
}

TEST(Differential, FastScanMatchesExactScanOnAnyNumber) {
  // Beyond the int range too: long numbers and numbers after white space.
  for (int round = 0; round < 200000; ++round) {
    std::string text = random_text(rng() % 40, true);
    Padded padded(text);
    Decimal number{777, 0, "", ""};
    scan_int(padded.c_str(), number);
    long long value = 777;
    scan_at(padded.c_str(), value);
    ASSERT_EQ(value, number.value) << '"' << text << '"';
  }
}

TEST(Differential, SpacesMatchStrchr) {
  for (int round = 0; round < 20000; ++round) {
    Padded padded(random_text(rng() % 300, true));
    const char* text = padded.c_str();
    Spaces spaces = spaces_of(text);
    const char* from = text;
    for (;;) {
      const char* expected = std::strchr(from, ' ');
      ASSERT_EQ(find_space(from), expected);
      ASSERT_EQ(next_space(spaces), expected);
      if (expected == nullptr) break;
      from = expected + 1;
    }
  }
}

TEST(Differential, ByteMasksAgree) {
  for (int round = 0; round < 20000; ++round) {
    std::string text = random_text(64, true);
    ASSERT_EQ(detail::byte_mask(text.data(), ' '), detail::byte_mask_bytewise(text.data(), ' '));
    ASSERT_EQ(detail::byte_mask(text.data(), '\0'), detail::byte_mask_bytewise(text.data(), '\0'));
  }
}

TEST(Differential, TokensMatchStrtokAndAtoi) {
  for (int round = 0; round < 50000; ++round) {
    std::string text = random_text(rng() % 60, true);
    const Padded padded(text);
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    const char* rest = text.c_str();
    std::size_t length = 0;
    for (char* expected = std::strtok(copy.data(), " "); expected != nullptr; expected = std::strtok(nullptr, " ")) {
      const char* token = next_token(rest, length);
      ASSERT_NE(token, nullptr);
      ASSERT_EQ(std::string(token, length), std::string(expected));
      if (fits_int(expected)) {
        ASSERT_EQ(token_decimal(token).value, std::atoi(expected)) << '"' << expected << '"';
      }
      // The same value, read as the solution reader reads it, in a piece that
      // has the input layer's padding.
      ASSERT_EQ(token_value(padded.c_str() + (token - text.c_str())), token_decimal(token).value)
          << '"' << expected << '"';
    }
    ASSERT_EQ(next_token(rest, length), nullptr);
  }
}

// The numbers of the listing and the report as printf "%lld" writes them: the
// bytes that out_int appends to the output buffer, which is then left as it
// was (nothing is written out).
TEST(Differential, OutIntMatchesPrintf) {
  std::vector<long long> values{0, 1, -1, 9, 10, -10, 99, 100, 59999, -59999, INT_MAX, INT_MIN, 4294967295LL,
                                4294967296LL, -4294967296LL, LLONG_MAX, LLONG_MIN, LLONG_MIN + 1};
  for (long long power = 1; power <= LLONG_MAX / 10; power *= 10) {
    for (long long near : {power - 1, power, power + 1}) {
      values.push_back(near);
      values.push_back(-near);
    }
  }
  for (int round = 0; round < 100000; ++round) {
    // Every length of number, evenly.
    const long long value = static_cast<long long>(rng() >> (rng() % 64));
    values.push_back(rng() % 2 == 0 ? value : -value);
  }
  for (const long long value : values) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "%lld", value);
    const std::size_t before = detail::output_used;
    out_int(value);
    ASSERT_GE(detail::output_used, before) << value;
    ASSERT_EQ(std::string(detail::output_buffer + before, detail::output_used - before), expected) << value;
    detail::output_used = before;
  }
}

// ---- The formula reader's clause loop, through each processor path ----

// The processor paths of the clause loop that this build and processor have:
// the AVX2 run where the processor has it, and a number at a time (with the
// byte masks of this build: SSE2, or bytewise in a SATVET_SIMD=OFF build).
struct Path {
  const char* name;
  PlainRun run;
};

std::vector<Path> clause_paths() {
  std::vector<Path> paths{{"one number at a time", nullptr}};
#if defined(SATVET_AVX2_RUN)
  if (detail::has_avx2()) paths.push_back({"AVX2 run", detail::plain_run_avx2});
#endif
  return paths;
}

// A literal as a clause line may hold it: mostly plain, sometimes what the
// fixed rules read in their own way (signs without digits, words, white space
// that is not a space, leading zeros, long numbers, numbers beyond the limit
// when `beyond` is set).
std::string random_literal(bool beyond) {
  const auto digits = [](int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += static_cast<char>('0' + rng() % 10);
    return text;
  };
  const std::string sign = rng() % 2 == 0 ? "-" : "";
  switch (rng() % 40) {
    case 0: return "-";
    case 1: return "x";
    case 2: return std::string("\t") + std::to_string(1 + rng() % 500);
    case 3: return std::string("+") + std::to_string(1 + rng() % 500);
    case 4: return sign + "00" + std::to_string(rng() % 1000);
    case 5: return sign + "0000000" + std::to_string(1 + rng() % 9);  // eight digits, small
    case 6: return "";                                                  // two spaces
    case 7: return sign + "0";
    case 8: return "--" + std::to_string(1 + rng() % 9);
    case 9: return std::to_string(1 + rng() % 9) + "-" + std::to_string(rng() % 9);
    case 10: return beyond ? sign + digits(6 + static_cast<int>(rng() % 4)) : "7";
    case 11: return std::to_string(1 + rng() % 9) + "\v";
    default: return sign + std::to_string(1 + rng() % (rng() % 3 == 0 ? 59999 : 300));
  }
}

// A formula: a header, then clause lines of every length, some without the
// ending 0, some with text after it, empty or comment lines, a few long words
// that are cut into pieces, and sometimes fewer lines than declared.
std::string random_formula(int clauses, bool beyond) {
  std::string text = "p cnf 59999 " + std::to_string(clauses) + "\n";
  const int lines = clauses - (rng() % 4 == 0 ? static_cast<int>(rng() % 3) : 0);
  for (int i = 0; i < lines; ++i) {
    const unsigned shape = rng() % 30;
    if (shape == 0) {
      text += rng() % 2 == 0 ? "c comment\n" : "\n";
      continue;
    }
    if (shape == 1) {
      text += std::string(4000 + rng() % 3000, 'w') + "\n";
      continue;
    }
    int length = static_cast<int>(rng() % (shape < 6 ? 4 : shape < 12 ? 12 : 100));
    if (beyond && rng() % 50 == 0) length = 98 + static_cast<int>(rng() % 5);
    std::string line;
    for (int j = 0; j < length; ++j) line += random_literal(beyond) + " ";
    if (rng() % 8 != 0) line += "0";
    if (rng() % 10 == 0) line += " 5 -6 0";
    if (rng() % 200 == 0) line[rng() % line.size()] = '\0';
    text += line + "\n";
  }
  return text;
}

struct Outcome {
  bool refused = false;
  int rows = 0;  // rows that the reader completed
  std::vector<std::vector<int>> literals;  // signed, per completed row

  bool operator==(const Outcome&) const = default;
};

// The clause loop as the C library runs it: fgets into a 5000-byte buffer,
// sscanf "%d" at the start of the line and just past each space that strchr
// finds.
Outcome clauses_by_sscanf(const std::string& text) {
  TempFile file(text);
  std::FILE* f = std::fopen(file.path.c_str(), "rb");
  char line[LINE_BUFFER_SIZE] = "";
  EXPECT_NE(std::fgets(line, sizeof line, f), nullptr);
  int declared = 0;
  EXPECT_EQ(std::sscanf(line, "p cnf %*d %d", &declared), 1);
  Outcome outcome;
  int number = 0;
  for (int k = 0; k < declared; ++k) {
    (void)std::fgets(line, sizeof line, f);  // at the end, the last line stays
    const char* pos = line;
    std::sscanf(pos, "%d", &number);
    std::vector<int> literals;
    for (;;) {
      if (static_cast<int>(literals.size()) == MAX_LITERALS || std::abs(number) > MAX_VARS) {
        outcome.refused = true;
        std::fclose(f);
        return outcome;
      }
      literals.push_back(number);
      pos = std::strchr(pos, ' ');
      if (pos == nullptr) break;
      ++pos;
      std::sscanf(pos, "%d", &number);
      if (number == 0) break;
    }
    outcome.literals.push_back(literals);
    ++outcome.rows;
  }
  std::fclose(f);
  return outcome;
}

struct Refused {};

Outcome clauses_by_reader(const std::string& text) {
  TempFile file(text);
  EXPECT_TRUE(open_input(input, file.path.c_str()));
  set_fatal_handler([](int) { throw Refused{}; });
  Outcome outcome;
  std::fill(lic, lic + MAX_CLAUSES, -1);
  try {
    read_formula(input);
  } catch (const Refused&) {
    outcome.refused = true;
  }
  set_fatal_handler(nullptr);
  std::fclose(input.stream);
  // Rows are completed in order: lic is set as each ends.
  for (int k = 0; k < clauses && lic[k] >= 0; ++k) {
    if (outcome.refused) break;
    std::vector<int> literals;
    for (int j = 0; j < lic[k]; ++j) literals.push_back(sgn[k][j] != 0 ? form[k][j] : -form[k][j]);
    outcome.literals.push_back(literals);
    ++outcome.rows;
  }
  return outcome;
}

TEST(Differential, ClauseLoopMatchesSscanfOnEachPath) {
  const std::vector<Path> paths = clause_paths();
  const PlainRun chosen = detail::plain_run;
  for (int round = 0; round < 300; ++round) {
    const bool beyond = round % 4 == 3;  // some formulas with literals to refuse
    const std::string text = random_formula(1 + static_cast<int>(rng() % 60), beyond);
    const Outcome expected = clauses_by_sscanf(text);
    for (const Path& path : paths) {
      detail::plain_run = path.run;
      const Outcome actual = clauses_by_reader(text);
      detail::plain_run = chosen;
      ASSERT_EQ(actual.refused, expected.refused) << path.name << ", round " << round;
      if (!expected.refused) {
        ASSERT_EQ(actual, expected) << path.name << ", round " << round;
      }
    }
  }
}

#if defined(SATVET_AVX2_RUN)
// The run on its own: every number it takes is the one that sscanf reads at the
// start of the line or just past the same space, the spaces it leaves are those
// strchr finds next, and on a line of plain numbers it takes all that room lets.
TEST(Differential, AvxRunTakesWhatSscanfReads) {
  if (!detail::has_avx2()) GTEST_SKIP() << "the processor has no AVX2";
  for (int round = 0; round < 20000; ++round) {
    const bool plain = round % 2 == 0;
    std::string text;
    const int count = static_cast<int>(rng() % 40);
    for (int i = 0; i < count; ++i) {
      if (i > 0) text += ' ';
      text += plain ? std::to_string(1 + rng() % 59999) : random_literal(true);
      if (plain && rng() % 2 == 0) text.back() = static_cast<char>('1' + rng() % 9);
    }
    const bool zero = rng() % 3 == 0;
    if (zero) text += plain ? " 0 5" : " 0";
    Padded padded(text);
    const char* line = padded.c_str();
    // What the run leaves where it ends the clause: these, untouched.
    Spaces spaces{nullptr, nullptr, 0, true};
    const int room = 4 + static_cast<int>(rng() % 40);
    std::vector<int> magnitudes(room + 4, -1), positives(room + 4, -1);
    long long last = 424242;
    const auto [taken, ended] =
        detail::plain_run_avx2(line, magnitudes.data(), positives.data(), room, MAX_VARS, spaces, last);
    ASSERT_LE(taken, room);
    const char* from = line;
    for (int i = 0; i < taken; ++i) {
      if (i > 0) {
        from = std::strchr(from, ' ');
        ASSERT_NE(from, nullptr) << '"' << text << '"';
        ++from;
      }
      int expected = 0;
      ASSERT_EQ(std::sscanf(from, "%d", &expected), 1) << '"' << text << "\", number " << i;
      ASSERT_EQ(positives[i] != 0 ? magnitudes[i] : -magnitudes[i], expected) << '"' << text << "\", number " << i;
      ASSERT_EQ(positives[i], expected > 0 ? 1 : 0);
      if (i == taken - 1 && !ended) {
        ASSERT_EQ(last, expected);
      }
    }
    if (ended) {
      // It read the 0 after the last number taken, and set nothing else.
      ASSERT_GT(taken, 0);
      from = std::strchr(from, ' ');
      ASSERT_NE(from, nullptr);
      ++from;
      int expected = 5;
      ASSERT_EQ(std::sscanf(from, "%d", &expected), 1) << '"' << text << '"';
      ASSERT_EQ(expected, 0) << '"' << text << '"';
      ASSERT_EQ(last, 424242);
      ASSERT_EQ(spaces.window, nullptr);
    } else {
      if (taken == 0) {
        ASSERT_EQ(last, 424242);
      }
      // The spaces it hands on are those after the ones it used.
      for (const char* expected = std::strchr(from, ' ');; expected = std::strchr(expected + 1, ' ')) {
        ASSERT_EQ(next_space(spaces), expected) << '"' << text << '"';
        if (expected == nullptr) break;
      }
    }
    // Plain numbers of at most six digits: all of them, as far as room lets
    // whole groups of four in.
    if (plain) {
      ASSERT_EQ(taken, std::min(count, room / 4 * 4)) << '"' << text << '"';
      // And the 0 after them, when the run reached it within its room.
      if (zero && count > 0 && count + 1 <= room / 4 * 4) {
        ASSERT_TRUE(ended) << '"' << text << '"';
      }
    }
  }
}
#endif

}  // namespace
