#include "checker.h"

#include "output.h"
#include "tables.h"

namespace {

// Kept out of the loop below, which it would crowd: it runs once per clause
// left unsatisfied, the loop once per clause.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
void report_unsatisfied(int i) {
  out_text("Clause ");
  out_int(i + 1);
  out_text("  (");
  for (int j = 0; j < lic[i]; ++j) {
    if (j > 0) out_char(' ');
    out_int(sgn[i][j] == 0 ? -form[i][j] : form[i][j]);
  }
  out_text(")  is not satisfied!\n");
}

}  // namespace

bool check_solution() {
  bool result = true;
  const int rows = clauses;
  for (int i = 0; i < rows; ++i) {
    const int* variables = form[i];
    const int* polarities = sgn[i];
    const int count = lic[i];
    // The first true literal, if any. The formula reader refuses every
    // variable number outside the table.
    int j = 0;
    while (j < count && assgn[variables[j]] != polarities[j]) ++j;
    if (j == count) {
      report_unsatisfied(i);
      result = false;
    }
  }
  return result;
}
