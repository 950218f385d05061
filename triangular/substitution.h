// Sparse triangular substitution over a compressed-column factor, written
// once for every index width a host hands out (int at the 32-bit level,
// size_t at the large-array level, int64_t in Octave).
//
// The kernels read the factor column by column: column i of the factor is
// row i of the transposed system, so each x[i] is one sparse dot product
// over one column, accumulated in storage order. The structure checks
// below are what a gateway runs first, so that the kernels only ever see
// column starts in range; the kernels check the row indices themselves.
//
// Everything here is plain C++ with no host dependency; counts, positions
// and row indices are signed 32-bit once the checks have passed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace lw::triangular {

constexpr std::uint64_t int32_limit = 2147483647u;

// True when 0 <= value < limit, for a signed or unsigned index type.
template <typename Index>
inline bool index_below(Index value, std::uint64_t limit) {
  if constexpr (std::is_signed_v<Index>) {
    if (value < 0) return false;
  }
  return static_cast<std::uint64_t>(value) < limit;
}

// An index as a signed number of its own width, widened to 64 bits: an
// index with every bit set reads as -1 in every build, whether the host's
// index type is int, a 32-bit size_t (a 32-bit host's large-array level) or
// a 64-bit one. (Widened straight from a 32-bit size_t it would read as
// 2^32 - 1 instead.)
template <typename Index>
inline std::int64_t as_signed(Index value) {
  return static_cast<std::int64_t>(static_cast<std::make_signed_t<Index>>(value));
}

// What a scan of column starts jc[0..columns] found.
struct ColumnStarts {
  enum class Fault { none, first_not_zero, column_ends_before_start, past_capacity, too_many };
  Fault fault = Fault::none;
  std::int32_t column = -1;       // 0-based column where the fault was seen
  std::uint64_t end = 0;          // jc[columns] once the starts never decrease
  std::int32_t entries = 0;       // the same, when there is no fault
  std::int32_t first_empty = -1;  // first column without a stored entry, or -1
};

// One pass over the column starts: they must begin at 0, never decrease and
// end within the array's capacity (and below 2^31, the kernels' count limit).
// Starts are compared as signed values (as_signed), so a negative start reads
// the same in every build.
template <typename Index>
ColumnStarts scan_column_starts(const Index *jc, std::int32_t columns, std::uint64_t capacity) {
  ColumnStarts s;
  std::int64_t start = as_signed(jc[0]);
  if (start != 0) {
    s.fault = ColumnStarts::Fault::first_not_zero;
    s.column = 0;
    return s;
  }
  for (std::int32_t j = 0; j < columns; ++j) {
    const std::int64_t next = as_signed(jc[j + 1]);
    if (next < start) {
      s.fault = ColumnStarts::Fault::column_ends_before_start;
      s.column = j;
      return s;
    }
    if (s.first_empty < 0 && next == start) s.first_empty = j;
    start = next;
  }
  // start is now the end of the last column, and >= 0.
  s.end = static_cast<std::uint64_t>(start);
  if (s.end > capacity) {
    s.fault = ColumnStarts::Fault::past_capacity;
    return s;
  }
  if (s.end > int32_limit) {
    s.fault = ColumnStarts::Fault::too_many;
    return s;
  }
  s.entries = static_cast<std::int32_t>(s.end);
  return s;
}

// True when every one of the first `entries` row indices lies in 0 .. rows-1.
// A branch-free pass (a negative index, seen unsigned, is out of range too),
// so it runs at memory speed; first_column_with_row_outside then names the
// column when it fails.
template <typename Index>
bool rows_all_below(const Index *ir, std::int32_t entries, std::int32_t rows) {
  using Unsigned = std::make_unsigned_t<Index>;
  const Unsigned limit = static_cast<Unsigned>(rows);
  bool outside = false;
  for (std::int32_t p = 0; p < entries; ++p) outside |= static_cast<Unsigned>(ir[p]) >= limit;
  return !outside;
}

// First column (0-based) holding a stored row index outside 0 .. rows-1, or
// -1. jc must have passed scan_column_starts.
template <typename Index>
std::int32_t first_column_with_row_outside(const Index *ir, const Index *jc,
                                           std::int32_t columns, std::int32_t rows) {
  const std::uint64_t limit = static_cast<std::uint64_t>(rows);
  for (std::int32_t j = 0; j < columns; ++j) {
    const std::int32_t end = static_cast<std::int32_t>(jc[j + 1]);
    for (std::int32_t p = static_cast<std::int32_t>(jc[j]); p < end; ++p)
      if (!index_below(ir[p], limit)) return j;
  }
  return -1;
}

// The plain transcriptions of the two substitutions: each x[i] is one sum
// over its column in storage order, started at 0 and divided by the
// diagonal. The kernels below must give exactly these bits; the tests
// compare them with these loops.
template <typename Index>
void reference_forward_substitution(const double *v, const Index *ir, const Index *jc,
                                    const double *b, double *x, std::int32_t m) {
  x[0] = b[0] / v[0];
  for (std::int32_t i = 1; i < m; ++i) {
    const std::int32_t diagonal = static_cast<std::int32_t>(jc[i + 1]) - 1;
    double sum = 0.0;
    for (std::int32_t p = static_cast<std::int32_t>(jc[i]); p < diagonal; ++p)
      sum = sum + v[p] * x[static_cast<std::int32_t>(ir[p])];
    x[i] = (b[i] - sum) / v[diagonal];
  }
}

