// The three penalty schedules and their twins, through the test host.
#include <cmath>
#include <limits>

#include "call_helpers.h"

using lwtest::expect_error;
using lwtest::expect_ok;
using lwtest::module;
using lwtest::out;
using lwtest::scalars;

namespace {

struct Triple {
  double penalty, count_raise, count_lower;
};

Triple run(const std::string &name, const std::vector<double> &args) {
  auto a = scalars(args);
  auto r = module(name).call(3, a.handles());
  expect_ok(r);
  return {out(r, 0), out(r, 1), out(r, 2)};
}

void expect_triple(const std::string &name, const std::vector<double> &args, Triple want) {
  Triple got = run(name, args);
  EXPECT_EQ(got.penalty, want.penalty) << name;
  EXPECT_EQ(got.count_raise, want.count_raise) << name;
  EXPECT_EQ(got.count_lower, want.count_lower) << name;
}

// With a dominant count_raise a due iteration raises; otherwise nothing moves.
bool vintrask_due(double iter) { return run("vintrask", {10, 100, 1, 2, 0, iter}).penalty != 10; }
bool quorbel_due(double iter) {
  return run("quorbel", {1, 100, 0.1, 2, 0, iter, -1}).penalty != 1;
}
bool sandrevo_due(double iter) {
  return run("sandrevo", {1, 100, 0.1, 2, 0, iter, 0}).penalty != 1;
}

}  // namespace

TEST(Vintrask, DueTestFollowsTheScheduleAndTruncation) {
  for (double iter : {0.0, -3.0, 3.999, 30.0, 60.0, 125.0, 250.0, 500.0})
    EXPECT_TRUE(vintrask_due(iter)) << iter;
  for (double iter : {-4.0, 2.9, 29.0, 59.0, 120.0, 249.0, 499.0, 550.0})
    EXPECT_FALSE(vintrask_due(iter)) << iter;
}

TEST(Vintrask, CounterTestsAreStrictAndOneSided) {
  expect_triple("vintrask", {10, 100, 1, 1, 0, 0}, {10, 1, 0});
  expect_triple("vintrask", {10, 100, 1, 6, 5, 0}, {10, 6, 5});
  expect_triple("vintrask", {10, 100, 1, 3, 2, 0}, {12.5, 0, 2});
  expect_triple("vintrask", {10, 100, 1, 0, 2, 0}, {8, 0, 0});
  expect_triple("vintrask", {10, 5, 1, 2, 0, 0}, {5, 0, 0});
  // Bounds the wrong way round are not detected: a raise may land below min.
  expect_triple("vintrask", {10, 5, 20, 2, 0, 0}, {5, 0, 0});
  // Lowering divides by 1.25 rather than multiplying by 0.8.
  EXPECT_EQ(run("vintrask", {3, 100, 0, 0, 2, 0}).penalty, 3 / 1.25);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Triple t = run("vintrask", {10, 100, 1, nan, 2, 0});
  EXPECT_EQ(t.penalty, 10);
  EXPECT_EQ(t.count_lower, 2);
  // A NaN bound never replaces the stepped value.
  expect_triple("vintrask", {10, nan, 1, 2, 0, 0}, {12.5, 0, 0});
}

TEST(Vintrask, ArgumentCount) {
  auto five = scalars({10, 100, 1, 3, 2});
  expect_error(module("vintrask").call(3, five.handles()), " vintrask: must have 6 inputs");
  expect_error(module("vintrask").call(1, {}), " vintrask: must have 6 inputs");
  expect_triple("vintrask", {10, 100, 1, 3, 2, 0, 99}, {12.5, 0, 2});
}

TEST(Quorbel, CounterRuleSchedule) {
  for (double iter : {0.0, 2.0, 8.0, -2.0, 12.0, 198.0, 200.0, 500.0, 520.0})
    EXPECT_TRUE(quorbel_due(iter)) << iter;
  for (double iter : {1.0, 9.0, -1.0, 10.0, 199.0, 205.0, 499.0, 510.0})
    EXPECT_FALSE(quorbel_due(iter)) << iter;
}

