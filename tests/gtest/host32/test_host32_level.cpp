// Every large-array module against its build for a 32-bit host's large-array
// level (testhost/host32/: mwSize and mwIndex of 32 bits, unsigned, as that
// host's size_t). The 32-bit-level modules (hobrinth, the wavelets) are
// built with 32-bit indices anyway, and their suites run them so. The same
// call must give the same results in both, sizes and sparse indices
// included: a module that read or wrote a 32-bit index array 64 bits at a
// time would take two indices for one (and run past the array), and one
// that widened a 32-bit index without its sign would read an index with
// every bit set as 2^32 - 1 where the others read -1.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "call_helpers.h"

namespace {

using lwtest::ArgList;
using testhost::Array;

const testhost::Module &host32_module(const char *name) {
  static std::map<std::string, std::unique_ptr<testhost::Module>> loaded;
  auto &m = loaded[name];
  if (!m) {
    const std::string path = testhost::module_path(name);
    const std::size_t slash = path.rfind('/');
    m = std::make_unique<testhost::Module>(path.substr(0, slash) + "/host32" + path.substr(slash));
  }
  return *m;
}

// Calls both builds with the same arguments; both succeed or fail alike, and
// each result is identical: sizes, values and, for a sparse result, the
// column starts and row indices.
void expect_same_in_both(const char *name, const ArgList &a, int nlhs) {
  SCOPED_TRACE(name);
  const auto large = lwtest::module(name).call(nlhs, a.handles());
  const auto host32 = host32_module(name).call(nlhs, a.handles());
  lwtest::expect_clean(host32);
  ASSERT_EQ(host32.error, large.error) << large.message << " / " << host32.message;
  EXPECT_EQ(host32.message, large.message);
  ASSERT_EQ(host32.outputs.size(), large.outputs.size());
  for (std::size_t k = 0; k < large.outputs.size(); ++k) {
    const mxArray *x = large.outputs[k].get(), *y = host32.outputs[k].get();
    ASSERT_NE(y, nullptr) << "result " << k;
    EXPECT_EQ(mxGetM(y), mxGetM(x)) << "result " << k;
    EXPECT_EQ(mxGetN(y), mxGetN(x)) << "result " << k;
    ASSERT_EQ(mxIsSparse(y), mxIsSparse(x)) << "result " << k;
    EXPECT_EQ(testhost::values(y), testhost::values(x)) << "result " << k;
    if (mxIsSparse(x)) {
      EXPECT_EQ(testhost::column_starts(y), testhost::column_starts(x)) << "result " << k;
      EXPECT_EQ(testhost::row_indices(y), testhost::row_indices(x)) << "result " << k;
    }
  }
}

// An n-by-n upper triangular factor: each column holds some of the rows
// above it, then its diagonal.
Array upper_factor(std::int64_t n) {
  std::vector<std::int64_t> jc{0}, ir;
  std::vector<double> pr;
  for (std::int64_t j = 0; j < n; ++j) {
    for (std::int64_t i = j % 3; i < j; i += 3) {
      ir.push_back(i);
      pr.push_back(double((i * 7 + j) % 11) / 16 - 0.3);
    }
    ir.push_back(j);
    pr.push_back(2.0 + double(j % 5) / 8);
    jc.push_back(std::int64_t(ir.size()));
  }
  return testhost::sparse(std::size_t(n), std::size_t(n), jc, ir, pr);
}

std::vector<double> ramp(std::size_t n) {
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = double((i * 37) % 23) / 8 - 1.0;
  return v;
}

TEST(Host32Level, EveryFamilyGivesTheSameResults) {
  expect_same_in_both("vintrask", lwtest::scalars({0.731, 1e4, 1e-4, 31, 7, 20}), 3);
  for (const char *name : {"quorbel", "pelmorin", "sandrevo", "tolbrecht"})
    expect_same_in_both(name, lwtest::scalars({1.9, 1e3, 1e-3, 3, 40, 12, 1}), 3);
  for (const char *name : {"gravenmor", "brastelin"})
    expect_same_in_both(name, lwtest::scalars({0.37, 11.5, 2.25, 0.8125, 1.3}), 8);
  // Groups of several lengths: the sparse H has many columns and rows.
  std::vector<double> p(300);
  for (std::size_t i = 0; i < p.size(); ++i) p[i] = (i * 37) % 11 < 7 ? 1.0 : 0.0;
  expect_same_in_both("lunderjack", ArgList().add(testhost::column(p)), 2);
  expect_same_in_both("lunderjack", ArgList().add(testhost::row(p)), 2);
  expect_same_in_both("zelmonte", ArgList().add(testhost::column(ramp(500))).add(testhost::scalar(0.3)), 1);
  const std::vector<double> b = ramp(90);
  expect_same_in_both("fenwarix", ArgList().add(upper_factor(90)).add(testhost::column(b)), 1);
  expect_same_in_both("fenwarix",
                      ArgList().add(upper_factor(90)).add(testhost::sparse_from_dense(90, 1, b)), 1);
}

// Factors whose stored indices are outside the system, -1 (every bit set)
// among them: the same check fails with the same text in both builds.
TEST(Host32Level, IndicesOutsideTheSystemReadTheSame) {
  struct Case {
    std::vector<std::int64_t> jc, ir;
  };
  const std::vector<Case> cases = {
      {{0, 1, 3, 4}, {-1, 0, 1, 2}},  // a row -1 in column 0, the one the triangularity test reads
      {{0, 1, 3, 4}, {0, -1, 1, 2}},  // a row -1 above a diagonal
      {{0, 1, 3, 4}, {0, 0, -1, 2}},  // a row -1 on a diagonal
      {{0, 1, -1, 4}, {0, 0, 1, 2}},  // a column start -1
      {{-1, 1, 3, 4}, {0, 0, 1, 2}},  // a first column start -1
      {{0, 1, 3, 4}, {0, 0, 7, 2}},   // a row past the system
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases.data()));
    ArgList a;
    a.add(testhost::sparse(3, 3, c.jc, c.ir, {2, 1, 3, 4})).add(testhost::column({1, 2, 3}));
    expect_same_in_both("fenwarix", a, 1);
    EXPECT_TRUE(host32_module("fenwarix").call(1, a.handles()).error);
  }
}

}  // namespace
