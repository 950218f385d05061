// vestran: decimated inverse wavelet transform, x = vestran(y, h[, L]).
#include "call_rules.h"
#include "vestran_kernel.h"

namespace {

void kernel(const lw::wavelet::KernelCall &c) {
  lw::wavelet::VESTRAN(c.result, c.M, c.N, c.h, c.lh, c.L, c.input);
}

}  // namespace

extern "C" LASSOWAVE_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                             const mxArray *prhs[]) {
  lw::wavelet::run_gateway(lw::wavelet::vestran_rules, kernel, nlhs, plhs, nrhs, prhs);
}
