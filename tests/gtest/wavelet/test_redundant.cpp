// The redundant wavelet pair ostrevin / quillomar through the test host:
// worked examples, the band layout, a direct evaluation of each level as
// dilated filter sums (which the kernels must match bit for bit), round
// trips, shift invariance and the degenerate sizes. The bitwise comparisons
// run on every instruction-set variant of the kernels (isa_paths.h).
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "call_helpers.h"
#include "isa_paths.h"

using lwtest::ArgList;
using lwtest::expect_error;
using lwtest::expect_ok;
using lwtest::module;
using testhost::values;
using Vec = std::vector<double>;

namespace {

const double r2 = std::sqrt(0.5);
const Vec haar{r2, r2};
const Vec db4{0.48296291314453416, 0.83651630373780783, 0.22414386804201342,
              -0.1294095225512604};
const Vec db6{0.33267055295008258,  0.80689150931109244, 0.45987750211849149,
              -0.13501102001025461, -0.0854412738820267, 0.035226291885709526};
const Vec db8{0.23037781330889645,   0.71484657055291556, 0.63088076792985892,
              -0.027983769416859511, -0.18703481171909295, 0.030841381835560691,
              0.032883011666885183,  -0.010597401785069018};
// Not a wavelet filter: 13 taps of unequal magnitude, longer than many lines.
const Vec taps13{0.75, -1.5, 2.25e-3, 3.5, -0.125, 1e3, -7.0,
                  0.0625, 5e-5, -2.75, 1.0, 0.3, -9.5};

Vec ramp(std::size_t n, double seed = 0.0) {
  Vec v(n);
  for (std::size_t i = 0; i < n; ++i)
    v[i] = std::sin(0.37 * double(i) + seed) + 0.25 * std::cos(1.9 * double(i * i % 7) + seed);
  return v;
}

struct Shape {
  std::size_t M, N;
};

struct Forward {
  testhost::CallResult r;
  Vec yl, yh;
  std::size_t yh_rows = 0, yh_cols = 0;
  double L = -1;
};

Forward ostrevin(Shape s, const Vec &x, const Vec &h, double L = NAN, bool give_L = true) {
  ArgList a;
  a.add(testhost::dense(s.M, s.N, x)).add(testhost::row(h));
  if (give_L) a.add(testhost::scalar(L));
  Forward f;
  f.r = lwtest::isa::wavelet_module("ostrevin").call(3, a.handles());
  expect_ok(f.r);
  if (f.r.error || f.r.outputs.size() != 3) return f;
  EXPECT_EQ(mxGetM(f.r.outputs[0].get()), s.M);
  EXPECT_EQ(mxGetN(f.r.outputs[0].get()), s.N);
  f.yl = values(f.r.outputs[0].get());
  f.yh = values(f.r.outputs[1].get());
  f.yh_rows = mxGetM(f.r.outputs[1].get());
  f.yh_cols = mxGetN(f.r.outputs[1].get());
  f.L = lwtest::out(f.r, 2);
  return f;
}

Vec quillomar(Shape s, const Vec &yl, Shape sh, const Vec &yh, const Vec &h, double L) {
  ArgList a;
  a.add(testhost::dense(s.M, s.N, yl)).add(testhost::dense(sh.M, sh.N, yh));
  a.add(testhost::row(h)).add(testhost::scalar(L));
  auto r = lwtest::isa::wavelet_module("quillomar").call(2, a.handles());
  expect_ok(r);
  if (r.error || r.outputs.size() != 2) return {};
  EXPECT_EQ(mxGetM(r.outputs[0].get()), s.M);
  EXPECT_EQ(mxGetN(r.outputs[0].get()), s.N);
  EXPECT_EQ(lwtest::out(r, 1), L);
  return values(r.outputs[0].get());
}

testhost::CallResult quillomar_call(Shape s, Shape sh, const Vec &h, bool give_L, double L) {
  ArgList a;
  a.add(testhost::dense(s.M, s.N)).add(testhost::dense(sh.M, sh.N)).add(testhost::row(h));
  if (give_L) a.add(testhost::scalar(L));
  return module("quillomar").call(2, a.handles());
}

// ---- Direct evaluation of one level along a line of D samples with tap
// spacing s (taken modulo D), in the kernels' summation order.

std::int64_t spacing_mod(std::int64_t k, std::int64_t D) {  // 2^(k-1) mod D
  std::int64_t s = 1 % D;
  for (std::int64_t i = 1; i < k && s != 0; ++i) s = (2 * s) % D;
  return s;
}

// low(i) = sum_j h[j] a((i + j s) mod D), high(i) = sum_j q[j] a(...),
// q[j] = h[lh-1-j] when lh-1-j is odd, else -h[lh-1-j].
void analyse(const Vec &a, const Vec &h, std::int64_t s, Vec &lo, Vec &hi) {
  const std::int64_t D = std::int64_t(a.size()), lh = std::int64_t(h.size());
  lo.assign(a.size(), 0.0);
  hi.assign(a.size(), 0.0);
  for (std::int64_t i = 0; i < D; ++i) {
    double sl = 0.0, sh = 0.0;
    for (std::int64_t j = 0; j < lh; ++j) {
      const double v = a[std::size_t((i + j * s) % D)];
      const std::int64_t r = lh - 1 - j;
      sl += v * h[std::size_t(j)];
      sh += v * (r % 2 ? h[std::size_t(r)] : -h[std::size_t(r)]);
    }
    lo[std::size_t(i)] = sl;
    hi[std::size_t(i)] = sh;
  }
}

// out(i) = sum over k = lh-1 .. 0 of g0[k] a((i - k s) mod D), then
// g1[k] d((i - k s) mod D), one running sum; g0 = h/2, g1[k] = ±h[lh-1-k]/2.
Vec synthesise(const Vec &a, const Vec &d, const Vec &h, std::int64_t s) {
  const std::int64_t D = std::int64_t(a.size()), lh = std::int64_t(h.size());
  Vec out(a.size());
  for (std::int64_t i = 0; i < D; ++i) {
    double sum = 0.0;
    for (std::int64_t k = lh - 1; k >= 0; --k) {
      const std::size_t at = std::size_t(((i - k * s) % D + D) % D);
      const double g0 = h[std::size_t(k)] * 0.5, g1 = h[std::size_t(lh - 1 - k)] * 0.5;
      sum += a[at] * g0;
      sum += d[at] * (k % 2 ? -g1 : g1);
    }
    out[std::size_t(i)] = sum;
  }
  return out;
}

// A line of an m×n column-major image: row r (stride m) or column c.
Vec get_row(const Vec &img, std::size_t m, std::size_t n, std::size_t r) {
  Vec v(n);
  for (std::size_t c = 0; c < n; ++c) v[c] = img[r + c * m];
  return v;
}
void put_row(Vec &img, std::size_t m, std::size_t r, const Vec &v, std::size_t off = 0) {
  for (std::size_t c = 0; c < v.size(); ++c) img[r + (off + c) * m] = v[c];
}
Vec get_col(const Vec &img, std::size_t m, std::size_t c) {
  return Vec(img.begin() + std::ptrdiff_t(c * m), img.begin() + std::ptrdiff_t((c + 1) * m));
}
void put_col(Vec &img, std::size_t m, std::size_t c, const Vec &v) {
  std::copy(v.begin(), v.end(), img.begin() + std::ptrdiff_t(c * m));
}

// Reference forward transform (working shape m×n as the kernel sees it).
void reference_forward(std::size_t m, std::size_t n, const Vec &x, const Vec &h, std::int64_t L,
                       Vec &yl, Vec &yh) {
  yl = x;
  yh.assign(m * n * std::size_t(L) * (m == 1 ? 1 : 3), 0.0);
  Vec lo, hi, lo2, hi2;
  for (std::int64_t k = 1; k <= L; ++k) {
    const std::size_t co = (m == 1 ? 1 : 3) * n * std::size_t(k - 1);
    for (std::size_t r = 0; r < m; ++r) {
      analyse(get_row(yl, m, n, r), h, spacing_mod(k, std::int64_t(n)), lo, hi);
      put_row(yl, m, r, lo);
      put_row(yh, m, r, hi, co);
    }
    if (m == 1) continue;
    const std::int64_t s = spacing_mod(k, std::int64_t(m));
    for (std::size_t c = 0; c < n; ++c) {
      analyse(get_col(yl, m, c), h, s, lo, hi);
      analyse(get_col(yh, m, co + c), h, s, lo2, hi2);
      put_col(yl, m, c, lo);
      put_col(yh, m, co + c, hi);
      put_col(yh, m, co + n + c, lo2);
      put_col(yh, m, co + 2 * n + c, hi2);
    }
  }
}

Vec reference_inverse(std::size_t m, std::size_t n, const Vec &yl, const Vec &yh, const Vec &h,
                      std::int64_t L) {
  Vec x = yl, R(m * n);
  for (std::int64_t k = L; k >= 1; --k) {
    const std::size_t co = (m == 1 ? 1 : 3) * n * std::size_t(k - 1);
    if (m > 1) {
      const std::int64_t s = spacing_mod(k, std::int64_t(m));
      for (std::size_t c = 0; c < n; ++c) {
        put_col(x, m, c, synthesise(get_col(x, m, c), get_col(yh, m, co + c), h, s));
        put_col(R, m, c,
                synthesise(get_col(yh, m, co + n + c), get_col(yh, m, co + 2 * n + c), h, s));
      }
    }
    const std::int64_t s = spacing_mod(k, std::int64_t(n));
    for (std::size_t r = 0; r < m; ++r) {
      Vec high(n);
      for (std::size_t c = 0; c < n; ++c) high[c] = m == 1 ? yh[co + c] : R[r + c * m];
      put_row(x, m, r, synthesise(get_row(x, m, n, r), high, h, s));
    }
  }
  return x;
}

// The kernels' working shape: a column is the row with the same data.
Shape working(Shape s) { return s.N == 1 ? Shape{1, s.M} : s; }

std::int64_t halvings(std::size_t d) {
  std::int64_t c = 0;
  while (d > 0 && d % 2 == 0) d /= 2, ++c;
  return c;
}

// The largest level count the size checks admit.
std::int64_t max_levels(Shape s) {
  const Shape w = working(s);
  if (w.M == 1) return halvings(w.N);
  const std::int64_t a = halvings(w.M), b = halvings(w.N);
  return a < b ? a : b;
}

Vec shifted(const Vec &v, std::size_t m, std::size_t n, std::size_t dr, std::size_t dc) {
  Vec out(v.size());  // v as an m×(blocks·n) image; each n-column block shifted circularly
  const std::size_t blocks = v.size() / (m * n);
  for (std::size_t b = 0; b < blocks; ++b)
    for (std::size_t c = 0; c < n; ++c)
      for (std::size_t r = 0; r < m; ++r)
        out[(r + dr) % m + ((c + dc) % n + b * n) * m] = v[r + (c + b * n) * m];
  return out;
}

std::string trace(Shape s, std::int64_t L, const Vec &h) {
  return std::to_string(s.M) + "x" + std::to_string(s.N) + " L=" + std::to_string(L) +
         " lh=" + std::to_string(h.size());
}

// ostrevin on an s-shaped signal gives, bit for bit, the dilated filter sums
// of reference_forward, and yh has the rows of x.
void expect_forward_matches(Shape s, const Vec &h, std::int64_t L) {
  SCOPED_TRACE(trace(s, L, h));
  const Vec x = ramp(s.M * s.N, double(L));
  const Shape w = working(s);
  Vec yl, yh;
  reference_forward(w.M, w.N, x, h, L, yl, yh);
  auto f = ostrevin(s, x, h, double(L));
  EXPECT_EQ(f.yl, yl);
  EXPECT_EQ(f.yh, yh);
  EXPECT_EQ(f.yh_rows, s.M);
}

// quillomar on s-shaped yl and its bands gives, bit for bit, the dilated
// filter sums of reference_inverse (a count and the first differing sample
// rather than the whole of a long result).
void expect_inverse_matches(Shape s, const Vec &h, std::int64_t L) {
  SCOPED_TRACE(trace(s, L, h));
  const Shape w = working(s);
  const std::size_t cols = s.N * std::size_t(L) * (w.M == 1 ? 1 : 3);
  const Vec yl = ramp(s.M * s.N, 0.3), yh = ramp(s.M * cols, 2.0);
  const Vec got = quillomar(s, yl, {s.M, cols}, yh, h, double(L)),
            want = reference_inverse(w.M, w.N, yl, yh, h, L);
  ASSERT_EQ(got.size(), want.size());
  std::size_t bad = 0, first = got.size();
  for (std::size_t i = 0; i < got.size(); ++i)
    if (got[i] != want[i]) {
      if (first == got.size()) first = i;
      ++bad;
    }
  EXPECT_EQ(bad, 0u) << "first differing sample " << first;
}

// The bitwise comparisons, on each instruction-set variant of the kernels.
class RedundantBitwise : public lwtest::isa::OnEachPath {};

}  // namespace

