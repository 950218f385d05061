#include "quillomar_kernel.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "call_rules.h"
#include "lanes.h"
#include "mex.h"
#include "redundant_lines.h"

namespace lw::wavelet {

void bpconv(double *out, std::int32_t lx, const double *g0, const double *g1, std::int32_t lh,
            double *lowseg, double *highseg) {
  // Periodic extension to the left; running downwards, element t ends up
  // holding sample (t - (lh-1)) mod lx also when lh - 1 exceeds lx.
  for (Index t = Index(lh) - 2; t >= 0; --t) {
    lowseg[t] = lowseg[t + lx];
    highseg[t] = highseg[t + lx];
  }

  for (Index i = 0; i < lx; ++i) {
    double sum = 0.0;
    for (Index j = 0; j < lh; ++j) {
      sum = sum + lowseg[i + j] * g0[lh - 1 - j];
      sum = sum + highseg[i + j] * g1[lh - 1 - j];
    }
    out[i] = sum;
  }
}

namespace {

// One level along a line of len samples with tap spacing s (s divides len),
// low-pass a[t*step] and high-pass d[t*step]: for i = 0 .. len-1,
//   out[i*step] = sum_j (a[((i - (lh-1-j)*s) mod len)*step]*g0[lh-1-j]
//                        + d[((i - (lh-1-j)*s) mod len)*step]*g1[lh-1-j]),
// one running sum from +0.0 adding, for each j in increasing order, the
// low-pass product and then the high-pass product. Each of the s phases
// (the samples p, p + s, p + 2s, ..) is a periodic line of len/s samples of
// its own, placed into lowseg and highseg from element lh-1 on (room for
// len/s + lh - 1 each), synthesised by bpconv into line (len/s) and stored
// back. out may be a: a phase is read before it is written.
void level_by_phases(const double *a, const double *d, Index step, Index len, Index s,
                     const double *g0, const double *g1, std::int32_t lh, double *out,
                     double *lowseg, double *highseg, double *line) {
  const Index count = len / s, off = Index(lh) - 1;
  for (Index p = 0; p < s; ++p) {
    for (Index t = 0; t < count; ++t) {
      lowseg[off + t] = a[(p + t * s) * step];
      highseg[off + t] = d[(p + t * s) * step];
    }
    bpconv(line, std::int32_t(count), g0, g1, lh, lowseg, highseg);
    for (Index t = 0; t < count; ++t) out[(p + t * s) * step] = line[t];
  }
}

#if !defined(LW_FAST_KERNELS)
// The inverse level by level and line by line through bpconv, as the
// levels are defined: the portable path. m×n is the working shape, x
// already holds yl; row_hi (m×n, 2-D only) takes the rebuilt row high-pass
// of a level. Scratch: two segments and a line.
void quillomar_plain(std::int32_t m, std::int32_t n, const double *g0, const double *g1,
                     std::int32_t lh, std::int32_t L, double *x, const double *yh, double *row_hi,
                     double *lowseg, double *highseg, double *line) {
  const Index rows = m, cols = n, band = rows * cols;
  for (std::int64_t k = L; k >= 1; --k) {
    const double *band1 = yh + (m == 1 ? 1 : 3) * (k - 1) * band;  // in 1-D its only band
    // Column pass: x with band 1 gives the row low-pass (back into x), band 2
    // with band 3 the row high-pass.
    if (m > 1) {
      const double *band2 = band1 + band, *band3 = band2 + band;
      const Index sc = level_spacing(k, rows);
      for (Index c = 0; c < cols; ++c) {
        level_by_phases(x + c * rows, band1 + c * rows, 1, rows, sc, g0, g1, lh, x + c * rows,
                        lowseg, highseg, line);
        level_by_phases(band2 + c * rows, band3 + c * rows, 1, rows, sc, g0, g1, lh,
                        row_hi + c * rows, lowseg, highseg, line);
      }
    }
    // Row pass: each row of x with its high-pass line.
    const double *high = m > 1 ? row_hi : band1;
    const Index sr = level_spacing(k, cols);
    for (Index r = 0; r < rows; ++r)
      level_by_phases(x + r, high + r, rows, cols, sr, g0, g1, lh, x + r, lowseg, highseg, line);
  }
}
#else

// The fast path. Every output keeps its one running sum in the order
// written above; only independent outputs share vector lanes.

// One tap of four sets of lanes of consecutive outputs: each sum takes the
// low-pass product (u, weight f0) and then the high-pass one (v, f1).
template <class Lane>
__attribute__((always_inline)) inline void add_tap(Lane &s0, Lane &s1, Lane &s2, Lane &s3,
                                                   const double *u, const double *v, double f0,
                                                   double f1) {
  s0 = s0 + load<Lane>(u) * f0;
  s1 = s1 + load<Lane>(u + kLanes) * f0;
  s2 = s2 + load<Lane>(u + 2 * kLanes) * f0;
  s3 = s3 + load<Lane>(u + 3 * kLanes) * f0;
  s0 = s0 + load<Lane>(v) * f1;
  s1 = s1 + load<Lane>(v + kLanes) * f1;
  s2 = s2 + load<Lane>(v + 2 * kLanes) * f1;
  s3 = s3 + load<Lane>(v + 3 * kLanes) * f1;
}

// One level over a stretch without wrap, the low-pass samples in a and the
// high-pass ones in d, both holding count + (lh-1)·s doubles: for
// t = 0 .. count-1,
//   out[t] = sum_j (a[t + j·s]*g0[lh-1-j] + d[t + j·s]*g1[lh-1-j]),
// one running sum from +0.0, for each j in increasing order the low-pass
// product and then the high-pass one. Consecutive outputs sit in vector
// lanes, each lane its own sum.
template <class Lane>
__attribute__((always_inline)) inline void synthesise_run_lanes(const double *a, const double *d,
                                                               Index count, Index s,
                                                               const double *g0, const double *g1,
                                                               std::int32_t lh, double *out) {
  Index i = 0;
  for (; i + 4 * kLanes <= count; i += 4 * kLanes) {  // four sums in flight hide the adds' latency
    Lane s0 = {}, s1 = {}, s2 = {}, s3 = {};
    const double *u = a + i, *v = d + i;
    for (Index j = 0; j < lh; ++j, u += s, v += s) {
      add_tap(s0, s1, s2, s3, u, v, g0[lh - 1 - j], g1[lh - 1 - j]);
    }
    store(out + i, s0);
    store(out + i + kLanes, s1);
    store(out + i + 2 * kLanes, s2);
    store(out + i + 3 * kLanes, s3);
  }
  for (; i + 2 * kLanes <= count; i += 2 * kLanes) {
    Lane s0 = {}, s1 = {};
    const double *u = a + i, *v = d + i;
    for (Index j = 0; j < lh; ++j, u += s, v += s) {
      const double f0 = g0[lh - 1 - j], f1 = g1[lh - 1 - j];
      s0 = s0 + load<Lane>(u) * f0;
      s1 = s1 + load<Lane>(u + kLanes) * f0;
      s0 = s0 + load<Lane>(v) * f1;
      s1 = s1 + load<Lane>(v + kLanes) * f1;
    }
    store(out + i, s0);
    store(out + i + kLanes, s1);
  }
  for (; i < count; ++i) {
    double sum = 0.0;
    const double *u = a + i, *v = d + i;
    for (Index j = 0; j < lh; ++j, u += s, v += s) {
      sum = sum + *u * g0[lh - 1 - j];
      sum = sum + *v * g1[lh - 1 - j];
    }
    out[i] = sum;
  }
}
LW_LANES(synthesise_run,
         (const double *a, const double *d, Index count, Index s, const double *g0,
          const double *g1, std::int32_t lh, double *out),
         (a, d, count, s, g0, g1, lh, out))

// One level down a column of len samples, low-pass a and high-pass d, into
// out (not overlapping them): the outputs from (lh-1)·s on read the column
// directly; the first (lh-1)·s read past its start (the wrap) and are
// computed from wa and wd (room for 2(lh-1)·s doubles each), where the
// column's last and first (lh-1)·s samples are copied. Needs (lh-1)·s < len.
inline void synthesise_column(const double *a, const double *d, Index len, Index s,
                              const double *g0, const double *g1, std::int32_t lh, double *wa,
                              double *wd, double *out) {
  const Index ext = Index(lh - 1) * s;
  const std::size_t head = std::size_t(ext) * sizeof(double);
  synthesise_run(a, d, len - ext, s, g0, g1, lh, out + ext);
  std::memcpy(wa, a + (len - ext), head);
  std::memcpy(wa + ext, a, head);
  std::memcpy(wd, d + (len - ext), head);
  std::memcpy(wd + ext, d, head);
  synthesise_run(wa, wd, ext, s, g0, g1, lh, out);
}

// The row pass of a matrix on B = 2 or 4 sets of lanes of rows from r0, in
// place in x (rows×n, row_hi the high-pass image of the same shape): rows sit in vector lanes, so
// every tap reads consecutive doubles of one column. Output column c reads
// columns c - (lh-1)·s .. c, so the columns run downwards and each is
// read before it is written, except for the wrap: the last (lh-1)·s columns
// of x, read again by the first outputs, are copied into stash (B per
// column) before anything is written. Each output is one running sum from
// +0.0, for each j in increasing order the low-pass product and then the
// high-pass one, as a row synthesised alone. Needs (lh-1)·s < n.
template <class Lane>
__attribute__((always_inline)) inline void synthesise_rows_lanes(double *x, const double *row_hi,
                                                                Index rows, Index r0, Index B,
                                                                Index n, Index s, const double *g0,
                                                                const double *g1, std::int32_t lh,
                                                                double *stash) {
  const Index ext = Index(lh - 1) * s;
  for (Index q = n - ext; q < n; ++q)
    std::memcpy(stash + (q - (n - ext)) * B, x + q * rows + r0, std::size_t(B) * sizeof(double));
  if (B == 4 * kLanes) {  // four sums in flight hide the adds' latency
    for (Index c = n - 1; c >= 0; --c) {
      Lane s0 = {}, s1 = {}, s2 = {}, s3 = {};
      for (Index j = 0; j < lh; ++j) {
        const Index q = c - Index(lh - 1 - j) * s;
        const double *u = q >= 0 ? x + q * rows + r0 : stash + (q + ext) * B;
        const double *v = row_hi + (q >= 0 ? q : q + n) * rows + r0;
        add_tap(s0, s1, s2, s3, u, v, g0[lh - 1 - j], g1[lh - 1 - j]);
      }
      double *o = x + c * rows + r0;
      store(o, s0);
      store(o + kLanes, s1);
      store(o + 2 * kLanes, s2);
      store(o + 3 * kLanes, s3);
    }
    return;
  }
  for (Index c = n - 1; c >= 0; --c) {
    Lane s0 = {}, s1 = {};
    for (Index j = 0; j < lh; ++j) {
      const double f0 = g0[lh - 1 - j], f1 = g1[lh - 1 - j];
      const Index q = c - Index(lh - 1 - j) * s;
      const double *u = q >= 0 ? x + q * rows + r0 : stash + (q + ext) * B;
      const double *v = row_hi + (q >= 0 ? q : q + n) * rows + r0;
      s0 = s0 + load<Lane>(u) * f0;
      s1 = s1 + load<Lane>(u + kLanes) * f0;
      s0 = s0 + load<Lane>(v) * f1;
      s1 = s1 + load<Lane>(v + kLanes) * f1;
    }
    store(x + c * rows + r0, s0);
    store(x + c * rows + r0 + kLanes, s1);
  }
}
LW_LANES(synthesise_rows,
         (double *x, const double *row_hi, Index rows, Index r0, Index B, Index n, Index s,
          const double *g0, const double *g1, std::int32_t lh, double *stash),
         (x, row_hi, rows, r0, B, n, s, g0, g1, lh, stash))

// One level along a line of len samples, low-pass a[t*step] and high-pass
// d[t*step], into out[t*step] (out may be a). When the wrap, (lh-1)*s
// samples, fits in front of the line in wa and wd (room for cap doubles
// each), the line is copied there after its periodic extension (running
// downwards, so a line shorter than the wrap is repeated) and every
// output's taps are read contiguously; a longer wrap goes phase by phase.
// line (len doubles) takes the outputs of a strided line before they are
// stored.
void synthesise_line(const double *a, const double *d, Index step, Index len, Index s,
                     const double *g0, const double *g1, std::int32_t lh, double *out,
                     double *wa, double *wd, Index cap, double *line) {
  const Index ext = Index(lh - 1) * s;
  if (ext > cap - len) {
    level_by_phases(a, d, step, len, s, g0, g1, lh, out, wa, wd, line);
    return;
  }
  for (Index t = 0; t < len; ++t) {
    wa[ext + t] = a[t * step];
    wd[ext + t] = d[t * step];
  }
  for (Index t = ext - 1; t >= 0; --t) {
    wa[t] = wa[t + len];
    wd[t] = wd[t + len];
  }
  if (step == 1) {
    synthesise_run(wa, wd, len, s, g0, g1, lh, out);
    return;
  }
  synthesise_run(wa, wd, len, s, g0, g1, lh, line);
  for (Index t = 0; t < len; ++t) out[t * step] = line[t];
}

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
// sums are those written above.
constexpr Index fused_chunk = 1024;
// Doubles in a 64-byte line: a level's outputs are appended to the finer
// level's window at a line boundary, so that no store straddles two lines.
constexpr Index window_align = 8;

// Scratch (doubles) for the pipeline, or -1 when the line is too short for
// it (the levels' reaches add up to more than the line) or L too large.
std::int64_t fused_scratch(std::int64_t len, std::int64_t L, std::int64_t lh) {
  if (L < 1 || L > 30 || len < 4 * fused_chunk) return -1;
  const std::int64_t reach = (lh - 1) * ((std::int64_t(1) << L) - 1);  // all levels' reaches
  if (reach > len) return -1;
  // Per level two windows of C + 2·ext + reach (what a level can hold in one
  // step: its last chunk, grown by the coarser levels' reaches, its own
  // reach and the wrap) and the wrap kept aside, and room to align the
  // low-pass window (window_align).
  return 2 * L * (fused_chunk + reach) + 5 * reach + 2 * window_align * L;
}

struct Window {
  double *base;   // the low-pass window's room, on a line boundary
  double *a;      // the level's low-pass input, held samples (the coarsest
                  // level: room for a chunk of yl that runs over the end)
  double *wrap;   // room for a chunk of the band that runs over the end
  double *head;   // the first ext samples of the low-pass input, for the wrap
  Index s, ext;   // tap spacing, and the reach (lh-1)·s before an output
  Index start;    // position of the first input sample of the sweep
  Index beg, held;  // sweep index of a[0], and how many are held
  Index fed;      // input samples appended so far (len, then len + ext with the wrap)
  Index done;     // outputs written
};

void synthesise_line_fused(double *x, Index len, std::int32_t L, const double *g0,
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
    if (start < 0) start += len;
    v.start = start;
    const auto at = reinterpret_cast<std::uintptr_t>(p) / sizeof(double);
    p += (window_align - at % window_align) % window_align;
    v.base = v.a = p;
    p += fused_chunk + 2 * v.ext + reach + window_align;
    v.wrap = p;
    p += fused_chunk + 2 * v.ext + reach;
    v.head = p;
    p += v.ext;
    v.beg = v.held = v.fed = v.done = 0;
  }
  // n samples of the circular line src from sweep index t of level v: in
  // place, or copied into buf when they run over the line's end.
  auto samples = [&](const Window &v, const double *src, Index t, Index n,
                     double *buf) -> const double * {
    Index at = v.start + t;  // below 3*len: t <= len + ext and start, ext < len
    while (at >= len) at -= len;
    if (at + n <= len) return src + at;
    double *dst = buf;
    while (n > 0) {
      const Index piece = len - at < n ? len - at : n;
      std::memcpy(dst, src + at, std::size_t(piece) * sizeof(double));
      dst += piece;
      n -= piece;
      at = 0;
    }
    return buf;
  };
  while (lv[1].done < len) {
    for (std::int32_t k = L; k >= 1; --k) {
      Window &v = lv[k];
      // The coarsest level reads yl itself, a chunk at a time; a finer one
      // what the coarser level has written into its window.
      Index upto = k == L ? v.done + fused_chunk : v.beg + v.held - v.ext;
      if (upto > len) upto = len;
      if (upto <= v.done) continue;
      const Index count = upto - v.done;
      const double *d = samples(v, yh + Index(k - 1) * len, v.done, count + v.ext, v.wrap);
      const double *a = k == L ? samples(v, yl, v.done, count + v.ext, v.a)
                               : v.a + (v.done - v.beg);
      if (k == 1) {
        synthesise_run(a, d, count, v.s, g0, g1, lh, x + v.done);
      } else {
        Window &nx = lv[k - 1];
        double *out = nx.a + nx.held;
        synthesise_run(a, d, count, v.s, g0, g1, lh, out);
        // Keep the start of the finer level's input for its wrap.
        for (Index t = v.done; t < upto && t < nx.ext; ++t) nx.head[t] = out[t - v.done];
        nx.held += count;
        nx.fed += count;
        if (nx.fed == len) {
          std::memcpy(nx.a + nx.held, nx.head, std::size_t(nx.ext) * sizeof(double));
          nx.held += nx.ext;
          nx.fed += nx.ext;
        }
      }
      v.done = upto;
      if (k == L) continue;
      // Drop the samples no later output reads, and put the kept ones where
      // the next one appended starts a line.
      const Index drop = v.done - v.beg, keep = v.held - drop;
      double *to = v.base + (window_align - keep % window_align) % window_align;
      std::memmove(to, v.a + drop, std::size_t(keep) * sizeof(double));
      v.a = to;
      v.beg += drop;
      v.held -= drop;
    }
  }
}

// The levels of a matrix, or of a line too short for the pipeline; x
// already holds yl. row_hi (m×n, 2-D only) takes the rebuilt row high-pass
// of a level, line P doubles, and wa has room for two halves of cap =
// 2(P + lh - 1) doubles.
void quillomar_fast(std::int32_t m, std::int32_t n, const double *g0, const double *g1,
                    std::int32_t lh, std::int32_t L, double *x, const double *yh, double *row_hi,
                    double *line, double *wa, Index cap) {
  const Index rows = m, cols = n, band = rows * cols;
  double *wd = wa + cap;
  for (std::int64_t k = L; k >= 1; --k) {
    const double *band1 = yh + (m == 1 ? 1 : 3) * (k - 1) * band;  // in 1-D its only band
    const Index sr = level_spacing(k, cols);
    if (m == 1) {
      synthesise_line(x, band1, 1, cols, sr, g0, g1, lh, x, wa, wd, cap, line);
      continue;
    }

    // Column pass: x with band 1 gives the row low-pass (back into x), band 2
    // with band 3 the row high-pass (into row_hi).
    const double *band2 = band1 + band, *band3 = band2 + band;
    const Index sc = level_spacing(k, rows);
    const bool direct = Index(lh - 1) * sc < rows;
    for (Index c = 0; c < cols; ++c) {
      double *xc = x + c * rows;
      if (direct) {
        // Read in place; x's column is rebuilt in line and copied back.
        synthesise_column(xc, band1 + c * rows, rows, sc, g0, g1, lh, wa, wd, line);
        std::memcpy(xc, line, std::size_t(rows) * sizeof(double));
        synthesise_column(band2 + c * rows, band3 + c * rows, rows, sc, g0, g1, lh, wa, wd,
                          row_hi + c * rows);
        continue;
      }
      synthesise_line(xc, band1 + c * rows, 1, rows, sc, g0, g1, lh, xc, wa, wd, cap, line);
      synthesise_line(band2 + c * rows, band3 + c * rows, 1, rows, sc, g0, g1, lh,
                      row_hi + c * rows, wa, wd, cap, line);
    }

    // Row pass: each row of x with its row of row_hi. A row lies at stride
    // m in storage: rows are synthesised side by side in vector lanes, four
    // or two sets at a time where their wrap fits in the stash (wa and wd),
    // the rows left over one by one.
    const Index ext = Index(lh - 1) * sr;
    Index r = 0;
    if (ext < cols && 2 * kLanes * ext <= 2 * cap) {
      if (4 * kLanes * ext <= 2 * cap)
        for (; r + 4 * kLanes <= rows; r += 4 * kLanes)
          synthesise_rows(x, row_hi, rows, r, 4 * kLanes, cols, sr, g0, g1, lh, wa);
      for (; r + 2 * kLanes <= rows; r += 2 * kLanes)
        synthesise_rows(x, row_hi, rows, r, 2 * kLanes, cols, sr, g0, g1, lh, wa);
    }
    for (; r < rows; ++r)
      synthesise_line(x + r, row_hi + r, rows, cols, sr, g0, g1, lh, x + r, wa, wd, cap, line);
  }
}

#endif  // LW_FAST_KERNELS

}  // namespace

