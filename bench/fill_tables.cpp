// satvet_fill CLAUSES WIDTH: writes WIDTH literals into each of CLAUSES rows of
// satvet's own clause store, with the same huge-page advice, and nothing else.
// bench/run times it beside satvet: the floor of filling the tables, which on a
// large formula is a good part of satvet's time and depends on how fast the
// system hands out fresh memory.
#include <cstdio>
#include <cstdlib>

#include "tables.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: satvet_fill CLAUSES WIDTH\n", stderr);
    return 2;
  }
  const int count = std::atoi(argv[1]);
  const int width = std::atoi(argv[2]);
  if (count < 0 || count > MAX_CLAUSES || width < 1 || width > MAX_LITERALS) {
    std::fputs("satvet_fill: CLAUSES or WIDTH beyond the tables\n", stderr);
    return 2;
  }
  prepare_rows(count);
  long long sum = 0;
  for (int i = 0; i < count; ++i) {
    for (int j = 0; j < width; ++j) {
      form[i][j] = (i + j) % MAX_VARS + 1;
      sgn[i][j] = (i ^ j) & 1;
    }
    lic[i] = width;
    sum += form[i][width - 1];
  }
  // Printed, so that the writes cannot be left out.
  std::printf("%lld\n", sum);
  return 0;
}