LW_ON_EACH_ISA_PATH(RedundantBitwise);

TEST(Ostrevin, WorkedExamplesAndBandLayout) {
  auto f = ostrevin({1, 4}, {1, 2, 3, 4}, {1, 1}, 1);
  EXPECT_EQ(f.yl, (Vec{3, 5, 7, 5}));
  EXPECT_EQ(f.yh, (Vec{-1, -1, -1, 3}));
  EXPECT_EQ(f.L, 1.0);

  f = ostrevin({1, 4}, {1, 2, 3, 4}, {1, 1}, 2);
  EXPECT_EQ(f.yl, (Vec{10, 10, 10, 10}));
  EXPECT_EQ(f.yh, (Vec{-1, -1, -1, 3, -4, 0, 4, 0}));
  EXPECT_EQ(f.yh_rows, 1u);
  EXPECT_EQ(f.yh_cols, 8u);

  // A column holding the same values: same numbers, N×L bands.
  f = ostrevin({4, 1}, {1, 2, 3, 4}, {1, 1}, 2);
  EXPECT_EQ(f.yl, (Vec{10, 10, 10, 10}));
  EXPECT_EQ(f.yh, (Vec{-1, -1, -1, 3, -4, 0, 4, 0}));
  EXPECT_EQ(f.yh_rows, 4u);
  EXPECT_EQ(f.yh_cols, 2u);

  // Odd filter length: the taps at even indices change sign.
  f = ostrevin({1, 4}, {1, 0, 0, 0}, {1, 2, 3}, 1);
  EXPECT_EQ(f.yl, (Vec{1, 0, 3, 2}));
  EXPECT_EQ(f.yh, (Vec{-3, 0, -1, 2}));

  // Two dimensions: band 1 row low/column high, band 2 row high/column low,
  // band 3 both high.
  f = ostrevin({2, 2}, {1, 2, 3, 4}, {1, 1}, 1);
  EXPECT_EQ(f.yl, (Vec{10, 10, 10, 10}));
  EXPECT_EQ(f.yh, (Vec{-2, 2, -2, 2, -4, -4, 4, 4, 0, 0, 0, 0}));
  EXPECT_EQ(f.yh_rows, 2u);
  EXPECT_EQ(f.yh_cols, 6u);

  // The filter longer than a segment: at level 2 each phase has 2 samples.
  f = ostrevin({1, 4}, {1, 2, 3, 4}, {1, 2, 3, 4}, 2);
  EXPECT_EQ(f.yl, (Vec{252, 240, 268, 240}));
  EXPECT_EQ(f.yh, (Vec{0, 6, 0, 14, 92, 48, 12, 48}));

  // A 1×1 input at L = 1 multiplies by the tap sums.
  f = ostrevin({1, 1}, {2}, {1, 2, 3, 5}, 1);
  EXPECT_EQ(f.yl, (Vec{22}));
  EXPECT_EQ(f.yh, (Vec{6}));

  // L = 0: yl is x, yh has M rows and no columns; 2.9 is used as 2.
  f = ostrevin({4, 8}, ramp(32), db4, 0);
  EXPECT_EQ(f.yl, ramp(32));
  EXPECT_EQ(f.yh_rows, 4u);
  EXPECT_EQ(f.yh_cols, 0u);
  EXPECT_EQ(f.L, 0.0);
  f = ostrevin({4, 8}, ramp(32), db4, 2.9);
  EXPECT_EQ(f.L, 2.0);
  EXPECT_EQ(f.yh_cols, 48u);

  // Inferred levels: 8×16 gives 3.
  f = ostrevin({8, 16}, ramp(128), haar, NAN, false);
  EXPECT_EQ(f.L, 3.0);
  EXPECT_EQ(f.yh_cols, 3u * 16 * 3);

  // A 2×3 filter matrix is the filter of its first three stored values.
  ArgList a;
  a.add(testhost::row({1, 0, 0, 0})).add(testhost::dense(2, 3, {1, 2, 3, 9, 9, 9}));
  a.add(testhost::scalar(1));
  auto r = module("ostrevin").call(2, a.handles());
  expect_ok(r);
  EXPECT_EQ(values(r.outputs[0].get()), (Vec{1, 0, 3, 2}));
  EXPECT_EQ(values(r.outputs[1].get()), (Vec{-3, 0, -1, 2}));
}

