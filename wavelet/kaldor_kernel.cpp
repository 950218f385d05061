#include "kaldor_kernel.h"

#include <cstddef>

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

void KALDOR(const double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
            std::int32_t L, double *y) {
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

}  // namespace lw::wavelet
