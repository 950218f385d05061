#include "ostrevin_kernel.h"

#include <cstddef>
#include <cstring>

#include "kernel_targets.h"
#include "mex.h"

namespace lw::wavelet {

namespace {

using Index = std::ptrdiff_t;  // storage positions: products of 32-bit counts

// Outputs computed side by side in fpconv. Each output keeps its own sum in
// the written order; working on a block of them at once only lets the
// compiler use vector registers across outputs.
constexpr Index block = 32;

// Tap spacing of level k (k >= 1) on lines of D >= 1 samples: 2^(k-1), but
// never more than D. The size checks make every line longer than one sample
// a multiple of 2^L, so the cap only acts on a single-sample line, where any
// spacing is 0 modulo D and every tap reads that sample. Never overflows.
std::int32_t level_spacing(std::int64_t k, std::int32_t D) {
  if (k - 1 >= 31) return D;
  const std::int64_t s = std::int64_t(1) << (k - 1);
  return s < D ? std::int32_t(s) : D;
}

// Scratch of one call, carved from a single mxCalloc block.
struct Scratch {
  double *low_seg, *high_seg;  // P + lh - 1 each
  double *h0, *h1;             // lh each
};

Scratch take_scratch(std::int32_t P, std::int32_t lh) {
  const std::size_t seg = std::size_t(P) + std::size_t(lh) - 1;
  const std::size_t total = 2 * seg + 2 * std::size_t(lh);
  double *p = static_cast<double *>(mxCalloc(total, sizeof(double)));
  Scratch s{};
  s.low_seg = p;
  s.high_seg = s.low_seg + seg;
  s.h0 = s.high_seg + seg;
  s.h1 = s.h0 + lh;
  return s;
}

}  // namespace

LW_ISA_VARIANTS void fpconv(double *seg, std::int32_t lx, const double *h0, const double *h1,
                            std::int32_t lh, double *lo, double *hi) {
  // Periodic extension to the right; running upwards, a segment shorter than
  // the filter is repeated as often as needed.
  const Index end = Index(lx) + lh - 1;
  for (Index t = lx; t < end; ++t) seg[t] = seg[t - lx];

  double slo[block], shi[block];
  for (Index i0 = 0; i0 < lx; i0 += block) {
    const Index nb = Index(lx) - i0 < block ? Index(lx) - i0 : block;
    for (Index b = 0; b < nb; ++b) slo[b] = shi[b] = 0.0;
    for (Index j = 0; j < lh; ++j) {
      const double c0 = h0[lh - 1 - j], c1 = h1[lh - 1 - j];
      const double *u = seg + i0 + j;
      for (Index b = 0; b < nb; ++b) {
        slo[b] += u[b] * c0;
        shi[b] += u[b] * c1;
      }
    }
    std::memcpy(lo + i0, slo, std::size_t(nb) * sizeof(double));
    std::memcpy(hi + i0, shi, std::size_t(nb) * sizeof(double));
  }
}

namespace {

// The level statement along a whole line: for i = 0 .. D-1,
//   lo[i] = sum_j a[(i + j·s) mod D]*h0[lh-1-j],  hi[i] likewise with h1,
// each sum from +0.0 in increasing j. Splitting the line into its s phases
// and running fpconv on each gives exactly these sums in this order; working
// on the whole line instead reads it once, contiguously, for every level.
// a, lo and hi hold D doubles each; 1 <= s <= D and s divides D.
LW_ISA_VARIANTS void fpconv_spaced(const double *a, Index D, Index s, const double *h0,
                                   const double *h1, std::int32_t lh, double *lo, double *hi) {
  double slo[block], shi[block];
  for (Index i0 = 0; i0 < D; i0 += block) {
    const Index nb = D - i0 < block ? D - i0 : block;
    for (Index b = 0; b < nb; ++b) slo[b] = shi[b] = 0.0;
    Index off = 0;  // (j·s) mod D
    for (Index j = 0; j < lh; ++j) {
      const double c0 = h0[lh - 1 - j], c1 = h1[lh - 1 - j];
      Index start = i0 + off;
      if (start >= D) start -= D;
      const Index first = D - start < nb ? D - start : nb;  // samples before the wrap
      const double *u = a + start;
      if (first == block) {  // the common case: a whole block without a wrap
        for (Index b = 0; b < block; ++b) {
          slo[b] += u[b] * c0;
          shi[b] += u[b] * c1;
        }
        off += s;
        if (off >= D) off -= D;
        continue;
      }
      for (Index b = 0; b < first; ++b) {
        slo[b] += u[b] * c0;
        shi[b] += u[b] * c1;
      }
      const double *w = a - first;  // past the wrap, sample b - first
      for (Index b = first; b < nb; ++b) {
        slo[b] += w[b] * c0;
        shi[b] += w[b] * c1;
      }
      off += s;
      if (off >= D) off -= D;
    }
    std::memcpy(lo + i0, slo, std::size_t(nb) * sizeof(double));
    std::memcpy(hi + i0, shi, std::size_t(nb) * sizeof(double));
  }
}

// One level along a line copied into seg (room for D + lh - 1 doubles).
inline void analyse_line(double *seg, Index D, Index s, const double *h0, const double *h1,
                         std::int32_t lh, double *lo, double *hi) {
  if (s == 1)
    fpconv(seg, std::int32_t(D), h0, h1, lh, lo, hi);
  else
    fpconv_spaced(seg, D, s, h0, h1, lh, lo, hi);
}

// The row pass of a matrix: filters every row of the rows×cols image `in`
// along its columns, with tap spacing s, into the images lo_img and hi_img
// (same shape, not overlapping `in`). Storage is walked column by column,
// all rows at once, so it is read contiguously; every element still gets
// its own sum over j in increasing order from +0.0, exactly as a row
// filtered alone.
LW_ISA_VARIANTS void analyse_rows(const double *in, Index rows, Index cols, Index s,
                                  const double *h0, const double *h1, std::int32_t lh,
                                  double *lo_img, double *hi_img) {
  for (Index c = 0; c < cols; ++c) {
    double *lo = lo_img + c * rows, *hi = hi_img + c * rows;
    for (Index r = 0; r < rows; ++r) lo[r] = hi[r] = 0.0;
    Index at = c;  // (c + j·s) mod cols
    for (Index j = 0; j < lh; ++j) {
      const double c0 = h0[lh - 1 - j], c1 = h1[lh - 1 - j];
      const double *u = in + at * rows;
      for (Index r = 0; r < rows; ++r) {
        lo[r] += u[r] * c0;
        hi[r] += u[r] * c1;
      }
      at += s;
      if (at >= cols) at -= cols;
    }
  }
}

}  // namespace

void OSTREVIN(const double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
              std::int32_t L, double *yl, double *yh) {
  // Working shape: a column is worked on as a row holding the same data.
  const std::int32_t m = N == 1 ? 1 : M;
  const std::int32_t n = N == 1 ? M : N;
  if (m <= 0 || n <= 0) return;  // no samples: the results are empty

  std::memcpy(yl, x, std::size_t(m) * std::size_t(n) * sizeof(double));
  if (L <= 0) return;

  const bool one_d = m == 1;
  const std::int32_t P = m > n ? m : n;
  const Scratch w = take_scratch(P, lh);

  // Analysis filters: h reversed, and h with the even-indexed taps negated.
  for (std::int32_t i = 0; i < lh; ++i) {
    w.h0[i] = h[lh - 1 - i];
    w.h1[i] = h[i];
  }
  for (std::int32_t i = 0; i < lh; i += 2) w.h1[i] = -w.h1[i];

  const Index rows = m, cols = n;
  for (std::int64_t k = 1; k <= L; ++k) {
    const Index co = one_d ? (k - 1) * cols : 3 * cols * (k - 1);
    double *band1 = yh + co * rows;  // in 1-D: the level's only band

    // Row pass: each row of yl along its columns.
    {
      const Index s = level_spacing(k, n);
      if (one_d) {
        std::memcpy(w.low_seg, yl, std::size_t(cols) * sizeof(double));
        analyse_line(w.low_seg, cols, s, w.h0, w.h1, lh, yl, band1);
      } else {
        // A matrix: all rows at once (analyse_rows). The input is parked in
        // this level's band 3, which the column pass fills only afterwards.
        double *in = band1 + 2 * cols * rows;
        std::memcpy(in, yl, std::size_t(rows) * std::size_t(cols) * sizeof(double));
        analyse_rows(in, rows, cols, s, w.h0, w.h1, lh, yl, band1);
      }
    }

    // Column pass: each column of yl, and of the row high-pass just stored in
    // band 1, along its rows.
    if (m > 1) {
      const Index s = level_spacing(k, m);
      double *band2 = band1 + cols * rows, *band3 = band2 + cols * rows;
      const std::size_t bytes = std::size_t(rows) * sizeof(double);
      for (Index c = 0; c < cols; ++c) {
        double *ylc = yl + c * rows, *b1 = band1 + c * rows;
        std::memcpy(w.low_seg, ylc, bytes);
        std::memcpy(w.high_seg, b1, bytes);
        analyse_line(w.low_seg, rows, s, w.h0, w.h1, lh, ylc, b1);
        analyse_line(w.high_seg, rows, s, w.h0, w.h1, lh, band2 + c * rows, band3 + c * rows);
      }
    }
  }
}

}  // namespace lw::wavelet
