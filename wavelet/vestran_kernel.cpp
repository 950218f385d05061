#include "vestran_kernel.h"

#include <cstddef>

#include "kernel_targets.h"
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

namespace {

// Gathers and rebuilds one line at a time, as the steps are written. Serves
// the shapes whose blocks do not tile the input by exact halving, which only
// a direct kernel call can produce (the gateway admits a side above 1 only
// as a multiple of 2^L).
void vestran_by_lines(double *x, std::int32_t M, std::int32_t N, const double *h,
                      std::int32_t lh, std::int32_t L, const double *y) {
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


// Blocked kernels. Each output is still one sum from 0.0 with its terms in
// increasing k, the low-pass term and then the high-pass term; only
// independent outputs (consecutive output pairs of a line, or the same pair
// of several rows) share a loop, so the compiler keeps them in vector lanes
// without changing a bit of any sum.
constexpr std::int32_t kLanes = 8;  // rows per gathered block
constexpr std::int32_t kStep = 8;   // output pairs (or rows) per inner loop: four sums
                                    // of kStep lanes, which still fit the registers

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

// Tap k of the four sums: e0/e1 the low/high terms of out[2i], o0/o1 those
// of out[2i+1].
struct Taps {
  const double *e0, *e1, *o0, *o1;
};

// kStep output pairs starting at pair i0 of a line, a[k + b] and d[k + b]
// being the coefficients of tap k for pair i0 + b; stores the first nb
// pairs at out[2*i0 ...]. Reads every tap before storing, so out may overlap
// the coefficients the block reads.
inline void synthesise_pairs(const double *a, const double *d, std::int32_t lhh, const Taps &g,
                             std::int32_t nb, double *out) {
  double e[kStep] = {}, o[kStep] = {};
  if (nb == kStep) {
    for (std::int32_t k = 0; k < lhh; ++k) {
      const double e0 = g.e0[k], e1 = g.e1[k], o0 = g.o0[k], o1 = g.o1[k];
      for (std::int32_t b = 0; b < kStep; ++b) {
        e[b] = e[b] + a[k + b] * e0;
        e[b] = e[b] + d[k + b] * e1;
        o[b] = o[b] + a[k + b] * o0;
        o[b] = o[b] + d[k + b] * o1;
      }
    }
  } else {  // a short block: read no coefficient past the last pair's
    for (std::int32_t k = 0; k < lhh; ++k)
      for (std::int32_t b = 0; b < nb; ++b) {
        e[b] = e[b] + a[k + b] * g.e0[k];
        e[b] = e[b] + d[k + b] * g.e1[k];
        o[b] = o[b] + a[k + b] * g.o0[k];
        o[b] = o[b] + d[k + b] * g.o1[k];
      }
  }
  for (std::int32_t b = 0; b < nb; ++b) {
    out[2 * b] = e[b];
    out[2 * b + 1] = o[b];
  }
}

// One line: rebuilds out[0 .. 2H-1] from the H low coefficients lo[] and
// the H high coefficients hi[]. Pair i draws on coefficients
// (i - (lhh-1) + k) modulo H, k = 0 .. lhh-1. The pairs from lhh - 1 on
// need no wrap-around and read lo and hi where they lie; the first ones
// read a periodic copy in A and D (each lhh - 1 + min(H, lhh - 1 + kStep)
// + kStep doubles), taken before anything is stored. out may be the array
// lo lies at the start of (the in-place levels): the pairs are rebuilt from
// the last down, and pair i stores at 2i and 2i + 1, beyond every
// coefficient the pairs below it read. hi must not overlap out.
LW_ISA_VARIANTS void synthesise_line(const double *lo, const double *hi, std::int32_t H,
                                     std::int32_t lhh, const Taps &g, double *A, double *D,
                                     double *out) {
  std::int32_t head = ((lhh - 1 + kStep - 1) / kStep) * kStep;  // pairs that wrap, rounded up
  if (head > H) head = H;
  const std::int32_t copied = lhh - 1 + (head + kStep < H ? head + kStep : H);
  for (std::int32_t p = 0; p < copied; ++p) {
    std::int32_t c = (p - (lhh - 1)) % H;
    if (c < 0) c += H;
    A[p] = lo[c];
    D[p] = hi[c];
  }
  const double *a = lo - (lhh - 1), *d = hi - (lhh - 1);  // a[i + k]: tap k of pair i
  for (std::int32_t i0 = head + ((H - head - 1) / kStep) * kStep; i0 >= head && i0 < H;
       i0 -= kStep) {
    const std::int32_t nb = H - i0 < kStep ? H - i0 : kStep;
    synthesise_pairs(a + i0, d + i0, lhh, g, nb, out + 2 * std::ptrdiff_t(i0));
  }
  for (std::int32_t i0 = 0; i0 < head; i0 += kStep) {
    const std::int32_t nb = head - i0 < kStep ? head - i0 : kStep;
    synthesise_pairs(A + i0, D + i0, lhh, g, nb, out + 2 * std::ptrdiff_t(i0));
  }
}

// Row pass of nb <= kLanes consecutive rows of a C-column block (C = 2H),
// rows strided by m, in place: the left and right halves of the rows are
// gathered side by side into A and D (entry p*kLanes + b is coefficient
// p - (lhh-1) of row b, the lhh - 1 entries in front the periodic
// extension), so every tap reads kLanes contiguous doubles and each output
// pair of the rows is stored kStep rows at a time. A and D need
// (lhh - 1 + H)*kLanes doubles each.
LW_ISA_VARIANTS void synthesise_rows(double *rows, std::int32_t m, std::int32_t nb,
                                     std::int32_t H, std::int32_t lhh, const Taps &g, double *A,
                                     double *D) {
  const std::ptrdiff_t front = std::ptrdiff_t(lhh - 1) * kLanes;
  for (std::int32_t t = 0; t < H; ++t) {
    const double *a = rows + std::ptrdiff_t(t) * m;
    const double *d = rows + std::ptrdiff_t(H + t) * m;
    double *ga = A + front + std::ptrdiff_t(t) * kLanes;
    double *gd = D + front + std::ptrdiff_t(t) * kLanes;
    put<kLanes>(ga, a, nb);
    put<kLanes>(gd, d, nb);
  }
  for (std::ptrdiff_t p = front - 1; p >= 0; --p) {
    A[p] = A[std::ptrdiff_t(H) * kLanes + p];
    D[p] = D[std::ptrdiff_t(H) * kLanes + p];
  }
  for (std::int32_t b0 = 0; b0 < nb; b0 += kStep) {
    const std::int32_t sb = nb - b0 < kStep ? nb - b0 : kStep;
    for (std::int32_t t = 0; t < H; ++t) {
      double e[kStep] = {}, o[kStep] = {};
      const double *a = A + std::ptrdiff_t(t) * kLanes + b0;
      const double *d = D + std::ptrdiff_t(t) * kLanes + b0;
      for (std::int32_t k = 0; k < lhh; ++k, a += kLanes, d += kLanes) {
        const double e0 = g.e0[k], e1 = g.e1[k], o0 = g.o0[k], o1 = g.o1[k];
        for (std::int32_t b = 0; b < kStep; ++b) {
          e[b] = e[b] + a[b] * e0;
          e[b] = e[b] + d[b] * e1;
          o[b] = o[b] + a[b] * o0;
          o[b] = o[b] + d[b] * o1;
        }
      }
      double *even = rows + 2 * std::ptrdiff_t(t) * m + b0;
      double *odd = even + m;
      put<kStep>(even, e, sb);
      put<kStep>(odd, o, sb);
    }
  }
}

}  // namespace

void VESTRAN(double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
             std::int32_t L, const double *y) {
  if (M <= 0 || N <= 0) return;  // nothing to rebuild; the data may not exist
  const std::int32_t m = N == 1 ? 1 : M;
  const std::int32_t n = N == 1 ? M : N;

  // The blocked passes need the blocks to tile the input by exact halving
  // with even sides (the gateway's size checks guarantee that for every
  // L >= 1): then level 1 rewrites every entry, so x need not start as a
  // copy of y; coefficients are read from y where no coarser level has
  // written. Everything else goes the line-by-line way.
  bool blocked = L >= 1 && L <= 30 && lh >= 2;
  if (blocked) {
    const std::int64_t scale = std::int64_t(1) << (L - 1);
    blocked = n % (2 * scale) == 0 && (m == 1 || m % (2 * scale) == 0);
  }
  if (!blocked) {
    vestran_by_lines(x, M, N, h, lh, L, y);
    return;
  }

  // All scratch at once:
  //  - the taps of the four sums, lhh each;
  //  - a work area for the larger of the low and high halves of kLanes
  //    gathered rows (2*(lhh - 1 + n/2)*kLanes, matrices only) and the
  //    wrapped start of one line (2*(lhh - 1 + min(P/2, lhh - 1 + kStep)
  //    + kStep), P the longer side).
  const std::int32_t lhh = lh / 2;
  const std::size_t P = std::size_t(M > N ? M : N);
  const std::size_t wrap = std::size_t(lhh) - 1 + kStep;
  const std::size_t line_len = std::size_t(lhh) - 1 + (P / 2 < wrap ? P / 2 : wrap) + kStep;
  std::size_t half = line_len;
  if (m > 1) {
    const std::size_t rows = (std::size_t(lhh) - 1 + std::size_t(n) / 2) * kLanes;
    if (rows > half) half = rows;
  }
  double *taps = static_cast<double *>(mxCalloc(4 * std::size_t(lhh) + 2 * half, sizeof(double)));
  // g0 is h; g1 is h reversed with the entries at odd positions negated.
  // Sum k of out[2i] takes g0, g1 at lh-2-2k; of out[2i+1] at lh-1-2k.
  double *e0 = taps, *e1 = e0 + lhh, *o0 = e1 + lhh, *o1 = o0 + lhh;
  auto g1 = [h, lh](std::int32_t i) { return i % 2 == 0 ? h[lh - 1 - i] : -h[lh - 1 - i]; };
  for (std::int32_t k = 0; k < lhh; ++k) {
    e0[k] = h[lh - 2 - 2 * k];
    e1[k] = g1(lh - 2 - 2 * k);
    o0[k] = h[lh - 1 - 2 * k];
    o1[k] = g1(lh - 1 - 2 * k);
  }
  const Taps g{e0, e1, o0, o1};
  double *A = o1 + lhh;
  double *D = A + half;

  for (std::int32_t k = L; k >= 1; --k) {
    const std::int32_t C = n >> (k - 1), H = C / 2;
    // The low-low quarter is the previous (coarser) level's output, except
    // at the coarsest level; every other coefficient is still y's.
    const double *low = k == L ? y : x;
    if (m == 1) {
      synthesise_line(low, y + H, H, lhh, g, A, D, x);
      continue;
    }
    const std::int32_t R = m >> (k - 1), R2 = R / 2;
    for (std::int32_t j = 0; j < C; ++j) {
      const std::ptrdiff_t at = std::ptrdiff_t(j) * m;
      synthesise_line((j < H ? low : y) + at, y + at + R2, R2, lhh, g, A, D, x + at);
    }
    for (std::int32_t i = 0; i < R; i += kLanes) {
      const std::int32_t nb = R - i < kLanes ? R - i : kLanes;
      synthesise_rows(x + i, m, nb, H, lhh, g, A, D);
    }
  }
}

}  // namespace lw::wavelet
