// zelmonte and lunderjack on long signals through the test host.
//
// zelmonte: ns per sample, and the ratio of a call to two floors measured in
// the same run on the same arrays: a plain copy of y into an existing array
// (vs_copy), and creating the result array plus that copy (vs_create_copy),
// which is the least any call that returns a new array can do.
// lunderjack: ns per pattern entry on runs of mixed lengths, and the ratio
// to creating its two (zero-filled) results of the same sizes (vs_create).
//
// The zelmonte cases: about 300 pieces on noise with a large lambda, noise
// with a moderate and a small lambda; and smooth monotone trends with a
// weight large for them, where the scan alone would re-read nearly all it
// has read at every closing and zelmonte takes its linear method instead:
// those are timed in alternation with noise of the same length and lambda
// 0.5 (vs_noise: the fastest trend call over the fastest noise call; the
// target is 5 at most).
//
// Argument snapshots are switched off so the host's own checking does not
// count as module time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "testhost.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// One call of zelmonte, timed as the benchmark iteration's time.
testhost::CallResult timed_call(benchmark::State &state, const testhost::Module &module,
                                const std::vector<const mxArray *> &args, double &seconds) {
  const auto t0 = Clock::now();
  auto r = module.call(1, args);
  seconds = seconds_since(t0);
  state.SetIterationTime(seconds);
  return r;
}

// About `segments` constant pieces with levels N(0, 10^2), plus N(0, noise^2).
std::vector<double> signal(std::size_t n, std::size_t segments, double noise) {
  std::mt19937_64 rng(42);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::vector<double> y(n);
  double level = 0;
  for (std::size_t k = 0; k < n; ++k) {
    if (segments > 0 && rng() % n < segments) level = 10 * gauss(rng);
    y[k] = level + noise * gauss(rng);
  }
  return y;
}

enum class Shape { piecewise, noise, log1p, sqrt, cbrt, walk, saturating };

std::vector<double> shaped(Shape shape, std::size_t n) {
  if (shape == Shape::piecewise) return signal(n, 300, 1.0);
  if (shape == Shape::noise) return signal(n, 0, 1.0);
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::vector<double> y(n);
  double walk = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const double t = double(k);
    walk += uniform(rng);
    switch (shape) {
      case Shape::log1p: y[k] = std::log(1.0 + t); break;
      case Shape::sqrt: y[k] = std::sqrt(t); break;
      case Shape::cbrt: y[k] = std::cbrt(t); break;
      case Shape::walk: y[k] = walk / std::sqrt(double(n)); break;
      default: y[k] = 1.0 - std::exp(-8.0 * t / double(n)); break;
    }
  }
  return y;
}

void zelmonte(benchmark::State &state, Shape shape, double lambda) {
  testhost::snapshot_arguments(false);
  const std::size_t n = std::size_t(state.range(0));
  testhost::Module module(testhost::module_path("zelmonte"));
  testhost::Array y = testhost::column(shaped(shape, n));
  testhost::Array lam = testhost::scalar(lambda);
  testhost::Array copy_target = testhost::dense(n, 1);
  const std::vector<const mxArray *> args{y.get(), lam.get()};

  double call_s = 0, copy_s = 0, create_copy_s = 0;
  std::size_t pieces = 0;
  for (auto _ : state) {
    double s = 0;
    auto r = timed_call(state, module, args, s);
    call_s += s;

    const double *x = mxGetPr(r.outputs[0].get());
    pieces = 1;
    for (std::size_t k = 1; k < n; ++k) pieces += x[k] != x[k - 1];

    auto t0 = Clock::now();
    std::memcpy(mxGetPr(copy_target.get()), mxGetPr(y.get()), n * sizeof(double));
    benchmark::ClobberMemory();
    copy_s += seconds_since(t0);

    t0 = Clock::now();
    {
      testhost::Array fresh(mxCreateDoubleMatrix(n, 1, mxREAL));
      std::memcpy(mxGetPr(fresh.get()), mxGetPr(y.get()), n * sizeof(double));
      benchmark::ClobberMemory();
    }
    create_copy_s += seconds_since(t0);
  }
  state.counters["ns_per_sample"] = 1e9 * call_s / (double(n) * double(state.iterations()));
  state.counters["vs_copy"] = call_s / copy_s;
  state.counters["vs_create_copy"] = call_s / create_copy_s;
  state.counters["segments"] = double(pieces);
  testhost::snapshot_arguments(true);
}

