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

}  // namespace lwtest
