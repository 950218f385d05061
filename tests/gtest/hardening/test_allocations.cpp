// Allocation discipline and fault injection, for every host function:
// a call whose k-th allocation fails ends with the host's error, delivers
// nothing, changes no input and leaves nothing behind; the number of
// scratch allocations of a call does not depend on sizes or levels.
#include <cmath>
#include <fstream>
#include <functional>

#include "call_helpers.h"

using lwtest::ArgList;
using lwtest::expect_error;
using lwtest::expect_ok;
using lwtest::module;

namespace {

struct TypicalCall {
  std::string name;
  bool index32;
  int nlhs;
  std::function<ArgList(int size)> args;  // a valid call, scaled by `size` (1, 2, 3)
};

std::vector<double> ramp(std::size_t n) {
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = std::sin(0.7 * double(i)) + 0.1 * double(i % 5);
  return v;
}

// A triangular sparse n×n factor with a full diagonal and a band beside it,
// above (upper) or below.
testhost::Array triangular_factor(std::size_t n, bool upper) {
  std::vector<double> d(n * n, 0.0);
  for (std::size_t j = 0; j < n; ++j) {
    d[j + j * n] = 2.0 + double(j);
    if (upper && j > 0) d[(j - 1) + j * n] = 0.5;
    if (!upper && j + 1 < n) d[(j + 1) + j * n] = 0.5;
  }
  return testhost::sparse_from_dense(n, n, d);
}

ArgList scalars_call(std::vector<double> v) { return lwtest::scalars(v); }

std::vector<TypicalCall> typical_calls() {
  const std::vector<double> haar{std::sqrt(0.5), std::sqrt(0.5)};
  const std::vector<double> four{0.4829629131445341, 0.8365163037378079, 0.2241438680420134,
                                 -0.1294095225512604};
  std::vector<TypicalCall> calls = {
      {"vintrask", false, 3, [](int) { return scalars_call({10, 100, 1, 3, 2, 0}); }},
      {"quorbel", false, 3, [](int) { return scalars_call({1, 3, 0.1, 2, 0, 0, -1}); }},
      {"pelmorin", false, 3, [](int) { return scalars_call({1, 3, 0.1, 2, 0, 0, -1}); }},
      {"sandrevo", false, 3, [](int) { return scalars_call({1, 100, 0.1, 1, 4, 0, 1}); }},
      {"tolbrecht", false, 3, [](int) { return scalars_call({1, 100, 0.1, 1, 4, 0, 1}); }},
      {"gravenmor", false, 8, [](int) { return scalars_call({6, 2, 8, 3, 5}); }},
      {"brastelin", false, 8, [](int) { return scalars_call({6, 2, 8, 3, 5}); }},
      {"lunderjack", false, 2,
       [](int s) {
         ArgList a;
         std::vector<double> p;
         for (int i = 0; i < 8 * s; ++i) p.push_back(i % 3 ? 1.0 : 0.0);
         a.add(testhost::row(p));
         return a;
       }},
      {"zelmonte", false, 1,
       [](int s) {
         ArgList a;
         a.add(testhost::column(ramp(std::size_t(50 * s))));
         a.add(testhost::scalar(0.3));
         return a;
       }},
      // A smooth trend with a large weight: zelmonte's linear method, with
      // its scratch.
      {"zelmonte", false, 1,
       [](int s) {
         std::vector<double> y(std::size_t(60 * s));
         for (std::size_t k = 0; k < y.size(); ++k) y[k] = std::sqrt(double(k));
         ArgList a;
         a.add(testhost::column(y));
         a.add(testhost::scalar(5));
         return a;
       }},
  };
  // The triangular pair with b dense or sparse, at both index widths (the
  // widths not built are passed over).
  for (const char *name : {"fenwarix", "hobrinth"})
    for (bool index32 : {false, true})
      for (bool sparse_b : {false, true}) {
        const bool upper = std::string(name) == "fenwarix";
        calls.push_back({name, index32, 1, [upper, sparse_b](int s) {
                           const std::size_t n = std::size_t(6 * s);
                           ArgList a;
                           a.add(triangular_factor(n, upper));
                           a.add(sparse_b ? testhost::sparse_from_dense(n, 1, ramp(n))
                                          : testhost::column(ramp(n)));
                           return a;
                         }});
      }
  for (const char *name : {"kaldor", "vestran", "ostrevin"}) {
    for (const auto &h : {haar, four}) {
      calls.push_back({name, false, 3, [h](int s) {
                         ArgList a;
                         const std::size_t m = std::size_t(8 * s), n = 16;
                         a.add(testhost::dense(m, n, ramp(m * n)));
                         a.add(testhost::row(h));
                         a.add(testhost::scalar(double(s)));
                         return a;
                       }});
      calls.push_back({name, false, 3, [h](int s) {
                         ArgList a;
                         a.add(testhost::row(ramp(std::size_t(32 * s))));
                         a.add(testhost::row(h));
                         a.add(testhost::scalar(double(s + 1)));
                         return a;
                       }});
    }
  }
  for (const auto &h : {haar, four}) {
    calls.push_back({"quillomar", false, 2, [h](int s) {
                       ArgList a;
                       const std::size_t m = std::size_t(8 * s), n = 16, L = std::size_t(s);
                       a.add(testhost::dense(m, n, ramp(m * n)));
                       a.add(testhost::dense(m, 3 * n * L, ramp(m * 3 * n * L)));
                       a.add(testhost::row(h));
                       a.add(testhost::scalar(double(L)));
                       return a;
                     }});
    calls.push_back({"quillomar", false, 2, [h](int s) {
                       ArgList a;
                       const std::size_t n = std::size_t(32 * s), L = std::size_t(s + 1);
                       a.add(testhost::row(ramp(n)));
                       a.add(testhost::row(ramp(n * L)));
                       a.add(testhost::row(h));
                       a.add(testhost::scalar(double(L)));
                       return a;
                     }});
  }
  return calls;
}

bool built(const TypicalCall &c) {
  return std::ifstream(testhost::module_path(c.name, c.index32)).good();
}

std::string label(const TypicalCall &c, std::size_t i) {
  return c.name + (c.index32 ? " (32-bit indices)" : "") + " #" + std::to_string(i);
}

}  // namespace

