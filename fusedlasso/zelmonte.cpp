// zelmonte: x = zelmonte(y, lambda), exact 1-D total-variation denoising:
// x minimizes 0.5*sum((x - y).^2) + lambda*sum(abs(diff(x))).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "mex_binding.h"
#include "zelmonte_chain.h"

namespace {

const lw::Wording wording{"zelmonte: ", "."};

// The scan reads at most this many samples per sample of the signal before
// it gives way to the chain method (zelmonte_chain.h), whose time is linear
// in n on every input. On noisy and piecewise-constant signals the scan
// reads fewer than 2 per sample; on smooth trends with a lambda large for
// them it would read about n per sample.
constexpr std::int64_t reads_per_sample = 4;

bool finite(const double *y, std::int32_t n, double lambda) {
  if (!std::isfinite(lambda)) return false;
  for (std::int32_t k = 0; k < n; ++k)
    if (!std::isfinite(y[k])) return false;
  return true;
}

// Scratch of the chain method, taken at its first use: `capacity` samples'
// worth (chain_scratch_doubles), and `extra` doubles after it.
struct ChainScratch {
  std::int32_t capacity = 0;
  std::int64_t extra = 0;
  double *p = nullptr;
  double *get() {
    if (!p)
      p = lw::scratch_doubles(zelmonte::chain_scratch_doubles(capacity) + std::uint64_t(extra), wording);
    return p;
  }
};

// The whole result by the chain method, in place of a scan that has read
// `reads` samples. Only for finite y and lambda: with a NaN or infinite
// lambda the scan goes on (returns false), so what it gives stays as it
// was. `chain`: scratch shared by several calls (for at least n samples),
// or null to take (and release) it here.
bool give_way(const double *y, double *x, std::int32_t n, double lambda, std::int64_t reads,
              ChainScratch *chain) {
  if (!finite(y, n, lambda)) return false;
  double *scratch = chain ? chain->get() : lw::scratch_doubles(zelmonte::chain_scratch_doubles(n), wording);
  const std::uint64_t steps = zelmonte::denoise_chain(y, x, n, lambda, scratch);
  if (!chain) mxFree(scratch);
  lw::report_work(std::uint64_t(reads) + steps);
  return true;
}

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
// Rounding can make two tests disagree that exact arithmetic ties together;
// two rules keep such a tie from turning into a wrong result:
// - A refresh moves a bound to where its sum is exactly +-lambda; exactly,
//   it can reach the other bound but not pass it (that would have closed
//   the segment). A bound refreshed past the other by rounding is set equal
//   to it, and both sums take the refreshed bound's value, as for two equal
//   bounds.
// - An end-phase closing keeps the other bound for the rest of the signal,
//   and exactly that kept bound never closes a segment: after a downward
//   closing at j_low, the kept v_high has on the rest the sum
//   u_low_before(k) - (k - j_low)(v_high - v_low), below lambda (v_low was
//   not refreshed after j_low) and below 0 at n - 1, and at least -lambda
//   (v_high was feasible before); upward likewise. Where its rounded sum
//   says otherwise, the rest's own bound has met the kept one, and nothing
//   closes (until a closing in a scan step renews both bounds).
// So every closing uses a bound refreshed within the open segment
// (s <= j <= k) and ends before the last sample (a bound refreshed at n - 1
// has the sum +-lambda, which fails the end tests against 0): each restart
// reads within the signal, whatever the values.
//
// The scan counts the samples it reads (one per scan step) at its closings:
// a closing sends it back to the new s, so the samples after s up to the
// one last read are read again (rereads adds them up), and the reads so far
// are s + rereads. Past reads_per_sample * n (checked at each closing) it
// gives way; below that, nothing changes.
void TV1D_denoise(const double *y, double *x, std::int32_t n, double lambda,
                  ChainScratch *chain = nullptr) {
  if (n <= 0) return;
  std::int64_t rereads = 0;
  std::int64_t budget = reads_per_sample * std::int64_t(n);
  // After a closing: true when the chain method has written the result.
  auto over_budget = [&](std::int32_t s_now) {
    if (s_now + rereads <= budget) return false;
    if (give_way(y, x, n, lambda, s_now + rereads, chain)) return true;
    budget = std::numeric_limits<std::int64_t>::max();
    return false;
  };
  const double minus_lambda = -lambda;
  const double two_lambda = lambda + lambda;
  const double kept = std::numeric_limits<double>::quiet_NaN();
  std::int32_t k = 0;
  std::int32_t s = 0;
  std::int32_t j_low = 0;
  std::int32_t j_high = 0;
  double v_low = y[0] - lambda;
  double v_high = y[0] + lambda;
  double u_low = lambda;
  double u_high = minus_lambda;
  // The segment closes downward when u_low falls below close_below, upward
  // when u_high rises above close_above: -lambda and lambda, or NaN (no
  // comparison holds) for a bound kept by an end-phase closing.
  double close_below = minus_lambda;
  double close_above = lambda;

  for (;;) {
    if (k != n - 1) {
      const double t = y[k + 1];
      u_low = u_low + (t - v_low);
      if (u_low < close_below) {  // closes downward
        write_run(x, s, j_low, v_low);
        rereads += k + 1 - s;
        if (over_budget(s)) return;
        k = j_low = j_high = s;
        v_low = y[s];
        v_high = two_lambda + v_low;
        u_low = lambda;
        u_high = minus_lambda;
        close_below = minus_lambda;
        close_above = lambda;
        continue;
      }
      u_high = u_high + (t - v_high);
      if (u_high > close_above) {  // closes upward
        write_run(x, s, j_high, v_high);
        rereads += k + 1 - s;
        if (over_budget(s)) return;
        k = j_low = j_high = s;
        v_high = y[s];
        v_low = v_high - two_lambda;
        u_low = lambda;
        u_high = minus_lambda;
        close_below = minus_lambda;
        close_above = lambda;
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
        if (v_low > v_high) {  // passed v_high by rounding: equal bounds
          v_low = v_high;
          u_high = lambda;
        }
      }
      if (u_high <= minus_lambda) {
        v_high = v_high + (u_high + lambda) / double(k - s + 1);
        j_high = k;
        u_high = minus_lambda;
        if (v_high < v_low) {  // passed v_low by rounding: equal bounds
          v_high = v_low;
          if (j_low != k) u_low = minus_lambda;  // else lambda is below the rounding of v
        }
      }
      continue;
    }

    // The open segment reaches the last sample: its residual sum must end at
    // 0, so the tests are against 0 (and never close a kept bound).
    if (u_low < 0.0 && close_below == minus_lambda) {
      write_run(x, s, j_low, v_low);
      rereads += k - s;
      if (over_budget(s)) return;
      k = j_low = s;
      v_low = y[s];
      u_low = lambda;
      u_high = (lambda + v_low) - v_high;
      close_above = kept;
    } else if (u_high > 0.0 && close_above == lambda) {
      write_run(x, s, j_high, v_high);
      rereads += k - s;
      if (over_budget(s)) return;
      k = j_high = s;
      v_high = y[s];
      u_high = minus_lambda;
      u_low = (v_high - lambda) - v_low;
      close_below = kept;
    } else {
      const double v = v_low + u_low / double(k - s + 1);
      write_run(x, s, k, v);
      lw::report_work(std::uint64_t(n - 1 + rereads));
      return;
    }
  }
}

// Non-finite samples, for a finite lambda > 0. Each is the limit of the
// minimizer as that sample grows without bound:
// - an infinite sample stays as it is, and the term lambda*|x_p - x_q| with
//   its neighbour q becomes a constant pull of lambda on x_q towards it
//   (the cost of x_q gains -+lambda*x_q): each run of finite samples between
//   infinite ones is solved on its own, its first sample raised by lambda
//   beside a +Inf (lowered beside a -Inf), its last sample likewise;
// - from the first NaN at q, the minimizer is NaN from the first sample
//   whose value depends on y[q]: the run that ends at q - 1 is solved with
//   its last sample pulled by +lambda and by -lambda (the two extremes of
//   every finite y[q]), and from the first sample where the two differ to
//   the end the result is NaN; before it, their common value.
// That run is solved by the chain method both times: its forward pass is
// the same up to the last sample, and backward x[k] = x[k+1] clipped to
// [lo_k, hi_k], so the two agree bit for bit from where both are clipped to
// the same bound, exactly where the exact solutions agree. The other runs
// are solved by TV1D_denoise. The time is linear.
// Scratch: a copy of the longest run, taken first; the chain method's
// scratch for that length and room for a second solution, taken once where
// a run first needs it (on noise with a glitch, none: large scratch costs
// its page faults, as much as the scan itself).
void denoise_nonfinite(const double *y, double *x, std::int32_t n, double lambda) {
  std::int32_t longest = 0;
  for (std::int32_t k = 0, length = 0; k < n; ++k) {
    length = std::isfinite(y[k]) ? length + 1 : 0;
    longest = std::max(longest, length);
  }
  double *run = lw::scratch_doubles(std::uint64_t(std::max(longest, std::int32_t(1))), wording);
  ChainScratch chain;
  chain.capacity = longest;
  chain.extra = longest;
  auto pull = [lambda](double infinite) { return infinite > 0.0 ? lambda : -lambda; };
  auto solve = [&](std::int32_t a, std::int32_t m, double first_pull, double last_pull, double *out) {
    for (std::int32_t k = 0; k < m; ++k) run[k] = y[a + k];
    if (first_pull != 0.0) run[0] = run[0] + first_pull;
    if (last_pull != 0.0) run[m - 1] = run[m - 1] + last_pull;
    TV1D_denoise(run, out, m, lambda, &chain);
  };

  std::int32_t q = 0;  // the first NaN, or n
  while (q < n && !std::isnan(y[q])) ++q;
  std::int32_t a = 0;
  while (a < q) {
    if (!std::isfinite(y[a])) {
      x[a] = y[a];
      ++a;
      continue;
    }
    std::int32_t b = a;
    while (b + 1 < q && std::isfinite(y[b + 1])) ++b;
    const std::int32_t m = b - a + 1;
    const double first_pull = a > 0 ? pull(y[a - 1]) : 0.0;
    if (b + 1 < q || q == n) {
      solve(a, m, first_pull, b + 1 < q ? pull(y[b + 1]) : 0.0, x + a);
    } else {  // the run ends beside the first NaN: by the chain method twice
      for (std::int32_t k = 0; k < m; ++k) run[k] = y[a + k];
      if (first_pull != 0.0) run[0] = run[0] + first_pull;
      const double last = run[m - 1];
      double *scratch = chain.get();
      double *other = scratch + zelmonte::chain_scratch_doubles(longest);
      run[m - 1] = last + lambda;
      std::uint64_t steps = zelmonte::denoise_chain(run, x + a, m, lambda, scratch);
      run[m - 1] = last - lambda;
      steps += zelmonte::denoise_chain(run, other, m, lambda, scratch);
      lw::report_work(steps);
      std::int32_t t = 0;
      while (t < m && x[a + t] == other[t]) ++t;
      q = a + t;
    }
    a = b + 1;
  }
  for (std::int32_t k = q; k < n; ++k) x[k] = std::numeric_limits<double>::quiet_NaN();
  if (chain.p) mxFree(chain.p);
  mxFree(run);
}

// The minimizer; non-finite samples by their rules when lambda is a finite
// positive weight (lambda = 0 returns y, a NaN or infinite lambda gives NaN).
void denoise(const double *y, double *x, std::int32_t n, double lambda) {
  if (std::isfinite(lambda) && lambda >= 0.0) {
    for (std::int32_t k = 0; k < n; ++k) {
      if (!std::isfinite(y[k])) {
        if (lambda > 0.0) {
          denoise_nonfinite(y, x, n, lambda);
        } else {  // no coupling: x = y (the scan would spread a NaN)
          for (std::int32_t i = 0; i < n; ++i) x[i] = y[i];
        }
        return;
      }
    }
  }
  TV1D_denoise(y, x, n, lambda);
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
  denoise(rows > 0 ? mxGetPr(y) : nullptr, mxGetPr(x), std::int32_t(rows), lambda);
}
