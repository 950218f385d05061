#include "quillomar_kernel.h"

#include <cstddef>
#include <cstring>

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
  double *line1, *line2;           // P each
  double *seg0, *seg1, *seg2, *seg3;  // P + lh - 1 each: low-pass, bands 1, 2, 3
  double *g0, *g1;                 // lh each
};

Scratch take_scratch(std::int32_t m, std::int32_t n, std::int32_t lh) {
  const std::size_t P = std::size_t(m > n ? m : n);
  const std::size_t image = m > 1 ? std::size_t(m) * std::size_t(n) : 0;
  const std::size_t seg = P + std::size_t(lh) - 1;
  const std::size_t total = image + 2 * P + 4 * seg + 2 * std::size_t(lh);
  double *p = static_cast<double *>(mxCalloc(total, sizeof(double)));
  Scratch s{};
  s.R = image ? p : nullptr;
  s.line1 = p + image;
  s.line2 = s.line1 + P;
  s.seg0 = s.line2 + P;
  s.seg1 = s.seg0 + seg;
  s.seg2 = s.seg1 + seg;
  s.seg3 = s.seg2 + seg;
  s.g0 = s.seg3 + seg;
  s.g1 = s.g0 + lh;
  return s;
}

// Copies line[(p + t·s)·stride], t = 0 .. count-1, into seg.
inline void gather(double *seg, const double *line, Index stride, Index p, Index s, Index count) {
  const Index step = s * stride;
  const double *src = line + p * stride;
  for (Index t = 0; t < count; ++t) seg[t] = src[t * step];
}

// Stores vals[t] at line[(p + t·s)·stride], t = 0 .. count-1.
inline void scatter(double *line, const double *vals, Index stride, Index p, Index s,
                    Index count) {
  const Index step = s * stride;
  double *dst = line + p * stride;
  for (Index t = 0; t < count; ++t) dst[t * step] = vals[t];
}

}  // namespace

void bpconv(double *out, std::int32_t lx, const double *g0, const double *g1, std::int32_t lh,
            double *lowseg, double *highseg) {
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
      const Index am = rows / s, phases = rows / am;
      const double *band2 = band1 + cols * rows, *band3 = band2 + cols * rows;
      for (Index c = 0; c < cols; ++c) {
        double *xc = x + c * rows, *Rc = w.R + c * rows;
        for (Index p = 0; p < phases; ++p) {
          gather(w.seg0 + off, xc, 1, p, s, am);
          gather(w.seg1 + off, band1 + c * rows, 1, p, s, am);
          gather(w.seg2 + off, band2 + c * rows, 1, p, s, am);
          gather(w.seg3 + off, band3 + c * rows, 1, p, s, am);
          bpconv(w.line1, std::int32_t(am), w.g0, w.g1, lh, w.seg0, w.seg1);
          bpconv(w.line2, std::int32_t(am), w.g0, w.g1, lh, w.seg2, w.seg3);
          scatter(xc, w.line1, 1, p, s, am);
          scatter(Rc, w.line2, 1, p, s, am);
        }
      }
    }

    // Row pass: each row of x with its high-pass line (R in 2-D, the level's
    // band in 1-D), along the columns (stride m in storage).
    {
      const Index s = level_spacing(k, n);
      const Index an = cols / s, phases = cols / an;
      const double *high = one_d ? band1 : w.R;
      for (Index r = 0; r < rows; ++r) {
        for (Index p = 0; p < phases; ++p) {
          gather(w.seg0 + off, x + r, rows, p, s, an);
          gather(w.seg1 + off, high + r, rows, p, s, an);
          bpconv(w.line1, std::int32_t(an), w.g0, w.g1, lh, w.seg0, w.seg1);
          scatter(x + r, w.line1, rows, p, s, an);
        }
      }
    }
  }
}

}  // namespace lw::wavelet
