#pragma once

#include "input.h"

// Reads the solver's solution file into the assignment table and prints the value
// listing: one line per value taken, as it is taken.
void read_solution(InputFile& solution);
