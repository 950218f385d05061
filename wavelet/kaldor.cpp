// kaldor: decimated forward wavelet transform, y = kaldor(x, h[, L]).
#include "call_rules.h"
#include "kaldor_kernel.h"

namespace {

void kernel(const lw::wavelet::KernelCall &c) {
  lw::wavelet::KALDOR(c.input, c.M, c.N, c.h, c.lh, c.L, c.result);
}

}  // namespace

extern "C" LASSOWAVE_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                             const mxArray *prhs[]) {
  lw::wavelet::run_gateway(lw::wavelet::kaldor_rules, kernel, nlhs, plhs, nrhs, prhs);
}
