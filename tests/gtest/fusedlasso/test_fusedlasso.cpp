// gravenmor (brastelin), lunderjack and zelmonte through the test host.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "call_helpers.h"

using lwtest::ArgList;
using lwtest::expect_error;
using lwtest::expect_ok;
using lwtest::module;
using lwtest::out;
using lwtest::scalars;

namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

// ---------------------------------------------------------------- gravenmor

std::vector<double> scale(const std::string &name, const std::vector<double> &u) {
  auto a = scalars(u);
  auto r = module(name).call(8, a.handles());
  expect_ok(r);
  std::vector<double> v;
  for (std::size_t k = 0; k < 8; ++k) v.push_back(out(r, k));
  return v;
}

// Compares element by element; NaN matches NaN.
void expect_same(const std::vector<double> &got, const std::vector<double> &want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t k = 0; k < got.size(); ++k) {
    if (std::isnan(want[k]))
      EXPECT_TRUE(std::isnan(got[k])) << "element " << k << " is " << got[k];
    else
      EXPECT_EQ(got[k], want[k]) << "element " << k;
  }
}

TEST(Gravenmor, ScaledValuesUnderBothNames) {
  for (const char *name : {"gravenmor", "brastelin"}) {
    expect_same(scale(name, {6, 2, 8, 3, 5}), {24, 2, 8, 4, 0.5, 6, 40, 0});
    // The quotient comes before the product: (1/10)*3 is not 3/10.
    EXPECT_EQ(scale(name, {3, 10, 1, 1, 1})[0], (1.0 / 10.0) * 3.0);
    EXPECT_NE(scale(name, {3, 10, 1, 1, 1})[0], 0.3);
    expect_same(scale(name, {1, 2, 3, 1, 1}),
                {1.5, 2, 3, std::sqrt(6.0), std::sqrt(2.0 / 3.0), 2, 3, 0});
  }
}

TEST(Gravenmor, ScalingOffBelowTheThreshold) {
  for (double u2 : {0.0, -0.0, 9.999999999e-8, -3.0, -inf})
    for (double u3 : {8.0, 0.0, nan})
      expect_same(scale("gravenmor", {6, u2, u3, 3, 5}), {6, 1, 1, 1, 1, 3, 5, 0});
  // 1e-7 itself is not below it.
  expect_same(scale("gravenmor", {1, 1e-7, 4e-7, 1, 1}),
              {(4e-7 / 1e-7) * 1, 1e-7, 4e-7, std::sqrt(1e-7 * 4e-7), std::sqrt(1e-7 / 4e-7),
               1e-7, 4e-7, 0});
}

TEST(Gravenmor, NoChecksOnTheValues) {
  // A NaN first factor fails the comparison and keeps scaling on.
  expect_same(scale("gravenmor", {6, nan, 8, 3, 5}), {nan, nan, 8, nan, nan, nan, 40, 0});
  expect_same(scale("gravenmor", {6, 2, 0, 3, 5}), {0, 2, 0, 0, inf, 6, 0, 0});
  expect_same(scale("gravenmor", {6, 2, -8, 3, 5}), {-24, 2, -8, nan, nan, 6, -40, 0});
}

TEST(Gravenmor, ResultSlots) {
  auto a = scalars({6, 2, 8, 3, 5});
  const std::vector<double> want{24, 2, 8, 4, 0.5, 6, 40, 0};
  for (int nlhs = 0; nlhs <= 9; ++nlhs) {
    const int slots = nlhs > 1 ? nlhs : 1;
    auto r = module("brastelin").call(nlhs, a.handles());
    expect_ok(r);
    ASSERT_EQ(r.outputs.size(), std::size_t(slots));
    lwtest::expect_scalar_results(r, {want.begin(), want.begin() + std::min(slots, 8)});
  }
}

TEST(Gravenmor, ArgumentChecks) {
  for (const char *name : {"gravenmor", "brastelin"}) {
    auto four = scalars({6, 2, 8, 3});
    auto six = scalars({6, 2, 8, 3, 5, 1});
    expect_error(module(name).call(8, four.handles()), " gravenmor: must have 5 inputs");
    expect_error(module(name).call(8, six.handles()), " gravenmor: must have 5 inputs");
    expect_error(module(name).call(1, {}), " gravenmor: must have 5 inputs");
  }
  auto check = [](int position, testhost::Array bad, const std::string &text) {
    lwtest::expect_rejected("brastelin", 8, {6, 2, 8, 3, 5}, position, std::move(bad), text);
  };
  check(1, testhost::dense(0, 0), "gravenmor: argument 1 (value) must not be empty.");
  check(2, testhost::dense(0, 3), "gravenmor: argument 2 (scale_1) must not be empty.");
  check(3, testhost::complex_dense(1, 1, {8}, {0}),
        "gravenmor: argument 3 (scale_2) must be real, not complex.");
  check(4, testhost::sparse_from_dense(1, 1, {3}),
        "gravenmor: argument 4 (weight_1) must be dense, not sparse.");
  check(5, testhost::of_class(mxSINGLE_CLASS, 1, 1, {5}),
        "gravenmor: argument 5 (weight_2) must be of class double, not single.");
  check(2, testhost::of_class(mxLOGICAL_CLASS, 1, 1, {1}),
        "gravenmor: argument 2 (scale_1) must be of class double, not logical.");
  // Only the first element of each argument is read.
  ArgList a;
  a.add(testhost::row({6, 100})).add(testhost::column({2, 0})).add(testhost::dense(2, 2, {8}));
  a.add(testhost::scalar(3)).add(testhost::scalar(5));
  auto r = module("gravenmor").call(1, a.handles());
  expect_ok(r);
  EXPECT_EQ(out(r, 0), 24);
}

// ---------------------------------------------------------------- lunderjack

// An argument list built in one expression.
template <typename... A>
ArgList args(A... a) {
  ArgList l;
  (l.add(std::move(a)), ...);
  return l;
}

struct Jacobian {
  std::size_t rows = 0, columns = 0, nzmax = 0;
  std::vector<double> d, h;
  std::vector<std::int64_t> ir, jc;
};

Jacobian structure(testhost::Array p) {
  ArgList a;
  a.add(std::move(p));
  auto r = module("lunderjack").call(2, a.handles());
  expect_ok(r);
  Jacobian j;
  if (r.error || r.outputs.size() != 2 || !r.outputs[0] || !r.outputs[1]) {
    ADD_FAILURE() << "lunderjack delivered no results";
    return j;
  }
  const mxArray *d = r.outputs[0].get();
  const mxArray *h = r.outputs[1].get();
  EXPECT_FALSE(mxIsSparse(d));
  EXPECT_EQ(mxGetN(d), 1u);
  EXPECT_TRUE(mxIsSparse(h));
  EXPECT_EQ(mxGetM(h), mxGetM(d));
  // Scratch is taken once (two run-record arrays) and nothing is reallocated.
  // They are left for the host to reclaim, not released by the module.
  if (mxGetM(d) > 1) {
    EXPECT_EQ(r.calloc_calls, 2u);
    EXPECT_EQ(r.calloc_bytes, 2 * 8 * (mxGetM(d) - 1));
    EXPECT_EQ(r.freed_by_module, 0u);
    EXPECT_EQ(r.reclaimed_by_host, 2u);
  }
  EXPECT_EQ(r.arrays_created, 2u);
  j.rows = mxGetM(h);
  j.columns = mxGetN(h);
  j.nzmax = mxGetNzmax(h);
  j.d = testhost::values(d);
  j.h = testhost::values(h);
  j.ir = testhost::row_indices(h);
  j.jc = testhost::column_starts(h);
  return j;
}