TEST_P(RedundantBitwise, ForwardMatchesTheDilatedFilterSums) {
  // Every level equals the dilated filter pair applied circularly to the
  // previous low-pass; the phase/segment machinery must give the same bits.
  // The kernels keep 16 or 32 outputs side by side: lines of 24, 96 and 200
  // samples and matrices of 6, 36, 40 and 104 rows leave partial vectors at
  // every register width. Columns whose wrap is shorter than the column are
  // filtered in place, the others through a segment.
  for (const Shape s : {Shape{1, 32}, Shape{32, 1}, Shape{8, 16}, Shape{16, 4}, Shape{2, 2},
                        Shape{4, 12}, Shape{1, 24}, Shape{1, 96}, Shape{40, 64}, Shape{1, 200},
                        Shape{6, 8}, Shape{36, 20}, Shape{104, 24}})
    for (const Vec *h : {&haar, &db8, &db4, &taps13})
      for (std::int64_t L = 0; L <= max_levels(s); ++L) expect_forward_matches(s, *h, L);
}

TEST_P(RedundantBitwise, ForwardMatricesInStripsMatchTheDilatedFilterSums) {
  // A matrix level runs its row and column passes strip by strip of columns
  // (fewer columns per strip the longer the columns: here 16, 8, 4 and 1),
  // overwriting the previous level's low-pass as it goes, with the columns
  // whose taps wrap round to the first ones filtered first; a wrap of the
  // whole width takes one pass over all columns. Same bits either way.
  for (const Shape s : {Shape{512, 64}, Shape{1024, 48}, Shape{2048, 40}, Shape{8192, 4},
                        Shape{520, 36}})
    for (const Vec *h : {&haar, &db8, &taps13})
      for (std::int64_t L = 1; L <= std::min<std::int64_t>(max_levels(s), 4); ++L)
        expect_forward_matches(s, *h, L);
}

