// vestran: the decimated inverse transform, and the pair with kaldor.
#include <algorithm>
#include <cmath>

#include "test_kaldor_support.h"

using namespace lwtest::decimated;
using lwtest::ArgList;
using lwtest::expect_error;
using lwtest::module;

namespace {

const double r2 = std::sqrt(2.0);

const Shape shapes[] = {{1, 64, 6}, {64, 1, 6}, {1, 48, 4}, {16, 16, 4},
                        {8, 32, 3}, {32, 8, 3}, {2, 2, 1},  {4, 8, 2}};

double dot(const Vec &a, const Vec &b) {
  double s = 0.0;
  for (std::size_t k = 0; k < a.size(); ++k) s += a[k] * b[k];
  return s;
}

}  // namespace

TEST(Vestran, WorkedExamples) {
  expect_near_all(inverse(1, 4, {3 / r2, 7 / r2, -1 / r2, -1 / r2}, haar(), 1), {1, 2, 3, 4},
                  1e-15);
  expect_near_all(inverse(1, 4, {5, -2, -1 / r2, -1 / r2}, haar(), 2), {1, 2, 3, 4}, 1e-15);
  expect_near_all(inverse(4, 1, {5, -2, -1 / r2, -1 / r2}, haar(), 2), {1, 2, 3, 4}, 1e-15);
  expect_near_all(inverse(2, 2, {5, -2, -1, 0}, haar(), 1), {1, 3, 2, 4}, 1e-15);
  const Vec h{1, 2, 3, 4};
  EXPECT_EQ(inverse(1, 4, {1, 0, 0, 0}, h, 1), (Vec{1, 2, 3, 4}));
  EXPECT_EQ(inverse(1, 4, {0, 1, 0, 0}, h, 1), (Vec{3, 4, 1, 2}));
  EXPECT_EQ(inverse(1, 4, {0, 0, 1, 0}, h, 1), (Vec{4, -3, 2, -1}));
  // Odd length: out[2i] = (a[i] - d[i]) h[1], out[2i+1] = a[i] h[2] + d[i] h[0].
  EXPECT_EQ(inverse(1, 4, {1, 0, 0, 0}, {1, 2, 3}, 1), (Vec{2, 3, 0, 0}));
  EXPECT_EQ(inverse(1, 4, {0, 0, 1, 0}, {1, 2, 3}, 1), (Vec{-2, 1, 0, 0}));
  EXPECT_EQ(inverse(1, 4, {0, 1, 0, 5}, {1, 2, 3}, 1), (Vec{0, 0, -8, 3 + 5}));
}

TEST(Vestran, ZeroLevelsAndSingleSamples) {
  for (const Shape &s : shapes) {
    const Vec y = pseudo_random(s.m * s.n, 3);
    EXPECT_EQ(inverse(s.m, s.n, y, db4(), 0), y);
  }
  // One sample: L = 1 has no coefficient pair (result 0); from L = 2 on
  // every block is empty and the input comes back, at once.
  EXPECT_EQ(inverse(1, 1, {2.5}, db4(), 1), Vec{0.0});
  for (double L : {2.0, 3.0, 33.0, 2147483647.0}) {
    auto t = transform("vestran", 1, 1, {2.5}, db4(), &L);
    EXPECT_EQ(t.values, Vec{2.5});
    EXPECT_EQ(t.r.calloc_calls, 0u);
  }
}

TEST(Vestran, MatchesTheClosedFormExactly) {
  const Vec odd3{0.5, -1.25, 2}, odd7 = pseudo_random(7, 31), long12 = pseudo_random(12, 32);
  const Vec *filters[] = {&haar(), &db4(), &db8(), &odd3, &odd7, &long12};
  for (const Shape &s : shapes)
    for (int L = 1; L <= s.max_L; ++L)
      for (const Vec *h : filters) {
        const Vec y = pseudo_random(s.m * s.n, std::uint32_t(s.n * 7 + s.m + L));
        EXPECT_EQ(inverse(s.m, s.n, y, *h, L), ref_inverse(s.m, s.n, y, *h, L))
            << s.m << "x" << s.n << " L=" << L << " lh=" << h->size();
      }
}

