// Gateway of the two substitution modules. The checks run in this order:
//
//   1. fewer than 2 inputs, 2. more than 1 result requested;
//   3. b is taken in: it must be real double (dense or sparse), have fewer
//      than 2^31 rows and, unless it has none, a column; a sparse b's first
//      column is checked and copied into zeroed scratch right here, before
//      any check of the factor;
//   4. the factor's column count must equal b's row count, 5. the factor
//      must be sparse;
//   then the factor must be real double and its column starts well formed;
//   the column the triangularity test reads must hold an entry;
//   6. the one-entry triangularity test;
//   then every column must hold an entry; x is created and solved, the
//   solve checking every row index as it reads it (an index outside the
//   system is never used as a position, and fails the call with no result),
//   and the scratch released.
//
// The checks added to the numbered ones sit where nothing of the numbered
// order can change for a real double b and a well-formed real double
// factor: b is checked where it is first read, and the factor's class and
// structure right after it is known to be sparse, with only what the
// triangularity test itself needs (the starts and the one column it reads)
// ahead of that test. So every numbered check keeps its message and its
// place, and no position is used before it was found in range.
#include "triangular_frame.h"

#include <cstdint>
#include <cstdio>

#include "substitution.h"

namespace lw::triangular {

namespace {

// Class and complexity of an argument that may be dense or sparse.
void require_real_double(const mxArray *a, const Wording &w, int position, const char *name) {
  char text[256];
  if (!mxIsDouble(a)) {
    std::snprintf(text, sizeof text, "%sargument %d (%s) must be of class double, not %s%s",
                  w.prefix, position, name, mxGetClassName(a), w.ending);
    fail(text);
  }
  if (mxIsComplex(a)) {
    std::snprintf(text, sizeof text, "%sargument %d (%s) must be real, not complex%s", w.prefix,
                  position, name, w.ending);
    fail(text);
  }
}

// Rejects unusable column starts; returns what the scan found.
ColumnStarts require_column_starts(const mxArray *a, std::int32_t columns, const Wording &w,
                                   int position, const char *name) {
  const std::uint64_t capacity = mxGetNzmax(a);
  const ColumnStarts s = scan_column_starts(mxGetJc(a), columns, capacity);
  char text[256];
  switch (s.fault) {
    case ColumnStarts::Fault::none:
      return s;
    case ColumnStarts::Fault::first_not_zero:
      std::snprintf(text, sizeof text,
                    "%sargument %d (%s) has malformed column starts: the first is not 0%s",
                    w.prefix, position, name, w.ending);
      break;
    case ColumnStarts::Fault::column_ends_before_start:
      std::snprintf(text, sizeof text,
                    "%sargument %d (%s) has malformed column starts: column %ld ends before it "
                    "starts%s",
                    w.prefix, position, name, long(s.column) + 1, w.ending);
      break;
    case ColumnStarts::Fault::past_capacity:
      std::snprintf(text, sizeof text,
                    "%sargument %d (%s) has malformed column starts: they end at %llu, past its "
                    "capacity of %llu%s",
                    w.prefix, position, name, static_cast<unsigned long long>(s.end),
                    static_cast<unsigned long long>(capacity), w.ending);
      break;
    case ColumnStarts::Fault::too_many:
      std::snprintf(text, sizeof text,
                    "%sargument %d (%s) has 2^31 or more stored entries; at most 2147483647 are "
                    "supported%s",
                    w.prefix, position, name, w.ending);
      break;
  }
  fail(text);
}

void fail_empty_column(std::int32_t column, const Wording &w, const char *name) {
  char text[256];
  std::snprintf(text, sizeof text, "%sargument 1 (%s) has no stored entry in column %ld%s",
                w.prefix, name, long(column) + 1, w.ending);
  fail(text);
}

// Names the first column of a (columns == rows of the system) with a row
// index outside 1 .. rows.
[[noreturn]] void fail_row_outside(const mxArray *a, std::int32_t rows, const Wording &w,
                                   int position, const char *name) {
  const std::int32_t column =
      first_column_with_row_outside(mxGetIr(a), mxGetJc(a), rows, rows);
  char text[256];
  std::snprintf(text, sizeof text,
                "%sargument %d (%s) has a stored entry outside rows 1 to %ld in column %ld%s",
                w.prefix, position, name, long(rows), long(column) + 1, w.ending);
  fail(text);
}

void require_rows_inside(const mxArray *a, std::int32_t columns, std::int32_t entries,
                         std::int32_t rows, const Wording &w, int position, const char *name) {
  if (rows_all_below(mxGetIr(a), entries, rows)) return;
  const std::int32_t column = first_column_with_row_outside(mxGetIr(a), mxGetJc(a), columns, rows);
  char text[256];
  std::snprintf(text, sizeof text,
                "%sargument %d (%s) has a stored entry outside rows 1 to %ld in column %ld%s",
                w.prefix, position, name, long(rows), long(column) + 1, w.ending);
  fail(text);
}

// Dense copy of the first column of a sparse b, in zeroed scratch of m
// doubles (m >= 1, b has at least one column).
double *copy_first_column(const mxArray *b, std::int32_t m, const Wording &w) {
  const ColumnStarts s = require_column_starts(b, 1, w, 2, "b");
  require_rows_inside(b, 1, s.entries, m, w, 2, "b");
  double *dense = scratch_doubles(std::uint64_t(m), w);
  const double *v = mxGetPr(b);
  const mwIndex *ir = mxGetIr(b);
  for (std::int32_t p = 0; p < s.entries; ++p) dense[static_cast<std::int32_t>(ir[p])] = v[p];
  return dense;
}

}  // namespace

void run_gateway(const Solver &solver, int nlhs, mxArray *plhs[], int nrhs,
                 const mxArray *prhs[]) {
  if (nrhs < 2) fail(solver.inputs_message);
  if (nlhs > 1) fail(solver.outputs_message);
  const Wording w{solver.prefix, "."};
  const mxArray *factor = prhs[0];
  const mxArray *rhs = prhs[1];

  // The right-hand side first: its class, its row count, its columns.
  require_real_double(rhs, w, 2, "b");
  const std::size_t rows = mxGetM(rhs);
  require_int32_size(rows, w, 2, "b", "rows");
  const std::int32_t m = static_cast<std::int32_t>(rows);
  if (m > 0 && mxGetN(rhs) == 0) {
    char text[256];
    std::snprintf(text, sizeof text, "%sargument 2 (b) must have at least one column.",
                  solver.prefix);
    fail(text);
  }
  double *scratch = nullptr;
  const double *b = nullptr;
  if (mxIsSparse(rhs)) {
    if (m > 0) scratch = copy_first_column(rhs, m, w);
    b = scratch;
  } else {
    b = mxGetPr(rhs);
  }

  // The factor: square to b, sparse, then what it must be before any entry
  // is read.
  if (mxGetN(factor) != rows) fail(solver.square_message);
  if (!mxIsSparse(factor)) fail(solver.sparse_message);
  require_real_double(factor, w, 1, solver.factor_name);

  if (m > 0) {
    const ColumnStarts s = require_column_starts(factor, m, w, 1, solver.factor_name);
    const mwIndex *ir = mxGetIr(factor);
    const mwIndex *jc = mxGetJc(factor);
    // Lower (forward) or upper (backward) triangular, as far as the last
    // entry of column 0 or of column m-1 tells.
    const std::int32_t tested = solver.direction == Direction::forward ? 0 : m - 1;
    if (jc[tested + 1] == jc[tested]) fail_empty_column(tested, w, solver.factor_name);
    // The row is compared as a signed value (as_signed), so a negative row
    // index reads the same in every build.
    if (solver.direction == Direction::forward) {
      const std::int64_t row = as_signed(ir[jc[1] - 1]);
      if (row > 0) fail(solver.triangular_message);
    } else {
      const std::int64_t row = as_signed(ir[jc[m] - 1]);
      if (row < std::int64_t(m) - 1) fail(solver.triangular_message);
    }
    if (s.first_empty >= 0) fail_empty_column(s.first_empty, w, solver.factor_name);
  }

  // The result, then the substitution. The kernels check every row index as
  // they read it (a separate pass would read all of them from memory once
  // more); a factor with a row outside the system is rejected here, and the
  // x computed from it is reclaimed by the host with the error.
  mxArray *x = create_result(nlhs, plhs, 0, rows, 1);
  if (m > 0) {
    const double *v = mxGetPr(factor);
    const bool inside =
        solver.direction == Direction::forward
            ? forward_substitution(v, mxGetIr(factor), mxGetJc(factor), b, mxGetPr(x), m)
            : backward_substitution(v, mxGetIr(factor), mxGetJc(factor), b, mxGetPr(x), m);
    if (!inside) fail_row_outside(factor, m, w, 1, solver.factor_name);
  }
  discard_undelivered(nlhs, 0, x);
  if (scratch) mxFree(scratch);
}

}  // namespace lw::triangular
