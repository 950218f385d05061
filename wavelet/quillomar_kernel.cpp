#include "quillomar_kernel.h"

#include <cstddef>
#include <cstring>

#include "kernel_targets.h"
#include "lanes.h"
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

// The pipeline of a long line (windows > 0) uses `windows` doubles from
// seg0 on instead of the line and the segments.
Scratch take_scratch(std::int32_t m, std::int32_t n, std::int32_t lh, std::size_t windows) {
  const std::size_t P = windows ? 0 : std::size_t(m > n ? m : n);
  const std::size_t image = m > 1 ? std::size_t(m) * std::size_t(n) : 0;
  const std::size_t seg = windows ? 0 : P + std::size_t(lh) - 1;
  const std::size_t total = image + P + 4 * seg + windows + 2 * std::size_t(lh);
  double *p = static_cast<double *>(mxCalloc(total, sizeof(double)));
  Scratch s{};
  s.R = image ? p : nullptr;
  s.line1 = p + image;
  s.seg0 = s.line1 + P;
  s.seg1 = s.seg0 + seg;
  s.seg2 = s.seg1 + seg;
  s.seg3 = s.seg2 + seg;
  s.g0 = s.seg3 + seg + windows;
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

// One tap of 32 consecutive outputs in four sets of lanes: each sum takes
// the low-pass product (u, weight c0) and then the high-pass one (v, c1).
template <class Lane>
__attribute__((always_inline)) inline void add_tap(Lane &s0, Lane &s1, Lane &s2, Lane &s3,
                                                   const double *u, const double *v, double c0,
                                                   double c1) {
  s0 = s0 + load<Lane>(u) * c0;
  s1 = s1 + load<Lane>(u + 8) * c0;
  s2 = s2 + load<Lane>(u + 16) * c0;
  s3 = s3 + load<Lane>(u + 24) * c0;
  s0 = s0 + load<Lane>(v) * c1;
  s1 = s1 + load<Lane>(v + 8) * c1;
  s2 = s2 + load<Lane>(v + 16) * c1;
  s3 = s3 + load<Lane>(v + 24) * c1;
}

// The level statement over a stretch without wrap, the low-pass samples in
// a and the high-pass ones in d, both holding cnt + (lh-1)·s doubles: for
// t = 0 .. cnt-1,
//   out[t] = sum_j (a[t + j·s]*g0[lh-1-j] + d[t + j·s]*g1[lh-1-j]),
// one running sum from +0.0, for each j in increasing order the low-pass
// product and then the high-pass one. Consecutive outputs sit in vector
// lanes, each lane its own sum.
// Always inlined: called, it would be built for the baseline only.
template <class Lane>
__attribute__((always_inline)) inline void synthesise_run_impl(const double *a, const double *d,
                                                               Index cnt, Index s,
                                                               const double *g0, const double *g1,
                                                               std::int32_t lh, double *out) {
  Index i = 0;
  for (; i + 32 <= cnt; i += 32) {  // four sums in flight hide the adds' latency
    Lane s0 = {}, s1 = {}, s2 = {}, s3 = {};
    const double *u = a + i, *v = d + i;
    for (Index j = 0; j < lh; ++j, u += s, v += s) {
      const double c0 = g0[lh - 1 - j], c1 = g1[lh - 1 - j];
      add_tap(s0, s1, s2, s3, u, v, c0, c1);
    }
    store(out + i, s0);
    store(out + i + 8, s1);
    store(out + i + 16, s2);
    store(out + i + 24, s3);
  }
  for (; i + 16 <= cnt; i += 16) {
    Lane s0 = {}, s1 = {};
    const double *u = a + i, *v = d + i;
    for (Index j = 0; j < lh; ++j, u += s, v += s) {
      const double c0 = g0[lh - 1 - j], c1 = g1[lh - 1 - j];
      s0 = s0 + load<Lane>(u) * c0;
      s1 = s1 + load<Lane>(u + 8) * c0;
      s0 = s0 + load<Lane>(v) * c1;
      s1 = s1 + load<Lane>(v + 8) * c1;
    }
    store(out + i, s0);
    store(out + i + 8, s1);
  }
  for (; i < cnt; ++i) {
    double sum = 0.0;
    const double *u = a + i, *v = d + i;
    for (Index j = 0; j < lh; ++j, u += s, v += s) {
      sum = sum + *u * g0[lh - 1 - j];
      sum = sum + *v * g1[lh - 1 - j];
    }
    out[i] = sum;
  }
}
#if defined(LW_LANE_VARIANTS)
LW_LANES_DEFAULT void synthesise_run(const double *a, const double *d, Index cnt, Index s,
                                     const double *g0, const double *g1, std::int32_t lh,
                                     double *out) {
  synthesise_run_impl<Pairs>(a, d, cnt, s, g0, g1, lh, out);
}
#if !defined(LASSOWAVE_WAVELET_ISA_AVX512F)
LW_LANES_AVX2 void synthesise_run(const double *a, const double *d, Index cnt, Index s,
                                  const double *g0, const double *g1, std::int32_t lh,
                                  double *out) {
  synthesise_run_impl<Quads>(a, d, cnt, s, g0, g1, lh, out);
}
#endif
#if !defined(LASSOWAVE_WAVELET_ISA_AVX2)
LW_LANES_AVX512F void synthesise_run(const double *a, const double *d, Index cnt, Index s,
                                     const double *g0, const double *g1, std::int32_t lh,
                                     double *out) {
  synthesise_run_impl<Quads>(a, d, cnt, s, g0, g1, lh, out);
}
#endif
#else
LW_ISA_VARIANTS void synthesise_run(const double *a, const double *d, Index cnt, Index s,
                                    const double *g0, const double *g1, std::int32_t lh,
                                    double *out) {
  synthesise_run_impl<Pairs>(a, d, cnt, s, g0, g1, lh, out);
}
#endif

// One level down a column of D samples, low-pass a and high-pass d, into
// out (not overlapping them): the outputs from (lh-1)·s on read the column
// directly; the first (lh-1)·s read past its start (the wrap) and are
// computed from wa and wd (room for 2(lh-1)·s doubles each), where the
// column's last and first (lh-1)·s samples are copied. Needs (lh-1)·s < D.
inline void synthesise_column(const double *a, const double *d, Index D, Index s,
                              const double *g0, const double *g1, std::int32_t lh, double *wa,
                              double *wd, double *out) {
  const Index ext = Index(lh - 1) * s;
  const std::size_t head = std::size_t(ext) * sizeof(double);
  synthesise_run(a, d, D - ext, s, g0, g1, lh, out + ext);
  std::memcpy(wa, a + (D - ext), head);
  std::memcpy(wa + ext, a, head);
  std::memcpy(wd, d + (D - ext), head);
  std::memcpy(wd + ext, d, head);
  synthesise_run(wa, wd, ext, s, g0, g1, lh, out);
}

// The row pass of a matrix on B = 16 or 32 rows from r0, in place in x (rows×n,
// R the high-pass image of the same shape): rows sit in vector lanes, so
// every tap reads consecutive doubles of one column. Output column c reads
// columns c - (lh-1)·s .. c, so the columns run downwards and each is
// read before it is written, except for the wrap: the last (lh-1)·s columns
// of x, read again by the first outputs, are copied into stash (B per
// column) before anything is written. Each output is one running sum from
// +0.0, for each j in increasing order the low-pass product and then the
// high-pass one, as a row synthesised alone. Needs (lh-1)·s < n.
template <class Lane>
__attribute__((always_inline)) inline void synthesise_rows_impl(double *x, const double *R,
                                                                Index rows, Index r0, Index B,
                                                                Index n, Index s, const double *g0,
                                                                const double *g1, std::int32_t lh,
                                                                double *stash) {
  const Index ext = Index(lh - 1) * s;
  for (Index q = n - ext; q < n; ++q)
    std::memcpy(stash + (q - (n - ext)) * B, x + q * rows + r0, std::size_t(B) * sizeof(double));
  if (B == 32) {  // four sums in flight hide the adds' latency
    for (Index c = n - 1; c >= 0; --c) {
      Lane s0 = {}, s1 = {}, s2 = {}, s3 = {};
      for (Index j = 0; j < lh; ++j) {
        const double c0 = g0[lh - 1 - j], c1 = g1[lh - 1 - j];
        const Index q = c - Index(lh - 1 - j) * s;
        const double *u = q >= 0 ? x + q * rows + r0 : stash + (q + ext) * 32;
        const double *v = R + (q >= 0 ? q : q + n) * rows + r0;
        add_tap(s0, s1, s2, s3, u, v, c0, c1);
      }
      double *o = x + c * rows + r0;
      store(o, s0);
      store(o + 8, s1);
      store(o + 16, s2);
      store(o + 24, s3);
    }
    return;
  }
  for (Index c = n - 1; c >= 0; --c) {
    Lane s0 = {}, s1 = {};
    for (Index j = 0; j < lh; ++j) {
      const double c0 = g0[lh - 1 - j], c1 = g1[lh - 1 - j];
      const Index q = c - Index(lh - 1 - j) * s;
      const double *u = q >= 0 ? x + q * rows + r0 : stash + (q + ext) * 16;
      const double *v = R + (q >= 0 ? q : q + n) * rows + r0;
      s0 = s0 + load<Lane>(u) * c0;
      s1 = s1 + load<Lane>(u + 8) * c0;
      s0 = s0 + load<Lane>(v) * c1;
      s1 = s1 + load<Lane>(v + 8) * c1;
    }
    store(x + c * rows + r0, s0);
    store(x + c * rows + r0 + 8, s1);
  }
}
#if defined(LW_LANE_VARIANTS)
LW_LANES_DEFAULT void synthesise_rows(double *x, const double *R, Index rows, Index r0, Index B,
                                      Index n, Index s, const double *g0, const double *g1,
                                      std::int32_t lh, double *stash) {
  synthesise_rows_impl<Pairs>(x, R, rows, r0, B, n, s, g0, g1, lh, stash);
}
#if !defined(LASSOWAVE_WAVELET_ISA_AVX512F)
LW_LANES_AVX2 void synthesise_rows(double *x, const double *R, Index rows, Index r0, Index B,
                                   Index n, Index s, const double *g0, const double *g1,
                                   std::int32_t lh, double *stash) {
  synthesise_rows_impl<Quads>(x, R, rows, r0, B, n, s, g0, g1, lh, stash);
}
#endif
#if !defined(LASSOWAVE_WAVELET_ISA_AVX2)
LW_LANES_AVX512F void synthesise_rows(double *x, const double *R, Index rows, Index r0, Index B,
                                      Index n, Index s, const double *g0, const double *g1,
                                      std::int32_t lh, double *stash) {
  synthesise_rows_impl<Quads>(x, R, rows, r0, B, n, s, g0, g1, lh, stash);
}
#endif
#else
LW_ISA_VARIANTS void synthesise_rows(double *x, const double *R, Index rows, Index r0, Index B,
                                     Index n, Index s, const double *g0, const double *g1,
                                     std::int32_t lh, double *stash) {
  synthesise_rows_impl<Pairs>(x, R, rows, r0, B, n, s, g0, g1, lh, stash);
}
#endif

// All levels of a long line in one sweep, coarsest first. Output i of a
// level reads the level's input at i - (lh-1)·s .. i, only backwards, so
// each level's sweep starts (lh-1)·s samples before the next finer one's
// and the levels run as a pipeline over chunks: each finer level keeps a
// short window of its low-pass input (the coarser level's output) in
// scratch, every sample is used while it is still in cache, and x is
// written once, in order. yl and the bands are read where they lie; only a
// chunk that runs over the line's end (the circular wrap) is copied into
// scratch first. The first (lh-1)·s samples of a finer level's input are
// read again at the end of its sweep and are kept aside as they pass. The
// sums are the level statement's.
constexpr Index fused_chunk = 1024;
// Doubles in a 64-byte line: a level's outputs are appended to the finer
// level's window at a line boundary, so that no store straddles two lines.
constexpr Index window_align = 8;

// Scratch (doubles) for the pipeline, or -1 when the line is too short for
// it (the levels' reaches add up to more than the line) or L too large.
std::int64_t fused_scratch(std::int64_t D, std::int64_t L, std::int64_t lh) {
  if (L < 1 || L > 30 || D < 4 * fused_chunk) return -1;
  const std::int64_t reach = (lh - 1) * ((std::int64_t(1) << L) - 1);  // all levels' reaches
  if (reach > D) return -1;
  // Per level two windows of C + 2·ext + reach (what a level can hold in one
  // step: its last chunk, grown by the coarser levels' reaches, its own
  // reach and the wrap) and the wrap kept aside, and room to align the
  // low-pass window (window_align).
  return 2 * L * (fused_chunk + reach) + 5 * reach + 2 * window_align * L;
}

struct Window {
  double *base;   // the low-pass window's room, on a line boundary
  double *a;      // the level's low-pass input, len samples (the coarsest
                  // level: room for a chunk of yl that runs over the end)
  double *wrap;   // room for a chunk of the band that runs over the end
  double *head;   // the first ext samples of the low-pass input, for the wrap
  Index s, ext;   // tap spacing, and the reach (lh-1)·s before an output
  Index start;    // position of the first input sample of the sweep
  Index beg, len; // sweep index of a[0], and how many are held
  Index fed;      // input samples appended so far (D, then D + ext with the wrap)
  Index done;     // outputs written
};

void synthesise_line_fused(double *x, Index D, std::int32_t L, const double *g0,
                           const double *g1, std::int32_t lh, const double *yl,
                           const double *yh, double *scratch) {
  Window lv[31] = {};
  double *p = scratch;
  const Index reach = Index(lh - 1) * ((Index(1) << L) - 1);
  Index start = 0;  // where the finer level's sweep starts (level 1: x's start)
  for (std::int32_t k = 1; k <= L; ++k) {
    Window &v = lv[k];
    v.s = Index(1) << (k - 1);
    v.ext = Index(lh - 1) * v.s;
    start -= v.ext;
    if (start < 0) start += D;
    v.start = start;
    const auto at = reinterpret_cast<std::uintptr_t>(p) / sizeof(double);
    p += (window_align - at % window_align) % window_align;
    v.base = v.a = p;
    p += fused_chunk + 2 * v.ext + reach + window_align;
    v.wrap = p;
    p += fused_chunk + 2 * v.ext + reach;
    v.head = p;
    p += v.ext;
    v.beg = v.len = v.fed = v.done = 0;
  }
  // n samples of the circular line src from sweep index t of level v: in
  // place, or copied into buf when they run over the line's end.
  auto samples = [&](const Window &v, const double *src, Index t, Index n,
                     double *buf) -> const double * {
    Index at = v.start + t;  // below 3D: t <= D + ext and start, ext < D
    while (at >= D) at -= D;
    if (at + n <= D) return src + at;
    double *dst = buf;
    while (n > 0) {
      const Index piece = D - at < n ? D - at : n;
      std::memcpy(dst, src + at, std::size_t(piece) * sizeof(double));
      dst += piece;
      n -= piece;
      at = 0;
    }
    return buf;
  };
  while (lv[1].done < D) {
    for (std::int32_t k = L; k >= 1; --k) {
      Window &v = lv[k];
      // The coarsest level reads yl itself, a chunk at a time; a finer one
      // what the coarser level has written into its window.
      Index upto = k == L ? v.done + fused_chunk : v.beg + v.len - v.ext;
      if (upto > D) upto = D;
      if (upto <= v.done) continue;
      const Index cnt = upto - v.done;
      const double *d = samples(v, yh + Index(k - 1) * D, v.done, cnt + v.ext, v.wrap);
      const double *a = k == L ? samples(v, yl, v.done, cnt + v.ext, v.a)
                               : v.a + (v.done - v.beg);
      if (k == 1) {
        synthesise_run(a, d, cnt, v.s, g0, g1, lh, x + v.done);
      } else {
        Window &nx = lv[k - 1];
        double *out = nx.a + nx.len;
        synthesise_run(a, d, cnt, v.s, g0, g1, lh, out);
        // Keep the start of the finer level's input for its wrap.
        for (Index t = v.done; t < upto && t < nx.ext; ++t) nx.head[t] = out[t - v.done];
        nx.len += cnt;
        nx.fed += cnt;
        if (nx.fed == D) {
          std::memcpy(nx.a + nx.len, nx.head, std::size_t(nx.ext) * sizeof(double));
          nx.len += nx.ext;
          nx.fed += nx.ext;
        }
      }
      v.done = upto;
      if (k == L) continue;
      // Drop the samples no later output reads, and put the kept ones where
      // the next one appended starts a line.
      const Index drop = v.done - v.beg, keep = v.len - drop;
      double *to = v.base + (window_align - keep % window_align) % window_align;
      std::memmove(to, v.a + drop, std::size_t(keep) * sizeof(double));
      v.a = to;
      v.beg += drop;
      v.len -= drop;
    }
  }
}

}  // namespace