TEST(Quorbel, CounterRuleSteps) {
  expect_triple("quorbel", {1, 3, 0.1, 2, 0, 0, -1}, {3, 0, 0});
  expect_triple("quorbel", {1, 3, 0.5, 0, 2, 0, -1}, {0.5, 0, 0});
  expect_triple("quorbel", {1, 3, 0.1, 1, 0, 0, -1}, {1, 1, 0});
  expect_triple("quorbel", {1, 3, 0.1, 0, 2, 0, -7.9}, {0.2, 0, 0});
}

TEST(Quorbel, ShrinkingRule) {
  expect_triple("quorbel", {1, 3, 0.1, 5, 7, 10, 0}, {0.4, 5, 7});
  expect_triple("quorbel", {0.4, 3, 0.1, 5, 7, 11, 0}, {(0.4 + 0.4) / 5, 5, 7});
  expect_triple("quorbel", {0.2, 3, 0.1, 0, 0, 10, 0}, {0.1, 0, 0});
  for (double iter : {9.0, 0.0, -5.0}) expect_triple("quorbel", {1, 3, 0.1, 9, 0, iter, 3}, {1, 9, 0});
  // -0.5 truncates to 0 and selects shrinking.
  expect_triple("quorbel", {1, 3, 0.1, 2, 0, 10, -0.5}, {0.4, 2, 0});
}

TEST(Quorbel, TwinAndArgumentCount) {
  for (const char *name : {"quorbel", "pelmorin", "sandrevo", "tolbrecht"}) {
    auto six = scalars({1, 3, 0.1, 2, 0, 0});
    expect_error(module(name).call(3, six.handles()), " quorbel: must have 7 inputs");
  }
  expect_triple("pelmorin", {1, 3, 0.1, 2, 0, 0, -1, 42}, {3, 0, 0});
  expect_triple("pelmorin", {1, 3, 0.1, 5, 7, 10, 0}, {0.4, 5, 7});
}

TEST(Sandrevo, Schedule) {
  for (double iter : {-7.0, 0.0, 9.0, 10.0, 198.0, 201.0}) EXPECT_TRUE(sandrevo_due(iter)) << iter;
  for (double iter : {11.0, 199.0, 200.0, 202.0, 203.0}) EXPECT_FALSE(sandrevo_due(iter)) << iter;
}

TEST(Sandrevo, StepFactorAndAsymmetricTests) {
  for (const char *name : {"sandrevo", "tolbrecht"}) {
    expect_triple(name, {1, 100, 0.1, 2, 0, 0, 1}, {2.23606797749979, 0, 0});
    expect_triple(name, {1, 100, 0.1, 2, 0, 0, 0}, {5, 0, 0});
    expect_triple(name, {1, 3, 0.1, 2, 0, 0, 0}, {3, 0, 0});
    expect_triple(name, {1, 100, 0.1, 1, 4, 0, 5}, {0.4, 1, 0});
    expect_triple(name, {1, 100, 0.1, 1, 4, 0, 1}, {0.8944271909999159, 1, 0});
    expect_triple(name, {1, 100, 0.1, 2, 6, 0, 1}, {1, 2, 6});
    expect_triple(name, {1, 100, 0.1, 0, 1, 0, 1}, {1, 0, 1});
    expect_triple(name, {1, 100, 0.1, 0, 1.5, 0, 5}, {0.4, 0, 0});
    EXPECT_EQ(run(name, {1, 100, 0.1, 2, 0, 0, 1.9}).penalty, std::sqrt(5.0));
    EXPECT_EQ(run(name, {1, 100, 0.1, 2, 0, 0, 2.0}).penalty, 5);
    EXPECT_EQ(run(name, {1, 100, 0.1, 2, 0, 0, 0.99}).penalty, 5);
  }
}