TEST_P(RedundantBitwise, ForwardLongLinesMatchTheDilatedFilterSums) {
  // Long lines run all levels in one sweep over chunks of the line, with
  // the wrap of each level kept aside; lengths that are not a multiple of a
  // chunk, and levels whose wrap is longer than the line (which take the
  // level-by-level path), must give the same bits.
  for (const Shape s : {Shape{1, 8192}, Shape{5120, 1}, Shape{1, 4104}, Shape{1, 12288}})
    for (const Vec *h : {&haar, &db8, &taps13})
      for (std::int64_t L = 1; L <= max_levels(s); ++L) expect_forward_matches(s, *h, L);
  // Bands of 3·2^20 doubles and more in all are written past the caches,
  // each level stopping at an even output short of the end; below that,
  // lines that long go through the caches.
  for (const Vec *h : {&db8, &taps13}) expect_forward_matches({1, 524288}, *h, 6);
  for (const Shape s : {Shape{1, 131072}, Shape{262144, 1}})
    for (const Vec *h : {&db8, &taps13})
      for (std::int64_t L : {1, 3, 7}) expect_forward_matches(s, *h, L);
}

TEST(Ostrevin, ShiftingTheSignalShiftsEveryBand) {
  // 1-D: one sample along the vector; 2-D: one row, or one column.
  const Vec x = ramp(32, 0.5);
  Vec xs = shifted(x, 1, 32, 0, 1);
  auto f = ostrevin({1, 32}, x, db6, 4), g = ostrevin({1, 32}, xs, db6, 4);
  EXPECT_EQ(g.yl, shifted(f.yl, 1, 32, 0, 1));
  EXPECT_EQ(g.yh, shifted(f.yh, 1, 32, 0, 1));
  g = ostrevin({32, 1}, xs, db6, 4);
  EXPECT_EQ(g.yh, shifted(f.yh, 1, 32, 0, 1));

  const Vec img = ramp(8 * 16, 1.5);
  f = ostrevin({8, 16}, img, db4, 3);
  for (const auto &[dr, dc] : {std::pair{1, 0}, std::pair{0, 1}}) {
    g = ostrevin({8, 16}, shifted(img, 8, 16, dr, dc), db4, 3);
    EXPECT_EQ(g.yl, shifted(f.yl, 8, 16, dr, dc)) << dr << "," << dc;
    EXPECT_EQ(g.yh, shifted(f.yh, 8, 16, dr, dc)) << dr << "," << dc;
  }
}

