#pragma once

// Tests every clause of the clause store against the assignment table and prints
// one report line per unsatisfied clause. Returns true when every clause is
// satisfied.
bool check_solution();
