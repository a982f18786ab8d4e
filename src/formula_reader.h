#pragma once

#include "input.h"

// Loads the formula file into the clause store (vars, clauses, form, sgn, lic).
// A formula beyond the store's limits, or without a header line, ends the process
// with a message on standard error and exit status -1.
void read_formula(InputFile& formula);
