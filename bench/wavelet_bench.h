// What the wavelet benchmark programs share: their inputs (the transforms'
// cost depends on the sizes, the level and the filter length, never on the
// values), the timed call loop and the memory-copy floor.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "testhost.h"

namespace bench {

// Orthonormal scaling filters: Haar and the Daubechies filter of 8 taps;
// other lengths get a smooth filter (any filter of the length costs the same).
inline std::vector<double> filter(int taps) {
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

// A smooth signal with a small ripple; `seed` shifts its phase.
inline std::vector<double> signal(std::size_t n, double seed = 0.0) {
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i)
    v[i] = std::sin(0.001 * double(i) + seed) + 0.01 * double(i % 13);
  return v;
}

// Columns of the redundant transform's band matrix yh for an M-by-N input
// at L levels: one band per level for a line, three for an image.
inline std::size_t band_columns(std::size_t M, std::size_t N, int L) {
  return std::size_t(L) * N * (std::min(M, N) == 1 ? 1 : 3);
}

// One call of `module` per iteration; a failed call skips the benchmark.
// Argument snapshots are off meanwhile, so that copying large inputs does not
// count as the module's time.
inline void time_calls(benchmark::State &state, const testhost::Module &module, int nlhs,
                       const std::vector<const mxArray *> &args) {
  testhost::snapshot_arguments(false);
  for (auto _ : state) {
    auto r = module.call(nlhs, args);
    if (r.error) state.SkipWithError(r.message.c_str());
    benchmark::DoNotOptimize(r.outputs.data());
  }
  testhost::snapshot_arguments(true);
}

// The memory floor: one plain copy of n doubles per iteration.
inline void time_copies(benchmark::State &state, std::size_t n) {
  const std::vector<double> from = signal(n, 2.0);
  std::vector<double> to(n);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), n * sizeof(double));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}

}  // namespace bench
