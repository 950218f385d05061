// The redundant wavelet pair through the test host (argument checks, result
// creation and the transform): ostrevin and quillomar on a 1-D signal of
// 2^20 samples at L = 5 and a 1024×1024 image at L = 3, with 2 and 8 taps.
//
// Reported: seconds per sample per level (s_per_sample_level), and, as the
// memory floor in the same run, one plain copy of the call's output (yl and
// yh for ostrevin, x for quillomar) in the same unit.
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

std::vector<double> filter(int taps) {
  if (taps == 2) return {std::sqrt(0.5), std::sqrt(0.5)};
  return {0.23037781330889645,   0.71484657055291556, 0.63088076792985892,
          -0.027983769416859511, -0.18703481171909295, 0.030841381835560691,
          0.032883011666885183,  -0.010597401785069018};
}

std::vector<double> signal(std::size_t n, double seed) {
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = std::sin(0.001 * double(i) + seed) + 0.01 * double(i % 13);
  return v;
}

std::size_t band_columns(const Case &c) {
  const bool one_d = (c.M < c.N ? c.M : c.N) == 1;
  return std::size_t(c.L) * c.N * (one_d ? 1 : 3);
}

void per_sample_level(benchmark::State &state, const Case &c) {
  state.counters["s_per_sample_level"] =
      benchmark::Counter(double(c.M * c.N) * c.L,
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void forward(benchmark::State &state, Case c) {
  testhost::snapshot_arguments(false);
  testhost::Module module(testhost::module_path("ostrevin"));
  auto x = testhost::dense(c.M, c.N, signal(c.M * c.N, 0.0));
  auto h = testhost::row(filter(c.taps));
  auto L = testhost::scalar(c.L);
  for (auto _ : state) {
    auto r = module.call(3, {x.get(), h.get(), L.get()});
    if (r.error) state.SkipWithError(r.message.c_str());
    benchmark::DoNotOptimize(r.outputs.data());
  }
  per_sample_level(state, c);
}

void inverse(benchmark::State &state, Case c) {
  testhost::snapshot_arguments(false);
  testhost::Module module(testhost::module_path("quillomar"));
  const std::size_t cols = band_columns(c);
  auto yl = testhost::dense(c.M, c.N, signal(c.M * c.N, 0.0));
  auto yh = testhost::dense(c.M, cols, signal(c.M * cols, 1.0));
  auto h = testhost::row(filter(c.taps));
  auto L = testhost::scalar(c.L);
  for (auto _ : state) {
    auto r = module.call(2, {yl.get(), yh.get(), h.get(), L.get()});
    if (r.error) state.SkipWithError(r.message.c_str());
    benchmark::DoNotOptimize(r.outputs.data());
  }
  per_sample_level(state, c);
}

// The floor: copying as many doubles as the call returns.
void copy_floor(benchmark::State &state, Case c, bool forward_output) {
  const std::size_t n = c.M * (forward_output ? c.N + band_columns(c) : c.N);
  std::vector<double> src = signal(n, 2.0), dst(n);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), n * sizeof(double));
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  per_sample_level(state, c);
}

const Case line2{1, std::size_t(1) << 20, 5, 2}, line8{1, std::size_t(1) << 20, 5, 8};
const Case image2{1024, 1024, 3, 2}, image8{1024, 1024, 3, 8};

BENCHMARK_CAPTURE(forward, 1d_n2e20_L5_taps2, line2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(forward, 1d_n2e20_L5_taps8, line8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(copy_floor, 1d_forward_output, line2, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(inverse, 1d_n2e20_L5_taps2, line2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(inverse, 1d_n2e20_L5_taps8, line8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(copy_floor, 1d_inverse_output, line2, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(forward, 2d_1024x1024_L3_taps2, image2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(forward, 2d_1024x1024_L3_taps8, image8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(copy_floor, 2d_forward_output, image2, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(inverse, 2d_1024x1024_L3_taps2, image2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(inverse, 2d_1024x1024_L3_taps8, image8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(copy_floor, 2d_inverse_output, image2, false)->Unit(benchmark::kMillisecond);

}  // namespace
