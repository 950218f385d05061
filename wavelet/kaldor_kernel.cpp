#include "kaldor_kernel.h"

#include <cstddef>

#include "call_rules.h"
#include "lanes.h"
#include "mex.h"

namespace lw::wavelet {

void fpsconv(double *seg, std::int32_t lx, const double *h0, const double *h1,
             std::int32_t lhm1, double *lo, double *hi) {
  // Periodic extension at the end. The copy runs forward, so when the filter
  // is longer than the block the block is repeated as often as needed.
  double *ext = seg + lx;
  for (std::int32_t t = 0; t < lhm1; ++t) ext[t] = seg[t];

  // Even phase: output i starts at sample 2i. f0[-j] is h0[lhm1 - j]; the
  // window pointer keeps every index below 2^31 however long the filter.
  const double *f0 = h0 + lhm1;
  const double *f1 = h1 + lhm1;
  const std::int32_t outputs = lx / 2 + lx % 2;
  for (std::int32_t i = 0; i < outputs; ++i) {
    const double *w = seg + 2 * std::ptrdiff_t(i);
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

// A level stores something only when its row pass has a coefficient pair
// to keep or its column pass does; once a level stores nothing, neither
// does any coarser one (its block is no larger), and y stays as it is.
bool level_stores(std::int32_t m, std::int32_t rows, std::int32_t cols) {
  return (cols / 2 > 0 && rows > 0) || (m > 1 && rows / 2 > 0 && cols > 0);
}

// The transform one line at a time through fpsconv, as the levels are
// defined: the portable path, and the fast path's for blocks of odd size
// (which only a direct kernel call can produce: the gateway admits a side
// above 1 only as a multiple of 2^L).
void kaldor_plain(const double *x, std::int32_t m, std::int32_t n, const double *h,
                  std::int32_t lh, std::int32_t L, double *y) {
  const std::int32_t P = m > n ? m : n;

  // All scratch at once: seg (a row or column plus its periodic extension),
  // lo and hi (one step's outputs), and the analysis filters h0 and h1.
  // Lengths are counted in 64 bits: P + lh - 1 may pass 2^31.
  const std::uint64_t seg_len = std::uint64_t(P) + std::uint64_t(lh) - 1;
  double *seg = scratch_doubles(seg_len + 2 * std::uint64_t(P) + 2 * std::uint64_t(lh), wording);
  double *lo = seg + seg_len;
  double *hi = lo + P;
  double *h0 = hi + P;
  double *h1 = h0 + lh;

  // h0 is h reversed; h1 is h with the entries at even positions negated.
  for (std::int32_t i = 0; i < lh; ++i) {
    h0[i] = h[lh - 1 - i];
    h1[i] = i % 2 == 0 ? -h[i] : h[i];
  }

  std::int32_t rows = m, cols = n;  // the block of the current level
  const double *src = x;            // level 1 reads the signal, later levels y
  for (std::int32_t k = 0; k < L && level_stores(m, rows, cols); ++k) {
    const std::int32_t rows2 = rows / 2, cols2 = cols / 2;

    // Row pass: rows are strided by m in storage; gather, filter, scatter.
    for (std::int32_t i = 0; i < rows; ++i) {
      const double *in = src + i;
      for (std::int32_t t = 0; t < cols; ++t) seg[t] = in[std::ptrdiff_t(t) * m];
      fpsconv(seg, cols, h0, h1, lh - 1, lo, hi);
      double *row = y + i;
      for (std::int32_t t = 0; t < cols2; ++t) {
        row[std::ptrdiff_t(t) * m] = lo[t];
        row[std::ptrdiff_t(cols2 + t) * m] = hi[t];
      }
    }

    // Column pass on what the row pass stored.
    if (m > 1) {
      for (std::int32_t j = 0; j < cols; ++j) {
        double *col = y + std::ptrdiff_t(j) * m;
        for (std::int32_t t = 0; t < rows; ++t) seg[t] = col[t];
        fpsconv(seg, rows, h0, h1, lh - 1, lo, hi);
        for (std::int32_t t = 0; t < rows2; ++t) {
          col[t] = lo[t];
          col[rows2 + t] = hi[t];
        }
      }
      rows = rows2;
    }
    cols = cols2;
    src = y;
  }
}

#if defined(LW_FAST_KERNELS)

// The fast path. Each output is still one sum from 0.0 with its terms in
// increasing tap order; only independent outputs (consecutive outputs of a
// line, or the same output of many rows) share vector lanes, so no bit of
// any sum changes. lo_tap[j] and hi_tap[j] weigh tap j (sample 2i + j) of
// the low-pass and high-pass outputs: h[j] and h1[lh-1-j].
constexpr std::int32_t kRows = 32;  // rows copied at once where a level works in place

// One line of even length 2*half from src (contiguous), its half low-pass
// outputs to lo and high-pass outputs to hi. E and O take the even and odd
// samples extended periodically: sample (2i + j) mod 2*half is E[i + j/2]
// for even j and O[i + j/2] for odd j, so each tap reads kLanes consecutive
// entries. E and O need half + lh/2 + kLanes doubles each.
template <class Lane>
__attribute__((always_inline)) inline void analyse_line_lanes(
    const double *src, std::int32_t half, const double *lo_tap, const double *hi_tap,
    std::int32_t lh, double *E, double *O, double *lo, double *hi) {
  for (std::int32_t t = 0; t < half; ++t) {
    E[t] = src[2 * std::ptrdiff_t(t)];
    O[t] = src[2 * std::ptrdiff_t(t) + 1];
  }
  const std::int32_t ext = lh / 2 + kLanes;
  for (std::int32_t t = 0; t < ext; ++t) {  // forward: repeats the line as often as needed
    E[half + t] = E[t];
    O[half + t] = O[t];
  }
  std::int32_t i0 = 0;
  // Two sets of lanes at once where both are whole: four chains of
  // additions in flight. They read up to E[half - 1 + lh/2], inside the
  // extension.
  for (; i0 + 2 * kLanes <= half; i0 += 2 * kLanes) {
    Lane a0 = {}, d0 = {}, a1 = {}, d1 = {};
    for (std::int32_t j = 0; j < lh; ++j) {
      const double *w = (j % 2 == 0 ? E : O) + i0 + j / 2;
      const Lane w0 = load<Lane>(w), w1 = load<Lane>(w + kLanes);
      a0 = a0 + w0 * lo_tap[j];
      a1 = a1 + w1 * lo_tap[j];
      d0 = d0 + w0 * hi_tap[j];
      d1 = d1 + w1 * hi_tap[j];
    }
    store(lo + i0, a0);
    store(lo + i0 + kLanes, a1);
    store(hi + i0, d0);
    store(hi + i0 + kLanes, d1);
  }
  for (; i0 < half; i0 += kLanes) {
    Lane a = {}, d = {};
    for (std::int32_t j = 0; j < lh; ++j) {
      const Lane w = load<Lane>((j % 2 == 0 ? E : O) + i0 + j / 2);
      a = a + w * lo_tap[j];
      d = d + w * hi_tap[j];
    }
    const std::int32_t nb = half - i0 < kLanes ? half - i0 : kLanes;
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
LW_LANES(analyse_line,
         (const double *src, std::int32_t half, const double *lo_tap, const double *hi_tap,
          std::int32_t lh, double *E, double *O, double *lo, double *hi),
         (src, half, lo_tap, hi_tap, lh, E, O, lo, hi))

// Row pass over rows 0 .. nb-1 of a block of cols = 2*half columns: column
// c of the block starts at src + c*ss, output t of the rows goes to column
// t (low-pass) and column half + t (high-pass) of dst, columns strided by
// m; dst must not overlap what src reads. Rows sit in vector lanes, so
// every tap reads consecutive doubles of one column and no row is ever
// gathered; a tap past the last column wraps to the first (periodic
// extension).
template <class Lane>
__attribute__((always_inline)) inline void analyse_rows_lanes(
    const double *src, std::ptrdiff_t ss, std::int32_t nb, std::int32_t cols,
    const double *lo_tap, const double *hi_tap, std::int32_t lh, double *dst, std::ptrdiff_t m) {
  const std::int32_t half = cols / 2;
  for (std::int32_t t = 0; t < half; ++t) {
    double *lo = dst + std::ptrdiff_t(t) * m;
    double *hi = dst + std::ptrdiff_t(half + t) * m;
    std::int32_t b = 0;
    for (; b + 2 * kLanes <= nb; b += 2 * kLanes) {
      Lane a0 = {}, a1 = {}, d0 = {}, d1 = {};
      std::int32_t c = 2 * t;
      for (std::int32_t j = 0; j < lh; ++j) {
        const double *w = src + std::ptrdiff_t(c) * ss + b;
        const Lane w0 = load<Lane>(w), w1 = load<Lane>(w + kLanes);
        const double u = lo_tap[j], v = hi_tap[j];
        a0 = a0 + w0 * u;
        a1 = a1 + w1 * u;
        d0 = d0 + w0 * v;
        d1 = d1 + w1 * v;
        c = c + 1 == cols ? 0 : c + 1;
      }
      store(lo + b, a0);
      store(lo + b + kLanes, a1);
      store(hi + b, d0);
      store(hi + b + kLanes, d1);
    }
    for (; b + kLanes <= nb; b += kLanes) {
      Lane a0 = {}, d0 = {};
      std::int32_t c = 2 * t;
      for (std::int32_t j = 0; j < lh; ++j) {
        const Lane w0 = load<Lane>(src + std::ptrdiff_t(c) * ss + b);
        a0 = a0 + w0 * lo_tap[j];
        d0 = d0 + w0 * hi_tap[j];
        c = c + 1 == cols ? 0 : c + 1;
      }
      store(lo + b, a0);
      store(hi + b, d0);
    }
    for (; b < nb; ++b) {
      double a = 0.0, d = 0.0;
      std::int32_t c = 2 * t;
      for (std::int32_t j = 0; j < lh; ++j) {
        const double w = src[std::ptrdiff_t(c) * ss + b];
        a = a + w * lo_tap[j];
        d = d + w * hi_tap[j];
        c = c + 1 == cols ? 0 : c + 1;
      }
      lo[b] = a;
      hi[b] = d;
    }
  }
}
LW_LANES(analyse_rows,
         (const double *src, std::ptrdiff_t ss, std::int32_t nb, std::int32_t cols,
          const double *lo_tap, const double *hi_tap, std::int32_t lh, double *dst,
          std::ptrdiff_t m),
         (src, ss, nb, cols, lo_tap, hi_tap, lh, dst, m))

// Copies nb <= kRows doubles; a full block is a fixed-length copy the
// compiler turns into a few vector moves rather than a library call.
inline void put_rows(double *to, const double *from, std::int32_t nb) {
  if (nb == kRows) {
    for (std::int32_t b = 0; b < kRows; ++b) to[b] = from[b];
  } else {
    for (std::int32_t b = 0; b < nb; ++b) to[b] = from[b];
  }
}

// The transform with the rows in vector lanes; needs every block that
// stores something to have even sides, and says whether it had.
bool kaldor_fast(const double *x, std::int32_t m, std::int32_t n, const double *h,
                 std::int32_t lh, std::int32_t L, double *y) {
  {
    std::int32_t rows = m, cols = n;
    for (std::int32_t k = 0; k < L && level_stores(m, rows, cols); ++k) {
      if (cols % 2 != 0 || (m > 1 && rows % 2 != 0)) return false;
      if (m > 1) rows /= 2;
      cols /= 2;
    }
  }

  // All scratch at once:
  //  - the tap weights of both outputs in tap order, lh each;
  //  - a work area for the larger of a block of kRows rows (kRows*n,
  //    matrices only) and the even and odd samples of one line
  //    (2*(P/2 + lh/2 + kLanes), P the longer side).
  const std::uint64_t P = std::uint64_t(m > n ? m : n);
  const std::uint64_t line_len = P / 2 + std::uint64_t(lh / 2) + kLanes;
  std::uint64_t work = 2 * line_len;
  if (m > 1) {
    const std::uint64_t block_rows = std::uint64_t(n) * kRows;
    if (block_rows > work) work = block_rows;
  }
  double *lo_tap = scratch_doubles(2 * std::uint64_t(lh) + work, wording);
  double *hi_tap = lo_tap + lh;
  double *W = hi_tap + lh;

  // Tap j of the low-pass output is h0[lh-1-j] = h[j]; of the high-pass
  // output h1[lh-1-j], h1 being h with the entries at even positions negated.
  for (std::int32_t j = 0; j < lh; ++j) {
    lo_tap[j] = h[j];
    const std::int32_t p = lh - 1 - j;
    hi_tap[j] = p % 2 == 0 ? -h[p] : h[p];
  }

  std::int32_t rows = m, cols = n;
  const double *src = x;
  for (std::int32_t k = 0; k < L && level_stores(m, rows, cols); ++k) {
    const std::int32_t rows2 = rows / 2, cols2 = cols / 2;
    if (m == 1) {
      analyse_line(src, cols2, lo_tap, hi_tap, lh, W, W + line_len, y, y + cols2);
    } else {
      if (src != y) {
        // The first level reads the signal and writes the result: its rows
        // are filtered straight from storage.
        analyse_rows(src, m, rows, cols, lo_tap, hi_tap, lh, y, m);
      } else {
        // Later levels overwrite their own block: kRows rows at a time are
        // first copied to W (column c of the rows at W + c*kRows).
        for (std::int32_t i = 0; i < rows; i += kRows) {
          const std::int32_t nb = rows - i < kRows ? rows - i : kRows;
          for (std::int32_t c = 0; c < cols; ++c)
            put_rows(W + std::ptrdiff_t(c) * kRows, y + i + std::ptrdiff_t(c) * m, nb);
          analyse_rows(W, kRows, nb, cols, lo_tap, hi_tap, lh, y + i, m);
        }
      }
      for (std::int32_t j = 0; j < cols; ++j) {
        double *col = y + std::ptrdiff_t(j) * m;
        analyse_line(col, rows2, lo_tap, hi_tap, lh, W, W + line_len, col, col + rows2);
      }
      rows = rows2;
    }
    cols = cols2;
    src = y;
  }
  return true;
}

#endif  // LW_FAST_KERNELS

}  // namespace

void KALDOR(const double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
            std::int32_t L, double *y) {
  if (M <= 0 || N <= 0) return;  // nothing to transform; the data may not exist
  if (L <= 0) {                  // zero levels: the identity
    const std::size_t count = std::size_t(M) * std::size_t(N);
    for (std::size_t k = 0; k < count; ++k) y[k] = x[k];
    return;
  }
  if (lh < 1) return;

  // A column is transformed as a row holding the same data.
  const std::int32_t m = N == 1 ? 1 : M;
  const std::int32_t n = N == 1 ? M : N;
  // A 1×1 input stores nothing whatever L is: done at once.
  if (!level_stores(m, m, n)) return;
#if defined(LW_FAST_KERNELS)
  if (kaldor_fast(x, m, n, h, lh, L, y)) return;
#endif
  kaldor_plain(x, m, n, h, lh, L, y);
}

}  // namespace lw::wavelet
