#include "ostrevin_kernel.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernel_targets.h"
#include "lanes.h"
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

// Doubles per column of a strip of a matrix level (the row pass's low- and
// high-pass of the strip's columns stay in cache until the column pass).
constexpr Index strip_doubles = 8192;

// Scratch of one call, carved from a single mxCalloc block.
struct Scratch {
  double *low_seg, *high_seg;  // 3P + lh - 1 each: a line and its wrap
  double *h0, *h1;             // lh each
};

// seg: room of each segment; the pipeline of a long line (seg = 0) uses
// `windows` doubles from low_seg on instead.
Scratch take_scratch(std::size_t seg, std::size_t windows, std::int32_t lh) {
  const std::size_t total = 2 * seg + windows + 2 * std::size_t(lh);
  double *p = static_cast<double *>(mxCalloc(total, sizeof(double)));
  Scratch s{};
  s.low_seg = p;
  s.high_seg = s.low_seg + seg;
  s.h0 = s.high_seg + seg + windows;
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

// A store that goes past the caches (p 16-byte aligned), for bands far
// larger than the caches that are written once and not read back here:
// their lines are then neither fetched before being written nor kept.
// Where the instruction is not available it is a plain store.
template <class Lane>
inline void store_through(double *p, Lane v) {
#if defined(__SSE2__)
  double t[8];
  store(t, v);
  for (int q = 0; q < 8; q += 2) _mm_stream_pd(p + q, _mm_loadu_pd(t + q));
#else
  store(p, v);
#endif
}

// The level statement over a stretch without wrap: for t = 0 .. cnt-1,
//   lo[t] = sum_j src[t + j·s]*h0[lh-1-j],  hi[t] likewise with h1,
// each sum from +0.0 in increasing j; src holds cnt + (lh-1)·s doubles.
// Consecutive outputs sit in vector lanes, each lane its own sum. With
// through_lo / through_hi (and lo / hi 16-byte aligned) the blocks of
// sixteen go past the caches.
// Always inlined: called, it would be built for the baseline only.
template <class Lane>
__attribute__((always_inline)) inline void analyse_run_impl(const double *src, Index cnt, Index s,
                                                            const double *h0, const double *h1,
                                                            std::int32_t lh, double *lo, double *hi,
                                                            bool through_lo, bool through_hi) {
  Index i = 0;
  for (; i + 16 <= cnt; i += 16) {
    Lane a0 = {}, a1 = {}, d0 = {}, d1 = {};
    const double *u = src + i;
    for (Index j = 0; j < lh; ++j, u += s) {
      const double c0 = h0[lh - 1 - j], c1 = h1[lh - 1 - j];
      const Lane w0 = in_registers(load<Lane>(u)), w1 = in_registers(load<Lane>(u + 8));
      a0 = a0 + w0 * c0;
      a1 = a1 + w1 * c0;
      d0 = d0 + w0 * c1;
      d1 = d1 + w1 * c1;
    }
    if (through_lo) {
      store_through(lo + i, a0);
      store_through(lo + i + 8, a1);
    } else {
      store(lo + i, a0);
      store(lo + i + 8, a1);
    }
    if (through_hi) {
      store_through(hi + i, d0);
      store_through(hi + i + 8, d1);
    } else {
      store(hi + i, d0);
      store(hi + i + 8, d1);
    }
  }
  for (; i < cnt; ++i) {
    double sl = 0.0, sh = 0.0;
    const double *u = src + i;
    for (Index j = 0; j < lh; ++j, u += s) {
      sl = sl + *u * h0[lh - 1 - j];
      sh = sh + *u * h1[lh - 1 - j];
    }
    lo[i] = sl;
    hi[i] = sh;
  }
}
#if defined(LW_LANE_VARIANTS)
LW_LANES_DEFAULT void analyse_run(const double *src, Index cnt, Index s, const double *h0,
                                  const double *h1, std::int32_t lh, double *lo, double *hi,
                                  bool through_lo = false, bool through_hi = false) {
  analyse_run_impl<Pairs>(src, cnt, s, h0, h1, lh, lo, hi, through_lo, through_hi);
}
#if !defined(LASSOWAVE_WAVELET_ISA_AVX512F)
LW_LANES_AVX2 void analyse_run(const double *src, Index cnt, Index s, const double *h0,
                               const double *h1, std::int32_t lh, double *lo, double *hi,
                               bool through_lo = false, bool through_hi = false) {
  analyse_run_impl<Quads>(src, cnt, s, h0, h1, lh, lo, hi, through_lo, through_hi);
}
#endif
#if !defined(LASSOWAVE_WAVELET_ISA_AVX2)
LW_LANES_AVX512F void analyse_run(const double *src, Index cnt, Index s, const double *h0,
                                  const double *h1, std::int32_t lh, double *lo, double *hi,
                                  bool through_lo = false, bool through_hi = false) {
  analyse_run_impl<Quads>(src, cnt, s, h0, h1, lh, lo, hi, through_lo, through_hi);
}
#endif
#else
LW_ISA_VARIANTS void analyse_run(const double *src, Index cnt, Index s, const double *h0,
                                 const double *h1, std::int32_t lh, double *lo, double *hi,
                                 bool through_lo = false, bool through_hi = false) {
  analyse_run_impl<Pairs>(src, cnt, s, h0, h1, lh, lo, hi, through_lo, through_hi);
}
#endif

// The row pass of a matrix: filters every row of the rows×cols image `in`
// along its columns, with tap spacing s, into the images lo_img and hi_img
// (same shape, not overlapping `in`), for the output columns c0 .. c1-1.
// Storage is walked column by column, sixteen rows at a time in vector
// lanes, so it is read contiguously; every element still gets its own sum
// over j in increasing order from +0.0, exactly as a row filtered alone.
template <class Lane>
__attribute__((always_inline)) inline void analyse_rows_impl(const double *in, Index rows,
                                                             Index cols, Index s, const double *h0,
                                                             const double *h1, std::int32_t lh,
                                                             double *lo_img, double *hi_img,
                                                             Index c0, Index c1) {
  for (Index c = c0; c < c1; ++c) {
    double *lo = lo_img + c * rows, *hi = hi_img + c * rows;
    Index r = 0;
    for (; r + 16 <= rows; r += 16) {
      Lane a0 = {}, a1 = {}, d0 = {}, d1 = {};
      Index at = c;  // (c + j·s) mod cols
      for (Index j = 0; j < lh; ++j) {
        const double c0 = h0[lh - 1 - j], c1 = h1[lh - 1 - j];
        const double *u = in + at * rows + r;
        const Lane w0 = in_registers(load<Lane>(u)), w1 = in_registers(load<Lane>(u + 8));
        a0 = a0 + w0 * c0;
        a1 = a1 + w1 * c0;
        d0 = d0 + w0 * c1;
        d1 = d1 + w1 * c1;
        at += s;
        if (at >= cols) at -= cols;
      }
      store(lo + r, a0);
      store(lo + r + 8, a1);
      store(hi + r, d0);
      store(hi + r + 8, d1);
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
#if defined(LW_LANE_VARIANTS)
LW_LANES_DEFAULT void analyse_rows(const double *in, Index rows, Index cols, Index s,
                                   const double *h0, const double *h1, std::int32_t lh,
                                   double *lo_img, double *hi_img, Index c0, Index c1) {
  analyse_rows_impl<Pairs>(in, rows, cols, s, h0, h1, lh, lo_img, hi_img, c0, c1);
}
#if !defined(LASSOWAVE_WAVELET_ISA_AVX512F)
LW_LANES_AVX2 void analyse_rows(const double *in, Index rows, Index cols, Index s,
                                const double *h0, const double *h1, std::int32_t lh,
                                double *lo_img, double *hi_img, Index c0, Index c1) {
  analyse_rows_impl<Quads>(in, rows, cols, s, h0, h1, lh, lo_img, hi_img, c0, c1);
}
#endif
#if !defined(LASSOWAVE_WAVELET_ISA_AVX2)
LW_LANES_AVX512F void analyse_rows(const double *in, Index rows, Index cols, Index s,
                                   const double *h0, const double *h1, std::int32_t lh,
                                   double *lo_img, double *hi_img, Index c0, Index c1) {
  analyse_rows_impl<Quads>(in, rows, cols, s, h0, h1, lh, lo_img, hi_img, c0, c1);
}
#endif
#else
LW_ISA_VARIANTS void analyse_rows(const double *in, Index rows, Index cols, Index s,
                                  const double *h0, const double *h1, std::int32_t lh,
                                  double *lo_img, double *hi_img, Index c0, Index c1) {
  analyse_rows_impl<Pairs>(in, rows, cols, s, h0, h1, lh, lo_img, hi_img, c0, c1);
}
#endif

// One level along a line copied into seg (room for cap >= D + lh - 1
// doubles). When the line's wrap, (lh-1)·s samples, fits after it, the line
// is extended periodically (upwards, so a line shorter than the wrap is
// repeated) and every output's taps are read contiguously, without a test.
inline void analyse_line(double *seg, Index cap, Index D, Index s, const double *h0,
                         const double *h1, std::int32_t lh, double *lo, double *hi) {
  const Index ext = Index(lh - 1) * s;
  if (ext <= cap - D) {
    for (Index t = D; t < D + ext; ++t) seg[t] = seg[t - D];
    analyse_run(seg, D, s, h0, h1, lh, lo, hi);
  } else if (s == 1) {
    fpconv(seg, std::int32_t(D), h0, h1, lh, lo, hi);
  } else {
    fpconv_spaced(seg, D, s, h0, h1, lh, lo, hi);
  }
}

// One level down a column of D samples at col, lo may be col itself: the
// outputs run in increasing order and each reads only its own sample and
// those after it, so every sample is read before its place is written. The
// last (lh-1)·s outputs read past the end (the wrap); they are computed from
// seg (room for 2(lh-1)·s doubles), where the column's last and first
// (lh-1)·s samples are copied first. Needs (lh-1)·s < D.
inline void analyse_column(double *col, Index D, Index s, const double *h0, const double *h1,
                           std::int32_t lh, double *seg, double *lo, double *hi) {
  const Index ext = Index(lh - 1) * s;
  std::memcpy(seg, col + (D - ext), std::size_t(ext) * sizeof(double));
  std::memcpy(seg + ext, col, std::size_t(ext) * sizeof(double));
  analyse_run(col, D - ext, s, h0, h1, lh, lo, hi);
  analyse_run(seg, ext, s, h0, h1, lh, lo + (D - ext), hi + (D - ext));
}

// All levels of a long line in one sweep. Level k reads the previous
// level's low-pass a(i .. i + (lh-1)·s) only forwards, so the levels run as
// a pipeline over chunks of the line: each keeps a short window of its input
// in scratch, and every sample is filtered while it is still in cache. Each
// band is written once, in order, straight into yh; nothing else of the
// line's size is read or written. At the end of the line a level reads
// the first (lh-1)·s samples of its input again (the circular wrap); they
// are kept aside as they pass. The sums are the level statement's.
constexpr Index fused_chunk = 1024;

// Scratch (doubles) for the pipeline, or -1 when the line is too short for
// it (a wrap longer than the line) or L too large.
std::int64_t fused_scratch(std::int64_t D, std::int64_t L, std::int64_t lh) {
  if (L < 1 || L > 30 || D < 4 * fused_chunk) return -1;
  const std::int64_t reach = (lh - 1) * ((std::int64_t(1) << L) - 1);  // all levels' reaches
  if ((lh - 1) << (L - 1) > D) return -1;
  // Per level a window of C + 2·ext + reach + 2 (what a level can hold in
  // one step: its last chunk, grown by the finer levels' reaches, its own
  // reach, one sample held back and the wrap) and the wrap kept aside.
  return L * (fused_chunk + reach + 2) + 3 * reach;
}

struct Window {
  double *w;      // the level's input samples from position beg on, len of them
  double *head;   // the input's first ext samples, for the wrap
  Index s, ext;   // tap spacing, and the reach (lh-1)·s past an output
  Index beg, len;
  Index fed;      // input samples appended so far (D, then D + ext with the wrap)
  Index done;     // outputs written
};

void analyse_line_fused(const double *x, Index D, std::int32_t L, const double *h0,
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
    v.beg = v.len = v.fed = v.done = 0;
  }
  // Bands of 8 MiB and more in all go past the caches when yl and yh allow
  // it; every level then stops at an even output short of the end, so that
  // its stores stay aligned.
  const bool through = D * L >= 3 * (Index(1) << 20) && D % 2 == 0 &&
                       reinterpret_cast<std::uintptr_t>(yl) % 16 == 0 &&
                       reinterpret_cast<std::uintptr_t>(yh) % 16 == 0;
  while (lv[L].done < D) {
    // Level 1 takes its next chunk of x (past the end: x's start again).
    {
      Window &v = lv[1];
      const Index want = D + v.ext - v.fed < fused_chunk ? D + v.ext - v.fed : fused_chunk;
      const Index first = v.fed < D ? (D - v.fed < want ? D - v.fed : want) : 0;
      if (first > 0) std::memcpy(v.w + v.len, x + v.fed, std::size_t(first) * sizeof(double));
      if (want > first)  // past the end: x's start again
        std::memcpy(v.w + v.len + first, x + (v.fed + first - D),
                    std::size_t(want - first) * sizeof(double));
      v.len += want;
      v.fed += want;
    }
    for (std::int32_t k = 1; k <= L; ++k) {
      Window &v = lv[k];
      Index upto = v.beg + v.len - v.ext;
      if (upto >= D)
        upto = D;
      else if (through)
        upto -= upto & 1;
      if (upto > v.done) {
        const Index cnt = upto - v.done;
        const double *src = v.w + (v.done - v.beg);
        double *hi = yh + Index(k - 1) * D + v.done;
        if (k == L) {
          analyse_run(src, cnt, v.s, h0, h1, lh, yl + v.done, hi, through, through);
        } else {
          Window &nx = lv[k + 1];
          double *lo = nx.w + nx.len;
          analyse_run(src, cnt, v.s, h0, h1, lh, lo, hi, false, through);
          // Keep the start of the next level's input for its wrap.
          for (Index t = v.done; t < upto && t < nx.ext; ++t) nx.head[t] = lo[t - v.done];
          nx.len += cnt;
          nx.fed += cnt;
          if (nx.fed == D) {
            std::memcpy(nx.w + nx.len, nx.head, std::size_t(nx.ext) * sizeof(double));
            nx.len += nx.ext;
            nx.fed += nx.ext;
          }
        }
        v.done = upto;
        // Drop the samples no later output reads.
        const Index drop = v.done - v.beg;
        std::memmove(v.w, v.w + drop, std::size_t(v.len - drop) * sizeof(double));
        v.beg += drop;
        v.len -= drop;
      }
    }
  }
#if defined(__SSE2__)
  if (through) _mm_sfence();  // the stores past the caches before anything after
#endif
}

}  // namespace

void OSTREVIN(const double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
              std::int32_t L, double *yl, double *yh) {
  // Working shape: a column is worked on as a row holding the same data.
  const std::int32_t m = N == 1 ? 1 : M;
  const std::int32_t n = N == 1 ? M : N;
  if (m <= 0 || n <= 0) return;  // no samples: the results are empty

  if (L <= 0) {
    std::memcpy(yl, x, std::size_t(m) * std::size_t(n) * sizeof(double));
    return;
  }

  const bool one_d = m == 1;
  const std::int32_t P = m > n ? m : n;
  // A long line runs all its levels in one sweep when the windows take no
  // more than the two segments would.
  const std::int64_t need = one_d ? fused_scratch(n, L, lh) : -1;
  const bool fused = need >= 0 && need <= 2 * (std::int64_t(P) + lh - 1);
  // Otherwise two segments of 3P + lh - 1: a line and room for its wrap.
  const Index segcap = fused ? 0 : 3 * Index(P) + lh - 1;
  const Scratch w = fused ? take_scratch(0, std::size_t(need), lh)
                          : take_scratch(std::size_t(segcap), 0, lh);

  // Analysis filters: h reversed, and h with the even-indexed taps negated.
  for (std::int32_t i = 0; i < lh; ++i) {
    w.h0[i] = h[lh - 1 - i];
    w.h1[i] = h[i];
  }
  for (std::int32_t i = 0; i < lh; i += 2) w.h1[i] = -w.h1[i];

  const Index rows = m, cols = n;
  if (fused) {
    analyse_line_fused(x, cols, L, w.h0, w.h1, lh, yl, yh, w.low_seg);
    return;
  }
  for (std::int64_t k = 1; k <= L; ++k) {
    const Index co = one_d ? (k - 1) * cols : 3 * cols * (k - 1);
    double *band1 = yh + co * rows;  // in 1-D: the level's only band
    const Index sr = level_spacing(k, n);
    const double *in = k == 1 ? x : yl;  // level 1 reads x itself

    if (one_d) {
      std::memcpy(w.low_seg, in, std::size_t(cols) * sizeof(double));
      analyse_line(w.low_seg, segcap, cols, sr, w.h0, w.h1, lh, yl, band1);
      continue;
    }

    // A matrix. Row pass (analyse_rows): the row low-pass into this level's
    // band 3 and the row high-pass into band 2. Column pass: each column of
    // the row low-pass into yl and band 1, and of the row high-pass into
    // bands 2 and 3.
    double *band2 = band1 + cols * rows, *band3 = band2 + cols * rows;
    const Index sc = level_spacing(k, m);
    const bool in_place = Index(lh - 1) * sc < rows;
    auto column_pass = [&](Index c0, Index c1) {
      const std::size_t bytes = std::size_t(rows) * sizeof(double);
      for (Index c = c0; c < c1; ++c) {
        double *ylc = yl + c * rows, *b1 = band1 + c * rows;
        double *b2 = band2 + c * rows, *b3 = band3 + c * rows;
        if (in_place) {
          // The row low-pass first: its place in band 3 takes the high-pass
          // of the row high-pass, which is filtered in place.
          analyse_column(b3, rows, sc, w.h0, w.h1, lh, w.low_seg, ylc, b1);
          analyse_column(b2, rows, sc, w.h0, w.h1, lh, w.low_seg, b2, b3);
          continue;
        }
        std::memcpy(w.low_seg, b3, bytes);
        std::memcpy(w.high_seg, b2, bytes);
        analyse_line(w.low_seg, segcap, rows, sc, w.h0, w.h1, lh, ylc, b1);
        analyse_line(w.high_seg, segcap, rows, sc, w.h0, w.h1, lh, b2, b3);
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
    analyse_rows(in, rows, cols, sr, w.h0, w.h1, lh, band3, band2, body, cols);
    const Index strip = rows >= strip_doubles ? 1 : strip_doubles / rows;
    for (Index c0 = 0; c0 < body; c0 += strip) {
      const Index c1 = body - c0 < strip ? body : c0 + strip;
      analyse_rows(in, rows, cols, sr, w.h0, w.h1, lh, band3, band2, c0, c1);
      column_pass(c0, c1);
    }
    column_pass(body, cols);
  }
}

}  // namespace lw::wavelet
