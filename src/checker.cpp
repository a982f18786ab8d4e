#include "checker.h"

#include "output.h"
#include "tables.h"

namespace {

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
  for (int i = 0; i < clauses; ++i) {
    bool found = false;
    for (int j = 0; j < lic[i]; ++j) {
      // The formula reader refuses every variable number outside the table.
      if (assgn[form[i][j]] == sgn[i][j]) {
        found = true;
        break;
      }
    }
    if (!found) {
      report_unsatisfied(i);
      result = false;
    }
  }
  return result;
}