TEST(Allocations, EveryFailedAllocationEndsCleanly) {
  const auto calls = typical_calls();
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const auto &c = calls[i];
    if (!built(c)) continue;
    SCOPED_TRACE(label(c, i));
    for (int size = 1; size <= 2; ++size) {
      const ArgList args = c.args(size);
      const auto clean = module(c.name, c.index32).call(c.nlhs, args.handles());
      expect_ok(clean);
      ASSERT_GT(clean.allocations, 0u);
      for (std::size_t k = 1; k <= clean.allocations; ++k) {
        testhost::fail_allocation_at(k);
        const auto r = module(c.name, c.index32).call(c.nlhs, args.handles());
        expect_error(r, testhost::out_of_memory_message);
        EXPECT_EQ(r.allocations, k) << "the call went on allocating after a failure";
      }
    }
  }
}

TEST(Allocations, ScratchCallsDoNotDependOnSizeOrLevels) {
  const auto calls = typical_calls();
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const auto &c = calls[i];
    if (!built(c)) continue;
    SCOPED_TRACE(label(c, i));
    std::size_t first = 0;
    for (int size = 1; size <= 3; ++size) {
      const ArgList args = c.args(size);
      const auto r = module(c.name, c.index32).call(c.nlhs, args.handles());
      expect_ok(r);
      if (size == 1) first = r.calloc_calls;
      EXPECT_EQ(r.calloc_calls, first) << "size " << size;
      EXPECT_EQ(r.freed_by_module + r.reclaimed_by_host, r.calloc_calls);
    }
  }
}
