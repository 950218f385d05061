// Results recorded on x86-64 Linux (GCC 12, the dispatched kernels): every
// build, on every architecture, compiler and kernel path, must reproduce
// them bit for bit. The other suites compare each build with a plain
// transcription built by the same compiler; these checks compare builds
// with one another. Each case digests every bit of every result of one call
// (FNV-1a over sizes and the doubles' bit patterns), so one differing last
// bit anywhere changes the digest. The inputs come from an integer
// generator and exact scalings, the same doubles everywhere.
//
// After a deliberate change of a module's results, run this suite on
// x86-64 and copy the digests it reports.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "call_helpers.h"

namespace {

using lwtest::ArgList;
using lwtest::module;
using testhost::Array;

// splitmix64: the same integers on every platform.
struct Numbers {
  std::uint64_t state;
  explicit Numbers(std::uint64_t seed) : state(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15u);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
  }
  // A double in [-1, 1) with a full 53-bit significand grid: an integer of
  // at most 53 bits times a power of two, exact.
  double uniform() {
    const std::int64_t k = std::int64_t(next() >> 11) - (std::int64_t(1) << 52);
    return double(k) * 0x1p-52;
  }
  std::vector<double> values(std::size_t n, double offset = 0.0) {
    std::vector<double> v(n);
    for (double &x : v) x = uniform() + offset;
    return v;
  }
};

struct Digest {
  std::uint64_t h = 0xcbf29ce484222325u;
  void add(std::uint64_t word) {
    for (int i = 0; i < 8; ++i) {
      h ^= (word >> (8 * i)) & 0xffu;
      h *= 0x100000001b3u;
    }
  }
};

std::string hex_bits(double v) {
  std::uint64_t u;
  std::memcpy(&u, &v, 8);
  char text[32];
  std::snprintf(text, sizeof text, "%016" PRIx64, u);
  return text;
}

// Calls the module and digests every result: its size, then its values.
// The failure message shows the digest and the first values' bits.
void expect_digest(const std::string &name, const ArgList &a, int nlhs, std::uint64_t want) {
  auto r = module(name).call(nlhs, a.handles());
  lwtest::expect_ok(r);
  ASSERT_FALSE(r.error);
  Digest d;
  std::string first;
  for (const auto &out : r.outputs) {
    ASSERT_NE(out, nullptr) << name << ": a result slot is empty";
    d.add(mxGetM(out.get()));
    d.add(mxGetN(out.get()));
    for (double v : testhost::values(out.get())) {
      std::uint64_t u;
      std::memcpy(&u, &v, 8);
      d.add(u);
      if (first.size() < 80) first += hex_bits(v) + " ";
    }
  }
  char got[32];
  std::snprintf(got, sizeof got, "0x%016" PRIx64 "u", d.h);
  EXPECT_EQ(d.h, want) << name << ": digest " << got << "; first values " << first;
}

// An upper triangular sparse factor (forward) or its transpose (backward),
// each column sorted, the diagonal last (upper) or first (lower) in its
// column, diagonals in [1, 2).
Array factor(std::size_t n, bool upper, std::uint64_t seed) {
  Numbers g(seed);
  std::vector<std::int64_t> jc{0}, ir;
  std::vector<double> pr;
  for (std::size_t j = 0; j < n; ++j) {
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < n; ++i)
      if (i != j && ((i < j) == upper) && g.next() % 4 == 0) rows.push_back(i);
    const double diag = 1.5 + 0.5 * g.uniform();
    if (!upper) {
      ir.push_back(std::int64_t(j));
      pr.push_back(diag);
    }
    for (std::size_t i : rows) {
      ir.push_back(std::int64_t(i));
      pr.push_back(g.uniform());
    }
    if (upper) {
      ir.push_back(std::int64_t(j));
      pr.push_back(diag);
    }
    jc.push_back(std::int64_t(ir.size()));
  }
  return testhost::sparse(n, n, jc, ir, pr);
}

}  // namespace

