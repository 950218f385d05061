// Per-call cost of the scalar modules through the test host (argument
// checks, result creation and the update itself): the three penalty updates
// and gravenmor.
#include <benchmark/benchmark.h>

#include <vector>

#include "testhost.h"

namespace {

void penalty_call(benchmark::State &state, const char *name, std::vector<double> args,
                  int nout = 3) {
  testhost::Module module(testhost::module_path(name));
  std::vector<testhost::Array> owned;
  std::vector<const mxArray *> handles;
  for (double v : args) {
    owned.push_back(testhost::scalar(v));
    handles.push_back(owned.back().get());
  }
  for (auto _ : state) {
    auto r = module.call(nout, handles);
    benchmark::DoNotOptimize(r.outputs.data());
  }
}

BENCHMARK_CAPTURE(penalty_call, vintrask, "vintrask", {10, 100, 1, 3, 2, 0});
BENCHMARK_CAPTURE(penalty_call, quorbel, "quorbel", {1, 3, 0.1, 2, 0, 0, -1});
BENCHMARK_CAPTURE(penalty_call, sandrevo, "sandrevo", {1, 100, 0.1, 1, 4, 0, 1});
BENCHMARK_CAPTURE(penalty_call, gravenmor, "gravenmor", {6, 2, 8, 3, 5}, 8);

}  // namespace
