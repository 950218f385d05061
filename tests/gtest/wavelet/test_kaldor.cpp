// kaldor: the decimated forward transform, through the test host.
#include <algorithm>
#include <cmath>

#include "test_kaldor_support.h"

using namespace lwtest::decimated;
using lwtest::ArgList;
using lwtest::expect_error;
using lwtest::module;

namespace {

const double r2 = std::sqrt(2.0);

// Shapes with every level count each admits.
const Shape shapes[] = {{1, 16, 4}, {16, 1, 4}, {1, 24, 3}, {8, 8, 3},
                        {4, 16, 2}, {16, 8, 3}, {2, 2, 1},  {32, 32, 5}};

}  // namespace

TEST(Kaldor, WorkedExamples) {
  const Vec x{1, 2, 3, 4};
  expect_near_all(forward(1, 4, x, haar(), 1), {3 / r2, 7 / r2, -1 / r2, -1 / r2}, 1e-15);
  expect_near_all(forward(1, 4, x, haar(), 2), {5, -2, -1 / r2, -1 / r2}, 1e-15);
  auto col = transform("kaldor", 4, 1, x, haar(), nullptr);
  EXPECT_EQ(col.m, 4u);
  EXPECT_EQ(col.n, 1u);
  EXPECT_EQ(col.L, 2.0);
  expect_near_all(col.values, {5, -2, -1 / r2, -1 / r2}, 1e-15);
  // [1 2; 3 4] stored by columns.
  expect_near_all(forward(2, 2, {1, 3, 2, 4}, haar(), 1), {5, -2, -1, 0}, 1e-15);
  // Integer filters give exact results.
  EXPECT_EQ(forward(1, 4, x, {1, 2}, 1), (Vec{5, 11, 0, 2}));
  EXPECT_EQ(forward(1, 4, x, {1, 2, 3, 4}, 1), (Vec{30, 22, 0, 0}));
  EXPECT_EQ(forward(1, 4, x, {1, 2, 3}, 1), (Vec{14, 14, -2, -2}));
}

TEST(Kaldor, ZeroLevelsReturnTheInput) {
  for (const Shape &s : shapes) {
    const Vec x = pseudo_random(s.m * s.n, 11);
    EXPECT_EQ(forward(s.m, s.n, x, db4(), 0), x);
  }
  // Also where no level could be inferred.
  const Vec x = pseudo_random(35, 2);
  EXPECT_EQ(forward(5, 7, x, db4(), 0.7), x);
}

TEST(Kaldor, SingleSampleGivesZeroAtOnce) {
  for (double L : {1.0, 2.0, 40.0, 2147483647.0}) {
    auto t = transform("kaldor", 1, 1, {3.5}, db6(), &L);
    EXPECT_EQ(t.values, Vec{0.0});
    EXPECT_EQ(t.L, L);
    EXPECT_EQ(t.r.calloc_calls, 0u);
  }
}

// Bit for bit the closed form: every sum from 0.0 in increasing j, the block
// indices taken modulo its length; also for odd and long filters.
TEST(Kaldor, MatchesTheClosedFormExactly) {
  const Vec odd5 = pseudo_random(5, 21), long11 = pseudo_random(11, 22);
  const Vec *filters[] = {&haar(), &db4(), &db6(), &db8(), &odd5, &long11};
  for (const Shape &s : shapes)
    for (int L = 1; L <= s.max_L; ++L)
      for (const Vec *h : filters) {
        const Vec x = pseudo_random(s.m * s.n, std::uint32_t(s.m * 100 + s.n + L));
        EXPECT_EQ(forward(s.m, s.n, x, *h, L), ref_forward(s.m, s.n, x, *h, L))
            << s.m << "x" << s.n << " L=" << L << " lh=" << h->size();
      }
}

TEST(Kaldor, FilterLongerThanTheBlockWrapsAround) {
  // Six taps on a block of two samples: the block repeated three times.
  const Vec h{1, 2, 3, 4, 5, 6};
  const Vec y = forward(1, 2, {10, 100}, h, 1);
  EXPECT_EQ(y[0], 10 * (1 + 3 + 5) + 100 * (2 + 4 + 6));
  EXPECT_EQ(y[1], 10 * 6 - 100 * 5 + 10 * 4 - 100 * 3 + 10 * 2 - 100 * 1);
  // A matrix whose coarsest block is 2×2, with a 17-tap filter.
  const Vec h17 = pseudo_random(17, 5), x = pseudo_random(64, 6);
  EXPECT_EQ(forward(8, 8, x, h17, 3), ref_forward(8, 8, x, h17, 3));
}

