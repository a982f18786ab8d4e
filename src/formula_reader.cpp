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
// second space. A count that is not found keeps its value (0 at start). A line
// with fewer than two spaces (an empty line, a solver's "s SATISFIABLE" given in
// the formula's place, words split by tabs) is no header: refused, so that no
// verdict is given on a formula that was never read.
void read_header(const char* line, const char* path) {
  const char* first = find_space(line);
  const char* second = first != nullptr ? find_space(first + 1) : nullptr;
  if (second == nullptr) {
    fatal("The header line of '%s' holds no counts: it has fewer than two spaces (expected 'p cnf VARIABLES CLAUSES').\n",
          path);
  }
  Decimal count;
  if (!scan_int(second + 1, count)) return;
  vars = count_value(count.value);
  if (scan_int(count.end, count)) clauses = count_value(count.value);
}

// Refuses the literal that the scan at pos found: a variable number beyond the
// assignment table, written out as it stands in the file.
[[noreturn]] void refuse_literal(const char* pos, int k) {
  Decimal number = read_decimal(pos);
  fatal("Literal %.*s in clause %d does not fit within the limit of %d vars.\n",
        static_cast<int>(number.end - number.begin), number.begin, k + 1, MAX_VARS);
}

}  // namespace

void read_formula(InputFile& formula) {
  const char* line = nullptr;
  bool got = read_line(formula, line);
  while (got && line[0] == 'c') got = read_line(formula, line);
  if (!got) fatal("No header line in '%s': the file ends before any line that is not a comment.\n", formula.name);

  read_header(line, formula.name);
  if (vars > MAX_VARS) {
    fatal("Variable %d does not fit within the limit of %d vars.\n", vars, MAX_VARS);
  }
  if (clauses > MAX_CLAUSES) fatal("Too many clauses, should be at most %d\n", MAX_CLAUSES);
  prepare_rows(clauses);

  // The number last scanned. It is not reset between lines: a clause line whose
  // first scan finds nothing begins with the 0 that ended the clause before.
  long long number = 0;
  for (int k = 0; k < clauses; ++k) {
    // At the end of the file the last line read stands in for each missing one.
    read_line(formula, line);
    const char* pos = line;  // the scan position
    Spaces spaces = spaces_of(line);
    int* variables = form[k];
    int* polarities = sgn[k];
    int count = 0;
    // Stores the number last scanned as the clause's next literal.
    const auto store = [&] {
      if (count == MAX_LITERALS) [[unlikely]] {
        fatal("Two many literals in clause %d, should be at most %d\n", k, MAX_LITERALS);
      }
      long long variable = number < 0 ? -number : number;
      // Only a number just found can be out of range: one stored again was not.
      if (variable > MAX_VARS) [[unlikely]] refuse_literal(pos, k);
      variables[count] = static_cast<int>(variable);
      polarities[count] = number < 0 ? 0 : 1;
      ++count;
    };
    // The literals of the line while they are plain numbers within range, and
    // a 0 after them, taken as the steps below would take them, several at once.
    bool ended = false;
    count = take_plain_run(line, spaces, variables, polarities, MAX_LITERALS, MAX_VARS, number, ended);
    if (count == 0) {
      scan_at(pos, number);
      store();
    }
    while (!ended) {
      // Only a space character moves the scan on, to just past the next one; a
      // line that has no further space ends its clause here.
      const char* space = next_space(spaces);
      if (space == nullptr) [[unlikely]] break;
      pos = space + 1;
      scan_at(pos, number);
      if (number == 0) [[unlikely]] break;
      store();
    }
    lic[k] = count;
  }
}
