// floor_mex: the output floor of the wavelet benchmarks in Octave
// (bench/octave_wavelet_bench.m). floor_mex(sizes), sizes a K-by-2 matrix of
// [M N] rows, creates K dense M-by-N results through the host, as a module
// does (all created, zero-filled, before any is written), and writes every
// element of each once. Called the way the module is (same wrapper, same
// number of results), it costs what the host's creation of the module's
// outputs costs, page faults included, and nothing else. No checks beyond
// the shape of `sizes`. Built for Octave by bench/CMakeLists.txt only;
// never installed or packaged.
#include <algorithm>

#include "mex_binding.h"

extern "C" LASSOWAVE_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                             const mxArray *prhs[]) {
  if (nrhs != 1 || mxGetN(prhs[0]) != 2 || mxGetM(prhs[0]) > 16)
    lw::fail("floor_mex: needs one K-by-2 matrix of sizes, K <= 16.");
  const double *sizes = mxGetPr(prhs[0]);
  const std::size_t k = mxGetM(prhs[0]);
  mxArray *results[16] = {};
  for (std::size_t r = 0; r < k; ++r)
    results[r] = lw::create_result(nlhs, plhs, int(r), std::size_t(sizes[r]),
                                   std::size_t(sizes[r + k]));
  for (std::size_t r = 0; r < k; ++r) {
    double *p = mxGetPr(results[r]);
    std::fill(p, p + mxGetM(results[r]) * mxGetN(results[r]), 1.0);
    lw::discard_undelivered(nlhs, int(r), results[r]);
  }
}
