// satvet SATfile SOLUTIONfile: checks whether the truth assignment in a SAT
// solver's solution file satisfies the CNF formula in SATfile, and reports every
// clause that it leaves unsatisfied.
#include "satvet.h"

#include <cstdio>

#include "checker.h"
#include "formula_reader.h"
#include "output.h"
#include "solution_reader.h"

const char* SATfilename;
const char* SOLUTIONfilename;

int run_satvet(int argc, char** argv, InputFile& formula_file, InputFile& solution_file) {
  if (argc != 3) {
    std::fwrite("satvet SATfile SOLUTIONfile\n", 1, 28, stderr);
    return -1;
  }
  SATfilename = argv[1];
  if (!open_input(formula_file, SATfilename)) fatal("error opening '%s'\n", SATfilename);
  SOLUTIONfilename = argv[2];
  if (!open_input(solution_file, SOLUTIONfilename)) fatal("error opening '%s'\n", SOLUTIONfilename);

  read_formula(formula_file);
  finish_input(formula_file);
  read_solution(solution_file);
  finish_input(solution_file);
  out_char('\n');
  if (check_solution()) out_text("Assignment is satisfying!\n");
  out_char('\n');
  return finish_output();
}

#if !defined(SATVET_NO_MAIN)

#if defined(_WIN32)
// The paths reach main as given: no wildcard expansion by the runtime.
extern "C" {
int _dowildcard = 0;
}
#endif

namespace {
// Each holds its file's read buffer: static, so nothing is allocated.
InputFile formula_file;
InputFile solution_file;
}  // namespace

int main(int argc, char** argv) { return run_satvet(argc, argv, formula_file, solution_file); }

#endif
