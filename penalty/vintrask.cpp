// vintrask: penalty update of an ADMM lasso solver.
#include "penalty_frame.h"

namespace {

using lw::penalty::PeriodStep;
using lw::penalty::State;

constexpr PeriodStep periods[] = {{30, 3}, {60, 6}, {120, 12}, {250, 25}, {500, 50}, {0, 100}};
constexpr double threshold_factor = 1.2;
constexpr double step = 1.25;

void update(State &s) {
  if (!lw::penalty::is_due(s.iter, lw::penalty::period_for(s.iter, periods))) return;
  // Lowering divides (not a multiplication by 0.8): the results depend on it.
  lw::penalty::counter_tests(s, threshold_factor, threshold_factor, s.penalty * step,
                             s.penalty / step);
}

constexpr lw::penalty::Schedule schedule{"vintrask", "vintrask: ",
                                         " vintrask: must have 6 inputs", 6,
                                         nullptr, update};

}  // namespace

extern "C" LASSOWAVE_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                             const mxArray *prhs[]) {
  lw::penalty::run_gateway(schedule, nlhs, plhs, nrhs, prhs);
}
