// quillomar: inverse of the redundant wavelet transform of ostrevin.
//   [x, L] = quillomar(yl, yh, h)  or  [x, L] = quillomar(yl, yh, h, L)
#include "call_rules.h"
#include "quillomar_kernel.h"

namespace {

void kernel(const lw::wavelet::KernelCall &c) {
  lw::wavelet::QUILLOMAR(c.result, c.M, c.N, c.h, c.lh, c.L, c.input, c.yh_input);
}

}  // namespace

extern "C" LASSOWAVE_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                             const mxArray *prhs[]) {
  lw::wavelet::run_gateway(lw::wavelet::quillomar_rules, kernel, nlhs, plhs, nrhs, prhs);
}
