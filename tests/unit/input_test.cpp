// The input layer on its own: pieces, text mode, and the number and token scans.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input.h"
#include "temp_file.h"

namespace {

InputFile input;  // static: it holds a 1 MiB block

// Every piece of the file, and whether the read after the last one left the last
// piece as it was.
std::vector<std::string> pieces_of(const std::string& content) {
  TempFile file(content);
  EXPECT_TRUE(open_input(input, file.path.c_str()));
  std::vector<std::string> pieces;
  const char* line = nullptr;
  while (read_line(input, line)) pieces.emplace_back(line);
  if (!pieces.empty()) {
    EXPECT_EQ(pieces.back(), line) << "the end of the input must leave the last piece as it was";
    EXPECT_FALSE(read_line(input, line));
    EXPECT_EQ(pieces.back(), line);
  }
  std::fclose(input.stream);
  return pieces;
}

TEST(ReadLine, CutsLinesAndKeepsTheirNewlines) {
  EXPECT_EQ(pieces_of("a b\n\nc"), (std::vector<std::string>{"a b\n", "\n", "c"}));
  EXPECT_EQ(pieces_of(""), std::vector<std::string>{});
}

TEST(ReadLine, CutsLongLinesIntoPiecesOf4999) {
  std::string line(4999 * 2 + 10, 'x');
  auto pieces = pieces_of(line + "\n" + std::string(4999, 'y') + "\nz\n");
  ASSERT_EQ(pieces.size(), 6u);
  EXPECT_EQ(pieces[0], std::string(4999, 'x'));
  EXPECT_EQ(pieces[1], std::string(4999, 'x'));
  EXPECT_EQ(pieces[2], std::string(10, 'x') + "\n");
  // A line of exactly 4999 characters leaves its newline to a piece of its own.
  EXPECT_EQ(pieces[3], std::string(4999, 'y'));
  EXPECT_EQ(pieces[4], "\n");
  EXPECT_EQ(pieces[5], "z\n");
}

TEST(ReadLine, DropsCrOnlyBeforeLf) {
  EXPECT_EQ(pieces_of("a\r\nb\rc\r\r\nd\r"), (std::vector<std::string>{"a\n", "b\rc\r\n", "d\r"}));
}

TEST(ReadLine, CrLfCountsAsOneCharacterWhenCutting) {
  // 4998 characters and CRLF: the newline still fits the first piece.
  auto pieces = pieces_of(std::string(4998, 'x') + "\r\n" + "y");
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0], std::string(4998, 'x') + "\n");
}

TEST(ReadLine, CrLfAcrossTheEndOfABlock) {
  // Lines of 1000 characters with CRLF, so that pairs fall on every position
  // relative to the block boundary, CR last in a block included.
  std::string content;
  std::vector<std::string> expected;
  for (int i = 0; content.size() < 2 * INPUT_BLOCK + 5000; ++i) {
    std::string text(997 + i % 5, static_cast<char>('a' + i % 26));
    content += text + "\r\n";
    expected.push_back(text + "\n");
  }
  EXPECT_EQ(pieces_of(content), expected);
}

TEST(ReadLine, CrAtTheVeryEndOfABlockWithoutLf) {
  std::string content(INPUT_BLOCK - 1, 'a');
  content += "\rb\n";
  auto pieces = pieces_of(content);
  std::string joined;
  for (const auto& piece : pieces) joined += piece;
  EXPECT_EQ(joined, content);
}

TEST(ReadLine, ADirectoryIsNotOpened) {
  EXPECT_FALSE(open_input(input, "."));
}

TEST(ScanInt, ReadsLikeTheFormattedScan) {
  struct Row {
    const char* text;
    bool found;
    long long value;
  };
  const Row rows[] = {
      {"12 3", true, 12},     {"  \t\n\r\v\f-7x", true, -7}, {"+5", true, 5},
      {"-", false, 0},        {"- 5", false, 0},             {"+-3", false, 0},
      {"x1", false, 0},       {"", false, 0},                {"007", true, 7},
      {"-0", true, 0},        {"2147483647", true, 2147483647},
      {"-2147483648", true, -2147483648LL},
  };
  for (const Row& row : rows) {
    Decimal number{99, 0, "", ""};
    EXPECT_EQ(scan_int(row.text, number), row.found) << row.text;
    EXPECT_EQ(number.value, row.found ? row.value : 99) << row.text << ": a failed scan keeps the value";
  }
}

TEST(ScanInt, HugeNumbersSaturate) {
  Decimal number{};
  ASSERT_TRUE(scan_int("123456789012345678901234567890", number));
  EXPECT_EQ(number.value, SATURATED);
  EXPECT_EQ(number.digits, 30);
  ASSERT_TRUE(scan_int("-99999999999999999999", number));
  EXPECT_EQ(number.value, -SATURATED);
}

TEST(Tokens, SplitAtSpacesOnly) {
  const char* rest = "  v 1\t2  -3 \n";
  std::vector<std::string> tokens;
  std::size_t length = 0;
  while (const char* token = next_token(rest, length)) tokens.emplace_back(token, length);
  EXPECT_EQ(tokens, (std::vector<std::string>{"v", "1\t2", "-3", "\n"}));
}

TEST(Tokens, ValueAsAtoiReadsIt) {
  struct Row {
    const char* token;
    long long value;
    int digits;
  };
  const Row rows[] = {
      {"12\n", 12, 2}, {"-05", -5, 2}, {"\t7", 7, 1}, {"v", 0, 0}, {"-", 0, 0}, {"\n", 0, 0}, {"3x4", 3, 1},
  };
  for (const Row& row : rows) {
    Decimal d = token_decimal(row.token);
    EXPECT_EQ(d.value, row.value) << row.token;
    EXPECT_EQ(d.digits, row.digits) << row.token;
  }
  // A token ends at a space: the conversion must not skip it to the next token.
  EXPECT_EQ(token_decimal("\t 5").digits, 0);
}

TEST(FindSpace, FindsTheFirstSpaceOrNothing) {
  const char* text = "12\t3 4";
  EXPECT_EQ(find_space(text), text + 4);
  EXPECT_EQ(find_space("12\t3\n"), nullptr);
}

}  // namespace