// Every nlhs from 0 to 3, with the host's max(nlhs, 1) slots or more: the
// module fills the requested results (at least the first) and nothing else.
TEST(PenaltyFrame, ResultSlots) {
  auto args = scalars({10, 100, 1, 3, 2, 0});
  for (int nlhs = 0; nlhs <= 3; ++nlhs) {
    const int filled = nlhs > 1 ? nlhs : 1;
    for (int slots = filled; slots <= 4; ++slots) {
      auto r = module("vintrask").call(nlhs, args.handles(), slots);
      expect_ok(r);
      ASSERT_EQ(r.outputs.size(), std::size_t(slots));
      const std::vector<double> want{12.5, 0, 2};
      lwtest::expect_scalar_results(r, {want.begin(), want.begin() + filled});
      EXPECT_EQ(r.calloc_calls, 0u);
    }
  }
}

TEST(PenaltyFrame, RejectsArgumentsThatAreNotRealDenseDoubles) {
  auto check = [](int position, testhost::Array bad, const std::string &text) {
    lwtest::expect_rejected("vintrask", 3, {10, 100, 1, 3, 2, 0}, position, std::move(bad), text);
  };
  check(1, testhost::dense(0, 0), "vintrask: argument 1 (penalty) must not be empty.");
  check(2, testhost::dense(1, 0), "vintrask: argument 2 (penalty_max) must not be empty.");
  check(3, testhost::complex_dense(1, 1, {1}, {1}),
        "vintrask: argument 3 (penalty_min) must be real, not complex.");
  check(4, testhost::sparse_from_dense(1, 1, {3}),
        "vintrask: argument 4 (count_raise) must be dense, not sparse.");
  check(5, testhost::of_class(mxINT32_CLASS, 1, 1, {2}),
        "vintrask: argument 5 (count_lower) must be of class double, not int32.");
  check(6, testhost::of_class(mxLOGICAL_CLASS, 1, 1, {1}),
        "vintrask: argument 6 (iter) must be of class double, not logical.");
  // The first bad argument is the one reported.
  auto a = scalars({10, 100, 1, 3, 2, 0});
  a.owned[1] = testhost::of_class(mxSINGLE_CLASS, 1, 1, {1});
  a.owned[0] = testhost::dense(0, 1);
  expect_error(module("vintrask").call(3, a.handles()),
               "vintrask: argument 1 (penalty) must not be empty.");
}

TEST(PenaltyFrame, RejectsIntegersWithoutAValue) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double bad : {nan, inf, -inf, 2147483648.0, -2147483649.0}) {
    auto a = scalars({10, 100, 1, 3, 2, bad});
    expect_error(module("vintrask").call(3, a.handles()),
                 "vintrask: argument 6 (iter) must be a finite number within the signed 32-bit "
                 "integer range.");
    auto q = scalars({1, 3, 0.1, 2, 0, 0, bad});
    expect_error(module("quorbel").call(3, q.handles()),
                 "quorbel: argument 7 (mode_switch) must be a finite number within the signed "
                 "32-bit integer range.");
    expect_error(module("tolbrecht").call(3, q.handles()),
                 "sandrevo: argument 7 (factor_switch) must be a finite number within the "
                 "signed 32-bit integer range.");
  }
  // The extremes of the range are accepted (2147483647.9 truncates inside it).
  for (double edge : {2147483647.9, -2147483648.9}) {
    auto a = scalars({10, 100, 1, 3, 2, edge});
    expect_ok(module("vintrask").call(3, a.handles()));
  }
}

TEST(PenaltyFrame, OnlyTheFirstElementIsRead) {
  lwtest::ArgList a;
  a.add(testhost::row({10, 99, 98}));
  for (double v : {100.0, 1.0, 3.0, 2.0, 0.0}) a.add(testhost::scalar(v));
  auto r = module("vintrask").call(3, a.handles());
  expect_ok(r);
  EXPECT_EQ(out(r, 0), 12.5);
}