void QUILLOMAR(double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
               std::int32_t L, const double *yl, const double *yh) {
  // Working shape: a column is worked on as a row holding the same data.
  const std::int32_t m = N == 1 ? 1 : M;
  const std::int32_t n = N == 1 ? M : N;
  if (m <= 0 || n <= 0) return;  // no samples: the result is empty

  if (L <= 0) {
    std::memcpy(x, yl, std::size_t(m) * std::size_t(n) * sizeof(double));
    return;
  }

  const bool one_d = m == 1;
  // A long line runs all its levels in one sweep when the windows take no
  // more than the line and the segments would.
  const std::int64_t need = one_d ? fused_scratch(n, L, lh) : -1;
  const bool fused = need >= 0 && need <= 5 * (std::int64_t(n) + lh - 1);
  const Scratch w = take_scratch(m, n, lh, fused ? std::size_t(need) : 0);
  if (!fused) std::memcpy(x, yl, std::size_t(m) * std::size_t(n) * sizeof(double));

  // Synthesis filters, halved: h, and h reversed with the odd-indexed taps
  // negated.
  for (std::int32_t i = 0; i < lh; ++i) {
    w.g0[i] = h[i] * 0.5;
    w.g1[i] = h[lh - 1 - i] * 0.5;
  }
  for (std::int32_t i = 1; i < lh; i += 2) w.g1[i] = -w.g1[i];

  const Index rows = m, cols = n, off = Index(lh) - 1;
  if (fused) {
    synthesise_line_fused(x, cols, L, w.g0, w.g1, lh, yl, yh, w.seg0);
    return;
  }
  for (std::int64_t k = L; k >= 1; --k) {
    const Index co = one_d ? (k - 1) * cols : 3 * cols * (k - 1);
    const double *band1 = yh + co * rows;  // in 1-D: the level's only band

    // Column pass: x with band 1 gives the row low-pass (back into x), band 2
    // with band 3 the row high-pass (into R).
    if (m > 1) {
      const Index s = level_spacing(k, m);
      const double *band2 = band1 + cols * rows, *band3 = band2 + cols * rows;
      const std::size_t bytes = std::size_t(rows) * sizeof(double);
      const bool direct = Index(lh - 1) * s < rows;
      for (Index c = 0; c < cols; ++c) {
        double *xc = x + c * rows;
        if (direct) {
          // Read in place; x's column is rebuilt in line1 and copied back.
          synthesise_column(xc, band1 + c * rows, rows, s, w.g0, w.g1, lh, w.seg0, w.seg2,
                            w.line1);
          std::memcpy(xc, w.line1, bytes);
          synthesise_column(band2 + c * rows, band3 + c * rows, rows, s, w.g0, w.g1, lh, w.seg0,
                            w.seg2, w.R + c * rows);
          continue;
        }
        std::memcpy(w.seg0 + off, xc, bytes);
        std::memcpy(w.seg1 + off, band1 + c * rows, bytes);
        std::memcpy(w.seg2 + off, band2 + c * rows, bytes);
        std::memcpy(w.seg3 + off, band3 + c * rows, bytes);
        synthesise_line(xc, rows, s, w.g0, w.g1, lh, w.seg0, w.seg1);
        synthesise_line(w.R + c * rows, rows, s, w.g0, w.g1, lh, w.seg2, w.seg3);
      }
    }

    // Row pass: each row of x with its high-pass line (the level's band in
    // 1-D, R in 2-D). A row of a matrix lies at stride m in storage: rows
    // are filtered side by side in vector lanes, or gathered into the
    // segments one by one.
    {
      const Index s = level_spacing(k, n);
      if (one_d) {
        const std::size_t bytes = std::size_t(cols) * sizeof(double);
        std::memcpy(w.seg0 + off, x, bytes);
        std::memcpy(w.seg1 + off, band1, bytes);
        synthesise_line(x, cols, s, w.g0, w.g1, lh, w.seg0, w.seg1);
      } else {
        // 32 or 16 rows at a time where their wrap fits in the segments'
        // room; the rows left over one by one.
        const Index ext = Index(lh - 1) * s;
        Index r = 0;
        const Index room = 4 * ((rows > cols ? rows : cols) + Index(lh) - 1);
        if (ext < cols && 16 * ext <= room) {
          if (32 * ext <= room)
            for (; r + 32 <= rows; r += 32)
              synthesise_rows(x, w.R, rows, r, 32, cols, s, w.g0, w.g1, lh, w.seg0);
          for (; r + 16 <= rows; r += 16)
            synthesise_rows(x, w.R, rows, r, 16, cols, s, w.g0, w.g1, lh, w.seg0);
        }
        for (; r < rows; ++r) {
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
