#include "ostrevin_kernel.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "call_rules.h"
#include "lanes.h"
#include "mex.h"
#include "redundant_lines.h"

namespace lw::wavelet {

void fpconv(double *seg, std::int32_t lx, const double *h0, const double *h1, std::int32_t lh,
            double *lo, double *hi) {
  // Periodic extension to the right; running upwards, a segment shorter than
  // the filter is repeated as often as needed.
  const Index end = Index(lx) + lh - 1;
  for (Index t = lx; t < end; ++t) seg[t] = seg[t - lx];

  for (Index i = 0; i < lx; ++i) {
    double a = 0.0, d = 0.0;
    for (Index j = 0; j < lh; ++j) {
      a = a + seg[i + j] * h0[lh - 1 - j];
      d = d + seg[i + j] * h1[lh - 1 - j];
    }
    lo[i] = a;
    hi[i] = d;
  }
}

namespace {

// One level along a line of len samples in[t*step] with tap spacing s (s
// divides len): for i = 0 .. len-1,
//   lo[i*step] = sum_j in[((i + j*s) mod len)*step]*h0[lh-1-j],  hi likewise
// with h1. Each of the s phases (the samples p, p + s, p + 2s, ..) is a
// periodic sequence of len/s samples of its own, gathered into seg (room
// for len/s + lh - 1), filtered by fpconv into lo_seg and hi_seg (len/s
// each) and stored back. lo may be in: a phase is read before it is written.
void level_by_phases(const double *in, Index step, Index len, Index s, const double *h0,
                     const double *h1, std::int32_t lh, double *lo, double *hi, double *seg,
                     double *lo_seg, double *hi_seg) {
  const Index count = len / s;
  for (Index p = 0; p < s; ++p) {
    for (Index t = 0; t < count; ++t) seg[t] = in[(p + t * s) * step];
    fpconv(seg, std::int32_t(count), h0, h1, lh, lo_seg, hi_seg);
    for (Index t = 0; t < count; ++t) {
      lo[(p + t * s) * step] = lo_seg[t];
      hi[(p + t * s) * step] = hi_seg[t];
    }
  }
}

#if !defined(LW_FAST_KERNELS)
// The transform level by level and line by line through fpconv, as the
// levels are defined: the portable path. m×n is the working shape, yl
// already holds x. Scratch: a segment and two output lines.
void ostrevin_plain(std::int32_t m, std::int32_t n, const double *h0, const double *h1,
                    std::int32_t lh, std::int32_t L, double *yl, double *yh, double *seg,
                    double *lo_seg, double *hi_seg) {
  const Index rows = m, cols = n, band = rows * cols;
  for (std::int64_t k = 1; k <= L; ++k) {
    // Row pass: the row low-pass back into yl, the row high-pass into the
    // level's first band (in 1-D its only one).
    double *band1 = yh + (m == 1 ? 1 : 3) * (k - 1) * band;
    const Index sr = level_spacing(k, cols);
    for (Index r = 0; r < rows; ++r)
      level_by_phases(yl + r, rows, cols, sr, h0, h1, lh, yl + r, band1 + r, seg, lo_seg, hi_seg);
    if (m == 1) continue;

    // Column pass: the row high-pass into bands 2 (low) and 3 (high), then
    // the row low-pass into yl (low) and band 1 (high), over the row
    // high-pass it no longer needs.
    double *band2 = band1 + band, *band3 = band2 + band;
    const Index sc = level_spacing(k, rows);
    for (Index c = 0; c < cols; ++c) {
      level_by_phases(band1 + c * rows, 1, rows, sc, h0, h1, lh, band2 + c * rows,
                      band3 + c * rows, seg, lo_seg, hi_seg);
      level_by_phases(yl + c * rows, 1, rows, sc, h0, h1, lh, yl + c * rows, band1 + c * rows,
                      seg, lo_seg, hi_seg);
    }
  }
}
#else

// The fast path. Every output keeps its own sum over j in increasing order
// from +0.0, exactly as written above; only independent outputs share
// vector lanes.

// One level over a stretch without wrap: for t = 0 .. count-1,
//   lo[t] = sum_j src[t + j*s]*h0[lh-1-j],  hi[t] likewise with h1;
// src holds count + (lh-1)*s doubles. Consecutive outputs sit in vector
// lanes. With through_lo / through_hi (and lo / hi 16-byte aligned) the
// blocks of lanes go past the caches.
template <class Lane>
__attribute__((always_inline)) inline void analyse_run_lanes(const double *src, Index count,
                                                             Index s, const double *h0,
                                                             const double *h1, std::int32_t lh,
                                                             double *lo, double *hi,
                                                             bool through_lo, bool through_hi) {
  Index i = 0;
  for (; i + 2 * kLanes <= count; i += 2 * kLanes) {
    Lane a0 = {}, a1 = {}, d0 = {}, d1 = {};
    const double *u = src + i;
    for (Index j = 0; j < lh; ++j, u += s) {
      const double f0 = h0[lh - 1 - j], f1 = h1[lh - 1 - j];
      const Lane w0 = in_registers(load<Lane>(u)), w1 = in_registers(load<Lane>(u + kLanes));
      a0 = a0 + w0 * f0;
      a1 = a1 + w1 * f0;
      d0 = d0 + w0 * f1;
      d1 = d1 + w1 * f1;
    }
    store_maybe_through(lo + i, a0, through_lo);
    store_maybe_through(lo + i + kLanes, a1, through_lo);
    store_maybe_through(hi + i, d0, through_hi);
    store_maybe_through(hi + i + kLanes, d1, through_hi);
  }
  for (; i < count; ++i) {
    double a = 0.0, d = 0.0;
    const double *u = src + i;
    for (Index j = 0; j < lh; ++j, u += s) {
      a = a + *u * h0[lh - 1 - j];
      d = d + *u * h1[lh - 1 - j];
    }
    lo[i] = a;
    hi[i] = d;
  }
}
LW_LANES(analyse_run,
         (const double *src, Index count, Index s, const double *h0, const double *h1,
          std::int32_t lh, double *lo, double *hi, bool through_lo, bool through_hi),
         (src, count, s, h0, h1, lh, lo, hi, through_lo, through_hi))

// The row pass of a matrix: filters every row of the rows×cols image `in`
// along its columns, with tap spacing s, into the images lo_img and hi_img
// (same shape, not overlapping `in`), for the output columns from .. to-1.
// Storage is walked column by column, rows in vector lanes, so it is read
// contiguously; every element still gets its own sum over j in increasing
// order from +0.0, exactly as a row filtered alone.
template <class Lane>
__attribute__((always_inline)) inline void analyse_rows_lanes(const double *in, Index rows,
                                                              Index cols, Index s,
                                                              const double *h0, const double *h1,
                                                              std::int32_t lh, double *lo_img,
                                                              double *hi_img, Index from,
                                                              Index to) {
  for (Index c = from; c < to; ++c) {
    double *lo = lo_img + c * rows, *hi = hi_img + c * rows;
    Index r = 0;
    for (; r + 2 * kLanes <= rows; r += 2 * kLanes) {
      Lane a0 = {}, a1 = {}, d0 = {}, d1 = {};
      Index at = c;  // (c + j*s) mod cols
      for (Index j = 0; j < lh; ++j) {
        const double f0 = h0[lh - 1 - j], f1 = h1[lh - 1 - j];
        const double *u = in + at * rows + r;
        const Lane w0 = in_registers(load<Lane>(u)), w1 = in_registers(load<Lane>(u + kLanes));
        a0 = a0 + w0 * f0;
        a1 = a1 + w1 * f0;
        d0 = d0 + w0 * f1;
        d1 = d1 + w1 * f1;
        at += s;
        if (at >= cols) at -= cols;
      }
      store(lo + r, a0);
      store(lo + r + kLanes, a1);
      store(hi + r, d0);
      store(hi + r + kLanes, d1);
    }
    for (; r < rows; ++r) {
      double a = 0.0, d = 0.0;
      Index at = c;
      for (Index j = 0; j < lh; ++j) {
        const double u = in[at * rows + r];
        a = a + u * h0[lh - 1 - j];
        d = d + u * h1[lh - 1 - j];
        at += s;
        if (at >= cols) at -= cols;
      }
      lo[r] = a;
      hi[r] = d;
    }
  }
}
LW_LANES(analyse_rows,
         (const double *in, Index rows, Index cols, Index s, const double *h0, const double *h1,
          std::int32_t lh, double *lo_img, double *hi_img, Index from, Index to),
         (in, rows, cols, s, h0, h1, lh, lo_img, hi_img, from, to))

// One level along a line copied into seg (room for cap >= 3*len + lh - 1
// doubles). When the line's wrap, (lh-1)*s samples, fits after it, the line
// is extended periodically (upwards, so a line shorter than the wrap is
// repeated) and every output's taps are read contiguously, without a test;
// a wrap longer than that (a filter far longer than the line) goes phase
// by phase.
inline void analyse_line(double *seg, Index cap, Index len, Index s, const double *h0,
                         const double *h1, std::int32_t lh, double *lo, double *hi) {
  const Index ext = Index(lh - 1) * s;
  if (ext <= cap - len) {
    for (Index t = len; t < len + ext; ++t) seg[t] = seg[t - len];
    analyse_run(seg, len, s, h0, h1, lh, lo, hi, false, false);
  } else {
    // s > 1 here, so a phase and its two outputs fit after the line.
    double *phase = seg + len, *lo_seg = phase + len / s + lh - 1;
    level_by_phases(seg, 1, len, s, h0, h1, lh, lo, hi, phase, lo_seg, lo_seg + len / s);
  }
}

// One level down a column of len samples at col, lo may be col itself: the
// outputs run in increasing order and each reads only its own sample and
// those after it, so every sample is read before its place is written. The
// last (lh-1)*s outputs read past the end (the wrap); they are computed from
// seg (room for 2(lh-1)*s doubles), where the column's last and first
// (lh-1)*s samples are copied first. Needs (lh-1)*s < len.
inline void analyse_column(double *col, Index len, Index s, const double *h0, const double *h1,
                           std::int32_t lh, double *seg, double *lo, double *hi) {
  const Index ext = Index(lh - 1) * s;
  std::memcpy(seg, col + (len - ext), std::size_t(ext) * sizeof(double));
  std::memcpy(seg + ext, col, std::size_t(ext) * sizeof(double));
  analyse_run(col, len - ext, s, h0, h1, lh, lo, hi, false, false);
  analyse_run(seg, ext, s, h0, h1, lh, lo + (len - ext), hi + (len - ext), false, false);
}

// All levels of a long line in one sweep. Level k reads the previous
// level's low-pass a(i .. i + (lh-1)·s) only forwards, so the levels run as
// a pipeline over chunks of the line: each keeps a short window of its input
// in scratch, and every sample is filtered while it is still in cache. Each
// band is written once, in order, straight into yh; nothing else of the
// line's size is read or written. At the end of the line a level reads
// the first (lh-1)·s samples of its input again (the circular wrap); they
// are kept aside as they pass. The sums are those written above.
constexpr Index fused_chunk = 1024;

// Scratch (doubles) for the pipeline, or -1 when the line is too short for
// it (a wrap longer than the line) or L too large.
std::int64_t fused_scratch(std::int64_t len, std::int64_t L, std::int64_t lh) {
  if (L < 1 || L > 30 || len < 4 * fused_chunk) return -1;
  const std::int64_t reach = (lh - 1) * ((std::int64_t(1) << L) - 1);  // all levels' reaches
  if ((lh - 1) << (L - 1) > len) return -1;
  // Per level a window of C + 2·ext + reach + 2 (what a level can hold in
  // one step: its last chunk, grown by the finer levels' reaches, its own
  // reach, one sample held back and the wrap) and the wrap kept aside.
  return L * (fused_chunk + reach + 2) + 3 * reach;
}

struct Window {
  double *w;      // the level's input samples from position beg on, held of them
  double *head;   // the input's first ext samples, for the wrap
  Index s, ext;   // tap spacing, and the reach (lh-1)·s past an output
  Index beg, held;
  Index fed;      // input samples appended so far (len, then len + ext with the wrap)
  Index done;     // outputs written
};

void analyse_line_fused(const double *x, Index len, std::int32_t L, const double *h0,
                        const double *h1, std::int32_t lh, double *yl, double *yh,
                        double *scratch) {
  Window lv[31] = {};
  double *p = scratch;
  const Index reach = Index(lh - 1) * ((Index(1) << L) - 1);
  for (std::int32_t k = 1; k <= L; ++k) {
    Window &v = lv[k];
    v.s = Index(1) << (k - 1);
    v.ext = Index(lh - 1) * v.s;
    v.w = p;
    p += fused_chunk + 2 * v.ext + reach + 2;
    v.head = p;
    p += v.ext;
    v.beg = v.held = v.fed = v.done = 0;
  }
  // Bands of 8 MiB and more in all go past the caches when yl and yh allow
  // it; every level then stops at an even output short of the end, so that
  // its stores stay aligned.
  const bool through = len * L >= 3 * (Index(1) << 20) && len % 2 == 0 &&
                       reinterpret_cast<std::uintptr_t>(yl) % 16 == 0 &&
                       reinterpret_cast<std::uintptr_t>(yh) % 16 == 0;
  while (lv[L].done < len) {
    // Level 1 takes its next chunk of x (past the end: x's start again).
    {
      Window &v = lv[1];
      const Index want = len + v.ext - v.fed < fused_chunk ? len + v.ext - v.fed : fused_chunk;
      const Index first = v.fed < len ? (len - v.fed < want ? len - v.fed : want) : 0;
      if (first > 0) std::memcpy(v.w + v.held, x + v.fed, std::size_t(first) * sizeof(double));
      if (want > first)  // past the end: x's start again
        std::memcpy(v.w + v.held + first, x + (v.fed + first - len),
                    std::size_t(want - first) * sizeof(double));
      v.held += want;
      v.fed += want;
    }
    for (std::int32_t k = 1; k <= L; ++k) {
      Window &v = lv[k];
      Index upto = v.beg + v.held - v.ext;
      if (upto >= len)
        upto = len;
      else if (through)
        upto -= upto & 1;
      if (upto > v.done) {
        const Index count = upto - v.done;
        const double *src = v.w + (v.done - v.beg);
        double *hi = yh + Index(k - 1) * len + v.done;
        if (k == L) {
          analyse_run(src, count, v.s, h0, h1, lh, yl + v.done, hi, through, through);
        } else {
          Window &nx = lv[k + 1];
          double *lo = nx.w + nx.held;
          analyse_run(src, count, v.s, h0, h1, lh, lo, hi, false, through);
          // Keep the start of the next level's input for its wrap.
          for (Index t = v.done; t < upto && t < nx.ext; ++t) nx.head[t] = lo[t - v.done];
          nx.held += count;
          nx.fed += count;
          if (nx.fed == len) {
            std::memcpy(nx.w + nx.held, nx.head, std::size_t(nx.ext) * sizeof(double));
            nx.held += nx.ext;
            nx.fed += nx.ext;
          }
        }
        v.done = upto;
        // Drop the samples no later output reads.
        const Index drop = v.done - v.beg;
        std::memmove(v.w, v.w + drop, std::size_t(v.held - drop) * sizeof(double));
        v.beg += drop;
        v.held -= drop;
      }
    }
  }
  if (through) stream_fence();  // the stores past the caches before anything after
}

// Doubles per column of a strip of a matrix level (the row pass's low- and
// high-pass of the strip's columns stay in cache until the column pass).
constexpr Index strip_doubles = 8192;

// The levels of a matrix, or of a line too short for the pipeline. seg and
// seg2 have room for cap = 3P + lh - 1 doubles each (a line and its wrap).
void ostrevin_fast(const double *x, std::int32_t m, std::int32_t n, const double *h0,
                   const double *h1, std::int32_t lh, std::int32_t L, double *yl, double *yh,
                   double *seg, double *seg2, Index cap) {
  const Index rows = m, cols = n, band = rows * cols;
  for (std::int64_t k = 1; k <= L; ++k) {
    double *band1 = yh + (m == 1 ? 1 : 3) * (k - 1) * band;  // in 1-D: the level's only band
    const Index sr = level_spacing(k, cols);
    const double *in = k == 1 ? x : yl;  // level 1 reads x itself
    if (m == 1) {
      std::memcpy(seg, in, std::size_t(cols) * sizeof(double));
      analyse_line(seg, cap, cols, sr, h0, h1, lh, yl, band1);
      continue;
    }

    // Row pass (analyse_rows): the row low-pass into this level's band 3
    // and the row high-pass into band 2. Column pass: each column of the row
    // low-pass into yl and band 1, and of the row high-pass into bands 2
    // and 3.
    double *band2 = band1 + band, *band3 = band2 + band;
    const Index sc = level_spacing(k, rows);
    const bool in_place = Index(lh - 1) * sc < rows;
    auto column_pass = [&](Index from, Index to) {
      const std::size_t bytes = std::size_t(rows) * sizeof(double);
      for (Index c = from; c < to; ++c) {
        double *ylc = yl + c * rows, *b1 = band1 + c * rows;
        double *b2 = band2 + c * rows, *b3 = band3 + c * rows;
        if (in_place) {
          // The row low-pass first: its place in band 3 takes the high-pass
          // of the row high-pass, which is filtered in place.
          analyse_column(b3, rows, sc, h0, h1, lh, seg, ylc, b1);
          analyse_column(b2, rows, sc, h0, h1, lh, seg, b2, b3);
          continue;
        }
        std::memcpy(seg, b3, bytes);
        std::memcpy(seg2, b2, bytes);
        analyse_line(seg, cap, rows, sc, h0, h1, lh, ylc, b1);
        analyse_line(seg2, cap, rows, sc, h0, h1, lh, b2, b3);
      }
    };

    // Output column c of the row pass reads input columns c .. c + wrap
    // (mod cols). The two passes run strip by strip of columns, so that the
    // column pass finds the row pass's results still in cache. The input
    // (yl, from level 2 on) is overwritten strip by strip; a strip's row
    // pass reads only its own columns and later ones, except for the last
    // `wrap` output columns, which also read the first ones: their row pass
    // runs before anything is overwritten, their column pass at the end (a
    // wrap as wide as the image leaves no strips: one pass of each).
    const Index wrap = Index(lh - 1) * sr;
    const Index body = wrap < cols ? cols - wrap : 0;
    analyse_rows(in, rows, cols, sr, h0, h1, lh, band3, band2, body, cols);
    const Index strip = rows >= strip_doubles ? 1 : strip_doubles / rows;
    for (Index from = 0; from < body; from += strip) {
      const Index to = body - from < strip ? body : from + strip;
      analyse_rows(in, rows, cols, sr, h0, h1, lh, band3, band2, from, to);
      column_pass(from, to);
    }
    column_pass(body, cols);
  }
}

#endif  // LW_FAST_KERNELS

}  // namespace

void OSTREVIN(const double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
              std::int32_t L, double *yl, double *yh) {
  // Working shape: a column is worked on as a row holding the same data.
  const std::int32_t m = N == 1 ? 1 : M;
  const std::int32_t n = N == 1 ? M : N;
  if (m <= 0 || n <= 0) return;  // no samples: the results are empty

  const std::size_t samples = std::size_t(m) * std::size_t(n);
  if (L <= 0) {  // zero levels: yl is x, yh is left alone
    std::memcpy(yl, x, samples * sizeof(double));
    return;
  }

  // All scratch at once: the work area of the path taken, then the analysis
  // filters h0 and h1 (lh each).
  const std::int32_t P = m > n ? m : n;
#if defined(LW_FAST_KERNELS)
  // A long line runs all its levels in one sweep when the windows take no
  // more than the two segments would; anything else takes two segments of
  // 3P + lh - 1 (a line and room for its wrap).
  const std::int64_t need = m == 1 ? fused_scratch(n, L, lh) : -1;
  const bool fused = need >= 0 && need <= 2 * (std::int64_t(P) + lh - 1);
  // In 64 bits: with a long filter, 3P + lh - 1 passes a 32-bit host's Index.
  const std::int64_t cap = 3 * std::int64_t(P) + lh - 1;
  const std::uint64_t work = fused ? std::uint64_t(need) : 2 * std::uint64_t(cap);
#else
  // A segment of P + lh - 1 and two output lines of P.
  const std::uint64_t work = std::uint64_t(P) + std::uint64_t(lh) - 1 + 2 * std::uint64_t(P);
#endif
  double *w = scratch_doubles(work + 2 * std::uint64_t(lh), wording);
  double *h0 = w + work;
  double *h1 = h0 + lh;

  // Analysis filters: h reversed, and h with the even-indexed taps negated.
  for (std::int32_t i = 0; i < lh; ++i) {
    h0[i] = h[lh - 1 - i];
    h1[i] = h[i];
  }
  for (std::int32_t i = 0; i < lh; i += 2) h1[i] = -h1[i];

#if defined(LW_FAST_KERNELS)
  if (fused)
    analyse_line_fused(x, n, L, h0, h1, lh, yl, yh, w);
  else
    ostrevin_fast(x, m, n, h0, h1, lh, L, yl, yh, w, w + cap, cap);
#else
  std::memcpy(yl, x, samples * sizeof(double));
  double *lo_seg = w + (std::size_t(P) + std::size_t(lh) - 1);
  ostrevin_plain(m, n, h0, h1, lh, L, yl, yh, w, lo_seg, lo_seg + P);
#endif
}

}  // namespace lw::wavelet
