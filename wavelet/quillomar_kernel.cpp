#include "quillomar_kernel.h"

#include <cstddef>
#include <cstring>

#include "kernel_targets.h"
#include "mex.h"

namespace lw::wavelet {

namespace {

using Index = std::ptrdiff_t;  // storage positions: products of 32-bit counts

// Outputs computed side by side in bpconv (each with its own running sum in
// the written order).
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
  double *R;                       // m·n in 2-D (the rebuilt row high-pass), else null
  double *line1;                   // P: a matrix row's rebuilt values
  double *seg0, *seg1, *seg2, *seg3;  // P + lh - 1 each: low-pass, bands 1, 2, 3
  double *g0, *g1;                 // lh each
};

Scratch take_scratch(std::int32_t m, std::int32_t n, std::int32_t lh) {
  const std::size_t P = std::size_t(m > n ? m : n);
  const std::size_t image = m > 1 ? std::size_t(m) * std::size_t(n) : 0;
  const std::size_t seg = P + std::size_t(lh) - 1;
  const std::size_t total = image + P + 4 * seg + 2 * std::size_t(lh);
  double *p = static_cast<double *>(mxCalloc(total, sizeof(double)));
  Scratch s{};
  s.R = image ? p : nullptr;
  s.line1 = p + image;
  s.seg0 = s.line1 + P;
  s.seg1 = s.seg0 + seg;
  s.seg2 = s.seg1 + seg;
  s.seg3 = s.seg2 + seg;
  s.g0 = s.seg3 + seg;
  s.g1 = s.g0 + lh;
  return s;
}

// Copies the count samples line[t·stride] into seg.
inline void gather(double *seg, const double *line, Index stride, Index count) {
  for (Index t = 0; t < count; ++t) seg[t] = line[t * stride];
}

// Stores vals[t] at line[t·stride], t = 0 .. count-1.
inline void scatter(double *line, const double *vals, Index stride, Index count) {
  for (Index t = 0; t < count; ++t) line[t * stride] = vals[t];
}

}  // namespace

LW_ISA_VARIANTS void bpconv(double *out, std::int32_t lx, const double *g0, const double *g1,
                            std::int32_t lh, double *lowseg, double *highseg) {
  // Periodic extension to the left; running downwards, element t ends up
  // holding sample (t - (lh-1)) mod lx also when lh - 1 exceeds lx.
  for (Index t = Index(lh) - 2; t >= 0; --t) {
    lowseg[t] = lowseg[t + lx];
    highseg[t] = highseg[t + lx];
  }

  double sum[block];
  for (Index i0 = 0; i0 < lx; i0 += block) {
    const Index nb = Index(lx) - i0 < block ? Index(lx) - i0 : block;
    for (Index b = 0; b < nb; ++b) sum[b] = 0.0;
    for (Index j = 0; j < lh; ++j) {
      const double c0 = g0[lh - 1 - j], c1 = g1[lh - 1 - j];
      const double *a = lowseg + i0 + j, *d = highseg + i0 + j;
      for (Index b = 0; b < nb; ++b) {
        sum[b] += a[b] * c0;
        sum[b] += d[b] * c1;
      }
    }
    std::memcpy(out + i0, sum, std::size_t(nb) * sizeof(double));
  }
}