// For an even filter length, vestran is the transpose of kaldor whatever
// the filter: <kaldor(x), y> = <x, vestran(y)>.
TEST(Vestran, IsTheTransposeOfKaldorForEvenFilters) {
  const Vec h6 = pseudo_random(6, 40), h10 = pseudo_random(10, 41);
  for (const Vec *h : {&h6, &h10, &db4()})
    for (const Shape &s : shapes)
      for (int L = 1; L <= s.max_L; ++L) {
        const Vec x = pseudo_random(s.m * s.n, 50), y = pseudo_random(s.m * s.n, 51);
        const double lhs = dot(forward(s.m, s.n, x, *h, L), y);
        const double rhs = dot(x, inverse(s.m, s.n, y, *h, L));
        EXPECT_NEAR(lhs, rhs, 1e-12 * (1 + std::fabs(lhs)))
            << s.m << "x" << s.n << " L=" << L << " lh=" << h->size();
      }
}

// vestran(kaldor(x, h, L), h, L) = x for orthonormal filters: vectors both
// ways round, matrices, every admissible L (so also filters longer than the
// coarsest block, down to blocks of two samples).
TEST(Vestran, UndoesKaldorForOrthonormalFilters) {
  const Shape more[] = {{1, 8, 3}, {8, 1, 3}, {1, 2, 1}, {8, 8, 3}, {2, 16, 1}, {4, 4, 2}};
  for (const Vec *h : {&haar(), &db4(), &db6(), &db8()}) {
    auto check = [&](const Shape &s) {
      for (int L = 1; L <= s.max_L; ++L) {
        const Vec x = pseudo_random(s.m * s.n, std::uint32_t(L * 3 + 1));
        const Vec back = inverse(s.m, s.n, forward(s.m, s.n, x, *h, L), *h, L);
        EXPECT_LE(max_abs_diff(back, x), 2e-15 * (1 + L))
            << s.m << "x" << s.n << " L=" << L << " lh=" << h->size();
      }
    };
    for (const Shape &s : shapes) check(s);
    for (const Shape &s : more) check(s);
  }
  // Inferred L on both sides, and a column.
  const Vec x = pseudo_random(128, 77);
  auto y = transform("kaldor", 128, 1, x, db8(), nullptr);
  EXPECT_EQ(y.L, 7.0);
  auto back = transform("vestran", 128, 1, y.values, db8(), nullptr);
  EXPECT_EQ(back.L, 7.0);
  EXPECT_LE(max_abs_diff(back.values, x), 2e-14);
}

TEST(Vestran, ScratchTakenOnceAndLeftToTheHost) {
  for (const Shape &s : shapes) {
    const double L = s.max_L;
    auto t = transform("vestran", s.m, s.n, pseudo_random(s.m * s.n, 1), db8(), &L);
    EXPECT_EQ(t.r.calloc_calls, 1u);
    EXPECT_EQ(t.r.freed_by_module, 0u);
    EXPECT_EQ(t.r.reclaimed_by_host, 1u);
    const std::size_t P = s.m > s.n ? s.m : s.n, lhh = 4;
#if defined(LASSOWAVE_PLAIN_KERNELS)
    // One step's output, its low and high coefficients with room for the
    // extension in front, the two synthesis filters: lh = 8, lhh = 4 here.
    EXPECT_EQ(t.r.calloc_bytes, (P + 2 * (P + lhh - 1) + 4 * lhh) * sizeof(double))
        << s.m << "x" << s.n;
#else
    // Four tap arrays of lh/2, twice the wrapped start of one line, and for
    // a matrix 2*lhh - 1 columns of the column pass, low and high: lh = 8,
    // lhh = 4 here, so a line needs lhh - 1 + min(P/2, lhh - 1 + 16) + 16.
    const bool matrix = s.m > 1 && s.n > 1;
    const std::size_t line = lhh - 1 + std::min(P / 2, lhh - 1 + 16) + 16;
    const std::size_t columns = matrix ? (4 * lhh - 2) * s.m : 0;
    EXPECT_EQ(t.r.calloc_bytes, (4 * lhh + 2 * line + columns) * sizeof(double))
        << s.m << "x" << s.n;
#endif
  }
}

TEST(Vestran, AllocationFailuresEndCleanly) { expect_allocation_failures_end_cleanly("vestran"); }
