// The problem tables of a run: the clause store, filled by read_formula, and the
// assignment table, filled by read_solution; check_solution reads both.
// Plain zero-initialised static storage, sized once for the largest formula that
// the program accepts, never resized, cleared or freed. Only the pages that a run
// writes are ever touched, so a small formula keeps a small footprint.
#pragma once

// Capacities, fixed when the program is built (see CMakeLists.txt).
#ifndef SATVET_MAX_VARS
#define SATVET_MAX_VARS 59999
#endif
#ifndef SATVET_MAX_CLAUSES
#define SATVET_MAX_CLAUSES 600000
#endif
#ifndef SATVET_MAX_LITERALS
#define SATVET_MAX_LITERALS 100
#endif

constexpr int MAX_VARS = SATVET_MAX_VARS;          // largest declared variable count
constexpr int MAX_CLAUSES = SATVET_MAX_CLAUSES;    // rows of form, sgn and lic
constexpr int MAX_LITERALS = SATVET_MAX_LITERALS;  // literal positions per row
constexpr int ASSIGNMENT_SIZE = MAX_VARS + 1;      // assgn holds entries 0 to MAX_VARS

static_assert(MAX_VARS >= 1 && MAX_CLAUSES >= 1 && MAX_LITERALS >= 1, "capacities must be positive");

// Clause store. Row i holds the (i+1)-th clause of the file: lic[i] literals,
// each its variable number in form[i][j] and its polarity (1 positive, 0 negative)
// in sgn[i][j]. Rows from `clauses` on stay 0.
extern int vars;     // variable count declared in the header; at most MAX_VARS
extern int clauses;  // clause count declared in the header; at most MAX_CLAUSES
extern int form[MAX_CLAUSES][MAX_LITERALS];
extern int sgn[MAX_CLAUSES][MAX_LITERALS];
extern int lic[MAX_CLAUSES];

// Assignment table, indexed by variable number: 1 true, 0 false. A variable that
// the solution never names keeps 0. A literal is true exactly when
// assgn[form[i][j]] == sgn[i][j].
extern int assgn[ASSIGNMENT_SIZE];

// Tells the system that rows 0 to count-1 of form and sgn are about to be filled,
// so that a large formula is backed by huge pages where the platform has them.
void prepare_rows(int count);
