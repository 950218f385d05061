// Sparse triangular substitution over a compressed-column factor, written
// once for every index width a host hands out (int at the 32-bit level,
// size_t at the large-array level, int64_t in Octave).
//
// The kernels read the factor column by column: column i of the factor is
// row i of the transposed system, so each x[i] is one sparse dot product
// over one column, accumulated in storage order. The structure checks
// below are what a gateway runs first, so that the kernels only ever see a
// factor whose every position and row index is in range.
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
// Starts are compared as signed 64-bit values whatever the index type, so a
// negative start reads the same in every build.
template <typename Index>
ColumnStarts scan_column_starts(const Index *jc, std::int32_t columns, std::uint64_t capacity) {
  ColumnStarts s;
  std::int64_t start = static_cast<std::int64_t>(jc[0]);
  if (start != 0) {
    s.fault = ColumnStarts::Fault::first_not_zero;
    s.column = 0;
    return s;
  }
  for (std::int32_t j = 0; j < columns; ++j) {
    const std::int64_t next = static_cast<std::int64_t>(jc[j + 1]);
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

// Solves R'·x = b for an upper triangular R of m >= 1 columns: the last
// stored entry of each column is its diagonal, the ones before it lie above.
// x must start at zero (an entry above the diagonal in a row not yet solved
// then contributes nothing).
template <typename Index>
void forward_substitution(const double *v, const Index *ir, const Index *jc, const double *b,
                          double *x, std::int32_t m) {
  x[0] = b[0] / v[0];
  std::int32_t start = static_cast<std::int32_t>(jc[1]);
  for (std::int32_t i = 1; i < m; ++i) {
    const std::int32_t next = static_cast<std::int32_t>(jc[i + 1]);
    const std::int32_t diagonal = next - 1;
    double sum = 0.0;
    for (std::int32_t p = start; p < diagonal; ++p)
      sum = sum + v[p] * x[static_cast<std::int32_t>(ir[p])];
    x[i] = (b[i] - sum) / v[diagonal];
    start = next;
  }
}

// Solves Rt'·x = b for a lower triangular Rt of m >= 1 columns: the first
// stored entry of each column is its diagonal, the ones after it lie below.
// x must start at zero.
template <typename Index>
void backward_substitution(const double *v, const Index *ir, const Index *jc, const double *b,
                           double *x, std::int32_t m) {
  std::int32_t end = static_cast<std::int32_t>(jc[m]);
  x[m - 1] = b[m - 1] / v[end - 1];
  end = static_cast<std::int32_t>(jc[m - 1]);
  for (std::int32_t i = m - 2; i >= 0; --i) {
    const std::int32_t diagonal = static_cast<std::int32_t>(jc[i]);
    double sum = 0.0;
    for (std::int32_t p = diagonal + 1; p < end; ++p)
      sum = sum + v[p] * x[static_cast<std::int32_t>(ir[p])];
    x[i] = (b[i] - sum) / v[diagonal];
    end = diagonal;
  }
}

}  // namespace lw::triangular
