// Properties of the results a host function promises, for checking a call
// that succeeded. Returns an empty string when the results hold, else what
// did not.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "testhost.h"

namespace lwfuzz {

// zelmonte: x minimizes 0.5*|x - y|^2 + lambda*TV(x) to rounding. With z the
// running sum of y - x: |z| <= lambda, z = -lambda where x steps up, +lambda
// where it steps down, z = 0 at the end; violations relative to
// max(lambda, max|y|) below 1e-9, and steps below 1e-9 of that scale carry no
// sign (a tie may show as an ulp step). Checked where no sum can overflow:
// finite samples and lambda up to 1e150; the scale is at least 1e-290.
inline std::string check_denoised(const std::vector<const mxArray *> &args,
                                  const testhost::CallResult &r) {
  if (args.size() < 2 || r.outputs.empty() || !r.outputs[0]) return "";
  const std::size_t n = mxGetM(args[0]);
  if (n == 0 || mxGetM(r.outputs[0].get()) != n) return "";
  const double *y = mxGetPr(args[0]);
  const double *x = mxGetPr(r.outputs[0].get());
  const double lambda = mxGetScalar(args[1]);
  const double limit = 1e150;
  if (!(lambda >= 0 && lambda <= limit)) return "";
  double scale = lambda;
  for (std::size_t k = 0; k < n; ++k) {
    if (!(std::fabs(y[k]) <= limit)) return "";
    scale = std::max(scale, std::fabs(y[k]));
  }
  // Below the normal range the sums round coarser than 1e-9 of the values.
  scale = std::max(scale, 1e-290);
  long double z = 0;
  double worst = 0;
  auto note = [&](long double gap) { worst = std::max(worst, double(gap) / scale); };
  for (std::size_t k = 0; k < n; ++k) {
    z += (long double)y[k] - (long double)x[k];
    note(std::fabs(z) - lambda);
    if (k + 1 < n && std::fabs(x[k + 1] - x[k]) > 1e-9 * scale)
      note(std::fabs(z - (x[k + 1] > x[k] ? -lambda : lambda)));
  }
  note(std::fabs(z));
  if (!(worst < 1e-9))
    return "not the minimizer: optimality violated by " + std::to_string(worst) + " of the scale";
  return "";
}

// zelmonte's work (samples its scan read plus the steps of its linear
// method, counted by the module in the test host) stays within 10 per sample
// on finite samples with a finite lambda: the scan gives way past 4 reads
// per sample, may read one pass more before it checks, and the linear method
// takes at most 5 steps per sample. With NaN or Inf samples each finite run
// is solved so, and the run before the first NaN twice by the linear
// method: 20 per sample (where a pull of lambda cannot overflow a sample).
inline std::string check_denoising_work(const std::vector<const mxArray *> &args,
                                        const testhost::CallResult &r) {
  if (args.size() < 2) return "";
  const std::size_t n = mxGetM(args[0]);
  const double *y = mxGetPr(args[0]);
  const double lambda = mxGetScalar(args[1]);
  if (!std::isfinite(lambda)) return "";
  std::uint64_t per_sample = 10;
  for (std::size_t k = 0; k < n; ++k) {
    if (!std::isfinite(y[k])) {
      per_sample = 20;
    } else if (std::fabs(y[k]) > 1e300 && lambda > 1e300) {
      return "";
    }
  }
  if (r.work > per_sample * std::uint64_t(n))
    return "work " + std::to_string(r.work) + " for " + std::to_string(n) + " samples";
  return "";
}

inline std::string check_values(const std::string &name, const std::vector<const mxArray *> &args,
                                const testhost::CallResult &r) {
  if (name != "zelmonte") return "";
  const std::string work = check_denoising_work(args, r);
  return work.empty() ? check_denoised(args, r) : work;
}

}  // namespace lwfuzz
