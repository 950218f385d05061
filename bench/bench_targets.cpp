// The wavelet cases of the speed targets, through the test host, exactly as
// bench/peer_pywt.py and bench/octave_wavelet_bench.m time them:
//
//   decimated  kaldor / vestran     1-D 2^20, L = 10, 2, 8, 16 taps
//                                   2-D 1024x1024, L = 5, 2 and 8 taps
//   redundant  ostrevin / quillomar 1-D 2^20, L = 5, 2 and 8 taps
//                                   2-D 512x512, L = 3, 2 and 8 taps
//
// wavelet/<case>: one call (checks, result creation, transform). The
// allocator is told to keep freed memory (mallopt), so from the second call
// on the results land in pages that are already mapped and touched: this is
// the transform's own cost, not the page faults of fresh memory. Counter
// `best_ms`: the fastest single call, the figure least disturbed by other
// work on a shared machine (the time column is the mean).
// floor/<case>: creating arrays of the call's output sizes and writing them
// once, the least a call that returns new arrays can cost here.
//
// Strided passes, each as a ratio to a contiguous pass of the same size
// (counters `strided_ms`, `contiguous_ms` and their ratio
// `strided_vs_contiguous`, from the fastest of alternating calls):
//   strided/decimated_rows/<module>: one 2-D level of a 1024x1024 image is a
//     contiguous column pass and a row pass over column-major data; a 1-D
//     level of the same 2^20 samples is one contiguous pass. Ratio:
//     (t2d(L=1) - t1d(L=1)) / t1d(L=1), the row pass over the column pass.
//   strided/redundant_phases/<dir>/<taps>: level k of a redundant 1-D
//     transform reads 2^(k-1) interleaved phases (taps 2^(k-1) apart);
//     level 1 is one contiguous pass. A level's pass is what it adds to a
//     call beyond creating and writing its outputs (redundant_phases below).
//     Ratio: the costliest of levels 2..5 over level 1. The line has 2^16
//     samples, so that every call's arrays stay in cache at every L: at
//     2^20 each level adds an 8 MiB band and from L = 2 on the arrays
//     outgrow the last-level cache, which then makes the later levels look
//     dear whatever their access pattern.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "testhost.h"
#include "wavelet_bench.h"

namespace {

using Clock = std::chrono::steady_clock;

// Keep freed memory mapped: a host that recycles its arrays. glibc caps
// M_MMAP_THRESHOLD at 32 MiB (a larger value is refused and leaves the
// default), and a redundant 1-D call returns 40 MiB of bands, so blocks are
// never given their own mapping (M_MMAP_MAX = 0) and the heap is never
// trimmed.
const bool memory_kept = [] {
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  return true;
}();

struct Case {
  bool redundant;
  std::size_t M, N;
  int L, taps;
  bool forward;
};

// The module call of a case, with its inputs (for an inverse: the forward
// transform of the signal).
struct Call {
  testhost::Module module;
  std::vector<testhost::Array> owned;
  std::vector<const mxArray *> args;
  int nlhs = 0;
  std::string error;

