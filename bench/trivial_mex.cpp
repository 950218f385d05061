// trivial_mex: the least a scalar module can do per call, for the per-call
// benchmarks of the scalar modules (bench/octave_scalar_bench.m). It reads the
// first element of every argument, creates as many 1x1 results as the host
// has room for (max(nlhs, 1), at most 16), all before any is filled, and
// writes the first elements of the arguments into them in turn. No checks.
// Built for Octave by bench/CMakeLists.txt only; never installed or packaged.
#include "mex_binding.h"

extern "C" LASSOWAVE_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                             const mxArray *prhs[]) {
  if (nrhs < 1) lw::fail("trivial_mex: needs at least one argument.");
  double first[16];
  const int inputs = nrhs < 16 ? nrhs : 16;
  for (int i = 0; i < inputs; ++i) first[i] = lw::first_element(prhs[i]);
  const int slots = lw::result_slots(nlhs) < 16 ? lw::result_slots(nlhs) : 16;
  mxArray *results[16] = {};
  for (int k = 0; k < slots; ++k) results[k] = lw::create_result(nlhs, plhs, k, 1, 1);
  for (int k = 0; k < slots; ++k) mxGetPr(results[k])[0] = first[k % inputs];
}