TEST(Quillomar, WorkedExamples) {
  const Vec h{1, 2, 3};
  EXPECT_EQ(quillomar({1, 4}, {1, 0, 0, 0}, {1, 4}, {0, 0, 0, 0}, h, 1), (Vec{0.5, 1, 1.5, 0}));
  EXPECT_EQ(quillomar({1, 4}, {0, 0, 0, 0}, {1, 4}, {1, 0, 0, 0}, h, 1), (Vec{1.5, -1, 0.5, 0}));
  EXPECT_EQ(quillomar({1, 4}, {1, 0, 0, 0}, {1, 8}, Vec(8, 0.0), h, 2), (Vec{2.5, 2, 3.5, 1}));
  Vec yh(8, 0.0);
  yh[4] = 1;
  EXPECT_EQ(quillomar({1, 4}, Vec(4, 0.0), {1, 8}, yh, h, 2), (Vec{-0.5, 2, 2.5, -1}));
  EXPECT_EQ(quillomar({4, 1}, Vec(4, 0.0), {4, 2}, yh, h, 2), (Vec{-0.5, 2, 2.5, -1}));
  EXPECT_EQ(quillomar({4, 1}, {1, 0, 0, 0}, {4, 1}, Vec(4, 0.0), h, 1), (Vec{0.5, 1, 1.5, 0}));

  // Band assignment in 2-D: a unit at (0, 0) of yl or of one band.
  const Vec want[4] = {{0.25, 0.5, 0.5, 1}, {0.5, -0.25, 1, -0.5}, {0.5, 1, -0.25, -0.5},
                       {1, -0.5, -0.5, 0.25}};
  for (int b = 0; b < 4; ++b) {
    Vec yl(16, 0.0), bands(48, 0.0);
    (b == 0 ? yl[0] : bands[std::size_t(16 * (b - 1))]) = 1;
    const Vec x = quillomar({4, 4}, yl, {4, 12}, bands, {1, 2}, 1);
    Vec expect(16, 0.0);
    expect[0] = want[b][0], expect[1] = want[b][1], expect[4] = want[b][2],
    expect[5] = want[b][3];
    EXPECT_EQ(x, expect) << "band " << b;
  }

  // An unnormalised filter: each 1-D step carries 1/2 of the filter's gain.
  EXPECT_EQ(quillomar({1, 4}, {3, 5, 7, 5}, {1, 4}, {-1, -1, -1, 3}, {1, 1}, 1),
            (Vec{2, 4, 6, 8}));
  auto f = ostrevin({2, 2}, {1, 2, 3, 4}, {1, 1}, 1);
  EXPECT_EQ(quillomar({2, 2}, f.yl, {2, 6}, f.yh, {1, 1}, 1), (Vec{4, 8, 12, 16}));

  // L = 0 returns yl.
  EXPECT_EQ(quillomar({4, 4}, ramp(16), {4, 0}, {}, db4, 0), ramp(16));
}