  Call(const Case &c)
      : module(testhost::module_path(c.redundant ? (c.forward ? "ostrevin" : "quillomar")
                                                 : (c.forward ? "kaldor" : "vestran"))) {
    owned.push_back(testhost::dense(c.M, c.N, bench::signal(c.M * c.N)));
    owned.push_back(testhost::row(bench::filter(c.taps)));
    owned.push_back(testhost::scalar(c.L));
    const mxArray *x = owned[0].get(), *h = owned[1].get(), *L = owned[2].get();
    nlhs = c.forward && c.redundant ? 3 : 2;
    if (c.forward) {
      args = {x, h, L};
      return;
    }
    testhost::Module fwd(testhost::module_path(c.redundant ? "ostrevin" : "kaldor"));
    auto r = fwd.call(c.redundant ? 2 : 1, {x, h, L});
    if (r.error) {
      error = r.message;
      return;
    }
    for (auto &coefficients : r.outputs) {  // y, or yl and yh
      args.push_back(coefficients.get());
      owned.push_back(std::move(coefficients));
    }
    args.push_back(h);
    args.push_back(L);
  }
  // Seconds of one call; negative on an error (kept in `error`).
  double time_once() {
    const auto t0 = Clock::now();
    auto r = module.call(nlhs, args);
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    if (r.error) {
      error = r.message;
      return -1;
    }
    return s;
  }
};

void wavelet(benchmark::State &state, Case c) {
  testhost::snapshot_arguments(false);
  Call call(c);
  if (!call.error.empty()) {
    state.SkipWithError(call.error.c_str());
    return;
  }
  call.time_once();  // first call: maps the result memory
  double best = 1e300;
  for (auto _ : state) {
    const double s = call.time_once();
    if (s < 0) {
      state.SkipWithError(call.error.c_str());
      break;
    }
    state.SetIterationTime(s);
    best = std::min(best, s);
  }
  state.counters["best_ms"] = 1e3 * best;
  testhost::snapshot_arguments(true);
}

// Seconds to create arrays of a case's output sizes and write each once,
// as output_floor does: what any call returning them costs at least.
double floor_once(const Case &c) {
  std::vector<std::size_t> cols{c.N};
  if (c.forward && c.redundant) cols.push_back(bench::band_columns(c.M, c.N, c.L));
  const auto t0 = Clock::now();
  for (std::size_t n : cols) {
    testhost::Array a(mxCreateDoubleMatrix(c.M, n, mxREAL));
    double *p = mxGetPr(a.get());
    std::fill(p, p + c.M * n, 1.0);
    benchmark::ClobberMemory();
  }
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

void output_floor(benchmark::State &state, Case c) {
  for (auto _ : state) floor_once(c);
}

// The calls of `cases`, each made once (so that their results land in
// mapped memory); empty on an error, which skips the benchmark. Argument
// snapshots are off until the caller turns them back on.
std::vector<std::unique_ptr<Call>> ready_calls(benchmark::State &state,
                                               const std::vector<Case> &cases) {
  testhost::snapshot_arguments(false);
  std::vector<std::unique_ptr<Call>> calls;
  for (const Case &c : cases) {
    calls.push_back(std::make_unique<Call>(c));
    if (!calls.back()->error.empty() || calls.back()->time_once() < 0) {
      state.SkipWithError(calls.back()->error.c_str());
      testhost::snapshot_arguments(true);
      return {};
    }
  }
  return calls;
}

// The fastest of `rounds` alternating calls of each case; empty on an error.
std::vector<double> fastest(benchmark::State &state, std::vector<Case> cases, int rounds) {
  auto calls = ready_calls(state, cases);
  if (calls.empty()) return {};
  std::vector<std::vector<double>> t(cases.size());
  for (int r = 0; r < rounds; ++r)
    for (std::size_t i = 0; i < cases.size(); ++i) t[i].push_back(calls[i]->time_once());
  std::vector<double> m;
  for (auto &v : t) m.push_back(*std::min_element(v.begin(), v.end()));
  testhost::snapshot_arguments(true);
  return m;
}

void decimated_rows(benchmark::State &state, bool forward, int taps) {
  std::vector<double> m;
  for (auto _ : state) {
    m = fastest(state,
                {Case{false, 1024, 1024, 1, taps, forward}, Case{false, 1, 1 << 20, 1, taps, forward}},
                15);
    if (m.empty()) return;
    state.SetIterationTime(m[0]);
  }
  state.counters["strided_ms"] = 1e3 * (m[0] - m[1]);
  state.counters["contiguous_ms"] = 1e3 * m[1];
  state.counters["strided_vs_contiguous"] = (m[0] - m[1]) / m[1];
}

// Level k's pass: what an L = k call costs beyond an L = k - 1 call, less
// the output floor it adds (the forward transform's one more band); level
// 1's pass: an L = 1 call less its whole output floor. (The L = 0 call is
// no baseline: it copies its input, a pass that level 1 does not make.)
// Each round times every call and floor once, in turn, and yields each
// level's pass; the figure is the median over the rounds, as a difference
// of two fastest times would be mostly noise.
void redundant_phases(benchmark::State &state, bool forward, int taps) {
  std::vector<Case> cases;
  for (int L = 1; L <= 5; ++L) cases.push_back(Case{true, 1, std::size_t(1) << 16, L, taps, forward});
  const int rounds = 201;
  std::vector<double> pass(cases.size());
  for (auto _ : state) {
    auto calls = ready_calls(state, cases);
    if (calls.empty()) return;
    std::vector<std::vector<double>> per_level(cases.size());
    double last = 0;
    for (int r = 0; r < rounds; ++r) {
      double before = 0;  // the previous call's time less its floor
      for (std::size_t i = 0; i < cases.size(); ++i) {
        const double t = calls[i]->time_once(), f = floor_once(cases[i]);
        per_level[i].push_back((t - f) - before);
        before = t - f;
        last = t;
      }
    }
    testhost::snapshot_arguments(true);
    for (std::size_t i = 0; i < cases.size(); ++i) {
      auto &v = per_level[i];
      std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
      pass[i] = v[v.size() / 2];
    }
    state.SetIterationTime(last);
  }
  for (std::size_t i = 0; i < pass.size(); ++i)
    state.counters["level" + std::to_string(i + 1) + "_ms"] = 1e3 * pass[i];
  const double worst = *std::max_element(pass.begin() + 1, pass.end());
  state.counters["strided_ms"] = 1e3 * worst;
  state.counters["contiguous_ms"] = 1e3 * pass[0];
  state.counters["strided_vs_contiguous"] = worst / pass[0];
}

struct Named {
  std::string name;
  Case c;
};

std::vector<Named> target_cases() {
  std::vector<Named> v;
  for (bool fwd : {true, false}) {
    const char *dir = fwd ? "forward" : "inverse";
    for (int taps : {2, 8, 16})
      v.push_back({"decimated/1d/" + std::to_string(taps) + "/" + dir,
                   Case{false, 1, 1 << 20, 10, taps, fwd}});
    for (int taps : {2, 8})
      v.push_back({"decimated/2d/" + std::to_string(taps) + "/" + dir,
                   Case{false, 1024, 1024, 5, taps, fwd}});
    for (int taps : {2, 8}) {
      v.push_back({"redundant/1d/" + std::to_string(taps) + "/" + dir,
                   Case{true, 1, 1 << 20, 5, taps, fwd}});
      v.push_back({"redundant/2d/" + std::to_string(taps) + "/" + dir,
                   Case{true, 512, 512, 3, taps, fwd}});
    }
  }
  return v;
}

const bool registered = [] {
  (void)memory_kept;
  for (const Named &n : target_cases()) {
    benchmark::RegisterBenchmark(("wavelet/" + n.name).c_str(), wavelet, n.c)
        ->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("floor/" + n.name).c_str(), output_floor, n.c)
        ->Unit(benchmark::kMillisecond);
  }
  for (bool fwd : {true, false})
    for (int taps : {2, 8}) {
      const std::string tail = std::string(fwd ? "forward" : "inverse") + "/" + std::to_string(taps);
      benchmark::RegisterBenchmark(("strided/decimated_rows/" + tail).c_str(), decimated_rows,
                                   fwd, taps)
          ->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("strided/redundant_phases/" + tail).c_str(),
                                   redundant_phases, fwd, taps)
          ->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
    }
  return true;
}();

}  // namespace
