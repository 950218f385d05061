// The decimated wavelet pair through the test host (argument checks, result
// creation and the transform): kaldor and vestran on a 1-D signal of 2^20
// samples at L = 10 with 2, 8 and 16 taps, and on a 1024×1024 image at L = 5
// with 2 and 8 taps.
//
// Reported: time per sample of the input (per_sample, CPU time). The memory
// floor in the same run and unit: one plain copy of the data (copy/...), and
// a kaldor call with L = 0, which is the host's part of a call plus that
// copy (call_floor/...).
#include "wavelet_bench.h"

namespace {

struct Case {
  std::size_t M, N;
  int L;
  int taps;
};

void per_sample(benchmark::State &state, const Case &c) {
  state.counters["per_sample"] = benchmark::Counter(
      double(c.M * c.N),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void transform(benchmark::State &state, const char *name, Case c) {
  testhost::Module module(testhost::module_path(name));
  testhost::Array x = testhost::dense(c.M, c.N, bench::signal(c.M * c.N));
  testhost::Array h = testhost::row(bench::filter(c.taps));
  testhost::Array L = testhost::scalar(c.L);
  bench::time_calls(state, module, 1, {x.get(), h.get(), L.get()});
  per_sample(state, c);
}

void copy(benchmark::State &state, Case c) {
  bench::time_copies(state, c.M * c.N);
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
