// hobrinth: x = hobrinth(Rt, b) solves Rt'·x = b by backward substitution,
// Rt sparse lower triangular.
#include "triangular_frame.h"

namespace {

constexpr lw::triangular::Solver solver{
    "hobrinth: ",
    "Rt",
    lw::triangular::Direction::backward,
    "hobrinth: requires 2 input arguments.",
    "hobrinth: requires 1 output argument.",
    "hobrinth: Rt should be square.",
    "hobrinth: Rt should be sparse.",
    "hobrinth: Rt not lower triangular.",
};

}  // namespace

extern "C" LASSOWAVE_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                             const mxArray *prhs[]) {
  lw::triangular::run_gateway(solver, nlhs, plhs, nrhs, prhs);
}