Jacobian structure(const std::vector<double> &p) { return structure(testhost::row(p)); }

TEST(Lunderjack, TwoRuns) {
  Jacobian j = structure({1, 1, 0, 1});
  EXPECT_EQ(j.d, std::vector<double>(5, 0.0));
  EXPECT_EQ(j.rows, 5u);
  EXPECT_EQ(j.columns, 2u);
  EXPECT_EQ(j.nzmax, 6u);
  EXPECT_EQ(j.jc, (std::vector<std::int64_t>{0, 3, 5}));
  EXPECT_EQ(j.ir, (std::vector<std::int64_t>{0, 1, 2, 3, 4}));
  const double a = 1 / std::sqrt(3.0), b = 1 / std::sqrt(2.0);
  EXPECT_EQ(j.h, (std::vector<double>{a, a, a, b, b}));
}

TEST(Lunderjack, WorkedExamples) {
  Jacobian one = structure({0, 1, 0});
  EXPECT_EQ(one.d, (std::vector<double>{1, 0, 0, 1}));
  EXPECT_EQ(one.columns, 1u);
  EXPECT_EQ(one.nzmax, 3u);
  EXPECT_EQ(one.ir, (std::vector<std::int64_t>{1, 2}));
  EXPECT_EQ(one.h, (std::vector<double>(2, 1 / std::sqrt(2.0))));

  Jacobian none = structure({0, 2, 0.9999999999999999, nan, -1});
  EXPECT_EQ(none.d, std::vector<double>(6, 1.0));
  EXPECT_EQ(none.rows, 6u);
  EXPECT_EQ(none.columns, 0u);
  EXPECT_EQ(none.nzmax, 1u);

  Jacobian all = structure(std::vector<double>(7, 1.0));
  EXPECT_EQ(all.d, std::vector<double>(8, 0.0));
  EXPECT_EQ(all.columns, 1u);
  EXPECT_EQ(all.nzmax, 9u);
  EXPECT_EQ(all.jc, (std::vector<std::int64_t>{0, 8}));
  EXPECT_EQ(all.h, std::vector<double>(8, 1 / std::sqrt(8.0)));

  Jacobian mixed = structure({1, 2, 1, nan, 1, 1});
  EXPECT_EQ(mixed.columns, 3u);
  EXPECT_EQ(mixed.jc, (std::vector<std::int64_t>{0, 2, 4, 7}));
  EXPECT_EQ(mixed.ir, (std::vector<std::int64_t>{0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(mixed.nzmax, 8u);

  Jacobian empty = structure(testhost::dense(0, 0));
  EXPECT_EQ(empty.d, std::vector<double>{1});
  EXPECT_EQ(empty.rows, 1u);
  EXPECT_EQ(empty.columns, 0u);
  EXPECT_EQ(empty.nzmax, 1u);
}

TEST(Lunderjack, ShapeOfTheInput) {
  const std::vector<double> p{1, 0, 1, 1, 0, 0, 1};
  Jacobian r = structure(testhost::row(p));
  Jacobian c = structure(testhost::column(p));
  EXPECT_EQ(r.d, c.d);
  EXPECT_EQ(r.h, c.h);
  EXPECT_EQ(r.ir, c.ir);
  EXPECT_EQ(r.jc, c.jc);
  // A 2x3 and a 3x2 matrix: n = 3, the first three values in column order.
  const std::vector<double> m{1, 1, 0, 1, 1, 1};
  Jacobian wide = structure(testhost::dense(2, 3, m));
  Jacobian tall = structure(testhost::dense(3, 2, m));
  Jacobian first = structure({1, 1, 0});
  for (const Jacobian *j : {&wide, &tall}) {
    EXPECT_EQ(j->d, first.d);
    EXPECT_EQ(j->ir, first.ir);
    EXPECT_EQ(j->jc, first.jc);
    EXPECT_EQ(j->rows, 4u);
  }
}

// diag(d) + H*H' built densely equals the block matrix of the groups formed
// by linking j and j+1 wherever p[j] == 1: 1/size on each group's block.
TEST(Lunderjack, BlockStructureOfTheJacobian) {
  std::mt19937 rng(3);
  const double choices[] = {1, 1, 1, 0, 2, nan};
  for (int trial = 0; trial < 300; ++trial) {
    const std::size_t n = rng() % 13;
    std::vector<double> p(n);
    for (double &v : p) v = choices[rng() % 6];
    Jacobian j = n == 0 ? structure(testhost::dense(0, 0)) : structure(p);
    const std::size_t m = n + 1;
    ASSERT_EQ(j.d.size(), m);

    std::vector<std::size_t> group(m, 0);
    for (std::size_t i = 1; i < m; ++i) group[i] = group[i - 1] + (p[i - 1] == 1.0 ? 0 : 1);
    std::vector<double> want(m * m, 0.0), got(m * m, 0.0);
    for (std::size_t i = 0; i < m; ++i) {
      const double size = double(std::count(group.begin(), group.end(), group[i]));
      for (std::size_t k = 0; k < m; ++k)
        if (group[k] == group[i]) want[i + k * m] = 1.0 / size;
    }
    for (std::size_t i = 0; i < m; ++i) got[i + i * m] = j.d[i];
    std::vector<double> hd(m * j.columns, 0.0);
    std::vector<int> entries_in_row(m, 0);
    for (std::size_t c = 0; c < j.columns; ++c)
      for (std::int64_t q = j.jc[c]; q < j.jc[c + 1]; ++q) {
        hd[std::size_t(j.ir[std::size_t(q)]) + c * m] = j.h[std::size_t(q)];
        ++entries_in_row[std::size_t(j.ir[std::size_t(q)])];
      }
    for (std::size_t i = 0; i < m; ++i)
      for (std::size_t k = 0; k < m; ++k)
        for (std::size_t c = 0; c < j.columns; ++c) got[i + k * m] += hd[i + c * m] * hd[k + c * m];

    for (std::size_t e = 0; e < m * m; ++e) EXPECT_NEAR(got[e], want[e], 1e-15) << "trial " << trial;
    for (std::size_t i = 0; i < m; ++i) EXPECT_LE(entries_in_row[i], 1);
    EXPECT_EQ(j.nzmax, std::size_t(j.jc.back()) + 1);
    EXPECT_TRUE(std::is_sorted(j.ir.begin(), j.ir.end()));
  }
}

TEST(Lunderjack, ChecksInTheirOrder) {
  const auto &lj = module("lunderjack");
  auto p = args(testhost::row({1, 0}));
  auto two = args(testhost::row({1, 0}), testhost::scalar(1));
  expect_error(lj.call(2, {}), "lunderjack: requires 1 input arguments.");
  expect_error(lj.call(2, two.handles()), "lunderjack: requires 1 input arguments.");
  for (int nlhs : {0, 1, 3})
    expect_error(lj.call(nlhs, p.handles()), "lunderjack: requires 2 output argument.");
  // The input count comes before the result count.
  expect_error(lj.call(1, two.handles()), "lunderjack: requires 1 input arguments.");

  auto check = [&](testhost::Array bad, const std::string &text) {
    auto a = args(std::move(bad));
    expect_error(lj.call(2, a.handles()), text);
  };
  check(testhost::of_class(mxLOGICAL_CLASS, 1, 3, {1, 0, 1}),
        "lunderjack: input cannot be a logical array.");
  check(testhost::sparse(1, 2, {0, 1, 1}, {0}, {1}, true),
        "lunderjack: input cannot be a logical array.");
  check(testhost::of_class(mxLOGICAL_CLASS, 0, 5), "lunderjack: input cannot be a logical array.");
  check(testhost::sparse_from_dense(1, 3, {1, 0, 1}), "lunderjack: input cannot be sparse");
  check(testhost::sparse(2, 2, {0, 1, 1}, {0}, {1}, false, true),
        "lunderjack: input cannot be sparse");
  check(testhost::sparse(0, 4, {0, 0, 0, 0, 0}, {}, {}), "lunderjack: input cannot be sparse");
  check(testhost::of_class(mxINT32_CLASS, 1, 3, {1, 1, 0}),
        "lunderjack: argument 1 (p) must be of class double, not int32.");
  check(testhost::of_class(mxCHAR_CLASS, 1, 2),
        "lunderjack: argument 1 (p) must be of class double, not char.");
  check(testhost::complex_dense(1, 2, {1, 1}, {0, 0}),
        "lunderjack: argument 1 (p) must be real, not complex.");
  const std::string holds_nothing =
      "lunderjack: argument 1 (p) has one dimension 0 and the other not, so it holds none of "
      "its values; the only empty input accepted is 0x0.";
  check(testhost::dense(0, 5), holds_nothing);
  check(testhost::dense(5, 0), holds_nothing);
  const std::string too_long =
      "lunderjack: argument 1 (p) is too long: max(rows, columns) must be at most 2147483646.";
  check(testhost::phantom(1, 2147483647u), too_long);
#if SIZE_MAX > UINT32_MAX  // sizes of 2^32 and more exist only on 64-bit hosts
  check(testhost::phantom(std::size_t(1) << 32, 1), too_long);
  check(testhost::phantom(std::size_t(1) << 32, 0), holds_nothing);
#endif
}

// ---------------------------------------------------------------- zelmonte

std::vector<double> denoise(testhost::Array y, double lambda, std::size_t *rows = nullptr) {
  auto a = args(std::move(y), testhost::scalar(lambda));
  auto r = module("zelmonte").call(1, a.handles());
  expect_ok(r);
  if (r.error || r.outputs.empty() || !r.outputs[0]) {
    ADD_FAILURE() << "zelmonte delivered no result";
    return {};
  }
  EXPECT_EQ(mxGetN(r.outputs[0].get()), 1u);
  // Scratch only for the linear method or non-finite samples, released.
  EXPECT_LE(r.calloc_calls, 2u);
  EXPECT_EQ(r.freed_by_module, r.calloc_calls);
  EXPECT_EQ(r.arrays_created, 1u);
  if (rows) *rows = mxGetM(r.outputs[0].get());
  return testhost::values(r.outputs[0].get());
}

std::vector<double> denoise(const std::vector<double> &y, double lambda) {
  return denoise(testhost::column(y), lambda);
}

TEST(Zelmonte, WorkedExamples) {
  EXPECT_EQ(denoise({0, 0, 10, 10}, 1), (std::vector<double>{0.5, 0.5, 9.5, 9.5}));
  const std::vector<double> y{3, -1, 4, 1e-300, 5, 9, -2.5};
  EXPECT_EQ(denoise(y, 0), y);
  EXPECT_EQ(denoise(y, -0.0), y);
  EXPECT_EQ(denoise({1e-20}, 1), std::vector<double>{0});
  EXPECT_EQ(denoise({0.1}, 3), std::vector<double>{(0.1 - 3) + 3});
  // A constant signal comes back up to the rounding of (c - lambda) + lambda.
  for (double c : {0.0, 2.5, -7.0, 1e6})
    for (double v : denoise(std::vector<double>(9, c), 0.75))
      EXPECT_NEAR(v, c, 4e-16 * (std::fabs(c) + 0.75));
  for (double v : denoise({1, 5, 2, 8}, nan)) EXPECT_TRUE(std::isnan(v));
  // An infinite weight has no finite scan state either.
  for (double v : denoise({1, 5, 2, 8}, inf)) EXPECT_TRUE(std::isnan(v));
}

TEST(Zelmonte, ShapeOfTheInput) {
  std::size_t rows = 99;
  EXPECT_EQ(denoise(testhost::row({4, 0, 0, 9}), 1, &rows), std::vector<double>{(4.0 - 1) + 1});
  EXPECT_EQ(rows, 1u);
  // Only the first column of a matrix is the signal.
  EXPECT_EQ(denoise(testhost::dense(4, 3, {0, 0, 10, 10, 7, 7, 7, 7, 1, 2, 3, 4}), 1, &rows),
            (std::vector<double>{0.5, 0.5, 9.5, 9.5}));
  EXPECT_EQ(rows, 4u);
  for (std::size_t columns : {0u, 1u, 3u}) {
    EXPECT_TRUE(denoise(testhost::dense(0, columns), 1, &rows).empty());
    EXPECT_EQ(rows, 0u);
  }
}

TEST(Zelmonte, ResultSlotsAndExtraInputs) {
  auto a = args(testhost::column({0, 0, 10, 10}), testhost::scalar(1));
  a.add(testhost::of_class(mxCHAR_CLASS, 1, 3));
  for (int slots : {1, 2}) {
    auto r = module("zelmonte").call(0, a.handles(), slots);
    expect_ok(r);
    ASSERT_EQ(r.outputs.size(), std::size_t(slots));
    ASSERT_NE(r.outputs[0], nullptr);
    EXPECT_EQ(testhost::values(r.outputs[0].get()), (std::vector<double>{0.5, 0.5, 9.5, 9.5}));
  }
}

TEST(Zelmonte, ChecksInTheirOrder) {
  const auto &zm = module("zelmonte");
  auto one = args(testhost::column({1, 2}));
  auto two = args(testhost::column({1, 2}), testhost::scalar(1));
  expect_error(zm.call(1, {}), "zelmonte: requires 2 input arguments.");
  expect_error(zm.call(2, one.handles()), "zelmonte: requires 2 input arguments.");
  expect_error(zm.call(2, two.handles()), "zelmonte: requires 1 output argument.");

  auto check = [&](testhost::Array y, testhost::Array lambda, const std::string &text) {
    auto a = args(std::move(y), std::move(lambda));
    expect_error(zm.call(1, a.handles()), text);
  };
  auto y = [] { return testhost::column({1, 2, 3}); };
  auto lam = [] { return testhost::scalar(1); };
  check(testhost::of_class(mxSINGLE_CLASS, 3, 1), lam(),
        "zelmonte: argument 1 (y) must be of class double, not single.");
  check(testhost::of_class(mxLOGICAL_CLASS, 3, 1), testhost::scalar(-1),
        "zelmonte: argument 1 (y) must be of class double, not logical.");
  check(testhost::complex_dense(2, 1, {1, 2}, {0, 1}), lam(),
        "zelmonte: argument 1 (y) must be real, not complex.");
  check(testhost::sparse_from_dense(3, 1, {1, 0, 3}), lam(),
        "zelmonte: argument 1 (y) must be dense, not sparse.");
  check(testhost::dense(3, 0), lam(),
        "zelmonte: argument 1 (y) has rows but no columns, so it holds no samples.");
  check(testhost::phantom(std::size_t(1) << 31, 1), lam(),
        "zelmonte: argument 1 (y) has 2^31 or more rows; at most 2147483647 are supported.");
#if SIZE_MAX > UINT32_MAX  // sizes of 2^32 and more exist only on 64-bit hosts
  check(testhost::phantom(std::size_t(1) << 33, 2), testhost::dense(0, 0),
        "zelmonte: argument 1 (y) has 2^31 or more rows; at most 2147483647 are supported.");
#endif
  check(y(), testhost::dense(0, 0), "zelmonte: argument 2 (lambda) must not be empty.");
  check(y(), testhost::dense(1, 0), "zelmonte: argument 2 (lambda) must not be empty.");
  check(y(), testhost::of_class(mxINT32_CLASS, 1, 1, {1}),
        "zelmonte: argument 2 (lambda) must be of class double, not int32.");
  check(y(), testhost::complex_dense(1, 1, {1}, {1}),
        "zelmonte: argument 2 (lambda) must be real, not complex.");
  check(y(), testhost::sparse_from_dense(1, 1, {1}),
        "zelmonte: argument 2 (lambda) must be dense, not sparse.");
  for (double negative : {-1e-300, -1.0, -inf})
    check(y(), testhost::scalar(negative), "zelmonte: argument 2 (lambda) must not be negative.");
  // Only the first element of lambda is read.
  auto a = args(testhost::column({0, 0, 10, 10}), testhost::row({1, -5}));
  auto r = zm.call(1, a.handles());
  expect_ok(r);
  EXPECT_EQ(testhost::values(r.outputs[0].get()), (std::vector<double>{0.5, 0.5, 9.5, 9.5}));
}

// Optimality of x for 0.5*|x - y|^2 + lambda*TV(x): with z the running sum
// of y - x, |z[k]| <= lambda everywhere, z[k] = -lambda where x steps up
// between k and k + 1, +lambda where it steps down, and z[n-1] = 0; these
// conditions are sufficient for the (unique) minimizer. Violations are
// relative to the scale max(lambda, max|y|). A step no larger than 1e-9 of
// the scale carries no sign: at a tie the minimizer of the rounded samples
// itself can step by an ulp, and the scan may meet it from either side.
struct Violation {
  double worst = 0;  // largest violation, relative to the scale
  std::size_t segments = 1;
};

Violation optimality(const std::vector<double> &y, const std::vector<double> &x, double lambda) {
  Violation v;
  long double z = 0;
  double scale = lambda;
  for (double e : y) scale = std::max(scale, std::fabs(e));
  auto note = [&](long double gap) { v.worst = std::max(v.worst, double(gap) / scale); };
  for (std::size_t k = 0; k < y.size(); ++k) {
    z += (long double)y[k] - (long double)x[k];
    note(std::fabs(z) - lambda);
    if (k + 1 < y.size() && std::fabs(x[k + 1] - x[k]) > 1e-9 * scale) {
      ++v.segments;
      note(std::fabs(z - (x[k + 1] > x[k] ? -lambda : lambda)));
    }
  }
  note(std::fabs(z));
  return v;
}

std::vector<double> piecewise_signal(std::mt19937_64 &rng, std::size_t n, std::size_t jumps,
                                     double noise) {
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::vector<double> y(n);
  double level = 0;
  for (std::size_t k = 0; k < n; ++k) {
    if (rng() % n < jumps) level = 10 * gauss(rng);
    y[k] = level + noise * gauss(rng);
  }
  return y;
}

TEST(Zelmonte, ResultIsTheExactMinimizer) {
  std::mt19937_64 rng(11);
  for (std::size_t n : {2u, 3u, 17u, 1000u, 100000u}) {
    for (double noise : {0.0, 0.3, 1.0, 5.0}) {
      const std::vector<double> y = piecewise_signal(rng, n, 1 + n / 500, noise);
      for (double lambda : {1e-3, 0.1, 1.0, 10.0, 1e3}) {
        const std::vector<double> x = denoise(y, lambda);
        ASSERT_EQ(x.size(), n);
        const Violation v = optimality(y, x, lambda);
        // Rounding grows with the segment lengths the scan averages over.
        EXPECT_LT(v.worst, 1e-10) << "n " << n << " noise " << noise << " lambda " << lambda;
        if (n == 100000 && lambda == 1.0 && noise == 1.0) {
          EXPECT_GT(v.segments, 10u);
        }
      }
    }
  }
  // Many tiny random signals with few distinct values stress the restarts.
  for (int trial = 0; trial < 3000; ++trial) {
    std::vector<double> y(1 + rng() % 9);
    for (double &e : y) e = double(rng() % 5) * 0.5;
    const double lambda = double(rng() % 8) * 0.25;
    EXPECT_LT(optimality(y, denoise(y, lambda), lambda).worst, 1e-13) << trial;
  }
}

// Samples k * step for small integers k (the doubles round(k) * step gives):
// their sums round, and their minimizers are full of ties, where a refreshed
// bound lands exactly on the other one or a running sum reaches lambda
// exactly. Steps 0.1, 0.01, 1/3, and 0.1 with some samples a thousand times
// larger; lambda = j * step (j / 3 on the 1/3 grid), half of the time with
// j up to 10, else up to 30: 0.1 to 3 on the 0.1 grid.
void grid_signal(std::mt19937_64 &rng, std::vector<double> &y, double &lambda) {
  const double steps[] = {0.1, 0.01, 1.0 / 3, 0.1};
  const std::size_t kind = rng() % 4;
  const int range = 2 + int(rng() % 10);
  y.resize(2 + rng() % 11);
  for (double &e : y) {
    e = double(int(rng() % std::uint64_t(2 * range + 1)) - range) * steps[kind];
    if (kind == 3 && rng() % 4 == 0) e *= 1000;
  }
  const double j = double(1 + rng() % (rng() % 2 ? 10 : 30));
  lambda = kind == 2 ? j / 3 : j * (kind == 1 ? 0.01 : 0.1);
}

TEST(Zelmonte, MinimizerOnRoundingProneSignals) {
  std::mt19937_64 rng(2718);
  std::vector<double> y;
  double lambda = 0;
  long failures = 0;
  for (long trial = 0; trial < 1000000; ++trial) {
    grid_signal(rng, y, lambda);
    const double worst = optimality(y, denoise(y, lambda), lambda).worst;
    if (worst >= 1e-9 && ++failures <= 5) {
      ADD_FAILURE() << "trial " << trial << " lambda " << lambda << " violation " << worst;
    }
  }
  EXPECT_EQ(failures, 0);
  // A lambda below the rounding of the samples: both bounds are refreshed
  // at once and can pass each other.
  for (long trial = 0; trial < 100000; ++trial) {
    grid_signal(rng, y, lambda);
    lambda *= 1e-16;
    const double worst = optimality(y, denoise(y, lambda), lambda).worst;
    if (worst >= 1e-9 && ++failures <= 5) {
      ADD_FAILURE() << "tiny lambda, trial " << trial << " violation " << worst;
    }
  }
  EXPECT_EQ(failures, 0);
  // Long noisy signals on the same grids.
  for (double step : {0.1, 1.0 / 3}) {
    std::vector<double> noisy = piecewise_signal(rng, 100000, 300, 0.8);
    for (double &e : noisy) e = std::round(e / step) * step;
    for (double lam : {0.1, 1.0, 3.0, 30.0}) {
      const Violation v = optimality(noisy, denoise(noisy, lam), lam);
      EXPECT_LT(v.worst, 1e-9) << "step " << step << " lambda " << lam;
      EXPECT_GT(v.segments, 100u) << "step " << step << " lambda " << lam;
    }
  }
}

TEST(Zelmonte, NonFiniteSamplesEndTheScanCleanly) {
  // NaN or infinite samples give no optimum, but the scan must still end
  // and write every result once.
  std::mt19937_64 rng(5);
  const double specials[] = {nan, inf, -inf, 1e308, -1e308, 0};
  for (int trial = 0; trial < 2000; ++trial) {
    std::vector<double> y(1 + rng() % 10);
    for (double &e : y) e = rng() % 3 ? double(rng() % 7) : specials[rng() % 6];
    const double lambdas[] = {0, 0.5, 2, 1e308, inf, nan};
    const std::vector<double> x = denoise(y, lambdas[rng() % 6]);
    EXPECT_EQ(x.size(), y.size());
  }
}

// The scan transcribed step by step from its description, with none of the
// module's structure: the reference for bit-for-bit comparison. Returns true
// when its bounds crossed: a refresh left v_low above v_high, or a bound kept
// by an end-phase closing closed a segment (the remaining samples' bound
// passed it), or a closing wrote the last sample (the scan would restart
// past the end; it stops there). *reads, when given, counts the samples
// read by scan steps.
bool written_scan(const std::vector<double> &y, std::vector<double> &x, double lambda,
                  long *reads = nullptr) {
  long scan_steps = 0;
  if (reads) *reads = 0;
  const int n = int(y.size());
  x.assign(y.size(), std::numeric_limits<double>::signaling_NaN());
  if (n <= 0) return false;
  const double neg = -lambda, twice = lambda + lambda;
  int k = 0, s = 0, jl = 0, jh = 0;
  double vl = y[0] - lambda, vh = y[0] + lambda, ul = lambda, uh = neg;
  bool crossed = false;
  int kept = 0;  // -1: vl kept by an end-phase closing, +1: vh, 0: neither
  auto write_over = [&](double v, int j) {
    x[std::size_t(s)] = v;
    ++s;
    while (s <= j) x[std::size_t(s++)] = v;
  };
  for (;;) {
    crossed = crossed || vl > vh;
    if (k == n - 1) {
      if (ul < 0) {
        crossed = crossed || kept == -1;
        write_over(vl, jl);
        if (s == n) return true;
        k = jl = s;
        vl = y[std::size_t(s)];
        ul = lambda;
        uh = (lambda + vl) - vh;
        kept = 1;
      } else if (uh > 0) {
        crossed = crossed || kept == 1;
        write_over(vh, jh);
        if (s == n) return true;
        k = jh = s;
        vh = y[std::size_t(s)];
        uh = neg;
        ul = (vh - lambda) - vl;
        kept = -1;
      } else {
        write_over(vl + ul / double(k - s + 1), k);
        if (reads) *reads = scan_steps;
        return crossed;
      }
      continue;
    }
    const double t = y[std::size_t(k + 1)];
    ++scan_steps;
    ul = ul + (t - vl);
    if (ul < neg) {
      crossed = crossed || kept == -1;
      write_over(vl, jl);
      if (s == n) return true;
      k = jl = jh = s;
      vl = y[std::size_t(s)];
      vh = twice + vl;
      ul = lambda;
      uh = neg;
      kept = 0;
      continue;
    }
    uh = uh + (t - vh);
    if (uh > lambda) {
      crossed = crossed || kept == 1;
      write_over(vh, jh);
      if (s == n) return true;
      k = jl = jh = s;
      vh = y[std::size_t(s)];
      vl = vh - twice;
      ul = lambda;
      uh = neg;
      kept = 0;
      continue;
    }
    k = k + 1;
    if (ul >= lambda) {
      vl = vl + (ul - lambda) / double(k - s + 1);
      jl = k;
      ul = lambda;
    }
    if (uh <= neg) {
      vh = vh + (uh + lambda) / double(k - s + 1);
      jh = k;
      uh = neg;
    }
  }
}

bool same_bits(const std::vector<double> &a, const std::vector<double> &b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

TEST(Zelmonte, BitForBitWhereTheWrittenScansBoundsNeverCross) {
  std::mt19937_64 rng(23);
  std::vector<double> want, y;
  double lambda = 0;
  long compared = 0, crossed = 0;
  // Signals on a grid with inexact offsets (0.1, 0.3): their sums round,
  // which is where a changed evaluation order shows.
  for (int trial = 0; trial < 20000; ++trial) {
    y.resize(1 + rng() % 40);
    for (double &e : y) e = double(rng() % 5) * 0.5 - (rng() % 3 ? 0.0 : 0.1) + (rng() % 5 ? 0.0 : 0.3);
    const double lambdas[] = {0, 0.25, 0.3, 0.5, 0.7, 1, 3};
    lambda = lambdas[rng() % 7];
    const std::vector<double> x = denoise(y, lambda);
    if (written_scan(y, want, lambda)) {
      ++crossed;
      EXPECT_LT(optimality(y, x, lambda).worst, 1e-9) << "trial " << trial;
    } else {
      ++compared;
      EXPECT_TRUE(same_bits(x, want)) << "trial " << trial;
    }
  }
  // The grid signals of the certificate check, where crossings are rarer.
  for (int trial = 0; trial < 100000; ++trial) {
    grid_signal(rng, y, lambda);
    if (written_scan(y, want, lambda)) {
      ++crossed;
    } else {
      ++compared;
      EXPECT_TRUE(same_bits(denoise(y, lambda), want)) << "grid trial " << trial;
    }
  }
  EXPECT_GT(crossed, 100);
  EXPECT_GT(compared, 100000);
  for (std::size_t n : {1000u, 20000u}) {
    y = piecewise_signal(rng, n, 1 + n / 200, 0.7);
    for (double lam : {1e-3, 0.37, 2.0, 50.0}) {
      ASSERT_FALSE(written_scan(y, want, lam));
      EXPECT_TRUE(same_bits(denoise(y, lam), want)) << "n " << n << " lambda " << lam;
    }
  }
}

// Ties that rounding used to turn into wrong results. In the first two the
// bounds cross by an ulp (a refresh lands past the other bound) and a closing
// then writes through the last sample; the first was seen by a user on
// round(k) * 0.1 samples, where the result was 0.2 throughout. In the
// others a bound kept by an end-phase closing closes a segment, the last
// without any refresh crossing. Each result is the minimizer of the rounded
// samples, to rounding.
TEST(Zelmonte, TiesGiveTheMinimizer) {
  auto tenths = [](std::initializer_list<int> ks) {
    std::vector<double> y;
    for (int k : ks) y.push_back(double(k) * 0.1);
    return y;
  };
  const struct {
    std::vector<double> y;
    double lambda;
    std::vector<double> minimizer;
  } cases[] = {
      {tenths({-4, 8, -1, 3, 14, 1, 3, -18}), 1, {0.2, 0.2, 0.2, 0.2, 0.2, 0.2, 0.2, -0.8}},
      {{0, 0.4, 1.4, 2, 0, 0.4}, 1, {0.7, 0.7, 0.7, 0.7, 0.7, 0.7}},
      {{1, -0.1, 2.1999999999999997, 0.4, 0.5}, 0.7, {0.8, 0.8, 0.8, 0.8, 0.8}},
      {{0.9, 0.3, 0.5, -0.1, -0.1}, 0.5, {0.4, 0.4, 0.4, 0.15, 0.15}},
      {{0.4, 0.9, 0.3, 0.5, -0.1, -0.1}, 0.5, {0.4, 0.4, 0.4, 0.4, 0.15, 0.15}},
      {{0.4, 1.3, 1, 0.4, 0.3, 0.5, -0.1, -0.1},
       0.5,
       {2.2 / 3, 2.2 / 3, 2.2 / 3, 0.4, 0.4, 0.4, 0.15, 0.15}},
      {{0.4, 1, 1.5, 0.9, 1.5, 1.5, 1.5, 2.3}, 1, {1.2, 1.2, 1.2, 1.2, 1.45, 1.45, 1.45, 1.45}},
      {tenths({16, -16, -6, 16, -2, 20, 8, -10, 1}), 1.5, std::vector<double>(9, 0.3)},
  };
  std::vector<double> want;
  for (const auto &c : cases) {
    const std::vector<double> x = denoise(c.y, c.lambda);
    ASSERT_EQ(x.size(), c.minimizer.size());
    for (std::size_t k = 0; k < x.size(); ++k)
      EXPECT_NEAR(x[k], c.minimizer[k], 1e-15) << "sample " << k << " of " << c.y.size();
    EXPECT_LT(optimality(c.y, x, c.lambda).worst, 1e-15);
    EXPECT_TRUE(written_scan(c.y, want, c.lambda)) << "no longer a case where the bounds cross";
  }
}

// ------------------------------------------ zelmonte: the work it takes

// The scan may read 4 samples per sample; past that zelmonte takes its
// linear method. The work count is the samples the scan read plus the
// method's steps (at most 5 per sample), and the scan checks its count at
// closings only, so it may read one pass more than its budget.
constexpr long scan_budget = 4;
constexpr double work_per_sample = 10;

struct Counted {
  std::vector<double> x;
  std::uint64_t work = 0;
  std::size_t scratch = 0;  // mxCalloc calls: 1 when the linear method ran
};

Counted denoise_counted(const std::vector<double> &y, double lambda) {
  auto a = args(testhost::column(y), testhost::scalar(lambda));
  auto r = module("zelmonte").call(1, a.handles());
  expect_ok(r);
  Counted c;
  if (r.error || r.outputs.empty() || !r.outputs[0]) {
    ADD_FAILURE() << "zelmonte delivered no result";
    return c;
  }
  c.x = testhost::values(r.outputs[0].get());
  c.work = r.work;
  c.scratch = r.calloc_calls;
  EXPECT_LE(r.calloc_calls, 2u);  // non-finite samples: a run's copy, the chain's
  EXPECT_EQ(r.allocations, 1 + r.calloc_calls);
  EXPECT_EQ(r.freed_by_module, r.calloc_calls);
  return c;
}

// Smooth monotone trends with a weight large for them: alone, the scan
// reads about n samples per sample on these (its end phase closes one short
// run at a time and re-reads to the end each time). Mirror images: 0 as
// written, 1 reversed, 2 negated, 3 both.
struct Trend {
  const char *name;
  double lambda;
  double (*value)(double k, double n, double step);
};
const Trend trends[] = {
    {"log(1 + k)", 1e4, [](double k, double, double) { return std::log(1.0 + k); }},
    {"sqrt(k)", 1e3, [](double k, double, double) { return std::sqrt(k); }},
    {"k^(1/3)", 1e3, [](double k, double, double) { return std::cbrt(k); }},
    {"cumsum(rand)/sqrt(n)", 1e3, [](double, double n, double step) { return step / std::sqrt(n); }},
    {"1 - exp(-8k/n)", 1e2, [](double k, double n, double) { return 1.0 - std::exp(-8.0 * k / n); }},
    {"1 - exp(-8k/n)", 10, [](double k, double n, double) { return 1.0 - std::exp(-8.0 * k / n); }},
};

std::vector<double> trend_signal(const Trend &t, std::size_t n, int mirror) {
  std::mt19937_64 rng(n);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::vector<double> y(n);
  double walk = 0;
  for (std::size_t k = 0; k < n; ++k) {
    walk += uniform(rng);
    y[k] = t.value(double(k), double(n), walk);
  }
  if (mirror & 1) std::reverse(y.begin(), y.end());
  if (mirror & 2)
    for (double &e : y) e = -e;
  return y;
}

TEST(Zelmonte, SmoothTrendsTakeLinearWork) {
  for (std::size_t n : {1000u, 10000u, 100000u}) {
    for (const Trend &t : trends) {
      for (int mirror = 0; mirror < 4; ++mirror) {
        const std::vector<double> y = trend_signal(t, n, mirror);
        const Counted c = denoise_counted(y, t.lambda);
        ASSERT_EQ(c.x.size(), n);
        const std::string which = std::string(t.name) + " lambda " + std::to_string(t.lambda) +
                                  " n " + std::to_string(n) + " mirror " + std::to_string(mirror);
        EXPECT_LE(double(c.work), work_per_sample * double(n)) << which;
        EXPECT_LT(optimality(y, c.x, t.lambda).worst, 1e-12) << which;
        if (n == 100000) {
          EXPECT_EQ(c.scratch, 1u) << which << ": the scan alone took it";
        }
      }
    }
  }
}

// Over 10^6 samples the method must not lose digits step by step: a knot
// placed by rounding, beside a slope of 10^5 or more, once shifted every
// value beyond it by that slope times the rounding (10^-10 of the scale at
// 10^6 samples, growing as n^1.5).
TEST(Zelmonte, LinearMethodKeepsItsAccuracyOnLongSignals) {
  const std::size_t n = 1000000;
  for (const Trend &t : trends) {
    const std::vector<double> y = trend_signal(t, n, 0);
    const Counted c = denoise_counted(y, t.lambda);
    EXPECT_EQ(c.scratch, 1u) << t.name;
    EXPECT_LE(double(c.work), work_per_sample * double(n)) << t.name;
    EXPECT_LT(optimality(y, c.x, t.lambda).worst, 1e-12) << t.name << " lambda " << t.lambda;
  }
}

TEST(Zelmonte, BitForBitWhileTheScanKeepsToItsBudget) {
  // Short trends and weights from small to large: the scan's reads fall on
  // both sides of 4 per sample.
  long compared = 0, linear = 0;
  std::vector<double> want;
  for (std::size_t n : {30u, 100u, 400u}) {
    for (const Trend &t : trends) {
      for (int mirror = 0; mirror < 4; ++mirror) {
        const std::vector<double> y = trend_signal(t, n, mirror);
        for (double lambda = t.lambda * 1e-4; lambda < t.lambda * 1e2; lambda *= 1.9) {
          long reads = 0;
          const bool crossed = written_scan(y, want, lambda, &reads);
          const Counted c = denoise_counted(y, lambda);
          const std::string which = std::string(t.name) + " n " + std::to_string(n) +
                                    " mirror " + std::to_string(mirror) + " lambda " +
                                    std::to_string(lambda);
          if (!crossed && reads <= scan_budget * long(n)) {
            ++compared;
            EXPECT_EQ(c.scratch, 0u) << which;
            EXPECT_EQ(c.work, std::uint64_t(reads)) << which;
            EXPECT_TRUE(same_bits(c.x, want)) << which;
          } else if (c.scratch == 1) {
            ++linear;
            EXPECT_GT(reads, scan_budget * long(n)) << which;
            EXPECT_LE(double(c.work), work_per_sample * double(n)) << which;
            EXPECT_LT(optimality(y, c.x, lambda).worst, 1e-12) << which;
          }
        }
      }
    }
  }
  EXPECT_GT(compared, 500);
  EXPECT_GT(linear, 500);
}

// Non-finite samples, with a finite weight: an infinite sample stays and
// pulls its finite neighbours by lambda towards it; from the first NaN the
// result is NaN from the first sample its value could move. Checked against
// the module itself on the finite runs, with the pulls applied by hand.
std::vector<double> by_the_rules(const std::vector<double> &y, double lambda) {
  const std::size_t n = y.size();
  std::vector<double> x(n, nan);
  std::size_t q = 0;
  while (q < n && !std::isnan(y[q])) ++q;
  auto pull = [&](double e) { return e > 0 ? lambda : -lambda; };
  for (std::size_t a = 0; a < q;) {
    if (!std::isfinite(y[a])) {
      x[a] = y[a];
      ++a;
      continue;
    }
    std::size_t b = a;
    while (b + 1 < q && std::isfinite(y[b + 1])) ++b;
    std::vector<double> run(y.begin() + long(a), y.begin() + long(b) + 1);
    if (a > 0) run.front() = run.front() + pull(y[a - 1]);
    if (b + 1 < q) run.back() = run.back() + pull(y[b + 1]);
    if (b + 1 == q && q < n) {
      // Where the two extremes of y[q] give the same value (to rounding),
      // that value; from where they part, NaN.
      std::vector<double> up = run, down = run;
      up.back() = up.back() + lambda;
      down.back() = down.back() - lambda;
      const std::vector<double> xu = denoise_counted(up, lambda).x;
      const std::vector<double> xd = denoise_counted(down, lambda).x;
      double scale = lambda;
      for (double e : run) scale = std::max(scale, std::fabs(e));
      for (std::size_t k = 0; k < run.size() && std::fabs(xu[k] - xd[k]) <= 1e-12 * scale; ++k)
        x[a + k] = xu[k];
      break;
    }
    const std::vector<double> xr = denoise_counted(run, lambda).x;
    std::copy(xr.begin(), xr.end(), x.begin() + long(a));
    a = b + 1;
  }
  return x;
}

// Non-finite placements: at a third, the middle, both ends, +Inf beside
// -Inf, Inf before a NaN, NaN alone.
std::vector<std::vector<std::pair<double, double>>> placements() {
  return {{{1.0 / 3, inf}}, {{0.5, -inf}}, {{0.5, nan}}, {{0.0, inf}, {1.0, -inf}},
          {{0.5, inf}, {0.5 + 1e-9, -inf}}, {{0.3, inf}, {0.6, nan}}, {{0.0, nan}},
          {{1.0, nan}}, {{0.2, -inf}, {0.4, inf}, {0.8, nan}}};
}

std::vector<double> with_specials(std::vector<double> y, const std::vector<std::pair<double, double>> &at) {
  for (const auto &p : at) {
    std::size_t k = std::size_t(p.first * double(y.size() - 1));
    while (k + 1 < y.size() && !std::isfinite(y[k])) ++k;  // beside, not on, another
    y[k] = p.second;
  }
  return y;
}

bool same_or_both_nan(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(Zelmonte, NonFiniteSamplesFollowTheirRulesInLinearWork) {
  std::mt19937_64 rng(31);
  std::normal_distribution<double> normal(0.0, 1.0);
  for (std::size_t n : {2000u, 30000u}) {
    std::vector<std::pair<std::string, std::pair<std::vector<double>, double>>> signals;
    for (const Trend &t : trends)
      for (int mirror = 0; mirror < 4; mirror += 3)
        signals.push_back({std::string(t.name) + " mirror " + std::to_string(mirror),
                           {trend_signal(t, n, mirror), t.lambda}});
    std::vector<double> noise(n);
    for (double &e : noise) e = normal(rng);
    signals.push_back({"noise", {noise, 0.5}});
    for (const auto &signal : signals) {
      for (const auto &at : placements()) {
        const std::vector<double> y = with_specials(signal.second.first, at);
        const double lambda = signal.second.second;
        const Counted c = denoise_counted(y, lambda);
        const std::string which = signal.first + " n " + std::to_string(n) + " specials " +
                                  std::to_string(at.size()) + " first at " + std::to_string(at[0].first);
        ASSERT_EQ(c.x.size(), n);
        // Two solves of the run before a NaN, each within the bound.
        EXPECT_LE(double(c.work), 2 * work_per_sample * double(n)) << which;
        const std::vector<double> want = by_the_rules(y, lambda);
        double scale = lambda;
        for (double e : y)
          if (std::isfinite(e)) scale = std::max(scale, std::fabs(e));
        std::size_t wrong = 0;
        for (std::size_t k = 0; k < n; ++k) {
          const bool special = !std::isfinite(c.x[k]) || !std::isfinite(want[k]);
          if (special ? !same_or_both_nan(c.x[k], want[k]) : std::fabs(c.x[k] - want[k]) > 1e-11 * scale)
            ++wrong;
        }
        EXPECT_EQ(wrong, 0u) << which;
      }
    }
  }
}

// Where the written scan finishes (short signals), the rules give its
// result to rounding: the same NaN positions and infinities, the finite
// values within rounding of the scale.
TEST(Zelmonte, NonFiniteSamplesGiveTheScansResult) {
  std::mt19937_64 rng(8);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::vector<double> want;
  long compared = 0;
  for (std::size_t n : {7u, 40u, 600u}) {
    for (int family = 0; family < 7; ++family) {
      std::vector<double> base;
      double lambda = 0.5;
      if (family < 6) {
        base = trend_signal(trends[family], n, family % 4);
        lambda = trends[family].lambda * (n < 100 ? 1e-3 : 1.0);
      } else {
        base.resize(n);
        for (double &e : base) e = 3 * normal(rng);
      }
      for (const auto &at : placements()) {
        const std::vector<double> y = with_specials(base, at);
        written_scan(y, want, lambda);
        const Counted c = denoise_counted(y, lambda);
        double scale = lambda;
        for (double e : y)
          if (std::isfinite(e)) scale = std::max(scale, std::fabs(e));
        for (std::size_t k = 0; k < n; ++k) {
          if (std::isnan(want[k]) || std::isinf(want[k])) {
            EXPECT_TRUE(same_or_both_nan(c.x[k], want[k]))
                << "family " << family << " n " << n << " at " << k << ": " << c.x[k] << ", the scan " << want[k];
          } else {
            EXPECT_NEAR(c.x[k], want[k], 1e-12 * scale) << "family " << family << " n " << n << " at " << k;
          }
        }
        ++compared;
      }
    }
  }
  EXPECT_EQ(compared, 3 * 7 * long(placements().size()));
}

TEST(Zelmonte, NonFiniteWeightsAndZeroWeight) {
  const std::vector<double> y = {1, inf, 2, nan, -inf, 3};
  const Counted zero = denoise_counted(y, 0.0);
  for (std::size_t k = 0; k < y.size(); ++k) EXPECT_TRUE(same_or_both_nan(zero.x[k], y[k]));
  for (double weight : {nan, inf}) {
    const Counted c = denoise_counted(trend_signal(trends[1], 600, 0), weight);
    for (double v : c.x) EXPECT_TRUE(std::isnan(v));
  }
  // The worked example: runs solved alone, pulled towards their infinite
  // neighbours, NaN from the sample the NaN's value moves.
  const Counted c = denoise_counted({1, 2, inf, 3, 4, nan, 5}, 0.5);
  EXPECT_EQ(c.x[0], 1.5);
  EXPECT_EQ(c.x[1], 2.0);
  EXPECT_EQ(c.x[2], inf);
  for (std::size_t k = 3; k < 7; ++k) EXPECT_TRUE(std::isnan(c.x[k]));
  const Counted d = denoise_counted({0, 0, 10, 10, -inf, 1, 1, 2}, 1.0);
  const std::vector<double> want = {0.5, 0.5, 9, 9, -inf, 1, 1, 1};
  for (std::size_t k = 0; k < want.size(); ++k) EXPECT_EQ(d.x[k], want[k]) << k;
}

TEST(Zelmonte, LinearMethodOnExtremeScales) {
  // Scaled copies of one trend: the results scale with it (the largest go
  // through a power-of-two rescaling that keeps every sum finite).
  const std::size_t n = 20000;
  const std::vector<double> base = trend_signal(trends[1], n, 0);
  const Counted unit = denoise_counted(base, trends[1].lambda);
  for (double scale : {0x1p-900, 0x1p-300, 0x1p300, 0x1p970, 0x1p1010}) {
    std::vector<double> y = base;
    for (double &e : y) e *= scale;
    const double lambda = trends[1].lambda * scale;
    const Counted c = denoise_counted(y, lambda);
    EXPECT_EQ(c.scratch, 1u) << scale;
    bool finite = true;
    for (double v : c.x) finite = finite && std::isfinite(v);
    EXPECT_TRUE(finite) << scale;
    EXPECT_LT(optimality(y, c.x, lambda).worst, 1e-12) << scale;
    // A power of two scales every rounding with it.
    std::vector<double> back = c.x;
    for (double &e : back) e /= scale;
    EXPECT_TRUE(same_bits(back, unit.x)) << scale;
  }
}

TEST(Zelmonte, ScratchOnlyForTheLinearMethodAndFailuresEndCleanly) {
  auto trend = args(testhost::column(trend_signal(trends[1], 2000, 0)), testhost::scalar(1e3));
  auto r = module("zelmonte").call(1, trend.handles());
  expect_ok(r);
  EXPECT_EQ(r.calloc_calls, 1u);
  EXPECT_EQ(r.allocations, 2u);
  // The upper bounds (a double a sample) and n + 2 knots (a position, a
  // jump and a 32-bit slope change each): 28 bytes a sample.
  EXPECT_EQ(r.calloc_bytes, 8u * (2000u + 2u * 2002u + 1001u));
  for (std::size_t k = 1; k <= 2; ++k) {
    testhost::fail_allocation_at(k);
    expect_error(module("zelmonte").call(1, trend.handles()), testhost::out_of_memory_message);
  }
}

TEST(AllFusedLasso, AllocationFailuresAreReportedCleanly) {
  auto g = scalars({6, 2, 8, 3, 5});
  auto l = args(testhost::row({1, 1, 0, 1}));
  auto z = args(testhost::column({0, 0, 10, 10}), testhost::scalar(1));
  struct Case {
    const char *name;
    const ArgList *args;
    int nlhs;
    std::size_t allocations;
  } cases[] = {{"gravenmor", &g, 8, 8}, {"lunderjack", &l, 2, 4}, {"zelmonte", &z, 1, 1}};
  for (const Case &c : cases) {
    for (std::size_t k = 1; k <= c.allocations; ++k) {
      testhost::fail_allocation_at(k);
      expect_error(module(c.name).call(c.nlhs, c.args->handles()),
                   testhost::out_of_memory_message);
    }
    auto r = module(c.name).call(c.nlhs, c.args->handles());
    expect_ok(r);
    EXPECT_EQ(r.allocations, c.allocations) << c.name;
  }
}

}  // namespace