template <typename Index>
void reference_backward_substitution(const double *v, const Index *ir, const Index *jc,
                                     const double *b, double *x, std::int32_t m) {
  x[m - 1] = b[m - 1] / v[static_cast<std::int32_t>(jc[m]) - 1];
  for (std::int32_t i = m - 2; i >= 0; --i) {
    const std::int32_t diagonal = static_cast<std::int32_t>(jc[i]);
    double sum = 0.0;
    for (std::int32_t p = diagonal + 1; p < static_cast<std::int32_t>(jc[i + 1]); ++p)
      sum = sum + v[p] * x[static_cast<std::int32_t>(ir[p])];
    x[i] = (b[i] - sum) / v[diagonal];
  }
}

// The kernels read each row index once, in the same pass as the solve, and
// check it there: a row outside 0 .. m-1 is noted and read as row 0 (so no
// position outside x is ever touched), and the kernel then reports false.
// Its x is meaningless in that case and must not be delivered; the caller
// names the column with first_column_with_row_outside. For a factor whose
// rows are all in range the clamp never changes an index, so the sums are
// exactly those of the loops above. This saves a separate pass over the row
// indices before the solve (a pass from memory as long as the solve's own
// reads on a large factor).
template <typename Index>
inline std::int32_t checked_row(Index r, std::make_unsigned_t<Index> rows, bool &outside) {
  using Unsigned = std::make_unsigned_t<Index>;
  const bool bad = static_cast<Unsigned>(r) >= rows;  // a negative row too
  outside |= bad;
  return bad ? 0 : static_cast<std::int32_t>(r);
}

// A hint to bring the line holding *address into the cache; no effect on
// results.
inline void prefetch(const void *address) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(address);
#else
  (void)address;
#endif
}

// Solves R'·x = b for an upper triangular R of m >= 1 columns: the last
// stored entry of each column is its diagonal, the ones before it lie above.
// x must start at zero (an entry above the diagonal in a row not yet solved
// then contributes nothing). Returns false when a stored row index (of any
// entry, the diagonals included) lies outside 0 .. m-1.
//
// The columns are read in increasing order, so the factor streams forward
// through memory and the processor's own prefetching keeps up; what limits
// the loop is the chain of additions of each sum, which must stay serial.
template <typename Index>
bool forward_substitution(const double *v, const Index *ir, const Index *jc, const double *b,
                          double *x, std::int32_t m) {
  const auto rows = static_cast<std::make_unsigned_t<Index>>(m);
  bool outside = false;
  // Column 0 only gives x[0]; its rows are checked all the same.
  for (std::int32_t p = 0; p < static_cast<std::int32_t>(jc[1]); ++p)
    checked_row(ir[p], rows, outside);
  x[0] = b[0] / v[0];
  std::int32_t start = static_cast<std::int32_t>(jc[1]);
  for (std::int32_t i = 1; i < m; ++i) {
    const std::int32_t next = static_cast<std::int32_t>(jc[i + 1]);
    const std::int32_t diagonal = next - 1;
    double sum = 0.0;
    for (std::int32_t p = start; p < diagonal; ++p)
      sum = sum + v[p] * x[checked_row(ir[p], rows, outside)];
    checked_row(ir[diagonal], rows, outside);
    x[i] = (b[i] - sum) / v[diagonal];
    start = next;
  }
  return !outside;
}

// Solves Rt'·x = b for a lower triangular Rt of m >= 1 columns: the first
// stored entry of each column is its diagonal, the ones after it lie below.
// x must start at zero. Returns false when a stored row index lies outside
// 0 .. m-1.
//
// The columns are taken in decreasing order, each read upwards: a pattern
// the processor's prefetching does not follow, and the solve (a serial
// chain from one column to the next) cannot hide the wait for memory
// itself. So the loop asks for the factor's values and row indices a fixed
// distance ahead of the column it works on.
template <typename Index>
bool backward_substitution(const double *v, const Index *ir, const Index *jc, const double *b,
                           double *x, std::int32_t m) {
  constexpr std::int32_t ahead_entries = 512;  // how far below the current column to fetch
  constexpr std::int32_t line_entries = 8;     // doubles per 64-byte line
  const auto rows = static_cast<std::make_unsigned_t<Index>>(m);
  bool outside = false;
  std::int32_t end = static_cast<std::int32_t>(jc[m]);
  // Column m-1 only gives x[m-1]; its rows are checked all the same.
  for (std::int32_t p = static_cast<std::int32_t>(jc[m - 1]); p < end; ++p)
    checked_row(ir[p], rows, outside);
  x[m - 1] = b[m - 1] / v[end - 1];
  end = static_cast<std::int32_t>(jc[m - 1]);
  std::int32_t fetched = end;  // entries from here up have been asked for
  for (std::int32_t i = m - 2; i >= 0; --i) {
    const std::int32_t diagonal = static_cast<std::int32_t>(jc[i]);
    for (const std::int32_t want = diagonal - ahead_entries; fetched > want && fetched > 0;) {
      fetched = fetched > line_entries ? fetched - line_entries : 0;
      prefetch(v + fetched);
      prefetch(ir + fetched);
    }
    double sum = 0.0;
    for (std::int32_t p = diagonal + 1; p < end; ++p)
      sum = sum + v[p] * x[checked_row(ir[p], rows, outside)];
    checked_row(ir[diagonal], rows, outside);
    x[i] = (b[i] - sum) / v[diagonal];
    end = diagonal;
  }
  return !outside;
}

}  // namespace lw::triangular