void QUILLOMAR(double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
               std::int32_t L, const double *yl, const double *yh) {
  // Working shape: a column is worked on as a row holding the same data.
  const std::int32_t m = N == 1 ? 1 : M;
  const std::int32_t n = N == 1 ? M : N;
  if (m <= 0 || n <= 0) return;  // no samples: the result is empty

  const std::size_t samples = std::size_t(m) * std::size_t(n);
  if (L <= 0) {  // zero levels: x is yl
    std::memcpy(x, yl, samples * sizeof(double));
    return;
  }

  // All scratch at once: in 2-D an image for the rebuilt row high-pass of a
  // level; then a line of P and segments of P + lh - 1 (two on the plain
  // path, four on the fast path), or the pipeline's windows; then the
  // synthesis filters g0 and g1 (lh each). The image comes first so that its
  // columns keep the block's alignment whatever lh is: the row pass reads
  // them a set of lanes at a time.
  const std::uint64_t P = std::uint64_t(m > n ? m : n);
  const std::uint64_t image = m > 1 ? samples : 0;
  const std::uint64_t seg = P + std::uint64_t(lh) - 1;
#if defined(LW_FAST_KERNELS)
  // A long line runs all its levels in one sweep when the windows take no
  // more than the line and the segments would.
  const std::int64_t need = m == 1 ? fused_scratch(n, L, lh) : -1;
  const bool fused = need >= 0 && need <= 5 * (std::int64_t(n) + lh - 1);
  const std::uint64_t work = fused ? std::uint64_t(need) : P + 4 * seg;
#else
  const std::uint64_t work = P + 2 * seg;
#endif
  double *row_hi = scratch_doubles(image + work + 2 * std::uint64_t(lh), wording);
  double *line = row_hi + image;
  double *g0 = line + work;
  double *g1 = g0 + lh;

  // Synthesis filters, halved: h, and h reversed with the odd-indexed taps
  // negated.
  for (std::int32_t i = 0; i < lh; ++i) {
    g0[i] = h[i] * 0.5;
    g1[i] = h[lh - 1 - i] * 0.5;
  }
  for (std::int32_t i = 1; i < lh; i += 2) g1[i] = -g1[i];

#if defined(LW_FAST_KERNELS)
  if (fused) {
    synthesise_line_fused(x, n, L, g0, g1, lh, yl, yh, line);
    return;
  }
  std::memcpy(x, yl, samples * sizeof(double));
  quillomar_fast(m, n, g0, g1, lh, L, x, yh, row_hi, line, line + P, 2 * Index(seg));
#else
  std::memcpy(x, yl, samples * sizeof(double));
  double *lowseg = line + P;
  quillomar_plain(m, n, g0, g1, lh, L, x, yh, row_hi, lowseg, lowseg + seg, line);
#endif
}

}  // namespace lw::wavelet
