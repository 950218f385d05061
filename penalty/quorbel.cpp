// quorbel (also delivered as pelmorin): penalty update of a lasso solver,
// counter-driven or shrinking on every call, chosen by mode_switch.
#include "penalty_frame.h"

namespace {

using lw::penalty::PeriodStep;
using lw::penalty::State;

constexpr PeriodStep periods[] = {{10, 2}, {200, 3}, {500, 10}, {0, 20}};
constexpr double threshold_factor = 1.2;
constexpr double step = 5.0;
constexpr std::int32_t first_shrinking_iter = 10;

void update(State &s) {
  if (s.selector < 0) {
    if (!lw::penalty::is_due(s.iter, lw::penalty::period_for(s.iter, periods))) return;
    lw::penalty::counter_tests(s, threshold_factor, threshold_factor, s.penalty * step,
                               s.penalty / step);
  } else if (s.iter >= first_shrinking_iter) {
    const double shrunk = (s.penalty + s.penalty) / 5.0;
    s.penalty = s.penalty_min > shrunk ? s.penalty_min : shrunk;
  }
}

constexpr lw::penalty::Schedule schedule{"quorbel", "quorbel: ",
                                         " quorbel: must have 7 inputs", 7,
                                         "mode_switch", update};

}  // namespace

extern "C" LASSOWAVE_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                             const mxArray *prhs[]) {
  lw::penalty::run_gateway(schedule, nlhs, plhs, nrhs, prhs);
}
