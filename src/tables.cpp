#include "tables.h"

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {
// The row tables start on a huge-page boundary so that prepare_rows can hand
// whole 2 MiB pages to the kernel.
constexpr std::size_t HUGE_PAGE = std::size_t{1} << 21;
#if defined(__linux__)
constexpr std::size_t ROW_ALIGN = HUGE_PAGE;
#else
// No huge-page advice elsewhere, and Windows object files cannot align a table
// beyond 8 KiB.
constexpr std::size_t ROW_ALIGN = alignof(int);
#endif
}  // namespace

int vars;
int clauses;
alignas(ROW_ALIGN) int form[MAX_CLAUSES][MAX_LITERALS];
alignas(ROW_ALIGN) int sgn[MAX_CLAUSES][MAX_LITERALS];
int lic[MAX_CLAUSES];
int assgn[ASSIGNMENT_SIZE];

void prepare_rows(int count) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Below a few huge pages the 4 KiB pages cost little and keep the footprint
  // of a small formula small; above, 2 MiB pages spare the kernel one fault per
  // 4 KiB of rows (each row is touched, however short its clause).
  const std::size_t bytes = static_cast<std::size_t>(count) * sizeof form[0];
  if (count <= 0 || bytes < 4 * HUGE_PAGE) return;
  std::size_t length = (bytes + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
  if (length > sizeof form) length = sizeof form;
  // Advice only: where it is refused, the rows are simply backed by small pages.
  (void)madvise(static_cast<void*>(form), length, MADV_HUGEPAGE);
  (void)madvise(static_cast<void*>(sgn), length, MADV_HUGEPAGE);
#else
  (void)count;
#endif
}
