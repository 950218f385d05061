// Sparse triangular substitution: the kernels alone (ns per stored entry, at
// the 32-bit and 64-bit index widths) and whole calls through the test host.
//
// Factors: the Cholesky factor of the five-point Laplacian on a g×g grid in
// natural order (a band of half-width g, computed here by a plain band
// Cholesky), and a random upper triangular factor. Larger grids (700×700
// by default, in a fill-reducing order) and the comparison with Octave's
// R' \ b are in bench/octave_triangular_bench.m.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <vector>

#include "../triangular/substitution.h"
#include "testhost.h"

namespace {

struct Factor {
  std::size_t n = 0;
  std::vector<std::int64_t> jc{0}, ir;
  std::vector<double> v;
};

// Upper Cholesky factor R (A = R'R) of the g×g five-point Laplacian, grid
// points numbered row by row; R has the full band of rows j-g .. j in
// column j.
Factor laplacian_factor(std::size_t g) {
  const std::size_t n = g * g, w = g + 1;
  std::vector<double> band(n * w, 0.0);  // R(i, j) at band[j*w + (i - j + g)]
  auto r = [&](std::size_t i, std::size_t j) -> double & { return band[j * w + (i + g - j)]; };
  auto a = [&](std::size_t i, std::size_t j) {  // A(i, j), i <= j
    if (i == j) return 4.0;
    if (j == i + 1 && j % g != 0) return -1.0;
    if (j == i + g) return -1.0;
    return 0.0;
  };
  for (std::size_t j = 0; j < n; ++j) {
    const std::size_t lo = j >= g ? j - g : 0;
    for (std::size_t i = lo; i <= j; ++i) {
      double s = a(i, j);
      // Both R(k, i) and R(k, j) lie inside their bands from here.
      const std::size_t ki = i >= g ? i - g : 0;
      for (std::size_t k = ki > lo ? ki : lo; k < i; ++k) s -= r(k, i) * r(k, j);
      r(i, j) = i < j ? s / r(i, i) : std::sqrt(s);
    }
  }
  Factor f;
  f.n = n;
  for (std::size_t j = 0; j < n; ++j) {
    for (std::size_t i = j >= g ? j - g : 0; i <= j; ++i) {
      f.ir.push_back(std::int64_t(i));
      f.v.push_back(r(i, j));
    }
    f.jc.push_back(std::int64_t(f.ir.size()));
  }
  return f;
}

// Random n×n upper triangular factor with about `per_column` entries above
// the diagonal in each column (fewer in the first columns).
Factor random_factor(std::size_t n, std::size_t per_column) {
  std::mt19937 gen(17);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Factor f;
  f.n = n;
  for (std::size_t j = 0; j < n; ++j) {
    std::map<std::size_t, double> col;
    if (j > 0) {
      std::uniform_int_distribution<std::size_t> row(0, j - 1);
      for (std::size_t k = 0; k < per_column && k < j; ++k) col[row(gen)] = u(gen);
    }
    for (const auto &e : col) {
      f.ir.push_back(std::int64_t(e.first));
      f.v.push_back(e.second);
    }
    f.ir.push_back(std::int64_t(j));
    f.v.push_back(2.0 + u(gen));
    f.jc.push_back(std::int64_t(f.ir.size()));
  }
  return f;
}

// The lower triangular transpose, diagonal first in each column.
Factor transpose(const Factor &a) {
  std::vector<std::int64_t> count(a.n + 1, 0);
  for (std::int64_t i : a.ir) ++count[std::size_t(i) + 1];
  Factor t;
  t.n = a.n;
  t.jc.assign(a.n + 1, 0);
  for (std::size_t j = 0; j < a.n; ++j) t.jc[j + 1] = t.jc[j] + count[j + 1];
  t.ir.resize(a.ir.size());
  t.v.resize(a.v.size());
  std::vector<std::int64_t> next(t.jc.begin(), t.jc.end() - 1);
  for (std::size_t j = 0; j < a.n; ++j)
    for (std::int64_t p = a.jc[j]; p < a.jc[j + 1]; ++p) {
      const std::size_t q = std::size_t(next[std::size_t(a.ir[std::size_t(p)])]++);
      t.ir[q] = std::int64_t(j);
      t.v[q] = a.v[std::size_t(p)];
    }
  return t;
}

// An upper factor written by bench/octave_triangular_bench.m (int64 n and
// nnz, then jc, 0-based ir, v): the Cholesky factor Octave's chol computes in
// its fill-reducing order, which the band factor above does not reproduce.
// The file is named by LASSOWAVE_TRIANGULAR_FACTOR; without it the factor
// is empty and its benchmarks report so.
Factor load_factor() {
  Factor f;
  const char *path = std::getenv("LASSOWAVE_TRIANGULAR_FACTOR");
  std::FILE *file = path ? std::fopen(path, "rb") : nullptr;
  if (!file) return f;
  std::int64_t head[2] = {0, 0};
  bool ok = std::fread(head, sizeof head, 1, file) == 1 && head[0] > 0 && head[1] > 0;
  if (ok) {
    f.jc.resize(std::size_t(head[0]) + 1);
    f.ir.resize(std::size_t(head[1]));
    f.v.resize(std::size_t(head[1]));
    ok = std::fread(f.jc.data(), 8, f.jc.size(), file) == f.jc.size() &&
         std::fread(f.ir.data(), 8, f.ir.size(), file) == f.ir.size() &&
         std::fread(f.v.data(), 8, f.v.size(), file) == f.v.size();
  }
  std::fclose(file);
  if (!ok) return Factor{};
  f.n = std::size_t(head[0]);
  return f;
}

// which: grid side g of the band Laplacian factor, 0 for the random factor,
// -1 for the factor loaded from LASSOWAVE_TRIANGULAR_FACTOR.
const Factor &cached(int which) {
  static std::map<int, Factor> factors;
  auto it = factors.find(which);
  if (it != factors.end()) return it->second;
  Factor f = which > 0    ? laplacian_factor(std::size_t(which))
             : which == 0 ? random_factor(200000, 20)
                          : load_factor();
  return factors.emplace(which, std::move(f)).first->second;
}

void per_entry(benchmark::State &state, std::size_t entries) {
  state.counters["entries"] = double(entries);
  // Time per stored entry (printed with its unit, e.g. 715ps).
  state.counters["per_entry"] = benchmark::Counter(
      double(entries) * double(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

bool have_factor(benchmark::State &state, const Factor &f) {
  if (f.n > 0) return true;
  state.SkipWithError("no factor: set LASSOWAVE_TRIANGULAR_FACTOR");
  for (auto _ : state) {
  }
  return false;
}

// The floor: one pass over the stored values and row indices, with eight
// independent accumulators so that nothing but the memory traffic limits it.
template <typename Index>
void one_pass(benchmark::State &state) {
  const Factor &f = cached(int(state.range(0)));
  if (!have_factor(state, f)) return;
  std::vector<Index> ir(f.ir.begin(), f.ir.end());
  const std::size_t n = f.v.size(), n8 = n & ~std::size_t(7);
  const double *v = f.v.data();
  for (auto _ : state) {
    double s[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    Index r[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    for (std::size_t p = 0; p < n8; p += 8)
      for (int k = 0; k < 8; ++k) {
        s[k] += v[p + std::size_t(k)];
        r[k] |= ir[p + std::size_t(k)];
      }
    for (std::size_t p = n8; p < n; ++p) s[0] += v[p];
    benchmark::DoNotOptimize(s);
    benchmark::DoNotOptimize(r);
  }
  per_entry(state, n);
}

template <typename Index>
void kernel(benchmark::State &state, bool forward, bool reference) {
  const int which = int(state.range(0));
  const Factor &up = cached(which);
  if (!have_factor(state, up)) return;
  const Factor f = forward ? up : transpose(up);
  std::vector<Index> ir(f.ir.begin(), f.ir.end()), jc(f.jc.begin(), f.jc.end());
  std::vector<double> b(f.n, 1.0), x(f.n);
  const std::int32_t m = std::int32_t(f.n);
  for (auto _ : state) {
    std::fill(x.begin(), x.end(), 0.0);
    namespace tri = lw::triangular;
    if (forward && reference)
      tri::reference_forward_substitution(f.v.data(), ir.data(), jc.data(), b.data(), x.data(), m);
    else if (forward)
      tri::forward_substitution(f.v.data(), ir.data(), jc.data(), b.data(), x.data(), m);
    else if (reference)
      tri::reference_backward_substitution(f.v.data(), ir.data(), jc.data(), b.data(), x.data(),
                                           m);
    else
      tri::backward_substitution(f.v.data(), ir.data(), jc.data(), b.data(), x.data(), m);
    benchmark::DoNotOptimize(x.data());
    benchmark::ClobberMemory();
  }
  per_entry(state, f.v.size());
}

// A whole call through the test host: checks, solve and the creation of x.
// The host's copy of every argument before each call (to check it is
// unchanged afterwards) is switched off here.
void host_call(benchmark::State &state, const char *name, bool index32, bool forward) {
  testhost::Module module(testhost::module_path(name, index32));
  const Factor &up = cached(int(state.range(0)));
  if (!have_factor(state, up)) return;
  testhost::snapshot_arguments(false);
  const Factor f = forward ? up : transpose(up);
  testhost::Array a = testhost::sparse(f.n, f.n, f.jc, f.ir, f.v);
  testhost::Array b = testhost::column(std::vector<double>(f.n, 1.0));
  for (auto _ : state) {
    auto r = module.call(1, {a.get(), b.get()});
    benchmark::DoNotOptimize(r.outputs.data());
  }
  testhost::snapshot_arguments(true);
  per_entry(state, f.v.size());
}

// range(0): grid side g of the band Laplacian factor, 0 for the random factor
// (200000 columns, 20 entries above the diagonal per column), -1 for the
// factor from LASSOWAVE_TRIANGULAR_FACTOR. *_plain: the one-column-at-a-time
// loops, for comparison in the same run.
void fenwarix_kernel_64(benchmark::State &s) { kernel<std::size_t>(s, true, false); }
void fenwarix_kernel_32(benchmark::State &s) { kernel<int>(s, true, false); }
void hobrinth_kernel_32(benchmark::State &s) { kernel<int>(s, false, false); }
void fenwarix_plain_64(benchmark::State &s) { kernel<std::size_t>(s, true, true); }
void hobrinth_plain_32(benchmark::State &s) { kernel<int>(s, false, true); }
void one_pass_64(benchmark::State &s) { one_pass<std::size_t>(s); }
void one_pass_32(benchmark::State &s) { one_pass<int>(s); }

#define LW_FACTORS ->Arg(100)->Arg(200)->Arg(0)->Arg(-1)->Unit(benchmark::kMillisecond)
BENCHMARK(one_pass_64) LW_FACTORS;
BENCHMARK(one_pass_32) LW_FACTORS;
BENCHMARK(fenwarix_plain_64) LW_FACTORS;
BENCHMARK(fenwarix_kernel_64) LW_FACTORS;
BENCHMARK(fenwarix_kernel_32) LW_FACTORS;
BENCHMARK(hobrinth_plain_32) LW_FACTORS;
BENCHMARK(hobrinth_kernel_32) LW_FACTORS;
BENCHMARK_CAPTURE(host_call, fenwarix64, "fenwarix", false, true)
    ->Arg(100)->Arg(-1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(host_call, fenwarix32, "fenwarix", true, true)
    ->Arg(100)->Arg(-1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(host_call, hobrinth, "hobrinth", false, false)
    ->Arg(100)->Arg(-1)->Unit(benchmark::kMillisecond);

}  // namespace
