// The redundant wavelet pair through the test host (argument checks, result
// creation and the transform): ostrevin and quillomar on a 1-D signal of
// 2^20 samples at L = 5 and a 1024×1024 image at L = 3, with 2 and 8 taps.
//
// Reported: seconds per sample per level (s_per_sample_level), and, as the
// memory floor in the same run, one plain copy of the call's output (yl and
// yh for ostrevin, x for quillomar) in the same unit.
#include "wavelet_bench.h"

namespace {

struct Case {
  std::size_t M, N;
  int L;
  int taps;
};

void per_sample_level(benchmark::State &state, const Case &c) {
  state.counters["s_per_sample_level"] =
      benchmark::Counter(double(c.M * c.N) * c.L,
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void forward(benchmark::State &state, Case c) {
  testhost::Module module(testhost::module_path("ostrevin"));
  auto x = testhost::dense(c.M, c.N, bench::signal(c.M * c.N));
  auto h = testhost::row(bench::filter(c.taps));
  auto L = testhost::scalar(c.L);
  bench::time_calls(state, module, 3, {x.get(), h.get(), L.get()});
  per_sample_level(state, c);
}

void inverse(benchmark::State &state, Case c) {
  testhost::Module module(testhost::module_path("quillomar"));
  const std::size_t cols = bench::band_columns(c.M, c.N, c.L);
  auto yl = testhost::dense(c.M, c.N, bench::signal(c.M * c.N));
  auto yh = testhost::dense(c.M, cols, bench::signal(c.M * cols, 1.0));
  auto h = testhost::row(bench::filter(c.taps));
  auto L = testhost::scalar(c.L);
  bench::time_calls(state, module, 2, {yl.get(), yh.get(), h.get(), L.get()});
  per_sample_level(state, c);
}

// The floor: copying as many doubles as the call returns.
void copy_floor(benchmark::State &state, Case c, bool forward_output) {
  const std::size_t columns = forward_output ? c.N + bench::band_columns(c.M, c.N, c.L) : c.N;
  bench::time_copies(state, c.M * columns);
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
