// kaldor: decimated forward wavelet transform (kernel still to come).
#include "call_rules.h"

namespace {
void kernel(const lw::wavelet::KernelCall &) {}
}  // namespace

extern "C" LASSOWAVE_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                             const mxArray *prhs[]) {
  lw::wavelet::run_gateway(lw::wavelet::kaldor_rules, kernel, nlhs, plhs, nrhs, prhs);
}
