// The decimated wavelet pair through the test host (argument checks, result
// creation and the transform): kaldor and vestran on a 1-D signal of 2^20
// samples at L = 10 with 2, 8 and 16 taps, and on a 1024×1024 image at L = 5
// with 2 and 8 taps.
//
// Reported: time per sample of the input (per_sample, CPU time). The memory
// floor in the same run and unit: one plain copy of the data (copy/...), and
// a kaldor call with L = 0, which is the host's part of a call plus that
// copy (call_floor/...).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "testhost.h"

namespace {

struct Case {
  std::size_t M, N;
  int L;
  int taps;
};

// Orthonormal scaling filters: Haar, and the Daubechies filters of 8 and 16
// taps (any filter of the length costs the same).
std::vector<double> filter(int taps) {
  switch (taps) {
    case 2: return {std::sqrt(0.5), std::sqrt(0.5)};
    case 8:
      return {0.23037781330889650086,  0.71484657055291564709,  0.63088076792985890788,
              -0.027983769416859854211, -0.18703481171909308408, 0.030841381835560763627,
              0.032883011666885199735, -0.010597401785069032105};
    default: {
      std::vector<double> h(static_cast<std::size_t>(taps));
      for (int i = 0; i < taps; ++i) h[std::size_t(i)] = std::cos(0.3 * i) / taps;
      return h;
    }
  }
}

std::vector<double> signal(std::size_t n) {
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = std::sin(0.001 * double(i)) + 0.01 * double(i % 13);
  return v;
}

void per_sample(benchmark::State &state, const Case &c) {
  state.counters["per_sample"] = benchmark::Counter(
      double(c.M * c.N),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void transform(benchmark::State &state, const char *name, Case c) {
  testhost::snapshot_arguments(false);
  testhost::Module module(testhost::module_path(name));
  testhost::Array x = testhost::dense(c.M, c.N, signal(c.M * c.N));
  testhost::Array h = testhost::row(filter(c.taps));
  testhost::Array L = testhost::scalar(c.L);
  const std::vector<const mxArray *> args{x.get(), h.get(), L.get()};
  for (auto _ : state) {
    auto r = module.call(1, args);
    if (r.error) state.SkipWithError(r.message.c_str());
    benchmark::DoNotOptimize(r.outputs.data());
  }
  per_sample(state, c);
  testhost::snapshot_arguments(true);
}

void copy(benchmark::State &state, Case c) {
  const std::vector<double> from = signal(c.M * c.N);
  std::vector<double> to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * sizeof(double));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  per_sample(state, c);
}

const Case one_d_2{1, 1 << 20, 10, 2}, one_d_8{1, 1 << 20, 10, 8}, one_d_16{1, 1 << 20, 10, 16};
const Case two_d_2{1024, 1024, 5, 2}, two_d_8{1024, 1024, 5, 8};

BENCHMARK_CAPTURE(copy, 1d_n2e20, one_d_2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(transform, call_floor_1d_n2e20, "kaldor", Case{1, 1 << 20, 0, 2})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(transform, kaldor_1d_L10_h2, "kaldor", one_d_2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(transform, kaldor_1d_L10_h8, "kaldor", one_d_8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(transform, kaldor_1d_L10_h16, "kaldor", one_d_16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(transform, vestran_1d_L10_h2, "vestran", one_d_2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(transform, vestran_1d_L10_h8, "vestran", one_d_8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(transform, vestran_1d_L10_h16, "vestran", one_d_16)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(copy, 2d_1024x1024, two_d_2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(transform, call_floor_2d_1024x1024, "kaldor", Case{1024, 1024, 0, 2})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(transform, kaldor_2d_L5_h2, "kaldor", two_d_2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(transform, kaldor_2d_L5_h8, "kaldor", two_d_8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(transform, vestran_2d_L5_h2, "vestran", two_d_2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(transform, vestran_2d_L5_h8, "vestran", two_d_8)->Unit(benchmark::kMillisecond);

}  // namespace
