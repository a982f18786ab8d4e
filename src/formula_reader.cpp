// Reads a DIMACS CNF formula into the clause store, line by line and by position:
// numbers are scanned at the start of a line and just past each space character.
#include "formula_reader.h"

#include <climits>

#include "output.h"
#include "tables.h"

namespace {

// A header count as the "%d" scan leaves it in an int: digits beyond the int's
// range hold at its end, so that a huge count is refused by its limit.
int count_value(long long value) {
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// Sets vars and clauses from the header line: two numbers scanned just past its
// second space. A count that is not found keeps its value (0 at start).
void read_header(const char* line) {
  const char* first = find_space(line);
  const char* second = first != nullptr ? find_space(first + 1) : nullptr;
  if (second == nullptr) return;
  Decimal count;
  if (!scan_int(second + 1, count)) return;
  vars = count_value(count.value);
  if (scan_int(count.end, count)) clauses = count_value(count.value);
}

[[noreturn]] void refuse_literal(const Decimal& number, int k) {
  fatal("Literal %.*s in clause %d does not fit within the limit of %d vars.\n",
        static_cast<int>(number.end - number.begin), number.begin, k + 1, MAX_VARS);
}

}  // namespace

void read_formula(InputFile& formula) {
  const char* line = nullptr;
  bool got = read_line(formula, line);
  while (got && line[0] == 'c') got = read_line(formula, line);
  if (!got) fatal("No header line in '%s': the file ends before any line that is not a comment.\n", formula.name);

  read_header(line);
  if (vars > MAX_VARS) {
    fatal("Variable %d does not fit within the limit of %d vars.\n", vars, MAX_VARS);
  }
  if (clauses > MAX_CLAUSES) fatal("Too many clauses, should be at most %d\n", MAX_CLAUSES);
  prepare_rows(clauses);

  // The number last scanned. It is not reset between lines: a clause line whose
  // first scan finds nothing begins with the 0 that ended the clause before.
  Decimal number{0, 0, "", ""};
  for (int k = 0; k < clauses; ++k) {
    // At the end of the file the last line read stands in for each missing one.
    read_line(formula, line);
    const char* pos = line;
    scan_int(pos, number);
    int count = 0;
    for (;;) {
      if (count == MAX_LITERALS) {
        fatal("Two many literals in clause %d, should be at most %d\n", k, MAX_LITERALS);
      }
      long long literal = number.value;
      long long variable = literal < 0 ? -literal : literal;
      if (variable > MAX_VARS) refuse_literal(number, k);
      form[k][count] = static_cast<int>(variable);
      sgn[k][count] = literal < 0 ? 0 : 1;
      ++count;
      // Only a space character moves the scan on; a line that has no further
      // space ends its clause here.
      const char* space = find_space(pos);
      if (space == nullptr) break;
      pos = space + 1;
      scan_int(pos, number);
      if (number.value == 0) break;
    }
    lic[k] = count;
  }
}