// A trend and noise (lambda 0.5) of the same length, called in alternation.
void zelmonte_vs_noise(benchmark::State &state, Shape shape, double lambda) {
  testhost::snapshot_arguments(false);
  const std::size_t n = std::size_t(state.range(0));
  testhost::Module module(testhost::module_path("zelmonte"));
  testhost::Array y = testhost::column(shaped(shape, n));
  testhost::Array noise = testhost::column(shaped(Shape::noise, n));
  testhost::Array lam = testhost::scalar(lambda);
  testhost::Array half = testhost::scalar(0.5);
  const std::vector<const mxArray *> args{y.get(), lam.get()}, noise_args{noise.get(), half.get()};
  double best = 1e300, best_noise = 1e300;
  std::uint64_t work = 0;
  for (auto _ : state) {
    double s = 0;
    work = timed_call(state, module, args, s).work;
    best = std::min(best, s);
    const auto t0 = Clock::now();
    module.call(1, noise_args);
    best_noise = std::min(best_noise, seconds_since(t0));
  }
  state.counters["ns_per_sample"] = 1e9 * best / double(n);
  state.counters["noise_ns_per_sample"] = 1e9 * best_noise / double(n);
  state.counters["vs_noise"] = best / best_noise;
  state.counters["work_per_sample"] = double(work) / double(n);
  testhost::snapshot_arguments(true);
}

// Runs of 1 to 100 ones separated by 1 to 10 other values (0 or 2).
std::vector<double> pattern(std::size_t n) {
  std::mt19937_64 rng(7);
  std::vector<double> p;
  p.reserve(n);
  while (p.size() < n) {
    for (std::size_t len = 1 + rng() % 100; len > 0 && p.size() < n; --len) p.push_back(1.0);
    for (std::size_t gap = 1 + rng() % 10; gap > 0 && p.size() < n; --gap)
      p.push_back(rng() % 2 ? 0.0 : 2.0);
  }
  return p;
}

void lunderjack(benchmark::State &state) {
  testhost::snapshot_arguments(false);
  const std::size_t n = std::size_t(state.range(0));
  testhost::Module module(testhost::module_path("lunderjack"));
  testhost::Array p = testhost::row(pattern(n));
  const std::vector<const mxArray *> args{p.get()};
  double call_s = 0, create_s = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    auto r = module.call(2, args);
    const double s = seconds_since(t0);
    state.SetIterationTime(s);
    call_s += s;

    // Floor: creating the two results of the same sizes and nothing else.
    const mxArray *h = r.outputs[1].get();
    const std::size_t columns = mxGetN(h), room = mxGetNzmax(h);
    t0 = Clock::now();
    {
      testhost::Array d(mxCreateDoubleMatrix(n + 1, 1, mxREAL));
      testhost::Array fresh(mxCreateSparse(n + 1, columns, room, mxREAL));
      benchmark::DoNotOptimize(mxGetPr(d.get()));
      benchmark::DoNotOptimize(mxGetPr(fresh.get()));
    }
    create_s += seconds_since(t0);
  }
  state.counters["ns_per_entry"] = 1e9 * call_s / (double(n) * double(state.iterations()));
  state.counters["vs_create"] = call_s / create_s;
  testhost::snapshot_arguments(true);
}

// About 300 pieces on noise of 1: lambda 1e4 leaves a few hundred segments
// (about 570 at 1e6 samples); on pure noise lambda 50 does (about 320), and
// lambda 0.5 leaves short segments. On the trends the scan alone read about
// 1000 samples per sample at 3e4 samples, 21000 at 1e5 (log(1 + k)).
BENCHMARK_CAPTURE(zelmonte, piecewise, Shape::piecewise, 1e4)
    ->Arg(1000000)->Arg(10000000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(zelmonte, noise, Shape::noise, 50.0)
    ->Arg(1000000)->Arg(10000000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(zelmonte, small_lambda, Shape::noise, 0.5)
    ->Arg(1000000)->Arg(10000000)->UseManualTime()->Unit(benchmark::kMillisecond);
// Five rounds each: a figure is the fastest of five calls.
#define LASSOWAVE_TREND(name, shape, lambda)                                 \
  BENCHMARK_CAPTURE(zelmonte_vs_noise, name, shape, lambda)                  \
      ->Arg(100000)->Arg(1000000)->Arg(10000000)->Iterations(5)              \
      ->UseManualTime()->Unit(benchmark::kMillisecond)
LASSOWAVE_TREND(log1p_1e4, Shape::log1p, 1e4);
LASSOWAVE_TREND(sqrt_1e3, Shape::sqrt, 1e3);
LASSOWAVE_TREND(cbrt_1e3, Shape::cbrt, 1e3);
LASSOWAVE_TREND(walk_1e3, Shape::walk, 1e3);
LASSOWAVE_TREND(saturating_1e2, Shape::saturating, 1e2);
LASSOWAVE_TREND(saturating_10, Shape::saturating, 10);
BENCHMARK(lunderjack)->Arg(1000000)->Arg(10000000)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
