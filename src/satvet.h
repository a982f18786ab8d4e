#pragma once

#include "input.h"

// The two paths of the command line, as main received them.
extern const char* SATfilename;
extern const char* SOLUTIONfilename;

// One run of satvet: checks the argument count, opens both files into the given
// read buffers, loads the formula and the solution, checks and writes the report.
// Returns the exit status; the fatal paths end the process inside it (see fatal).
// The streams it opens are left open in formula_file and solution_file. main is
// its only caller in the program; a harness that runs the whole program in its
// own process (the fuzzer) builds this unit without main and calls it directly.
int run_satvet(int argc, char** argv, InputFile& formula_file, InputFile& solution_file);