TEST(RecordedResults, PenaltySchedules) {
  // penalty, its bounds, the two tallies, the iteration (and the selector).
  expect_digest("vintrask", lwtest::scalars({0.731, 1e4, 1e-4, 31, 7, 20}), 3, 0xb12313713cd81f63u);
  expect_digest("quorbel", lwtest::scalars({1.9, 1e3, 1e-3, 3, 40, 12, 1}), 3,
                0xc1a3e2c16cd0c753u);
  expect_digest("sandrevo", lwtest::scalars({0.3, 1e3, 1e-3, 50, 2, 30, 1}), 3,
                0xe08ac7614490e472u);
}

TEST(RecordedResults, FusedLasso) {
  Numbers g(1);
  expect_digest("gravenmor", lwtest::scalars({0.37, 11.5, 2.25, 0.8125, 1.3}), 8,
                0xd79c3ab650e6736au);
  // Chained add()s draw the numbers in the order written (C++17 sequencing).
  expect_digest("zelmonte",
                ArgList().add(testhost::column(g.values(1000))).add(testhost::scalar(0.37)), 1,
                0x1b6c13ec85206808u);
}

TEST(RecordedResults, TriangularSubstitution) {
  Numbers g(2);
  expect_digest("fenwarix",
                ArgList().add(factor(120, true, 3)).add(testhost::column(g.values(120))), 1,
                0x8a5c9fcd778b115cu);
  expect_digest("hobrinth",
                ArgList().add(factor(120, false, 4)).add(testhost::column(g.values(120))), 1,
                0x82bcbfd091b5590cu);
}

// A wavelet call on an M-by-N input (for quillomar, yl and then its bands,
// L per line or 3L per image, of the same rows), with the filter h, at L
// levels; the inputs drawn from g in the order of the table.
struct WaveletCase {
  const char *name;
  std::size_t M, N;
  int L;
  std::uint64_t digest;
};

void expect_wavelet_digests(Numbers &g, const std::vector<double> &h,
                            const std::vector<WaveletCase> &cases) {
  for (const WaveletCase &c : cases) {
    SCOPED_TRACE(std::to_string(c.M) + "x" + std::to_string(c.N));
    ArgList a;
    a.add(testhost::dense(c.M, c.N, g.values(c.M * c.N)));
    const std::string name = c.name;
    if (name == "quillomar") {
      const std::size_t cols = c.N * std::size_t(c.L) * (c.M == 1 || c.N == 1 ? 1 : 3);
      a.add(testhost::dense(c.M, cols, g.values(c.M * cols)));
    }
    a.add(testhost::row(h)).add(testhost::scalar(c.L));
    expect_digest(name, a, name == "ostrevin" ? 3 : 2, c.digest);
  }
}

TEST(RecordedResults, DecimatedWavelets) {
  // Each module on a matrix at three levels and on a long line at five.
  Numbers g(5);
  const std::vector<double> h = g.values(8, 0.25);
  expect_wavelet_digests(g, h,
                         {{"kaldor", 64, 48, 3, 0x259300f938a095f2u},
                          {"kaldor", 1, 4096, 5, 0x9b0fdb5a4f11fc97u},
                          {"vestran", 64, 48, 3, 0x85eeb2157fe8a753u},
                          {"vestran", 1, 4096, 5, 0x55fb8f43f3c8cc6au}});
}

TEST(RecordedResults, RedundantWavelets) {
  Numbers g(6);
  const std::vector<double> h = g.values(6, 0.25);
  expect_wavelet_digests(g, h,
                         {{"ostrevin", 32, 24, 2, 0x7505aa644c0a71d4u},
                          {"ostrevin", 3000, 1, 3, 0x8cc94d283bf7b76eu},
                          {"quillomar", 32, 24, 2, 0xf7be5bc9c2e12e1fu},
                          {"quillomar", 1, 3000, 3, 0x29b3e42e2615b8bcu}});
}
