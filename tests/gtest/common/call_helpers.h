// Shared helpers of the GoogleTest suites: load a module once, call it,
// and check what every call must satisfy whatever its arguments.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "testhost.h"

namespace lwtest {

// Loads a module once per test program. A name given as a string literal
// binds no temporary std::string: GCC 14 and later would take a reference
// returned from a call with a temporary argument for a dangling one.
inline const testhost::Module &module(const char *name, bool index32 = false) {
  static std::map<std::string, std::unique_ptr<testhost::Module>> loaded;
  const std::string key = std::string(name) + (index32 ? "/32" : "");
  auto &m = loaded[key];
  if (!m) m = std::make_unique<testhost::Module>(testhost::module_path(name, index32));
  return *m;
}
inline const testhost::Module &module(const std::string &name, bool index32 = false) {
  return module(name.c_str(), index32);
}

using Args = std::vector<const mxArray *>;

// Owns the argument arrays of a call and hands out the raw handles.
struct ArgList {
  std::vector<testhost::Array> owned;
  ArgList &add(testhost::Array a) {
    owned.push_back(std::move(a));
    return *this;
  }
  Args handles() const {
    Args h;
    for (const auto &a : owned) h.push_back(a.get());
    return h;
  }
};

inline ArgList scalars(const std::vector<double> &vs) {
  ArgList l;
  for (double v : vs) l.add(testhost::scalar(v));
  return l;
}

// What holds after every call: nothing past the provided slots, no input
// changed, no scratch freed that the call did not own.
inline void expect_clean(const testhost::CallResult &r) {
  EXPECT_FALSE(r.slot_overrun) << "a result was stored past the provided slots";
  EXPECT_FALSE(r.inputs_changed) << "an input array was changed";
  EXPECT_FALSE(r.bad_free);
}

inline void expect_error(const testhost::CallResult &r, const std::string &text) {
  expect_clean(r);
  EXPECT_TRUE(r.error) << "expected the error \"" << text << "\"";
  EXPECT_EQ(r.message, text);
  EXPECT_TRUE(r.outputs.empty()) << "a failed call delivered results";
}

// A call whose scratch no host can give (a filter of 2^31 - 1 taps): a
// 64-bit host is asked for it and refuses with its own error; on a 32-bit
// host the count passes the address space, and the module says so itself
// (lw::scratch_doubles) in its own wording, prefix first and ending last.
inline void expect_scratch_refused(const testhost::CallResult &r, const std::string &prefix,
                                   const std::string &ending) {
  if (sizeof(std::size_t) == 8) {
    expect_error(r, testhost::out_of_memory_message);
    return;
  }
  expect_clean(r);
  EXPECT_TRUE(r.error);
  EXPECT_TRUE(r.outputs.empty()) << "a failed call delivered results";
  const std::string start = prefix + "out of memory: no room for ";
  const std::string end = " doubles of scratch" + ending;
  EXPECT_EQ(r.message.rfind(start, 0), 0u) << r.message;
  EXPECT_TRUE(r.message.size() > end.size() &&
              r.message.compare(r.message.size() - end.size(), end.size(), end) == 0)
      << r.message;
}

inline void expect_ok(const testhost::CallResult &r) {
  expect_clean(r);
  EXPECT_FALSE(r.error) << "unexpected error: " << r.message;
}

// First element of result slot k.
inline double out(const testhost::CallResult &r, std::size_t k) {
  if (k >= r.outputs.size() || !r.outputs[k]) {
    ADD_FAILURE() << "no result in slot " << k;
    return 0.0;
  }
  return mxGetPr(r.outputs[k].get())[0];
}

// The results of a scalar module's call with r.outputs.size() slots: the
// first want.size() are 1x1 real dense doubles equal to want, the other
// slots stay empty, and no other array was created.
inline void expect_scalar_results(const testhost::CallResult &r, const std::vector<double> &want) {
  for (std::size_t k = 0; k < want.size(); ++k) {
    EXPECT_EQ(out(r, k), want[k]) << "result " << k;
    const mxArray *a = k < r.outputs.size() ? r.outputs[k].get() : nullptr;
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(mxGetM(a), 1u);
    EXPECT_EQ(mxGetN(a), 1u);
    EXPECT_TRUE(mxIsDouble(a));
    EXPECT_FALSE(mxIsSparse(a));
    EXPECT_FALSE(mxIsComplex(a));
  }
  for (std::size_t k = want.size(); k < r.outputs.size(); ++k)
    EXPECT_EQ(r.outputs[k], nullptr) << "result slot " << k;
  EXPECT_EQ(r.arrays_created, want.size());
  EXPECT_EQ(r.arrays_discarded, 0u);
}

// A call of `name` with the scalar arguments `good`, the one at `position`
// (1-based) replaced by `bad`, fails with `text`.
inline void expect_rejected(const char *name, int nlhs, const std::vector<double> &good,
                            int position, testhost::Array bad, const std::string &text) {
  ArgList a = scalars(good);
  a.owned[std::size_t(position - 1)] = std::move(bad);
  expect_error(module(name).call(nlhs, a.handles()), text);
}

}  // namespace lwtest
