// Helpers of the kaldor/vestran suites: calling a transform through the test
// host, a few scaling filters, and plain reference transforms written from
// the closed forms (indices taken modulo the block length, no extension).
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "call_helpers.h"
#include "isa_paths.h"

namespace lwtest::decimated {

using Vec = std::vector<double>;

// Orthonormal scaling filters: Haar and the Daubechies filters of 4, 6 and
// 8 taps (extremal phase, computed to 50 digits by spectral factorisation;
// order reversed against the usual tables, which is just as orthonormal).
inline const Vec &haar() {
  static const Vec h{1 / std::sqrt(2.0), 1 / std::sqrt(2.0)};
  return h;
}
inline const Vec &db4() {
  static const Vec h{-0.12940952255126038117, 0.22414386804201338103, 0.83651630373780790558,
                     0.48296291314453414337};
  return h;
}
inline const Vec &db6() {
  static const Vec h{0.035226291885709536603, -0.085441273882026661693,
                     -0.1350110200102545887,  0.4598775021184915701,
                     0.80689150931109257649,  0.332670552950082616};
  return h;
}
inline const Vec &db8() {
  static const Vec h{-0.010597401785069032105, 0.032883011666885199735, 0.030841381835560763627,
                     -0.18703481171909308408,  -0.027983769416859854211, 0.63088076792985890788,
                     0.71484657055291564709,   0.23037781330889650086};
  return h;
}

// Deterministic test data in [-1, 1).
inline Vec pseudo_random(std::size_t count, std::uint32_t seed) {
  Vec v(count);
  std::uint64_t s = seed * 2654435761u + 1;
  for (double &x : v) {
    s = s * 6364136223846793005u + 1442695040888963407u;
    x = double(s >> 11) / double(std::uint64_t(1) << 52) - 1.0;
  }
  return v;
}

struct Transformed {
  testhost::CallResult r;
  Vec values;        // result 1, column-major
  std::size_t m = 0, n = 0;
  double L = -1;     // result 2, when delivered
};

// Calls name(x, h[, L]) with two results requested, on the instruction-set
// variant of the kernels selected in isa_paths.h; expects success.
inline Transformed transform(const std::string &name, std::size_t m, std::size_t n, const Vec &x,
                             const Vec &h, const double *L = nullptr) {
  ArgList a;
  a.add(testhost::dense(m, n, x)).add(testhost::row(h));
  if (L) a.add(testhost::scalar(*L));
  Transformed t;
  t.r = isa::wavelet_module(name).call(2, a.handles());
  expect_ok(t.r);
  if (!t.r.error && !t.r.outputs.empty() && t.r.outputs[0]) {
    t.values = testhost::values(t.r.outputs[0].get());
    t.m = mxGetM(t.r.outputs[0].get());
    t.n = mxGetN(t.r.outputs[0].get());
    if (t.r.outputs.size() > 1 && t.r.outputs[1]) t.L = out(t.r, 1);
  }
  return t;
}

inline Vec forward(std::size_t m, std::size_t n, const Vec &x, const Vec &h, double L) {
  return transform("kaldor", m, n, x, h, &L).values;
}
inline Vec inverse(std::size_t m, std::size_t n, const Vec &y, const Vec &h, double L) {
  return transform("vestran", m, n, y, h, &L).values;
}

// One analysis step over a periodic block: lo[i] = sum_j s[(2i+j) mod lx] h[j],
// hi[i] = sum_j s[(2i+j) mod lx] (-1)^(lh-j) h[lh-1-j].
inline void ref_analysis(const Vec &s, const Vec &h, Vec &lo, Vec &hi) {
  const std::size_t lx = s.size(), lh = h.size();
  lo.assign((lx + 1) / 2, 0.0);
  hi.assign((lx + 1) / 2, 0.0);
  for (std::size_t i = 0; 2 * i < lx; ++i) {
    double a = 0.0, d = 0.0;
    for (std::size_t j = 0; j < lh; ++j) {
      const double v = s[(2 * i + j) % lx];
      a = a + v * h[j];
      d = d + v * ((lh - j) % 2 ? -h[lh - 1 - j] : h[lh - 1 - j]);
    }
    lo[i] = a;
    hi[i] = d;
  }
}

// One synthesis step: H low and H high coefficients to 2H samples, with
// lhh = lh/2 coefficients of each kind per output pair (periodic).
inline Vec ref_synthesis(const Vec &a, const Vec &d, const Vec &h) {
  const std::size_t H = a.size(), lh = h.size(), lhh = lh / 2;
  Vec out(2 * H, 0.0);
  auto g1 = [&](std::size_t i) { return i % 2 ? -h[lh - 1 - i] : h[lh - 1 - i]; };
  for (std::size_t i = 0; i < H; ++i) {
    double e = 0.0, o = 0.0;
    for (std::size_t k = 0; k < lhh; ++k) {
      // coefficient (i + k - (lhh-1)) modulo H
      const std::size_t c = (i + k + H * lhh - (lhh - 1)) % H;
      e = e + a[c] * h[lh - 2 - 2 * k];
      e = e + d[c] * g1(lh - 2 - 2 * k);
      o = o + a[c] * h[lh - 1 - 2 * k];
      o = o + d[c] * g1(lh - 1 - 2 * k);
    }
    out[2 * i] = e;
    out[2 * i + 1] = o;
  }
  return out;
}

// Reference forward transform on the working shape (a column as a row).
inline Vec ref_forward(std::size_t M, std::size_t N, const Vec &x, const Vec &h, int L) {
  const std::size_t m = N == 1 ? 1 : M, n = N == 1 ? M : N;
  Vec y = x;
  std::size_t R = m, C = n;
  Vec s, lo, hi;
  for (int k = 0; k < L; ++k) {
    for (std::size_t i = 0; i < R; ++i) {
      s.assign(C, 0.0);
      for (std::size_t t = 0; t < C; ++t) s[t] = y[i + t * m];
      ref_analysis(s, h, lo, hi);
      for (std::size_t t = 0; t < C / 2; ++t) {
        y[i + t * m] = lo[t];
        y[i + (C / 2 + t) * m] = hi[t];
      }
    }
    if (m > 1) {
      for (std::size_t j = 0; j < C; ++j) {
        s.assign(y.begin() + long(j * m), y.begin() + long(j * m + R));
        ref_analysis(s, h, lo, hi);
        for (std::size_t t = 0; t < R / 2; ++t) {
          y[t + j * m] = lo[t];
          y[R / 2 + t + j * m] = hi[t];
        }
      }
      R /= 2;
    }
    C /= 2;
  }
  return y;
}

// Reference inverse transform: coarsest level first, columns before rows.
inline Vec ref_inverse(std::size_t M, std::size_t N, const Vec &y, const Vec &h, int L) {
  const std::size_t m = N == 1 ? 1 : M, n = N == 1 ? M : N;
  Vec x = y;
  for (int k = L; k >= 1; --k) {
    const std::size_t C = n >> (k - 1), R = m == 1 ? 1 : m >> (k - 1);
    if (m > 1)
      for (std::size_t j = 0; j < C; ++j) {
        Vec a(R / 2), d(R / 2);
        for (std::size_t t = 0; t < R / 2; ++t) {
          a[t] = x[t + j * m];
          d[t] = x[R / 2 + t + j * m];
        }
        const Vec o = ref_synthesis(a, d, h);
        for (std::size_t t = 0; t < R; ++t) x[t + j * m] = o[t];
      }
    for (std::size_t i = 0; i < R; ++i) {
      Vec a(C / 2), d(C / 2);
      for (std::size_t t = 0; t < C / 2; ++t) {
        a[t] = x[i + t * m];
        d[t] = x[i + (C / 2 + t) * m];
      }
      const Vec o = ref_synthesis(a, d, h);
      for (std::size_t t = 0; t < C; ++t) x[i + t * m] = o[t];
    }
  }
  return x;
}

inline double max_abs_diff(const Vec &a, const Vec &b) {
  double d = a.size() == b.size() ? 0.0 : INFINITY;
  for (std::size_t k = 0; k < a.size() && k < b.size(); ++k) d = std::fmax(d, std::fabs(a[k] - b[k]));
  return d;
}

inline double sum_of_squares(const Vec &v) {
  double s = 0.0;
  for (double x : v) s += x * x;
  return s;
}

inline void expect_near_all(const Vec &got, const Vec &want, double tol) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t k = 0; k < got.size(); ++k) EXPECT_NEAR(got[k], want[k], tol) << "at " << k;
}

// A test shape and the most levels it admits (a side above 1 a multiple of
// 2^max_L).
struct Shape {
  std::size_t m, n;
  int max_L;
};

// Each of a call's allocations (the result, the level scalar, the scratch)
// refused in turn: the call ends with the host's error, cleanly.
inline void expect_allocation_failures_end_cleanly(const char *name) {
  for (std::size_t k = 1; k <= 3; ++k) {
    ArgList a;
    a.add(testhost::dense(8, 8, pseudo_random(64, 4))).add(testhost::row(db4()));
    testhost::fail_allocation_at(k);
    expect_error(module(name).call(2, a.handles()), testhost::out_of_memory_message);
  }
  testhost::fail_allocation_at(0);
}

}  // namespace lwtest::decimated