TEST_P(RedundantBitwise, InverseMatchesTheDilatedFilterSums) {
  // Matrices of 64, 36, 48 and 104 rows run the row pass 32 and 16 rows at a
  // time with rows left over; columns whose wrap is shorter than the column
  // are read in place, the others (and rows whose wrap is too long) through
  // segments.
  for (const Shape s : {Shape{1, 16}, Shape{16, 1}, Shape{8, 8}, Shape{4, 16}, Shape{12, 4},
                        Shape{1, 96}, Shape{64, 40}, Shape{1, 200}, Shape{36, 20},
                        Shape{104, 24}, Shape{48, 16}})
    for (const Vec *h : {&db6, &haar, &db8, &taps13})
      for (std::int64_t L = 1; L <= max_levels(s); ++L) expect_inverse_matches(s, *h, L);
}

TEST_P(RedundantBitwise, InverseLongLinesMatchTheDilatedFilterSums) {
  // Long lines run all levels in one sweep, coarsest first, each level's
  // sweep starting before the finer one's; lengths that are not a multiple
  // of a chunk, and levels whose reaches add up to more than the line
  // (which take the level-by-level path), must give the same bits.
  for (const Shape s : {Shape{1, 8192}, Shape{5120, 1}, Shape{1, 4104}, Shape{1, 12288}})
    for (const Vec *h : {&haar, &db8, &taps13})
      for (std::int64_t L = 1; L <= max_levels(s); ++L) expect_inverse_matches(s, *h, L);
}

