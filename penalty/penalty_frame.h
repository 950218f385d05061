// The frame shared by the three penalty schedules: argument order and
// checks, integer conversions, the due test, the counter tests with their
// one-sided clamping, and the three scalar results.
#pragma once

#include <cstdint>

#include "mex_binding.h"

namespace lw::penalty {

// The values one call works on; the schedule's update rewrites the first five.
struct State {
  double penalty;
  double penalty_max;
  double penalty_min;
  double count_raise;
  double count_lower;
  std::int32_t iter;
  std::int32_t selector;  // mode_switch or factor_switch; 0 where unused
};

// One row of a schedule table: iterations below `below` have `period`.
struct PeriodStep {
  std::int32_t below;
  std::int32_t period;
};

// Period for `iter` from a table whose last row covers every larger iteration.
template <std::size_t Rows>
std::int32_t period_for(std::int32_t iter, const PeriodStep (&table)[Rows]) {
  for (std::size_t r = 0; r + 1 < Rows; ++r)
    if (iter < table[r].below) return table[r].period;
  return table[Rows - 1].period;
}

// Due when the remainder of truncated division is 0 (it takes iter's sign).
inline bool is_due(std::int32_t iter, std::int32_t period) { return iter % period == 0; }

// max(1, x): 1 when 1 > x, otherwise x (so a NaN x gives a NaN threshold).
inline double at_least_one(double x) { return 1.0 > x ? 1.0 : x; }

// The counter tests, raise first. `raised` and `lowered` are the stepped
// values the schedule computed from the penalty. A bound replaces a stepped
// value only when the strict comparison holds, and only on its own side.
inline void counter_tests(State &s, double raise_weight, double lower_weight, double raised,
                          double lowered) {
  if (s.count_raise > at_least_one(raise_weight * s.count_lower)) {
    s.penalty = raised > s.penalty_max ? s.penalty_max : raised;
    s.count_raise = 0.0;
  } else if (s.count_lower > at_least_one(lower_weight * s.count_raise)) {
    s.penalty = s.penalty_min > lowered ? s.penalty_min : lowered;
    s.count_lower = 0.0;
  }
}

struct Schedule {
  const char *module;         // names the module in argument errors
  const char *prefix;         // "<module>: ", the start of those errors
  const char *count_message;  // the too-few-arguments text
  int required;               // 6, or 7 with a selector
  const char *selector_name;  // name of the seventh argument, if any
  void (*update)(State &);
};

// The whole gateway: checks, reads, update, results.
void run_gateway(const Schedule &schedule, int nlhs, mxArray *plhs[], int nrhs,
                 const mxArray *prhs[]);

}  // namespace lw::penalty