namespace {

// The level statement along a whole line: for i = 0 .. D-1,
//   out[i] = sum_j (a[(i - (lh-1-j)·s) mod D]*g0[lh-1-j]
//                   + d[(i - (lh-1-j)·s) mod D]*g1[lh-1-j]),
// one running sum from +0.0 adding, for each j in increasing order, the
// low-pass product and then the high-pass product. Splitting the line into
// its s phases and running bpconv on each gives exactly these sums in this
// order; working on the whole line reads it once, contiguously, per level.
// a, d and out hold D doubles each; 1 <= s <= D and s divides D.
LW_ISA_VARIANTS void bpconv_spaced(double *out, Index D, Index s, const double *g0,
                                   const double *g1, std::int32_t lh, const double *a,
                                   const double *d) {
  const Index back = Index(lh - 1) % D * s % D;  // ((lh-1)·s) mod D, without overflow
  double sum[block];
  for (Index i0 = 0; i0 < D; i0 += block) {
    const Index nb = D - i0 < block ? D - i0 : block;
    for (Index b = 0; b < nb; ++b) sum[b] = 0.0;
    Index off = back == 0 ? 0 : D - back;  // ((j - (lh-1))·s) mod D
    for (Index j = 0; j < lh; ++j) {
      const double c0 = g0[lh - 1 - j], c1 = g1[lh - 1 - j];
      Index start = i0 + off;
      if (start >= D) start -= D;
      const Index first = D - start < nb ? D - start : nb;  // samples before the wrap
      const double *u = a + start, *v = d + start;
      if (first == block) {  // the common case: a whole block without a wrap
        for (Index b = 0; b < block; ++b) {
          sum[b] += u[b] * c0;
          sum[b] += v[b] * c1;
        }
      } else {
        for (Index b = 0; b < first; ++b) {
          sum[b] += u[b] * c0;
          sum[b] += v[b] * c1;
        }
        const double *uw = a - first, *vw = d - first;  // past the wrap
        for (Index b = first; b < nb; ++b) {
          sum[b] += uw[b] * c0;
          sum[b] += vw[b] * c1;
        }
      }
      off += s;
      if (off >= D) off -= D;
    }
    std::memcpy(out + i0, sum, std::size_t(nb) * sizeof(double));
  }
}

// One level along a line whose low-pass and high-pass samples sit in lowseg
// and highseg from element lh-1 on (room for D + lh - 1 doubles each).
inline void synthesise_line(double *out, Index D, Index s, const double *g0, const double *g1,
                            std::int32_t lh, double *lowseg, double *highseg) {
  if (s == 1)
    bpconv(out, std::int32_t(D), g0, g1, lh, lowseg, highseg);
  else
    bpconv_spaced(out, D, s, g0, g1, lh, lowseg + (lh - 1), highseg + (lh - 1));
}

}  // namespace

void QUILLOMAR(double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
               std::int32_t L, const double *yl, const double *yh) {
  // Working shape: a column is worked on as a row holding the same data.
  const std::int32_t m = N == 1 ? 1 : M;
  const std::int32_t n = N == 1 ? M : N;
  if (m <= 0 || n <= 0) return;  // no samples: the result is empty

  std::memcpy(x, yl, std::size_t(m) * std::size_t(n) * sizeof(double));
  if (L <= 0) return;

  const bool one_d = m == 1;
  const Scratch w = take_scratch(m, n, lh);

  // Synthesis filters, halved: h, and h reversed with the odd-indexed taps
  // negated.
  for (std::int32_t i = 0; i < lh; ++i) {
    w.g0[i] = h[i] * 0.5;
    w.g1[i] = h[lh - 1 - i] * 0.5;
  }
  for (std::int32_t i = 1; i < lh; i += 2) w.g1[i] = -w.g1[i];

  const Index rows = m, cols = n, off = Index(lh) - 1;
  for (std::int64_t k = L; k >= 1; --k) {
    const Index co = one_d ? (k - 1) * cols : 3 * cols * (k - 1);
    const double *band1 = yh + co * rows;  // in 1-D: the level's only band

    // Column pass: x with band 1 gives the row low-pass (back into x), band 2
    // with band 3 the row high-pass (into R).
    if (m > 1) {
      const Index s = level_spacing(k, m);
      const double *band2 = band1 + cols * rows, *band3 = band2 + cols * rows;
      const std::size_t bytes = std::size_t(rows) * sizeof(double);
      for (Index c = 0; c < cols; ++c) {
        double *xc = x + c * rows;
        std::memcpy(w.seg0 + off, xc, bytes);
        std::memcpy(w.seg1 + off, band1 + c * rows, bytes);
        std::memcpy(w.seg2 + off, band2 + c * rows, bytes);
        std::memcpy(w.seg3 + off, band3 + c * rows, bytes);
        synthesise_line(xc, rows, s, w.g0, w.g1, lh, w.seg0, w.seg1);
        synthesise_line(w.R + c * rows, rows, s, w.g0, w.g1, lh, w.seg2, w.seg3);
      }
    }

    // Row pass: each row of x with its high-pass line (the level's band in
    // 1-D, R in 2-D). A row of a matrix lies at stride m in storage and is
    // gathered into the segments first.
    {
      const Index s = level_spacing(k, n);
      if (one_d) {
        const std::size_t bytes = std::size_t(cols) * sizeof(double);
        std::memcpy(w.seg0 + off, x, bytes);
        std::memcpy(w.seg1 + off, band1, bytes);
        synthesise_line(x, cols, s, w.g0, w.g1, lh, w.seg0, w.seg1);
      } else {
        for (Index r = 0; r < rows; ++r) {
          gather(w.seg0 + off, x + r, rows, cols);
          gather(w.seg1 + off, w.R + r, rows, cols);
          synthesise_line(w.line1, cols, s, w.g0, w.g1, lh, w.seg0, w.seg1);
          scatter(x + r, w.line1, rows, cols);
        }
      }
    }
  }
}

}  // namespace lw::wavelet