TEST(Quillomar, ConsistencyOfTheBandsWithYl) {
  const char *vectors = "Dimensions of first two input vectors not consistent!";
  const char *matrices = "Dimensions of first two input matrices not consistent!";
  expect_ok(quillomar_call({1, 8}, {1, 24}, haar, true, 3));
  expect_error(quillomar_call({1, 8}, {1, 23}, haar, true, 3), vectors);
  expect_error(quillomar_call({1, 8}, {2, 24}, haar, true, 3), vectors);
  expect_ok(quillomar_call({8, 1}, {8, 3}, haar, true, 3));
  expect_error(quillomar_call({8, 1}, {1, 24}, haar, true, 3), vectors);
  expect_ok(quillomar_call({4, 4}, {4, 24}, haar, true, 2));
  expect_error(quillomar_call({4, 4}, {4, 23}, haar, true, 2), matrices);
  expect_error(quillomar_call({4, 4}, {5, 24}, haar, true, 2), matrices);
  // L inferred from yl alone (4×4 gives 2) before yh is compared.
  expect_ok(quillomar_call({4, 4}, {4, 24}, haar, false, 0));
  expect_error(quillomar_call({4, 4}, {4, 12}, haar, false, 0), matrices);
  // The consistency check comes before the size checks.
  expect_error(quillomar_call({12, 8}, {12, 71}, haar, true, 3), matrices);
  expect_error(quillomar_call({12, 8}, {12, 72}, haar, true, 3),
               "The matrix row dimension must be of size m*2^(L)");
  // An empty yl takes the vector case (smaller dimension at most 1).
  expect_ok(quillomar_call({0, 4}, {0, 8}, haar, true, 2));
  expect_error(quillomar_call({0, 4}, {0, 24}, haar, true, 2), vectors);
}

