// sandrevo (also delivered as tolbrecht): penalty update of a fused-lasso
// solver with a step factor chosen per call by factor_switch.
#include <cmath>

#include "penalty_frame.h"

namespace {

using lw::penalty::PeriodStep;
using lw::penalty::State;

constexpr PeriodStep periods[] = {{10, 1}, {200, 2}, {0, 3}};
constexpr double raise_factor = 1.2;
constexpr double lower_factor = 3.0;

void update(State &s) {
  const double step = s.selector == 1 ? std::sqrt(5.0) : 5.0;
  if (!lw::penalty::is_due(s.iter, lw::penalty::period_for(s.iter, periods))) return;
  lw::penalty::counter_tests(s, raise_factor, lower_factor, s.penalty * step,
                             (s.penalty + s.penalty) / step);
}

// The count text names quorbel: callers of this schedule have always seen it.
constexpr lw::penalty::Schedule schedule{"sandrevo", "sandrevo: ",
                                         " quorbel: must have 7 inputs", 7,
                                         "factor_switch", update};

}  // namespace

extern "C" LASSOWAVE_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                             const mxArray *prhs[]) {
  lw::penalty::run_gateway(schedule, nlhs, plhs, nrhs, prhs);
}
