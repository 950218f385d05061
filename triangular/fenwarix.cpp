// fenwarix: x = fenwarix(R, b) solves R'·x = b by forward substitution, R
// sparse upper triangular.
#include "triangular_frame.h"

namespace {

constexpr lw::triangular::Solver solver{
    "fenwarix: ",
    "R",
    lw::triangular::Direction::forward,
    "fenwarix: requires 2 input arguments.",
    "fenwarix: requires 1 output argument.",
    "fenwarix: R should be square.",
    "fenwarix: R should be sparse.",
    "fenwarix: R not upper triangular.",
};

}  // namespace

extern "C" LASSOWAVE_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                             const mxArray *prhs[]) {
  lw::triangular::run_gateway(solver, nlhs, plhs, nrhs, prhs);
}
