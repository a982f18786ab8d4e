// satvet SATfile SOLUTIONfile: checks whether the truth assignment in a SAT
// solver's solution file satisfies the CNF formula in SATfile, and reports every
// clause that it leaves unsatisfied.
#include "driver.h"
#include "input.h"

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
