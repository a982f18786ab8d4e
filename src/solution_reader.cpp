// Reads a solver's solution file into the assignment table. Values are expected
// in increasing order of variable number; a number that is not greater than the
// last one taken is held as the first part of a number that a line end (or the
// end of a piece of an over-long line) cut in two, and the first token of the
// next line is glued to it.
#include "solution_reader.h"

#include "output.h"
#include "tables.h"

namespace {

bool is_skipped(const char* line) { return line[0] == 'c' || line[0] == 's'; }

// The listing line of a value taken: the variable and its value, 1 or 0.
void list_value(int variable, int value) {
  out_int(variable);
  out_text(value != 0 ? "  1\n" : "  0\n");
}

// 10 to the power of each number of continuation digits that can still glue to
// a number within an int.
constexpr long long POWERS_OF_TEN[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
constexpr int MAX_GLUE_DIGITS = 9;

// The number that a held number and the digits of its continuation make: the
// digits of held followed by the continuation's own digits, leading zeros
// included, or 0 when the continuation has no digit. A result beyond the table is
// only known to be too large.
long long glue(long long held, const Decimal& continuation) {
  if (continuation.digits == 0) return 0;
  long long rest = continuation.magnitude();
  if (held == 0) return rest;
  // held >= 1, so the result is at least 10 to the number of digits.
  if (held > MAX_VARS || continuation.digits > MAX_GLUE_DIGITS) return SATURATED;
  return held * POWERS_OF_TEN[continuation.digits] + rest;
}

}  // namespace

void read_solution(InputFile& solution) {
  const char* line = nullptr;
  do {
    if (!read_line(solution, line)) return;
  } while (is_skipped(line));

  int lastvar = 0;        // the last variable number taken
  long long curvar = 0;   // magnitude of the last token read: the held number
  bool broken = false;    // a token was not taken: the next line continues it
  int pendsgn = 0;        // value for the glued number: sign of that token

  // Both rules store a value the same way: the variable becomes the last taken.
  auto store = [&](long long variable, int value) {
    lastvar = static_cast<int>(variable);
    assgn[lastvar] = value;
    list_value(lastvar, value);
  };

  // Token rule: take a number greater than the last one taken; hold any other.
  auto take = [&](const char* token) {
    long long n = token_value(token);
    curvar = n > 0 ? n : -n;
    if (curvar > lastvar && curvar <= MAX_VARS) {
      store(curvar, n > 0 ? 1 : 0);
    } else {
      broken = true;
      pendsgn = n > 0 ? 1 : 0;
    }
  };

  const char* rest = line;
  std::size_t length = 0;
  if (line[0] == 'v') {
    const char* label = next_token(rest, length);
    out_char('\n');
    out_bytes(label, length);
    out_text("  value\n");
    while (const char* token = next_token(rest, length)) take(token);
  }

  while (read_line(solution, line) && line[0] != 't') {
    // Statistics and status lines among the values carry no values.
    if (is_skipped(line)) continue;
    rest = line;
    const char* token = next_token(rest, length);
    if (token == nullptr) continue;
    if (broken) {
      // Continuation rule: this token completes the held number.
      Decimal continuation = token_decimal(token);
      long long glued = glue(curvar, continuation);
      curvar = continuation.magnitude();
      if (glued <= MAX_VARS) store(glued, pendsgn);
      broken = false;
      token = next_token(rest, length);
    }
    for (; token != nullptr; token = next_token(rest, length)) take(token);
  }
}
