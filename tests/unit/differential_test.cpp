// The fast input layer against the C library functions whose behaviour it
// reproduces: fgets with a 5000-byte buffer (on the text with CR-before-LF
// removed), sscanf "%d", strchr, strtok " " and atoi, on many random inputs.
// Only inputs within the library's defined behaviour are compared (no number
// outside the int range).
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "input.h"
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
    }
    ASSERT_EQ(next_token(rest, length), nullptr);
  }
}

}  // namespace