TEST(RedundantPair, RoundTripsForOrthonormalFilters) {
  for (const Shape s : {Shape{1, 64}, Shape{64, 1}, Shape{16, 32}, Shape{32, 8}, Shape{2, 2},
                        Shape{6, 4}})
    for (const Vec *h : {&haar, &db4, &db6, &db8})
      for (std::int64_t L = 0; L <= max_levels(s); ++L) {
        SCOPED_TRACE(trace(s, L, *h));
        const Vec x = ramp(s.M * s.N, 0.7 * double(L));
        auto f = ostrevin(s, x, *h, double(L));
        const Vec back = quillomar(s, f.yl, {f.yh_rows, f.yh_cols}, f.yh, *h, double(L));
        ASSERT_EQ(back.size(), x.size());
        for (std::size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(back[i], x[i], 1e-12) << i;
      }
}

TEST(RedundantPair, SingleSampleWithManyLevels) {
  // Every level reads the one sample with every tap: yl is multiplied by the
  // tap sum (1 here, so the values stay finite) and each level's band is the
  // alternating sum times the sample, level after level.
  const Vec h{0.5, 0.25, 0.125, 0.125};
  for (std::int64_t L : {2, 5, 31, 32, 40, 1000000}) {
    SCOPED_TRACE(L);
    Vec yl, yh;
    reference_forward(1, 1, {3.0}, h, L, yl, yh);
    auto f = ostrevin({1, 1}, {3.0}, h, double(L));
    EXPECT_EQ(f.yl, (Vec{3.0}));
    EXPECT_EQ(f.yl, yl);
    EXPECT_EQ(f.yh, yh);
    EXPECT_EQ(f.yh[f.yh.size() - 1], -0.75);
    EXPECT_EQ(f.yh_cols, std::size_t(L));
    EXPECT_EQ(f.L, double(L));
    const Vec yhq = ramp(std::size_t(L));
    EXPECT_EQ(quillomar({1, 1}, {1.0}, {1, std::size_t(L)}, yhq, h, double(L)),
              reference_inverse(1, 1, {1.0}, yhq, h, L));
  }
  // The round trip holds on a single sample too.
  auto f = ostrevin({1, 1}, {3.0}, db4, 7.0);
  const Vec back = quillomar({1, 1}, f.yl, {1, 7}, f.yh, db4, 7.0);
  EXPECT_NEAR(back[0], 3.0, 1e-13);
}

TEST(Ostrevin, OversizedResultsAndScratchEndAsErrorsNotCrashes) {
  // yh would be 1×(2^31−1) doubles (16 GiB): the host refuses the
  // allocation and the call ends with its error.
  ArgList a;
  a.add(testhost::scalar(1.0)).add(testhost::row(haar)).add(testhost::scalar(2147483647.0));
  expect_error(module("ostrevin").call(3, a.handles()), testhost::out_of_memory_message);
  // A yh width beyond 32 bits is refused before anything is created or read
  // (an empty column, and a long row whose data are never touched).
  const char *too_wide =
      "The high-pass result yh would have 2^31 or more columns; at most 2147483647 are supported!";
  a = ArgList{};
  a.add(testhost::dense(0, 1)).add(testhost::row(haar)).add(testhost::scalar(2147483647.0));
  expect_error(module("ostrevin").call(3, a.handles()), too_wide);
  a = ArgList{};
  a.add(testhost::phantom(1, std::size_t(1) << 28)).add(testhost::row(haar));
  a.add(testhost::scalar(16));
  expect_error(module("ostrevin").call(3, a.handles()), too_wide);
  // Scratch for a filter of 2^31−1 taps is more than the host grants.
  for (const char *name : {"ostrevin", "quillomar"}) {
    a = ArgList{};
    a.add(testhost::row({1, 2}));
    if (std::string(name) == "quillomar") a.add(testhost::row({1, 2}));
    a.add(testhost::phantom(1, 2147483647u)).add(testhost::scalar(1));
    lwtest::expect_scratch_refused(module(name).call(2, a.handles()), "", "!");
  }
}

TEST(RedundantPair, InputsWithoutSamples) {
  // Empty results of the right shapes; the empty data are never read.
  struct Case {
    Shape x;
    double L;
    Shape yh;
  };
  for (const Case c : {Case{{0, 8}, 3, {0, 72}}, Case{{8, 0}, 3, {8, 0}}, Case{{0, 0}, 2, {0, 0}},
                       Case{{0, 1}, 4, {0, 12}}, Case{{1, 0}, 7, {1, 0}},
                       Case{{0, 0}, 2147483647.0, {0, 0}}, Case{{1, 0}, 2147483647.0, {1, 0}}}) {
    SCOPED_TRACE(std::to_string(c.x.M) + "x" + std::to_string(c.x.N));
    auto f = ostrevin(c.x, {}, db4, c.L);
    EXPECT_EQ(f.yh_rows, c.yh.M);
    EXPECT_EQ(f.yh_cols, c.yh.N);
    EXPECT_EQ(f.L, c.L);
    // quillomar's vector case takes the smaller dimension at most 1.
    const bool vector_case = (c.x.M < c.x.N ? c.x.M : c.x.N) <= 1;
    const double bands = c.L * double(c.x.N) * (vector_case ? 1 : 3);
    if (bands > 1e6) continue;
    const Vec x = quillomar(c.x, {}, {c.x.M, std::size_t(bands)}, {}, db4, c.L);
    EXPECT_TRUE(x.empty());
  }
  // Without L an empty input has no level count.
  ArgList a;
  a.add(testhost::dense(0, 8)).add(testhost::row(haar));
  expect_error(module("ostrevin").call(3, a.handles()),
               "Maximum number of levels is zero; no decomposition can be performed!");
}

TEST(RedundantPair, ResultSlotsAndRejectedInputs) {
  ArgList a;
  a.add(testhost::row(ramp(16))).add(testhost::row(db4)).add(testhost::scalar(2));
  for (int nlhs : {0, 1, 2}) {
    auto r = module("ostrevin").call(nlhs, a.handles());
    expect_ok(r);
    ASSERT_EQ(r.outputs.size(), std::size_t(nlhs > 1 ? nlhs : 1));
    EXPECT_EQ(values(r.outputs[0].get()), ostrevin({1, 16}, ramp(16), db4, 2).yl);
  }
  a = ArgList{};
  a.add(testhost::row(ramp(4))).add(testhost::dense(0, 3)).add(testhost::scalar(1));
  expect_error(module("ostrevin").call(3, a.handles()),
               "Input 2 (h) must have at least 1 filter tap!");
  a = ArgList{};
  a.add(testhost::row(ramp(4))).add(testhost::row(ramp(4))).add(testhost::row({}));
  expect_error(module("quillomar").call(2, a.handles()),
               "Input 3 (h) must have at least 1 filter tap!");
  a = ArgList{};
  a.add(testhost::complex_dense(1, 4, ramp(4), ramp(4))).add(testhost::row(haar));
  expect_error(module("ostrevin").call(3, a.handles()), "Input 1 (x) must be real, not complex!");
  a = ArgList{};
  a.add(testhost::row(ramp(4)));
  a.add(testhost::sparse_from_dense(1, 4, {1, 0, 0, 0})).add(testhost::row(haar));
  expect_error(module("quillomar").call(2, a.handles()), "Input 2 (yh) must be dense, not sparse!");
  a = ArgList{};
  a.add(testhost::of_class(mxSINGLE_CLASS, 1, 4)).add(testhost::row(haar));
  expect_error(module("ostrevin").call(3, a.handles()),
               "Input 1 (x) must be of class double, not single!");
}
