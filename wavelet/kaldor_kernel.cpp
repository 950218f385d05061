#include "kaldor_kernel.h"

#include <cstddef>

#include "kernel_targets.h"
#include "lanes.h"
#include "mex.h"

namespace lw::wavelet {

void fpsconv(double *s, std::int32_t lx, const double *h0, const double *h1, std::int32_t lhm1,
             double *lo, double *hi) {
  // Periodic extension at the end. The copy runs forward, so when the filter
  // is longer than the block the block is repeated as often as needed.
  double *ext = s + lx;
  for (std::int32_t t = 0; t < lhm1; ++t) ext[t] = s[t];

  // Even phase: output i starts at sample 2i. f0[-j] is h0[lhm1 - j]; the
  // window pointer keeps every index below 2^31 however long the filter.
  const double *f0 = h0 + lhm1;
  const double *f1 = h1 + lhm1;
  const std::int32_t outputs = lx / 2 + lx % 2;
  for (std::int32_t i = 0; i < outputs; ++i) {
    const double *w = s + 2 * std::ptrdiff_t(i);
    double a = 0.0, d = 0.0;
    for (std::int32_t j = 0; j <= lhm1; ++j) {
      a = a + w[j] * f0[-j];
      d = d + w[j] * f1[-j];
    }
    lo[i] = a;
    hi[i] = d;
  }
}

namespace {

// Gathers and filters one line at a time, as the steps are written. Serves
// blocks of odd size, which only a direct kernel call can produce (the
// gateway admits a side above 1 only as a multiple of 2^L).
void kaldor_by_lines(const double *x, std::int32_t M, std::int32_t N, const double *h,
                     std::int32_t lh, std::int32_t L, double *y) {
  if (M <= 0 || N <= 0) return;  // nothing to transform; the data may not exist
  const std::size_t count = std::size_t(M) * std::size_t(N);
  if (L <= 0) {  // zero levels: the identity
    for (std::size_t k = 0; k < count; ++k) y[k] = x[k];
    return;
  }
  if (lh < 1) return;

  // A column is transformed as a row holding the same data.
  const std::int32_t m = N == 1 ? 1 : M;
  const std::int32_t n = N == 1 ? M : N;
  const std::int32_t P = M > N ? M : N;

  // A level stores something only when its row pass has a coefficient pair
  // to keep or its column pass does; once a level stores nothing, neither
  // does any coarser one (its block is no larger), and y stays as it is.
  // So a 1×1 input is done at once whatever L is.
  auto stores = [m](std::int32_t R, std::int32_t C) {
    return (C / 2 > 0 && R > 0) || (m > 1 && R / 2 > 0 && C > 0);
  };
  if (!stores(m, n)) return;

  // All scratch at once: s (a row or column plus its periodic extension),
  // lo and hi (one step's outputs), and the analysis filters h0 and h1.
  // Lengths are counted in size_t: P + lh - 1 may pass 2^31.
  const std::size_t s_len = std::size_t(P) + std::size_t(lh) - 1;
  double *s = static_cast<double *>(
      mxCalloc(s_len + 2 * std::size_t(P) + 2 * std::size_t(lh), sizeof(double)));
  double *lo = s + s_len;
  double *hi = lo + P;
  double *h0 = hi + P;
  double *h1 = h0 + lh;

  // h0 is h reversed; h1 is h with the entries at even positions negated.
  for (std::int32_t i = 0; i < lh; ++i) {
    h0[i] = h[lh - 1 - i];
    h1[i] = i % 2 == 0 ? -h[i] : h[i];
  }

  std::int32_t R = m, C = n;  // the block of the current level
  const double *src = x;      // level 1 reads the signal, later levels y
  for (std::int32_t k = 0; k < L; ++k) {
    if (!stores(R, C)) break;
    const std::int32_t R2 = R / 2, C2 = C / 2;

    // Row pass: rows are strided by m in storage; gather, filter, scatter.
    for (std::int32_t i = 0; i < R; ++i) {
      const double *in = src + i;
      for (std::int32_t t = 0; t < C; ++t) s[t] = in[std::ptrdiff_t(t) * m];
      fpsconv(s, C, h0, h1, lh - 1, lo, hi);
      double *row = y + i;
      for (std::int32_t t = 0; t < C2; ++t) {
        row[std::ptrdiff_t(t) * m] = lo[t];
        row[std::ptrdiff_t(C2 + t) * m] = hi[t];
      }
    }

    // Column pass on what the row pass stored.
    if (m > 1) {
      for (std::int32_t j = 0; j < C; ++j) {
        double *col = y + std::ptrdiff_t(j) * m;
        for (std::int32_t t = 0; t < R; ++t) s[t] = col[t];
        fpsconv(s, R, h0, h1, lh - 1, lo, hi);
        for (std::int32_t t = 0; t < R2; ++t) {
          col[t] = lo[t];
          col[R2 + t] = hi[t];
        }
      }
      R = R2;
    }
    C = C2;
    src = y;
  }
}

// Blocked kernels. Each output is still one sum from 0.0 with its terms in
// increasing tap order; only independent outputs (consecutive outputs of a
// line, or the same output of many rows) share vector lanes, so no bit of
// any sum changes.
constexpr std::int32_t kLanes = 8;  // outputs per step of a line
constexpr std::int32_t kRows = 32;  // rows copied at once where a level works in place

// Copies nb <= W doubles; a full block of W is a fixed-length copy the
// compiler turns into a few vector moves rather than a library call.
template <std::int32_t W>
inline void put(double *to, const double *from, std::int32_t nb) {
  if (nb == W) {
    for (std::int32_t b = 0; b < W; ++b) to[b] = from[b];
  } else {
    for (std::int32_t b = 0; b < nb; ++b) to[b] = from[b];
  }
}

// One line of even length lx = 2H from src (contiguous), its H low-pass
// outputs to lo and high-pass outputs to hi. E and O take the even and odd
// samples extended periodically: sample (2i + j) mod lx is E[i + j/2] for
// even j and O[i + j/2] for odd j, so each tap reads kLanes consecutive
// entries. E and O need H + lh/2 + kLanes doubles each.
template <class Lane>
__attribute__((always_inline)) inline void analyse_line_impl(const double *src, std::int32_t H,
                                                             const double *c0, const double *c1,
                                                             std::int32_t lh, double *E, double *O,
                                                             double *lo, double *hi) {
  for (std::int32_t t = 0; t < H; ++t) {
    E[t] = src[2 * std::ptrdiff_t(t)];
    O[t] = src[2 * std::ptrdiff_t(t) + 1];
  }
  const std::int32_t ext = lh / 2 + kLanes;
  for (std::int32_t t = 0; t < ext; ++t) {  // forward: repeats the line as often as needed
    E[H + t] = E[t];
    O[H + t] = O[t];
  }
  static_assert(kLanes == 8, "a step is one set of lanes of each sum");
  std::int32_t i0 = 0;
  // Two steps at once where both are whole: four chains of additions in
  // flight. They read up to E[H - 1 + lh/2], inside the extension.
  for (; i0 + 2 * kLanes <= H; i0 += 2 * kLanes) {
    Lane a0 = {}, d0 = {}, a1 = {}, d1 = {};
    for (std::int32_t j = 0; j < lh; ++j) {
      const double *w = (j % 2 == 0 ? E : O) + i0 + j / 2;
      const Lane w0 = load<Lane>(w), w1 = load<Lane>(w + kLanes);
      a0 = a0 + w0 * c0[j];
      a1 = a1 + w1 * c0[j];
      d0 = d0 + w0 * c1[j];
      d1 = d1 + w1 * c1[j];
    }
    store(lo + i0, a0);
    store(lo + i0 + kLanes, a1);
    store(hi + i0, d0);
    store(hi + i0 + kLanes, d1);
  }
  for (; i0 < H; i0 += kLanes) {
    Lane a = {}, d = {};
    for (std::int32_t j = 0; j < lh; ++j) {
      const Lane w = load<Lane>((j % 2 == 0 ? E : O) + i0 + j / 2);
      a = a + w * c0[j];
      d = d + w * c1[j];
    }
    const std::int32_t nb = H - i0 < kLanes ? H - i0 : kLanes;
    if (nb == kLanes) {
      store(lo + i0, a);
      store(hi + i0, d);
    } else {
      double ta[kLanes], td[kLanes];
      store(ta, a);
      store(td, d);
      for (std::int32_t b = 0; b < nb; ++b) {
        lo[i0 + b] = ta[b];
        hi[i0 + b] = td[b];
      }
    }
  }
}
#if defined(LW_LANE_VARIANTS)
LW_LANES_DEFAULT void analyse_line(const double *src, std::int32_t H, const double *c0,
                                   const double *c1, std::int32_t lh, double *E, double *O,
                                   double *lo, double *hi) {
  analyse_line_impl<Pairs>(src, H, c0, c1, lh, E, O, lo, hi);
}
#if !defined(LASSOWAVE_WAVELET_ISA_AVX512F)
LW_LANES_AVX2 void analyse_line(const double *src, std::int32_t H, const double *c0,
                                const double *c1, std::int32_t lh, double *E, double *O, double *lo,
                                double *hi) {
  analyse_line_impl<Quads>(src, H, c0, c1, lh, E, O, lo, hi);
}
#endif
#if !defined(LASSOWAVE_WAVELET_ISA_AVX2)
LW_LANES_AVX512F void analyse_line(const double *src, std::int32_t H, const double *c0,
                                   const double *c1, std::int32_t lh, double *E, double *O,
                                   double *lo, double *hi) {
  analyse_line_impl<Quads>(src, H, c0, c1, lh, E, O, lo, hi);
}
#endif
#else
LW_ISA_VARIANTS void analyse_line(const double *src, std::int32_t H, const double *c0,
                                  const double *c1, std::int32_t lh, double *E, double *O,
                                  double *lo, double *hi) {
  analyse_line_impl<Pairs>(src, H, c0, c1, lh, E, O, lo, hi);
}
#endif

// Row pass over rows 0 .. nb-1 of a C-column block, C = 2H even: column c of
// the block starts at src + c*ss, output t of the rows goes to column t
// (low-pass) and column H + t (high-pass) of dst, columns strided by m; dst
// must not overlap what src reads. Rows sit in vector lanes, so every tap
// reads consecutive doubles of one column and no row is ever gathered; a tap
// past the last column wraps to the first (periodic extension).
template <class Lane>
__attribute__((always_inline)) inline void analyse_rows_impl(const double *src, std::ptrdiff_t ss,
                                                             std::int32_t nb, std::int32_t C,
                                                             const double *c0, const double *c1,
                                                             std::int32_t lh, double *dst,
                                                             std::ptrdiff_t m) {
  const std::int32_t H = C / 2;
  for (std::int32_t t = 0; t < H; ++t) {
    double *lo = dst + std::ptrdiff_t(t) * m;
    double *hi = dst + std::ptrdiff_t(H + t) * m;
    std::int32_t b = 0;
    for (; b + 16 <= nb; b += 16) {
      Lane a0 = {}, a1 = {}, d0 = {}, d1 = {};
      std::int32_t c = 2 * t;
      for (std::int32_t j = 0; j < lh; ++j) {
        const double *w = src + std::ptrdiff_t(c) * ss + b;
        const Lane w0 = load<Lane>(w), w1 = load<Lane>(w + 8);
        const double u = c0[j], v = c1[j];
        a0 = a0 + w0 * u;
        a1 = a1 + w1 * u;
        d0 = d0 + w0 * v;
        d1 = d1 + w1 * v;
        c = c + 1 == C ? 0 : c + 1;
      }
      store(lo + b, a0);
      store(lo + b + 8, a1);
      store(hi + b, d0);
      store(hi + b + 8, d1);
    }
    for (; b + 8 <= nb; b += 8) {
      Lane a0 = {}, d0 = {};
      std::int32_t c = 2 * t;
      for (std::int32_t j = 0; j < lh; ++j) {
        const Lane w0 = load<Lane>(src + std::ptrdiff_t(c) * ss + b);
        a0 = a0 + w0 * c0[j];
        d0 = d0 + w0 * c1[j];
        c = c + 1 == C ? 0 : c + 1;
      }
      store(lo + b, a0);
      store(hi + b, d0);
    }
    for (; b < nb; ++b) {
      double a = 0.0, d = 0.0;
      std::int32_t c = 2 * t;
      for (std::int32_t j = 0; j < lh; ++j) {
        const double w = src[std::ptrdiff_t(c) * ss + b];
        a = a + w * c0[j];
        d = d + w * c1[j];
        c = c + 1 == C ? 0 : c + 1;
      }
      lo[b] = a;
      hi[b] = d;
    }
  }
}
#if defined(LW_LANE_VARIANTS)
LW_LANES_DEFAULT void analyse_rows(const double *src, std::ptrdiff_t ss, std::int32_t nb,
                                   std::int32_t C, const double *c0, const double *c1,
                                   std::int32_t lh, double *dst, std::ptrdiff_t m) {
  analyse_rows_impl<Pairs>(src, ss, nb, C, c0, c1, lh, dst, m);
}
#if !defined(LASSOWAVE_WAVELET_ISA_AVX512F)
LW_LANES_AVX2 void analyse_rows(const double *src, std::ptrdiff_t ss, std::int32_t nb,
                                std::int32_t C, const double *c0, const double *c1, std::int32_t lh,
                                double *dst, std::ptrdiff_t m) {
  analyse_rows_impl<Quads>(src, ss, nb, C, c0, c1, lh, dst, m);
}
#endif
#if !defined(LASSOWAVE_WAVELET_ISA_AVX2)
LW_LANES_AVX512F void analyse_rows(const double *src, std::ptrdiff_t ss, std::int32_t nb,
                                   std::int32_t C, const double *c0, const double *c1,
                                   std::int32_t lh, double *dst, std::ptrdiff_t m) {
  analyse_rows_impl<Quads>(src, ss, nb, C, c0, c1, lh, dst, m);
}
#endif
#else
LW_ISA_VARIANTS void analyse_rows(const double *src, std::ptrdiff_t ss, std::int32_t nb,
                                  std::int32_t C, const double *c0, const double *c1,
                                  std::int32_t lh, double *dst, std::ptrdiff_t m) {
  analyse_rows_impl<Pairs>(src, ss, nb, C, c0, c1, lh, dst, m);
}
#endif

}  // namespace

void KALDOR(const double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
            std::int32_t L, double *y) {
  if (M <= 0 || N <= 0) return;  // nothing to transform; the data may not exist
  if (L <= 0) {  // zero levels: the identity
    const std::size_t count = std::size_t(M) * std::size_t(N);
    for (std::size_t k = 0; k < count; ++k) y[k] = x[k];
    return;
  }
  if (lh < 1) return;

  const std::int32_t m = N == 1 ? 1 : M;
  const std::int32_t n = N == 1 ? M : N;
  auto stores = [m](std::int32_t R, std::int32_t C) {
    return (C / 2 > 0 && R > 0) || (m > 1 && R / 2 > 0 && C > 0);
  };
  if (!stores(m, n)) return;

  // The blocked passes need every block that stores something to have even
  // sides (the gateway's size checks guarantee it); anything else goes the
  // line-by-line way.
  {
    std::int32_t R = m, C = n;
    for (std::int32_t k = 0; k < L && stores(R, C); ++k) {
      if (C % 2 != 0 || (m > 1 && R % 2 != 0)) {
        kaldor_by_lines(x, M, N, h, lh, L, y);
        return;
      }
      if (m > 1) R /= 2;
      C /= 2;
    }
  }

  // All scratch at once:
  //  - the tap coefficients of both outputs in tap order, lh each;
  //  - a work area for the larger of a block of kRows rows (kRows*n,
  //    matrices only) and the even and odd samples of one line
  //    (2*(P/2 + lh/2 + kLanes), P the longer side).
  const std::size_t P = std::size_t(M > N ? M : N);
  const std::size_t line_len = P / 2 + std::size_t(lh / 2) + kLanes;
  std::size_t work = 2 * line_len;
  if (m > 1) {
    const std::size_t rows = std::size_t(n) * kRows;
    if (rows > work) work = rows;
  }
  double *c0 = static_cast<double *>(mxCalloc(2 * std::size_t(lh) + work, sizeof(double)));
  double *c1 = c0 + lh;
  double *W = c1 + lh;

  // Tap j of the low-pass output is h0[lh-1-j] = h[j]; of the high-pass
  // output h1[lh-1-j], h1 being h with the entries at even positions negated.
  for (std::int32_t j = 0; j < lh; ++j) {
    c0[j] = h[j];
    const std::int32_t p = lh - 1 - j;
    c1[j] = p % 2 == 0 ? -h[p] : h[p];
  }

  std::int32_t R = m, C = n;
  const double *src = x;
  for (std::int32_t k = 0; k < L; ++k) {
    if (!stores(R, C)) break;
    const std::int32_t R2 = R / 2, C2 = C / 2;
    if (m == 1) {
      analyse_line(src, C2, c0, c1, lh, W, W + line_len, y, y + C2);
    } else {
      if (src != y) {
        // The first level reads the signal and writes the result: its rows
        // are filtered straight from storage.
        analyse_rows(src, m, R, C, c0, c1, lh, y, m);
      } else {
        // Later levels overwrite their own block: kRows rows at a time are
        // first copied to W (column c of the rows at W + c*kRows).
        for (std::int32_t i = 0; i < R; i += kRows) {
          const std::int32_t nb = R - i < kRows ? R - i : kRows;
          for (std::int32_t c = 0; c < C; ++c)
            put<kRows>(W + std::ptrdiff_t(c) * kRows, y + i + std::ptrdiff_t(c) * m, nb);
          analyse_rows(W, kRows, nb, C, c0, c1, lh, y + i, m);
        }
      }
      for (std::int32_t j = 0; j < C; ++j) {
        double *col = y + std::ptrdiff_t(j) * m;
        analyse_line(col, R2, c0, c1, lh, W, W + line_len, col, col + R2);
      }
      R = R2;
    }
    C = C2;
    src = y;
  }
}

}  // namespace lw::wavelet
