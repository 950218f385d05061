// zelmonte: x = zelmonte(y, lambda), exact 1-D total-variation denoising:
// x minimizes 0.5*sum((x - y).^2) + lambda*sum(abs(diff(x))).
#include "mex_binding.h"

namespace {

const lw::Wording wording{"zelmonte: ", "."};

// Stores v at x[s] and advances s, at least once and then while s <= j.
inline void write_run(double *x, std::int32_t &s, std::int32_t j, double v) {
  do {
    x[s] = v;
    ++s;
  } while (s <= j);
}

// Direct forward scan. An open segment starting at s is extended sample by
// sample while some value in [v_low, v_high] stays feasible for it; u_low and
// u_high are the running residual sums that go with the two bounds. When a
// bound becomes infeasible the segment closes at the last position where that
// bound was refreshed (j_low or j_high), those samples get their final value,
// and the scan restarts right after them. Every x[i] is written once, in
// increasing order of i. Requires lambda >= 0 (or NaN).
//
// Rounding can leave the two bounds crossed by an ulp where they should
// coincide, and a closing may then write through the last sample (a refresh
// position kept across an end-phase restart can already be n - 1). Every
// element is written by then, and a restart would read past the end of y, so
// the scan stops there, after any closing. Wherever the scan stays within
// the signal this changes nothing.
void TV1D_denoise(const double *y, double *x, std::int32_t n, double lambda) {
  if (n <= 0) return;
  const double minus_lambda = -lambda;
  const double two_lambda = lambda + lambda;
  std::int32_t k = 0;
  std::int32_t s = 0;
  std::int32_t j_low = 0;
  std::int32_t j_high = 0;
  double v_low = y[0] - lambda;
  double v_high = y[0] + lambda;
  double u_low = lambda;
  double u_high = minus_lambda;

  for (;;) {
    if (k != n - 1) {
      const double t = y[k + 1];
      u_low = u_low + (t - v_low);
      if (u_low < minus_lambda) {  // closes downward
        write_run(x, s, j_low, v_low);
        if (s == n) return;  // every sample written; never restart past the end
        k = j_low = j_high = s;
        v_low = y[s];
        v_high = two_lambda + v_low;
        u_low = lambda;
        u_high = minus_lambda;
        continue;
      }
      u_high = u_high + (t - v_high);
      if (u_high > lambda) {  // closes upward
        write_run(x, s, j_high, v_high);
        if (s == n) return;
        k = j_low = j_high = s;
        v_high = y[s];
        v_low = v_high - two_lambda;
        u_low = lambda;
        u_high = minus_lambda;
        continue;
      }
      k = k + 1;  // t joins the segment
      // The new segment length k - s + 1 is converted only where it divides:
      // converting it on every step costs a quarter of the scan's time when
      // the scan re-reads long stretches.
      if (u_low >= lambda) {
        v_low = v_low + (u_low - lambda) / double(k - s + 1);
        j_low = k;
        u_low = lambda;
      }
      if (u_high <= minus_lambda) {
        v_high = v_high + (u_high + lambda) / double(k - s + 1);
        j_high = k;
        u_high = minus_lambda;
      }
      continue;
    }

    // The open segment reaches the last sample: its residual sum must end at
    // 0, so the tests are against 0.
    if (u_low < 0.0) {
      write_run(x, s, j_low, v_low);
      if (s == n) return;
      k = j_low = s;
      v_low = y[s];
      u_low = lambda;
      u_high = (lambda + v_low) - v_high;
    } else if (u_high > 0.0) {
      write_run(x, s, j_high, v_high);
      if (s == n) return;
      k = j_high = s;
      v_high = y[s];
      u_high = minus_lambda;
      u_low = (v_high - lambda) - v_low;
    } else {
      const double v = v_low + u_low / double(k - s + 1);
      write_run(x, s, k, v);
      return;
    }
  }
}

}  // namespace

extern "C" LASSOWAVE_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                             const mxArray *prhs[]) {
  if (nrhs < 2) lw::fail("zelmonte: requires 2 input arguments.");
  if (nlhs > 1) lw::fail("zelmonte: requires 1 output argument.");

  // y: real dense double; its first column is the signal. With no rows the
  // signal is empty (0x1 result); rows without columns hold no samples.
  const mxArray *y = prhs[0];
  lw::require_real_dense_double(y, wording, 1, "y", true);
  const std::size_t rows = mxGetM(y);
  if (rows > 0 && mxGetN(y) == 0)
    lw::fail("zelmonte: argument 1 (y) has rows but no columns, so it holds no samples.");
  lw::require_int32_size(rows, wording, 1, "y", "rows");

  lw::require_real_dense_double(prhs[1], wording, 2, "lambda");
  const double lambda = mxGetScalar(prhs[1]);
  if (lambda < 0.0) lw::fail("zelmonte: argument 2 (lambda) must not be negative.");

  mxArray *x = lw::create_result(nlhs, plhs, 0, rows, 1);
  TV1D_denoise(rows > 0 ? mxGetPr(y) : nullptr, mxGetPr(x), std::int32_t(rows), lambda);
}
