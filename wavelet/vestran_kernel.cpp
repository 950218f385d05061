#include "vestran_kernel.h"

#include <cstddef>

#include "mex.h"

namespace lw::wavelet {

void bpsconv(double *out, std::int32_t H, const double *g0, const double *g1, std::int32_t lhm1,
             std::int32_t lhhm1, double *A, double *D) {
  if (H <= 0) return;  // no coefficient pair: nothing to rebuild

  // Periodic extension at the front. Running downward, the H coefficients
  // are repeated as often as needed when the filter is longer than the block.
  const double *Ah = A + H;
  const double *Dh = D + H;
  for (std::int32_t i = lhhm1 - 1; i >= 0; --i) {
    A[i] = Ah[i];
    D[i] = Dh[i];
  }

  const std::int32_t lhh = lhhm1 + 1;
  for (std::int32_t i = 0; i < H; ++i) {
    const double *a = A + i;
    const double *d = D + i;
    double even = 0.0, odd = 0.0;
    for (std::int32_t k = 0; k < lhh; ++k) {
      const std::ptrdiff_t p = std::ptrdiff_t(lhm1) - 1 - 2 * std::ptrdiff_t(k);  // lh - 2 - 2k
      even = even + a[k] * g0[p];
      even = even + d[k] * g1[p];
      odd = odd + a[k] * g0[p + 1];
      odd = odd + d[k] * g1[p + 1];
    }
    out[2 * std::ptrdiff_t(i)] = even;
    out[2 * std::ptrdiff_t(i) + 1] = odd;
  }
}

void VESTRAN(double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
             std::int32_t L, const double *y) {
  if (M <= 0 || N <= 0) return;  // nothing to rebuild; the data may not exist
  const std::size_t count = std::size_t(M) * std::size_t(N);
  for (std::size_t k = 0; k < count; ++k) x[k] = y[k];
  if (L <= 0 || lh < 2) return;

  // A column is treated as a row holding the same data.
  const std::int32_t m = N == 1 ? 1 : M;
  const std::int32_t n = N == 1 ? M : N;
  const std::int32_t P = M > N ? M : N;

  // Coarsest block: n / 2^(L-1) columns and (for a matrix) m / 2^(L-1) rows,
  // by repeated halving. Once a side is 0 every block is empty and the
  // result is the copy; so the halving stops after at most 31 steps, and a
  // block that survives it means L <= 31.
  std::int32_t R = m, C = n;
  for (std::int32_t k = 1; k < L; ++k) {
    C /= 2;
    if (m != 1) R /= 2;
    if (C == 0 || R == 0) return;
  }

  // All scratch at once: out (one step's samples, zero to begin with), A and
  // D (coefficients with room in front for the extension), g0 and g1.
  const std::int32_t lhh = lh / 2;
  const std::size_t ad_len = std::size_t(P) + std::size_t(lhh) - 1;
  double *out = static_cast<double *>(
      mxCalloc(std::size_t(P) + 2 * ad_len + 2 * std::size_t(lh), sizeof(double)));
  double *A = out + P;
  double *D = A + ad_len;
  double *g0 = D + ad_len;
  double *g1 = g0 + lh;

  // g0 is h; g1 is h reversed with the entries at odd positions negated.
  for (std::int32_t i = 0; i < lh; ++i) {
    g0[i] = h[i];
    g1[i] = i % 2 == 0 ? h[lh - 1 - i] : -h[lh - 1 - i];
  }
  double *a = A + (lhh - 1);  // where the coefficients go
  double *d = D + (lhh - 1);

  for (std::int32_t k = L; k >= 1; --k) {
    const std::int32_t R2 = R / 2, C2 = C / 2;

    // Column pass: the top and bottom halves of each column of the block.
    if (m > 1) {
      for (std::int32_t j = 0; j < C; ++j) {
        double *col = x + std::ptrdiff_t(j) * m;
        for (std::int32_t t = 0; t < R2; ++t) {
          a[t] = col[t];
          d[t] = col[R2 + t];
        }
        bpsconv(out, R2, g0, g1, lh - 1, lhh - 1, A, D);
        for (std::int32_t t = 0; t < R; ++t) col[t] = out[t];
      }
    }

    // Row pass: the left and right halves of each row (strided by m).
    for (std::int32_t i = 0; i < R; ++i) {
      double *row = x + i;
      for (std::int32_t t = 0; t < C2; ++t) {
        a[t] = row[std::ptrdiff_t(t) * m];
        d[t] = row[std::ptrdiff_t(C2 + t) * m];
      }
      bpsconv(out, C2, g0, g1, lh - 1, lhh - 1, A, D);
      for (std::int32_t t = 0; t < C; ++t) row[std::ptrdiff_t(t) * m] = out[t];
    }

    // The next finer block doubles this one (never past the input's size).
    if (k > 1) {
      C *= 2;
      if (m != 1) R *= 2;
    }
  }
}

}  // namespace lw::wavelet
