// fenwarix and hobrinth through the test host, at every index width they are
// delivered with, and their kernels directly at all three index types.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "call_helpers.h"
#include "../../../triangular/substitution.h"

using lwtest::ArgList;
using lwtest::expect_clean;
using lwtest::expect_error;
using lwtest::expect_ok;
using testhost::Array;

namespace {

// A compressed-column matrix built by the tests.
struct Csc {
  std::size_t m = 0, n = 0;
  std::vector<std::int64_t> jc{0}, ir;
  std::vector<double> v;
  Array array() const { return testhost::sparse(m, n, jc, ir, v); }
};

// Random n×n upper triangular factor: entries above the diagonal with the
// given density, values in [-1, 1], diagonal in [1, 2] stored last.
Csc random_upper(std::size_t n, double density, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  Csc r;
  r.m = r.n = n;
  for (std::size_t j = 0; j < n; ++j) {
    for (std::size_t i = 0; i < j; ++i)
      if (u(gen) < density) {
        r.ir.push_back(std::int64_t(i));
        r.v.push_back(2 * u(gen) - 1);
      }
    r.ir.push_back(std::int64_t(j));
    r.v.push_back(1 + u(gen));
    r.jc.push_back(std::int64_t(r.ir.size()));
  }
  return r;
}

Csc transpose(const Csc &a) {
  Csc t;
  t.m = a.n;
  t.n = a.m;
  std::vector<std::vector<std::pair<std::int64_t, double>>> cols(a.m);
  for (std::size_t j = 0; j < a.n; ++j)
    for (std::int64_t p = a.jc[j]; p < a.jc[j + 1]; ++p)
      cols[std::size_t(a.ir[std::size_t(p)])].push_back({std::int64_t(j), a.v[std::size_t(p)]});
  for (const auto &c : cols) {
    for (const auto &e : c) {
      t.ir.push_back(e.first);
      t.v.push_back(e.second);
    }
    t.jc.push_back(std::int64_t(t.ir.size()));
  }
  return t;
}

std::vector<double> random_vector(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> b(n);
  for (double &x : b) x = u(gen);
  return b;
}

// y = A'·x, dense.
std::vector<double> transpose_times(const Csc &a, const std::vector<double> &x) {
  std::vector<double> y(a.n, 0.0);
  for (std::size_t j = 0; j < a.n; ++j)
    for (std::int64_t p = a.jc[j]; p < a.jc[j + 1]; ++p)
      y[j] += a.v[std::size_t(p)] * x[std::size_t(a.ir[std::size_t(p)])];
  return y;
}

double max_abs_diff(const std::vector<double> &a, const std::vector<double> &b) {
  double d = 0;
  for (std::size_t i = 0; i < a.size(); ++i) d = std::max(d, std::fabs(a[i] - b[i]));
  return d;
}

// One delivered build of one module.
struct Variant {
  const char *name;
  bool index32;  // the extra 32-bit build beside the main one
  bool forward;  // fenwarix (R upper) or hobrinth (Rt lower)
  int width;     // sparse index width of that build
};

std::string variant_name(const testing::TestParamInfo<Variant> &info) {
  return std::string(info.param.name) + std::to_string(info.param.width);
}

class Substitution : public testing::TestWithParam<Variant> {
 protected:
  const testhost::Module &mod() const { return lwtest::module(GetParam().name, GetParam().index32); }
  std::string prefix() const { return std::string(GetParam().name) + ": "; }
  std::string factor() const { return GetParam().forward ? "R" : "Rt"; }
  // The factor of a random system in this module's orientation.
  Csc factor_of(std::size_t n, double density, unsigned seed) const {
    Csc r = random_upper(n, density, seed);
    return GetParam().forward ? r : transpose(r);
  }
  testhost::CallResult call(const Array &f, const Array &b, int nlhs = 1) const {
    return mod().call(nlhs, {f.get(), b.get()});
  }
  std::vector<double> solve(const Array &f, const Array &b) const {
    auto r = call(f, b);
    expect_ok(r);
    if (r.error || r.outputs.empty() || !r.outputs[0]) return {};
    EXPECT_EQ(mxGetN(r.outputs[0].get()), 1u);
    return testhost::values(r.outputs[0].get());
  }
};

// The worked examples: R = [2 1; 0 4], b = [2; 9] and Rt = R'-like [2 0; 1 4].
TEST_P(Substitution, WorkedExample) {
  Array f = GetParam().forward ? testhost::sparse(2, 2, {0, 1, 3}, {0, 0, 1}, {2, 1, 4})
                               : testhost::sparse(2, 2, {0, 2, 3}, {0, 1, 1}, {2, 1, 4});
  Array b = GetParam().forward ? testhost::column({2, 9}) : testhost::column({4, 8});
  EXPECT_EQ(solve(f, b), (std::vector<double>{1, 2}));
  // M = 1: one division, no loop step.
  EXPECT_EQ(solve(testhost::sparse(1, 1, {0, 1}, {0}, {4}), testhost::column({3})),
            std::vector<double>{0.75});
}

// A random system: exactly the written evaluation order, so the result is
// bit-identical to a plain reference loop, and it solves the system.
TEST_P(Substitution, RandomSystemMatchesReferenceBitForBit) {
  const std::size_t n = 300;
  for (double density : {0.0, 0.02, 0.3}) {
    Csc f = factor_of(n, density, 7);
    std::vector<double> b = random_vector(n, 11);
    std::vector<double> want(n, 0.0);
    if (GetParam().forward) {
      for (std::size_t i = 0; i < n; ++i) {
        double sum = 0;
        std::int64_t e = f.jc[i + 1] - 1;
        for (std::int64_t p = f.jc[i]; p < e; ++p)
          sum = sum + f.v[std::size_t(p)] * want[std::size_t(f.ir[std::size_t(p)])];
        want[i] = (b[i] - sum) / f.v[std::size_t(e)];
      }
    } else {
      for (std::size_t i = n; i-- > 0;) {
        double sum = 0;
        std::int64_t d = f.jc[i];
        for (std::int64_t p = d + 1; p < f.jc[i + 1]; ++p)
          sum = sum + f.v[std::size_t(p)] * want[std::size_t(f.ir[std::size_t(p)])];
        want[i] = (b[i] - sum) / f.v[std::size_t(d)];
      }
    }
    std::vector<double> x = solve(f.array(), testhost::column(b));
    ASSERT_EQ(x.size(), n);
    EXPECT_EQ(x, want) << "density " << density;
    EXPECT_LT(max_abs_diff(transpose_times(f, x), b), 1e-10) << "density " << density;
  }
}

// A sparse b is copied into scratch that the module releases itself; the
// result is that of the dense b. Only b's first column counts.
TEST_P(Substitution, SparseAndWideRightHandSides) {
  Csc f = factor_of(40, 0.2, 3);
  Array fa = f.array();
  std::vector<double> b = random_vector(40, 5);
  for (std::size_t i = 0; i < 40; i += 3) b[i] = 0;
  std::vector<double> wide = b;
  wide.resize(120, 9.0);
  std::vector<double> x = solve(fa, testhost::column(b));
  EXPECT_EQ(solve(fa, testhost::dense(40, 3, wide)), x);

  auto r = call(fa, testhost::sparse_from_dense(40, 3, wide));
  expect_ok(r);
  EXPECT_EQ(testhost::values(r.outputs[0].get()), x);
  EXPECT_EQ(r.calloc_calls, 1u);
  EXPECT_EQ(r.calloc_bytes, 40u * 8);
  EXPECT_EQ(r.freed_by_module, 1u);
  EXPECT_EQ(r.reclaimed_by_host, 0u);

  // No entries in column 0: x = 0 throughout.
  r = call(fa, testhost::sparse(40, 2, {0, 0, 1}, {4}, {1.0}));
  expect_ok(r);
  EXPECT_EQ(testhost::values(r.outputs[0].get()), std::vector<double>(40, 0.0));
  EXPECT_EQ(r.freed_by_module, 1u);

  // A dense b takes no scratch at all.
  r = call(fa, testhost::column(b));
  EXPECT_EQ(r.calloc_calls, 0u);
}

TEST_P(Substitution, ResultSlots) {
  Array f = testhost::sparse(2, 2, {0, 1, 2}, {0, 1}, {2, 4});
  Array b = testhost::column({2, 8});
  auto r = call(f, b, 0);  // no result requested: x still goes to slot 0
  expect_ok(r);
  ASSERT_EQ(r.outputs.size(), 1u);
  ASSERT_TRUE(r.outputs[0]);
  EXPECT_EQ(testhost::values(r.outputs[0].get()), (std::vector<double>{1, 2}));
  EXPECT_EQ(r.arrays_discarded, 0u);
  expect_error(call(f, b, 2), prefix() + "requires 1 output argument.");
  Array extra = testhost::scalar(1);
  expect_ok(mod().call(1, {f.get(), b.get(), extra.get()}));
}

// The numbered checks in their order, and what each lets through.
TEST_P(Substitution, CheckOrderAndMessages) {
  const std::string p = prefix(), F = factor();
  Array b = testhost::column({1, 2});
  Array f = testhost::sparse(2, 2, {0, 1, 2}, {0, 1}, {2, 4});
  expect_error(mod().call(1, {f.get()}), p + "requires 2 input arguments.");
  expect_error(mod().call(1, {}), p + "requires 2 input arguments.");
  // Argument count comes before result count.
  expect_error(mod().call(2, {f.get()}), p + "requires 2 input arguments.");

  // Squareness compares the factor's columns with b's rows only.
  expect_error(call(testhost::sparse(2, 3, {0, 1, 2, 3}, {0, 1, 1}, {1, 1, 1}), b),
               p + F + " should be square.");
  expect_ok(call(testhost::sparse(5, 2, {0, 1, 2}, {0, 1}, {2, 4}), b));
  // A dense factor: squareness first, sparsity after it.
  expect_error(call(testhost::dense(2, 3), b), p + F + " should be square.");
  expect_error(call(testhost::dense(2, 2, {2, 0, 0, 4}), b), p + F + " should be sparse.");

  // A sparse b is copied before the factor checks; a failing check leaves
  // the copy for the host to reclaim.
  auto r = call(testhost::dense(2, 2), testhost::sparse_from_dense(2, 1, {1, 2}));
  expect_error(r, p + F + " should be sparse.");
  EXPECT_EQ(r.calloc_calls, 1u);
  EXPECT_EQ(r.reclaimed_by_host, 1u);
}

TEST_P(Substitution, TriangularityTestReadsOneEntry) {
  const std::string p = prefix();
  Array b = testhost::column({1, 2, 3});
  if (GetParam().forward) {
    // Column 0 ending below row 0.
    expect_error(call(testhost::sparse(3, 3, {0, 2, 3, 4}, {0, 1, 1, 2}, {1, 1, 1, 1}), b),
                 p + "R not upper triangular.");
    // A misplaced entry in a later column is used as written: column 1
    // holds (2, 5) then its "diagonal" (1, 2); x1 = (2 - 5·x2)/2 with x2 = 0.
    std::vector<double> x =
        solve(testhost::sparse(3, 3, {0, 1, 3, 4}, {0, 2, 1, 2}, {1, 5, 2, 1}), b);
    EXPECT_EQ(x, (std::vector<double>{1, 1, 3}));
  } else {
    expect_error(call(testhost::sparse(3, 3, {0, 1, 2, 3}, {0, 1, 1}, {1, 1, 1}), b),
                 p + "Rt not lower triangular.");
    // Column 0 holds (1, 2) then (0, 4): the first is taken as its diagonal,
    // the second as lying below; x0 is not yet solved when it is read, so
    // x0 = (1 - 4·0)/2.
    std::vector<double> x =
        solve(testhost::sparse(3, 3, {0, 2, 3, 4}, {1, 0, 1, 2}, {2, 4, 1, 1}), b);
    EXPECT_EQ(x, (std::vector<double>{0.5, 2, 3}));
  }
  // A zero diagonal is divided by all the same.
  std::vector<double> x = solve(testhost::sparse(3, 3, {0, 1, 2, 3}, {0, 1, 2}, {0, 1, 1}), b);
  ASSERT_EQ(x.size(), 3u);
  EXPECT_TRUE(std::isinf(x[0]));
}

TEST_P(Substitution, EmptySystem) {
  auto r = call(testhost::sparse(0, 0, {0}, {}, {}), testhost::dense(0, 1));
  expect_ok(r);
  ASSERT_TRUE(r.outputs[0]);
  EXPECT_EQ(mxGetM(r.outputs[0].get()), 0u);
  EXPECT_EQ(mxGetN(r.outputs[0].get()), 1u);
  expect_ok(call(testhost::sparse(0, 0, {0}, {}, {}), testhost::dense(0, 0)));
  expect_ok(call(testhost::sparse(0, 0, {0}, {}, {}), testhost::sparse(0, 0, {0}, {}, {})));
  expect_error(call(testhost::dense(0, 0), testhost::dense(0, 1)),
               prefix() + factor() + " should be sparse.");
}

TEST_P(Substitution, ClassAndSizeOfArguments) {
  const std::string p = prefix(), F = factor();
  Array f = testhost::sparse(2, 2, {0, 1, 2}, {0, 1}, {2, 4});
  Array b = testhost::column({1, 2});
  expect_error(call(f, testhost::of_class(mxINT32_CLASS, 2, 1, {1, 2})),
               p + "argument 2 (b) must be of class double, not int32.");
  expect_error(call(f, testhost::complex_dense(2, 1, {1, 2}, {0, 1})),
               p + "argument 2 (b) must be real, not complex.");
  expect_error(call(f, testhost::sparse(2, 1, {0, 1}, {0}, {1}, true)),
               p + "argument 2 (b) must be of class double, not logical.");
  expect_error(call(f, testhost::dense(2, 0)), p + "argument 2 (b) must have at least one column.");
  // b's class is checked where b is read, ahead of the factor's checks.
  expect_error(call(testhost::dense(2, 2), testhost::of_class(mxINT32_CLASS, 2, 1)),
               p + "argument 2 (b) must be of class double, not int32.");
  // 2^31 rows: rejected from the size alone, nothing of b is read.
  expect_error(call(f, testhost::phantom(std::size_t(1) << 31, 1)),
               p + "argument 2 (b) has 2^31 or more rows; at most 2147483647 are supported.");
  expect_error(call(testhost::sparse(2, 2, {0, 1, 2}, {0, 1}, {1, 1}, true), b),
               p + "argument 1 (" + F + ") must be of class double, not logical.");
  expect_error(call(testhost::sparse(2, 2, {0, 1, 2}, {0, 1}, {2, 4}, false, true), b),
               p + "argument 1 (" + F + ") must be real, not complex.");
  // The factor's class comes after its sparsity test.
  expect_error(call(testhost::of_class(mxINT32_CLASS, 2, 2), b), p + F + " should be sparse.");
}

// Factors whose structure would lead the substitution outside its arrays.
TEST_P(Substitution, MalformedFactorsRejectedBeforeSolving) {
  const std::string p = prefix(), A = p + "argument 1 (" + factor() + ") ";
  const bool fw = GetParam().forward;
  Array b = testhost::column({1, 2, 3});
  auto rejects = [&](const Array &f, const std::string &text) {
    auto r = call(f, b);
    expect_error(r, text);
    EXPECT_EQ(r.arrays_created, 0u) << text;  // rejected before x exists
  };
  rejects(testhost::sparse(3, 3, {0, 0, 1, 2}, {1, 2}, {1, 1}),
          A + "has no stored entry in column 1.");
  rejects(testhost::sparse(3, 3, {0, 1, 2, 2}, {0, 1}, {1, 1}),
          A + "has no stored entry in column 3.");
  rejects(testhost::sparse(3, 3, {0, 0, 0, 0}, {}, {}),
          A + "has no stored entry in column " + (fw ? "1." : "3."));
  // Row indices that are no row of the system (the factor may well have
  // more rows than b), at every column, and negative ones. The solve checks
  // them as it reads them, so x exists by then; it is never delivered.
  auto rejects_in_solve = [&](const Array &f, const std::string &text) {
    auto r = call(f, b);
    expect_error(r, text);
    EXPECT_EQ(r.arrays_created, 1u) << text;
  };
  rejects_in_solve(testhost::sparse(9, 3, {0, 1, 3, 4}, {0, 7, 1, 2}, {1, 1, 1, 1}),
                   A + "has a stored entry outside rows 1 to 3 in column 2.");
  rejects_in_solve(testhost::sparse(9, 3, {0, 1, 2, 3}, {0, 1, 3}, {1, 1, 1}),
                   A + "has a stored entry outside rows 1 to 3 in column 3.");
  rejects_in_solve(testhost::sparse(3, 3, {0, 1, 3, 4}, {0, -1, 1, 2}, {1, 1, 1, 1}),
                   A + "has a stored entry outside rows 1 to 3 in column 2.");
  // In the one column whose sum the solve does not form (column 1 for R,
  // column 3 for Rt), and in the diagonal entries.
  rejects_in_solve(fw ? testhost::sparse(9, 3, {0, 2, 3, 4}, {8, 0, 1, 2}, {1, 1, 1, 1})
                      : testhost::sparse(9, 3, {0, 1, 2, 4}, {0, 1, 2, 8}, {1, 1, 1, 1}),
                   A + "has a stored entry outside rows 1 to 3 in column " + (fw ? "1." : "3."));
  rejects_in_solve(fw ? testhost::sparse(9, 3, {0, 1, 3, 4}, {0, 0, 5, 2}, {1, 1, 1, 1})
                      : testhost::sparse(9, 3, {0, 1, 3, 4}, {0, 5, 2, 2}, {1, 1, 1, 1}),
                   A + "has a stored entry outside rows 1 to 3 in column 2.");
  // Column starts.
  rejects(testhost::sparse(3, 3, {1, 2, 3, 3}, {0, 1, 2}, {1, 1, 1}),
          A + "has malformed column starts: the first is not 0.");
  rejects(testhost::sparse(3, 3, {0, 2, 1, 3}, {0, 1, 2}, {1, 1, 1}),
          A + "has malformed column starts: column 2 ends before it starts.");
  rejects(testhost::sparse(3, 3, {0, 1, 2, 9}, {0, 1, 2}, {1, 1, 1}),
          A + "has malformed column starts: they end at 9, past its capacity of 3.");
  rejects(testhost::sparse(3, 3, {0, 1, -5, 3}, {0, 1, 2}, {1, 1, 1}),
          A + "has malformed column starts: column 2 ends before it starts.");
  // The triangularity test keeps its message where it can be run, even if
  // the factor is malformed elsewhere.
  if (fw)
    rejects(testhost::sparse(3, 3, {0, 1, 1, 2}, {2, 2}, {1, 1}), p + "R not upper triangular.");
  else
    rejects(testhost::sparse(3, 3, {0, 0, 1, 2}, {1, 0}, {1, 1}), p + "Rt not lower triangular.");
}

TEST_P(Substitution, MalformedSparseRightHandSide) {
  const std::string A = prefix() + "argument 2 (b) ";
  Array f = testhost::sparse(3, 3, {0, 1, 2, 3}, {0, 1, 2}, {1, 1, 1});
  auto r = call(f, testhost::sparse(9, 1, {0, 1}, {5}, {1}));  // b has 9 rows, factor 3 cols
  expect_error(r, prefix() + factor() + " should be square.");
  r = call(f, testhost::sparse(3, 2, {0, 1, 2}, {3, 0}, {1, 1}));
  expect_error(r, A + "has a stored entry outside rows 1 to 3 in column 1.");
  EXPECT_EQ(r.calloc_calls, 0u);
  expect_error(call(f, testhost::sparse(3, 1, {0, 4}, {0}, {1})),
               A + "has malformed column starts: they end at 4, past its capacity of 1.");
  // Rows of later columns of b are never used, so they are not examined.
  expect_ok(call(f, testhost::sparse(3, 2, {0, 1, 2}, {0, 99}, {1, 1})));
}

// A row outside the system is found while solving: by then the scratch copy
// of a sparse b and x exist. The call still ends as if the factor had been
// rejected up front: no result in any slot (also when none was requested),
// the scratch and x left to the host, the arguments as they were.
TEST_P(Substitution, RowOutsideFoundWhileSolvingDeliversNothing) {
  const bool fw = GetParam().forward;
  const std::string text = prefix() + "argument 1 (" + factor() +
                           ") has a stored entry outside rows 1 to 3 in column 2.";
  // Column 2 of the factor holds a row 3 (0-based) of a 5-row factor: above
  // its diagonal for R, below it for Rt.
  Array f = fw ? testhost::sparse(5, 3, {0, 1, 3, 4}, {0, 3, 1, 2}, {2, 7, 4, 1})
               : testhost::sparse(5, 3, {0, 1, 3, 4}, {0, 1, 3, 2}, {2, 4, 7, 1});
  Array dense_b = testhost::column({1, 2, 3});
  Array sparse_b = testhost::sparse_from_dense(3, 2, {1, 0, 3, 5, 5, 5});
  for (int nlhs : {0, 1}) {
    auto r = call(f, sparse_b, nlhs);
    expect_error(r, text);
    EXPECT_EQ(r.calloc_calls, 1u);
    EXPECT_EQ(r.calloc_bytes, 3u * 8);
    EXPECT_EQ(r.freed_by_module, 0u);
    EXPECT_EQ(r.reclaimed_by_host, 1u);
    EXPECT_EQ(r.arrays_created, 1u);
    EXPECT_EQ(r.arrays_discarded, 1u);  // x, reclaimed by the host
    r = call(f, dense_b, nlhs);
    expect_error(r, text);
    EXPECT_EQ(r.calloc_calls, 0u);
    EXPECT_EQ(r.arrays_discarded, 1u);
  }
  // The same factor with that entry moved into the system solves.
  Array good = fw ? testhost::sparse(5, 3, {0, 1, 3, 4}, {0, 0, 1, 2}, {2, 7, 4, 1})
                  : testhost::sparse(5, 3, {0, 1, 3, 4}, {0, 1, 2, 2}, {2, 4, 7, 1});
  expect_ok(call(good, sparse_b));
}

// Factors of every structure a caller could hand over (unsorted and repeated
// rows, rows outside the system or negative, empty columns, zero and
// non-finite values), in every build: no call reads or writes outside its
// arrays or changes an argument; a factor whose structure the substitution
// can use gives exactly the plain loops' bits, any other is rejected with a
// text naming the module.
TEST_P(Substitution, RandomStructuresEndCleanly) {
  namespace tri = lw::triangular;
  const bool fw = GetParam().forward;
  std::mt19937 gen(2024);
  const double specials[] = {0.0, -0.0, 1.0, -3.5, 1e308, 5e-324,
                             std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
  int solved = 0, rejected_rows = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const std::int32_t m = 1 + std::int32_t(gen() % 6);
    const std::size_t factor_rows = std::size_t(m) + gen() % 3;
    Csc c;
    c.m = factor_rows;
    c.n = std::size_t(m);
    bool empty_column = false, outside = false;
    for (std::int32_t j = 0; j < m; ++j) {
      const unsigned count = gen() % 8 == 0 ? 0 : 1 + gen() % 4;
      empty_column |= count == 0;
      for (unsigned k = 0; k < count; ++k) {
        std::int64_t row;
        switch (gen() % 10) {
          case 0: row = std::int64_t(m) + std::int64_t(gen() % 3); break;  // past the system
          case 1: row = -1; break;
          default: row = fw ? std::int64_t(gen() % unsigned(j + 1))
                            : std::int64_t(j) + std::int64_t(gen() % unsigned(m - j));
        }
        outside |= row < 0 || row >= m;
        c.ir.push_back(row);
        c.v.push_back(gen() % 4 == 0 ? specials[gen() % 8] : double(int(gen() % 17) - 8) / 4);
      }
      c.jc.push_back(std::int64_t(c.ir.size()));
    }
    std::vector<double> b = random_vector(std::size_t(m), unsigned(trial));
    if (trial % 5 == 0) b[0] = std::numeric_limits<double>::infinity();
    const Array fa = c.array();
    const Array ba = trial % 2 ? testhost::column(b) : testhost::sparse_from_dense(std::size_t(m), 1, b);
    const auto r = call(fa, ba, int(gen() % 2));
    expect_clean(r);
    // The one-entry triangularity test, on the row as a signed number.
    const std::int32_t tested = fw ? 0 : m - 1;
    const bool tested_empty = c.jc[std::size_t(tested) + 1] == c.jc[std::size_t(tested)];
    const bool triangular =
        tested_empty ||
        (fw ? c.ir[std::size_t(c.jc[1] - 1)] <= 0 : c.ir[std::size_t(c.jc[std::size_t(m)] - 1)] >= m - 1);
    if (!empty_column && !outside && triangular) {
      ASSERT_FALSE(r.error) << r.message << " (trial " << trial << ")";
      ASSERT_EQ(r.outputs.size(), 1u);
      std::vector<double> want(std::size_t(m), 0.0);
      if (fw)
        tri::reference_forward_substitution(c.v.data(), c.ir.data(), c.jc.data(), b.data(),
                                            want.data(), m);
      else
        tri::reference_backward_substitution(c.v.data(), c.ir.data(), c.jc.data(), b.data(),
                                             want.data(), m);
      const std::vector<double> x = testhost::values(r.outputs[0].get());
      ASSERT_EQ(x.size(), want.size());
      EXPECT_EQ(std::memcmp(x.data(), want.data(), x.size() * sizeof(double)), 0)
          << "trial " << trial;
      ++solved;
    } else {
      ASSERT_TRUE(r.error) << "trial " << trial;
      EXPECT_TRUE(r.outputs.empty());
      EXPECT_EQ(r.message.rfind(prefix(), 0), 0u) << r.message;
      if (!empty_column && triangular) {
        EXPECT_NE(r.message.find("has a stored entry outside rows 1 to " + std::to_string(m)),
                  std::string::npos)
            << r.message;
        ++rejected_rows;
      }
    }
  }
  // Both outcomes came up often enough to mean something.
  EXPECT_GT(solved, 300);
  EXPECT_GT(rejected_rows, 300);
}

TEST_P(Substitution, AllocationFailureIsAHostError) {
  Csc fc = factor_of(20, 0.3, 1);
  Array f = fc.array();
  Array b = testhost::sparse_from_dense(20, 1, random_vector(20, 2));
  for (std::size_t k : {1u, 2u}) {  // the scratch copy, then x
    testhost::fail_allocation_at(k);
    auto r = call(f, b);
    expect_error(r, testhost::out_of_memory_message);
    EXPECT_EQ(r.reclaimed_by_host, k - 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Builds, Substitution,
                         testing::Values(Variant{"fenwarix", false, true, 64},
                                         Variant{"fenwarix", true, true, 32},
                                         Variant{"hobrinth", false, false, 32}),
                         variant_name);

// fenwarix with R, then hobrinth with R', solves R'R·x = b.
TEST(Fenwarix, ChainedWithHobrinthSolvesNormalEquations) {
  const std::size_t n = 400;
  Csc r = random_upper(n, 0.03, 31);
  std::vector<double> b = random_vector(n, 32);
  Array ra = r.array(), rta = transpose(r).array(), ba = testhost::column(b);
  auto z = lwtest::module("fenwarix").call(1, {ra.get(), ba.get()});
  expect_ok(z);
  auto x = lwtest::module("hobrinth").call(1, {rta.get(), z.outputs[0].get()});
  expect_ok(x);
  std::vector<double> xv = testhost::values(x.outputs[0].get());
  std::vector<double> rx(n, 0.0);  // R·x
  for (std::size_t j = 0; j < n; ++j)
    for (std::int64_t p = r.jc[j]; p < r.jc[j + 1]; ++p)
      rx[std::size_t(r.ir[std::size_t(p)])] += r.v[std::size_t(p)] * xv[j];
  EXPECT_LT(max_abs_diff(transpose_times(r, rx), b), 1e-9);
}

// The kernels and structure scans instantiated at every index type a host
// uses give the same bits.
template <typename Index>
class Kernels : public testing::Test {};
using IndexTypes = testing::Types<int, std::int64_t, std::size_t>;
TYPED_TEST_SUITE(Kernels, IndexTypes, );  // empty name generator: the default, and no empty __VA_ARGS__

TYPED_TEST(Kernels, SameResultsAtEveryIndexType) {
  using Index = TypeParam;
  namespace tri = lw::triangular;
  const Csc up = random_upper(200, 0.1, 41), lo = transpose(up);
  const std::vector<double> b = random_vector(200, 42);
  auto as = [](const std::vector<std::int64_t> &v) {
    std::vector<Index> out;
    for (auto e : v) out.push_back(static_cast<Index>(e));
    return out;
  };
  auto solve = [&](const Csc &c, bool forward, auto index) {
    using I = decltype(index);
    std::vector<I> ir, jc;
    for (auto e : c.ir) ir.push_back(static_cast<I>(e));
    for (auto e : c.jc) jc.push_back(static_cast<I>(e));
    std::vector<double> x(200, 0.0);
    if (forward)
      tri::forward_substitution(c.v.data(), ir.data(), jc.data(), b.data(), x.data(), 200);
    else
      tri::backward_substitution(c.v.data(), ir.data(), jc.data(), b.data(), x.data(), 200);
    return x;
  };
  EXPECT_EQ(solve(up, true, Index{}), solve(up, true, int{}));
  EXPECT_EQ(solve(lo, false, Index{}), solve(lo, false, int{}));

  const std::vector<Index> jc = as(up.jc), ir = as(up.ir);
  tri::ColumnStarts s = tri::scan_column_starts(jc.data(), 200, up.ir.size());
  EXPECT_EQ(s.fault, tri::ColumnStarts::Fault::none);
  EXPECT_EQ(s.entries, std::int32_t(up.ir.size()));
  EXPECT_EQ(s.first_empty, -1);
  EXPECT_EQ(tri::first_column_with_row_outside(ir.data(), jc.data(), 200, 200), -1);
  EXPECT_EQ(tri::first_column_with_row_outside(ir.data(), jc.data(), 200, 199), 199);
  EXPECT_EQ(tri::scan_column_starts(jc.data(), 200, up.ir.size() - 1).fault,
            tri::ColumnStarts::Fault::past_capacity);
  // An end past 2^31 - 1 with room for it is still beyond the kernels' counts.
  const std::vector<Index> big = as({0, 2147483648LL});
  if (sizeof(Index) == 8) {
    EXPECT_EQ(tri::scan_column_starts(big.data(), 1, std::uint64_t(1) << 32).fault,
              tri::ColumnStarts::Fault::too_many);
  }
}

// Random factor of the given orientation whose columns have all kinds of
// lengths: each column's density is drawn anew (empty above/below the
// diagonal, sparse, or full), runs of identical structure as in the
// supernodes of a Cholesky factor, values of all signs and magnitudes.
Csc varied_upper(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  Csc r;
  r.m = r.n = n;
  std::vector<std::int64_t> previous;
  for (std::size_t j = 0; j < n; ++j) {
    std::vector<std::int64_t> rows;
    const double kind = u(gen);
    if (j > 0 && kind < 0.3) {
      rows = previous;  // the previous column's structure and its diagonal
      rows.push_back(std::int64_t(j - 1));
    } else {
      const double density = kind < 0.45 ? 0.0 : kind < 0.9 ? 0.05 * u(gen) : u(gen);
      for (std::size_t i = 0; i < j; ++i)
        if (u(gen) < density) rows.push_back(std::int64_t(i));
    }
    for (std::int64_t i : rows) {
      r.ir.push_back(i);
      r.v.push_back((2 * u(gen) - 1) * std::ldexp(1.0, int(20 * u(gen)) - 10));
    }
    r.ir.push_back(std::int64_t(j));
    r.v.push_back((u(gen) < 0.5 ? -1 : 1) * (0.5 + u(gen)));
    r.jc.push_back(std::int64_t(r.ir.size()));
    previous = rows;
  }
  return r;
}

// The kernels against the plain transcriptions of the two loops, bit for
// bit, on many shapes and densities, at 32-bit and 64-bit indices.
TYPED_TEST(Kernels, BitIdenticalToThePlainLoops) {
  using Index = TypeParam;
  namespace tri = lw::triangular;
  auto run = [](const Csc &c, const std::vector<double> &b, bool forward, bool reference) {
    std::vector<Index> ir, jc;
    for (auto e : c.ir) ir.push_back(static_cast<Index>(e));
    for (auto e : c.jc) jc.push_back(static_cast<Index>(e));
    const std::int32_t m = std::int32_t(c.n);
    std::vector<double> x(c.n, 0.0);
    if (forward && reference)
      tri::reference_forward_substitution(c.v.data(), ir.data(), jc.data(), b.data(), x.data(), m);
    else if (forward)
      EXPECT_TRUE(tri::forward_substitution(c.v.data(), ir.data(), jc.data(), b.data(), x.data(), m));
    else if (reference)
      tri::reference_backward_substitution(c.v.data(), ir.data(), jc.data(), b.data(), x.data(),
                                           m);
    else
      EXPECT_TRUE(
          tri::backward_substitution(c.v.data(), ir.data(), jc.data(), b.data(), x.data(), m));
    return x;
  };
  auto same_bits = [](const std::vector<double> &a, const std::vector<double> &b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
  };
  unsigned seed = 100;
  for (std::size_t n : {1, 2, 3, 5, 8, 17, 64, 333, 1500}) {
    for (int shape = 0; shape < 4; ++shape) {
      ++seed;
      const Csc up = shape == 0 ? varied_upper(n, seed)
                                : random_upper(n, shape == 1 ? 0.01 : shape == 2 ? 0.2 : 1.0, seed);
      const Csc lo = transpose(up);
      const std::vector<double> b = random_vector(n, seed + 7);
      EXPECT_TRUE(same_bits(run(up, b, true, false), run(up, b, true, true)))
          << "forward, n " << n << " shape " << shape;
      EXPECT_TRUE(same_bits(run(lo, b, false, false), run(lo, b, false, true)))
          << "backward, n " << n << " shape " << shape;
    }
  }
  // Rows out of storage order give the same bits too (each sum is still
  // taken in storage order), and zero diagonals give the same infinities
  // and NaNs.
  Csc odd = varied_upper(200, 9);
  for (std::size_t j = 0; j < odd.n; ++j) {
    const auto first = odd.ir.begin() + odd.jc[j], last = odd.ir.begin() + odd.jc[j + 1] - 1;
    std::reverse(first, last);
    if (j % 37 == 5) odd.v[std::size_t(odd.jc[j + 1] - 1)] = 0.0;
  }
  const std::vector<double> b = random_vector(200, 10);
  EXPECT_TRUE(same_bits(run(odd, b, true, false), run(odd, b, true, true)));
  const Csc odd_lo = transpose(odd);
  EXPECT_TRUE(same_bits(run(odd_lo, b, false, false), run(odd_lo, b, false, true)));
}

// A row index outside the system, in any column and at any place in it, is
// reported and never used as a position in x.
TYPED_TEST(Kernels, RowsOutsideTheSystemAreReported) {
  using Index = TypeParam;
  namespace tri = lw::triangular;
  const Csc up = random_upper(40, 0.3, 77), lo = transpose(up);
  const std::vector<double> b = random_vector(40, 78);
  for (const Csc *c : {&up, &lo}) {
    const bool forward = c == &up;
    for (std::size_t p = 0; p < c->ir.size(); p += 7) {
      for (std::int64_t bad : {std::int64_t(40), std::int64_t(1) << 30, std::int64_t(-1)}) {
        std::vector<Index> ir, jc;
        for (auto e : c->ir) ir.push_back(static_cast<Index>(e));
        for (auto e : c->jc) jc.push_back(static_cast<Index>(e));
        ir[p] = static_cast<Index>(bad);
        // x between guard cells that no write may reach.
        constexpr std::size_t guard = 64;
        std::vector<double> cells(40 + 2 * guard, -7.25);
        std::fill(cells.begin() + guard, cells.begin() + guard + 40, 0.0);
        double *x = cells.data() + guard;
        const bool inside =
            forward ? tri::forward_substitution(c->v.data(), ir.data(), jc.data(), b.data(), x, 40)
                    : tri::backward_substitution(c->v.data(), ir.data(), jc.data(), b.data(), x,
                                                 40);
        EXPECT_FALSE(inside) << "entry " << p << " row " << bad;
        EXPECT_TRUE(std::all_of(cells.begin(), cells.begin() + guard,
                                [](double g) { return g == -7.25; }));
        EXPECT_TRUE(std::all_of(cells.end() - guard, cells.end(),
                                [](double g) { return g == -7.25; }));
      }
    }
  }
}

}  // namespace