TEST(Kaldor, ColumnIsTransformedAsTheRow) {
  const Vec x = pseudo_random(32, 9);
  for (int L = 1; L <= 5; ++L) {
    auto row = transform("kaldor", 1, 32, x, db6(), nullptr);
    const double level = L;
    auto col = transform("kaldor", 32, 1, x, db6(), &level);
    EXPECT_EQ(col.values, forward(1, 32, x, db6(), L));
    EXPECT_EQ(col.m, 32u);
    EXPECT_EQ(col.n, 1u);
    EXPECT_EQ(row.L, 5.0);
  }
}

// The quarters of a level: a signal that varies only along each row has
// detail only in the quarter that is high along rows, and so on.
TEST(Kaldor, QuarterLayoutOfOneLevel) {
  const std::size_t m = 4, n = 8;
  Vec along_rows(m * n), along_columns(m * n);
  for (std::size_t j = 0; j < n; ++j)
    for (std::size_t i = 0; i < m; ++i) {
      along_rows[i + j * m] = double(j % 2);     // alternates across the columns
      along_columns[i + j * m] = double(i % 2);  // alternates down each column
    }
  const Vec a = forward(m, n, along_rows, haar(), 1);
  const Vec b = forward(m, n, along_columns, haar(), 1);
  for (std::size_t j = 0; j < n; ++j)
    for (std::size_t i = 0; i < m; ++i) {
      const bool top = i < m / 2, left = j < n / 2;
      // The mean lands in the low-low corner; the alternation across the
      // columns in the top-right quarter (high along rows), the one down
      // the columns in the bottom-left (high along columns).
      EXPECT_NEAR(a[i + j * m], top ? (left ? 1.0 : -1.0) : 0.0, 1e-15) << i << "," << j;
      EXPECT_NEAR(b[i + j * m], left ? (top ? 1.0 : -1.0) : 0.0, 1e-15) << i << "," << j;
    }
}

TEST(Kaldor, OrthonormalFiltersPreserveEnergy) {
  for (const Vec *h : {&haar(), &db4(), &db6(), &db8()})
    for (const Shape &s : shapes)
      for (int L = 1; L <= s.max_L; ++L) {
        const Vec x = pseudo_random(s.m * s.n, std::uint32_t(L));
        const double e = sum_of_squares(x);
        EXPECT_NEAR(sum_of_squares(forward(s.m, s.n, x, *h, L)), e, 1e-13 * e)
            << s.m << "x" << s.n << " L=" << L << " lh=" << h->size();
      }
}

TEST(Kaldor, ScratchTakenOnceAndLeftToTheHost) {
  for (const Shape &s : shapes) {
    const double L = s.max_L;
    auto t = transform("kaldor", s.m, s.n, pseudo_random(s.m * s.n, 1), db8(), &L);
    EXPECT_EQ(t.r.calloc_calls, 1u);
    EXPECT_EQ(t.r.freed_by_module, 0u);
    EXPECT_EQ(t.r.reclaimed_by_host, 1u);
    const std::size_t P = s.m > s.n ? s.m : s.n, lh = 8;
#if defined(LASSOWAVE_PLAIN_KERNELS)
    // A line with its periodic extension, the two outputs of a step, the
    // two analysis filters.
    EXPECT_EQ(t.r.calloc_bytes, (P + lh - 1 + 2 * P + 2 * lh) * sizeof(double))
        << s.m << "x" << s.n;
#else
    // Two tap arrays and the larger of a block of 32 rows copied where a
    // level works in place (matrices) and one line's even and odd samples
    // with their periodic extension: lh = 8 here.
    const bool matrix = s.m > 1 && s.n > 1;
    const std::size_t line = 2 * (P / 2 + lh / 2 + 8), rows = matrix ? 32 * s.n : 0;
    EXPECT_EQ(t.r.calloc_bytes, (2 * lh + std::max(line, rows)) * sizeof(double))
        << s.m << "x" << s.n;
#endif
  }
}

TEST(Kaldor, AllocationFailuresEndCleanly) { expect_allocation_failures_end_cleanly("kaldor"); }
