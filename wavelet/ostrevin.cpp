// ostrevin: redundant (undecimated) forward wavelet transform.
//   [yl, yh, L] = ostrevin(x, h)  or  [yl, yh, L] = ostrevin(x, h, L)
#include "call_rules.h"
#include "ostrevin_kernel.h"

namespace {

void kernel(const lw::wavelet::KernelCall &c) {
  lw::wavelet::OSTREVIN(c.input, c.M, c.N, c.h, c.lh, c.L, c.result, c.yh_result);
}

}  // namespace

extern "C" LASSOWAVE_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                             const mxArray *prhs[]) {
  lw::wavelet::run_gateway(lw::wavelet::ostrevin_rules, kernel, nlhs, plhs, nrhs, prhs);
}
