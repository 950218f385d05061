#include "vestran_kernel.h"

#include <cstddef>

#include "call_rules.h"
#include "lanes.h"
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

// The inverse one line at a time through bpsconv, as the levels are
// defined: the portable path, and the fast path's for shapes whose blocks
// do not tile the input by exact halving (which only a direct kernel call
// can produce: the gateway admits a side above 1 only as a multiple of
// 2^L). m×n is the working shape.
void vestran_plain(double *x, std::int32_t m, std::int32_t n, const double *h, std::int32_t lh,
                   std::int32_t L, const double *y) {
  const std::size_t count = std::size_t(m) * std::size_t(n);
  for (std::size_t k = 0; k < count; ++k) x[k] = y[k];
  if (L <= 0 || lh < 2) return;
  const std::int32_t P = m > n ? m : n;

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
  const std::uint64_t ad_len = std::uint64_t(P) + std::uint64_t(lhh) - 1;
  double *out = scratch_doubles(std::uint64_t(P) + 2 * ad_len + 2 * std::uint64_t(lh), wording);
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

#if defined(LW_FAST_KERNELS)

// The fast path. Each output is still one sum from 0.0 with its terms in
// increasing k, the low-pass term and then the high-pass term; only
// independent outputs (consecutive output pairs of a line, or the same pair
// of many rows) share vector lanes, so no bit of any sum changes.
constexpr std::int32_t kStep = 2 * kLanes;  // output pairs per block of a line: two sets of
                                            // lanes for each of its two sums

// Tap k of the four sums: e0/e1 the low/high terms of out[2i], o0/o1 those
// of out[2i+1].
struct Taps {
  const double *e0, *e1, *o0, *o1;
};

// Tap k of sixteen output pairs, two sets of lanes: the even sums take the
// low-pass then the high-pass product, and so do the odd ones. a and d point
// at the tap's sixteen coefficients of each kind.
template <class Lane>
__attribute__((always_inline)) inline void add_tap(Lane &e0, Lane &o0, Lane &e1, Lane &o1,
                                                   const double *a, const double *d,
                                                   const Taps &g, std::int32_t k) {
  const Lane a0 = load<Lane>(a), a1 = load<Lane>(a + kLanes), d0 = load<Lane>(d),
             d1 = load<Lane>(d + kLanes);
  const double ge0 = g.e0[k], ge1 = g.e1[k], go0 = g.o0[k], go1 = g.o1[k];
  e0 = e0 + a0 * ge0;
  e1 = e1 + a1 * ge0;
  e0 = e0 + d0 * ge1;
  e1 = e1 + d1 * ge1;
  o0 = o0 + a0 * go0;
  o1 = o1 + a1 * go0;
  o0 = o0 + d0 * go1;
  o1 = o1 + d1 * go1;
}

// kStep output pairs starting at pair i0 of a line, a[k + b] and d[k + b]
// being the coefficients of tap k for pair i0 + b; stores the first nb
// pairs at out[2*i0 ...]. Reads every tap before storing, so out may overlap
// the coefficients the block reads. The taps are loaded eight pairs at a
// time (written per lane, GCC would carry single coefficients from one tap
// to the next in registers and never form a vector load).
// Always inlined: called, it would be built for the baseline only.
template <class Lane>
__attribute__((always_inline)) inline void synthesise_pairs(const double *a, const double *d,
                                                            std::int32_t lhh, const Taps &g,
                                                            std::int32_t nb, double *out) {
  if (nb == kStep) {  // two sets of lanes: four chains of additions in flight
    Lane e0 = {}, o0 = {}, e1 = {}, o1 = {};
    for (std::int32_t k = 0; k < lhh; ++k) {
      add_tap(e0, o0, e1, o1, a + k, d + k, g, k);
    }
    store(out, interleave_low(e0, o0));  // out[2b] = e[b], out[2b + 1] = o[b]
    store(out + kLanes, interleave_high(e0, o0));
    store(out + 2 * kLanes, interleave_low(e1, o1));
    store(out + 3 * kLanes, interleave_high(e1, o1));
    return;
  }
  // a short block: read no coefficient past the last pair's
  double e[kStep] = {}, o[kStep] = {};
  for (std::int32_t k = 0; k < lhh; ++k)
    for (std::int32_t b = 0; b < nb; ++b) {
      e[b] = e[b] + a[k + b] * g.e0[k];
      e[b] = e[b] + d[k + b] * g.e1[k];
      o[b] = o[b] + a[k + b] * g.o0[k];
      o[b] = o[b] + d[k + b] * g.o1[k];
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
// coefficient the pairs below it read. hi must not overlap out. next, if
// not null, is the line rebuilt after this one (its low coefficients, the
// high ones H further), read ahead as this one goes: lines taken one after
// another in a matrix lie a column apart, which the hardware does not
// prefetch across.
template <class Lane>
__attribute__((always_inline)) inline void synthesise_line_lanes(const double *lo, const double *hi,
                                                                std::int32_t H, std::int32_t lhh,
                                                                const Taps &g, double *A, double *D,
                                                                double *out, const double *next) {
  std::int32_t head = ((lhh - 1 + kStep - 1) / kStep) * kStep;  // pairs that wrap, rounded up
  if (head > H) head = H;
  // The first pairs read up to entry head - 1 + lhh - 1 of the copy.
  const std::int32_t copied = head == 0 ? 0 : lhh - 1 + head;
  std::int32_t c = (1 - lhh) % H;  // coefficient of entry 0, modulo H
  if (c < 0) c += H;
  for (std::int32_t p = 0; p < copied; ++p) {
    A[p] = lo[c];
    D[p] = hi[c];
    if (++c == H) c = 0;
  }
  const double *a = lo - (lhh - 1), *d = hi - (lhh - 1);  // a[i + k]: tap k of pair i
  for (std::int32_t i0 = head + ((H - head - 1) / kStep) * kStep; i0 >= head && i0 < H;
       i0 -= kStep) {
    const std::int32_t nb = H - i0 < kStep ? H - i0 : kStep;
    if (next) {
      prefetch(next + i0, kStep);
      prefetch(next + H + i0, kStep);
    }
    synthesise_pairs<Lane>(a + i0, d + i0, lhh, g, nb, out + 2 * std::ptrdiff_t(i0));
  }
  for (std::int32_t i0 = 0; i0 < head; i0 += kStep) {
    const std::int32_t nb = head - i0 < kStep ? head - i0 : kStep;
    synthesise_pairs<Lane>(A + i0, D + i0, lhh, g, nb, out + 2 * std::ptrdiff_t(i0));
  }
}
LW_LANES(synthesise_line,
         (const double *lo, const double *hi, std::int32_t H, std::int32_t lhh, const Taps &g,
          double *A, double *D, double *out, const double *next),
         (lo, hi, H, lhh, g, A, D, out, next))

// Row pass of output pair t (columns 2t and 2t + 1) over all R rows of a
// block, the rows in vector lanes. Tap k reads low and high coefficient
// first + k of every row, first = t - (lhh-1): the column pass's output for
// it, a column of R doubles, at lo_ring/hi_ring + ((first + k) mod lhh)*R,
// or, for a coefficient before the first, at lo_wrap/hi_wrap +
// (first + k + lhh - 1)*R (the periodic extension).
template <class Lane>
__attribute__((always_inline)) inline void synthesise_columns_lanes(
    double *even, double *odd, std::int32_t R, std::int32_t first, std::int32_t lhh, const Taps &g,
    const double *lo_ring, const double *hi_ring, const double *lo_wrap, const double *hi_wrap) {
  const std::int32_t lhm = lhh - 1;
  const std::int32_t slot0 = first >= 0 ? first % lhh : 0;  // slot of the first tap in the ring
  auto column = [&](std::int32_t k, std::int32_t &slot, const double *&a, const double *&d) {
    const std::int32_t c = first + k;
    if (c < 0) {
      a = lo_wrap + std::ptrdiff_t(c + lhm) * R;
      d = hi_wrap + std::ptrdiff_t(c + lhm) * R;
    } else {
      a = lo_ring + std::ptrdiff_t(slot) * R;
      d = hi_ring + std::ptrdiff_t(slot) * R;
      slot = slot + 1 == lhh ? 0 : slot + 1;
    }
  };
  std::int32_t b = 0;
  for (; b + 2 * kLanes <= R; b += 2 * kLanes) {
    Lane e0 = {}, e1 = {}, o0 = {}, o1 = {};
    std::int32_t slot = slot0;
    for (std::int32_t k = 0; k < lhh; ++k) {
      const double *a, *d;
      column(k, slot, a, d);
      add_tap(e0, o0, e1, o1, a + b, d + b, g, k);
    }
    store(even + b, e0);
    store(even + b + kLanes, e1);
    store(odd + b, o0);
    store(odd + b + kLanes, o1);
  }
  for (; b + kLanes <= R; b += kLanes) {
    Lane e0 = {}, o0 = {};
    std::int32_t slot = slot0;
    for (std::int32_t k = 0; k < lhh; ++k) {
      const double *a, *d;
      column(k, slot, a, d);
      const Lane a0 = load<Lane>(a + b), d0 = load<Lane>(d + b);
      e0 = e0 + a0 * g.e0[k];
      e0 = e0 + d0 * g.e1[k];
      o0 = o0 + a0 * g.o0[k];
      o0 = o0 + d0 * g.o1[k];
    }
    store(even + b, e0);
    store(odd + b, o0);
  }
  for (; b < R; ++b) {
    double e = 0.0, o = 0.0;
    std::int32_t slot = slot0;
    for (std::int32_t k = 0; k < lhh; ++k) {
      const double *a, *d;
      column(k, slot, a, d);
      e = e + a[b] * g.e0[k];
      e = e + d[b] * g.e1[k];
      o = o + a[b] * g.o0[k];
      o = o + d[b] * g.o1[k];
    }
    even[b] = e;
    odd[b] = o;
  }
}
LW_LANES(synthesise_columns,
         (double *even, double *odd, std::int32_t R, std::int32_t first, std::int32_t lhh,
          const Taps &g, const double *lo_ring, const double *hi_ring, const double *lo_wrap,
          const double *hi_wrap),
         (even, odd, R, first, lhh, g, lo_ring, hi_ring, lo_wrap, hi_wrap))

// The inverse with the rows in vector lanes. Needs the blocks to tile the
// input by exact halving with even sides (the gateway's size checks
// guarantee that for every L >= 1): then level 1 rewrites every entry, so x
// need not start as a copy of y; coefficients are read from y where no
// coarser level has written. Says whether the shape allowed it.
bool vestran_fast(double *x, std::int32_t m, std::int32_t n, const double *h, std::int32_t lh,
                  std::int32_t L, const double *y) {
  if (L < 1 || L > 30 || lh < 2) return false;
  const std::int64_t scale = std::int64_t(1) << (L - 1);
  if (n % (2 * scale) != 0 || (m > 1 && m % (2 * scale) != 0)) return false;

  // All scratch at once:
  //  - the taps of the four sums, lhh each;
  //  - twice the wrapped start of one line, lhh - 1 + min(P/2, lhh - 1 +
  //    kStep) + kStep (P the longer side);
  //  - for a matrix, the column pass's output for 2*lhh columns and the
  //    periodic extension of 2*(lhh - 1), m doubles each.
  const std::int32_t lhh = lh / 2;
  const std::uint64_t lhm = std::uint64_t(lhh) - 1;
  const std::uint64_t P = std::uint64_t(m > n ? m : n);
  const std::uint64_t wrap = lhm + kStep;
  const std::uint64_t line_len = lhm + (P / 2 < wrap ? P / 2 : wrap) + kStep;
  const std::uint64_t columns = m > 1 ? (2 * std::uint64_t(lhh) + 2 * lhm) * std::uint64_t(m) : 0;
  double *taps = scratch_doubles(4 * std::uint64_t(lhh) + 2 * line_len + columns, wording);
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
  double *D = A + line_len;
  double *lo_ring = D + line_len;
  double *hi_ring = lo_ring + std::ptrdiff_t(lhh) * m;
  double *lo_wrap = hi_ring + std::ptrdiff_t(lhh) * m;
  double *hi_wrap = lo_wrap + std::ptrdiff_t(lhm) * m;

  for (std::int32_t k = L; k >= 1; --k) {
    const std::int32_t C = n >> (k - 1), H = C / 2;
    // The low-low quarter is the previous (coarser) level's output, except
    // at the coarsest level; every other coefficient is still y's.
    const double *low = k == L ? y : x;
    if (m == 1) {
      synthesise_line(low, y + H, H, lhh, g, A, D, x, nullptr);
      continue;
    }
    // A matrix level goes by output pairs of the rows, from the last down.
    // Pair t reads the column pass's output for low and high columns
    // t - (lhh-1) .. t (modulo H), and stores columns 2t and 2t + 1 of x.
    // The column pass runs just ahead into scratch: column c when pair
    // c + lhh - 1 (or the last) needs it, kept in slot c mod lhh of a ring
    // of lhh columns until the pairs that read it are done; the columns the
    // first pairs read periodically from the end of the half are passed
    // before anything, into their own slots. So x is written once, and
    // column c of the low-low quarter, which pair c/2 overwrites, has been
    // read well before.
    const std::int32_t R = m >> (k - 1), R2 = R / 2;
    // The column pass of low column c and high column H + c; column c - 1
    // comes next.
    auto pass = [&](std::int32_t c, double *lo_out, double *hi_out) {
      const std::ptrdiff_t at = std::ptrdiff_t(c) * m, ht = std::ptrdiff_t(H + c) * m;
      const bool more = c > 0;
      synthesise_line(low + at, y + at + R2, R2, lhh, g, A, D, lo_out,
                      more ? low + at - m : nullptr);
      synthesise_line(y + ht, y + ht + R2, R2, lhh, g, A, D, hi_out, more ? y + ht - m : nullptr);
    };
    for (std::int32_t p = 0; p < lhh - 1; ++p) {
      std::int32_t c = (p - (lhh - 1)) % H;
      if (c < 0) c += H;
      pass(c, lo_wrap + std::ptrdiff_t(p) * R, hi_wrap + std::ptrdiff_t(p) * R);
    }
    std::int32_t passed = H;  // columns passed ahead: passed .. H-1
    for (std::int32_t t = H - 1; t >= 0; --t) {
      const std::int32_t first = t - (lhh - 1);
      for (const std::int32_t need = first > 0 ? first : 0; passed > need;) {
        --passed;
        const std::ptrdiff_t slot = std::ptrdiff_t(passed % lhh) * R;
        pass(passed, lo_ring + slot, hi_ring + slot);
      }
      double *even = x + 2 * std::ptrdiff_t(t) * m;
      synthesise_columns(even, even + m, R, first, lhh, g, lo_ring, hi_ring, lo_wrap, hi_wrap);
    }
  }
  return true;
}

#endif  // LW_FAST_KERNELS

}  // namespace

void VESTRAN(double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
             std::int32_t L, const double *y) {
  if (M <= 0 || N <= 0) return;  // nothing to rebuild; the data may not exist
  // A column is treated as a row holding the same data.
  const std::int32_t m = N == 1 ? 1 : M;
  const std::int32_t n = N == 1 ? M : N;
#if defined(LW_FAST_KERNELS)
  if (vestran_fast(x, m, n, h, lh, L, y)) return;
#endif
  vestran_plain(x, m, n, h, lh, L, y);
}

}  // namespace lw::wavelet
