// The result shapes each host function documents, for checking a call that
// succeeded. Returns an empty string when the results fit, else what did not.
#pragma once

#include <string>
#include <vector>

#include "testhost.h"

namespace lwfuzz {

inline std::string check_shapes(const std::string &name, int nlhs,
                                const std::vector<const mxArray *> &args,
                                const testhost::CallResult &r) {
  const std::size_t filled = std::size_t(nlhs > 1 ? nlhs : 1);
  auto dims = [&](std::size_t k, std::size_t m, std::size_t n) -> std::string {
    if (k >= filled) return "";
    if (k >= r.outputs.size() || !r.outputs[k]) return "result " + std::to_string(k) + " missing";
    const mxArray *a = r.outputs[k].get();
    if (mxGetM(a) != m || mxGetN(a) != n)
      return "result " + std::to_string(k) + " is " + std::to_string(mxGetM(a)) + "x" +
             std::to_string(mxGetN(a)) + ", expected " + std::to_string(m) + "x" +
             std::to_string(n);
    return "";
  };
  auto all_scalars = [&](std::size_t count) -> std::string {
    for (std::size_t k = 0; k < count; ++k) {
      std::string e = dims(k, 1, 1);
      if (!e.empty()) return e;
    }
    return "";
  };
  if (name == "vintrask" || name == "quorbel" || name == "pelmorin" || name == "sandrevo" ||
      name == "tolbrecht")
    return all_scalars(3);
  if (name == "gravenmor" || name == "brastelin") return all_scalars(8);
  if (args.empty()) return "succeeded without arguments";
  const std::size_t M = mxGetM(args[0]), N = mxGetN(args[0]);
  if (name == "zelmonte") return dims(0, M, 1);
  if (name == "fenwarix" || name == "hobrinth") return args.size() < 2 ? "" : dims(0, mxGetM(args[1]), 1);
  if (name == "lunderjack") {
    const std::size_t n = M > N ? M : N;
    std::string e = dims(0, n + 1, 1);
    if (!e.empty()) return e;
    if (r.outputs.size() > 1 && r.outputs[1] && mxGetM(r.outputs[1].get()) != n + 1)
      return "H has the wrong row count";
    return "";
  }
  if (name == "kaldor" || name == "vestran" || name == "quillomar") {
    std::string e = dims(0, M, N);
    return e.empty() ? dims(1, 1, 1) : e;
  }
  if (name == "ostrevin") {
    std::string e = dims(0, M, N);
    if (!e.empty() || filled < 3) return e;
    if (!r.outputs[2]) return "L missing";
    const double L = mxGetPr(r.outputs[2].get())[0];
    const bool one_d = (M < N ? M : N) == 1;
    const std::size_t cols = std::size_t(L) * N * (one_d ? 1 : 3);
    e = dims(1, M, cols);
    return e.empty() ? dims(2, 1, 1) : e;
  }
  return "";
}

}  // namespace lwfuzz
