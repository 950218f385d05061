#include "penalty_frame.h"

#include <cstdio>

namespace lw::penalty {

namespace {

// Forms a 32-bit integer argument, rejecting values that have none.
std::int32_t integer_argument(double v, const char *module, int position, const char *name) {
  std::int32_t out = 0;
  if (!truncate_to_int32(v, out)) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "%s: argument %d (%s) must be a finite number within the signed 32-bit "
                  "integer range.",
                  module, position, name);
    fail(text);
  }
  return out;
}

}  // namespace

void run_gateway(const Schedule &schedule, int nlhs, mxArray *plhs[], int nrhs,
                 const mxArray *prhs[]) {
  if (nrhs < schedule.required) fail(schedule.count_message);

  const char *names[7] = {"penalty",     "penalty_max", "penalty_min",          "count_raise",
                          "count_lower", "iter",        schedule.selector_name};
  const Wording wording{schedule.prefix, "."};

  double first[7] = {};
  for (int i = 0; i < schedule.required; ++i) {
    require_real_dense_double(prhs[i], wording, i + 1, names[i]);
    first[i] = first_element(prhs[i]);
  }

  State s{first[0], first[1], first[2], first[3], first[4], 0, 0};
  s.iter = integer_argument(first[5], schedule.module, 6, names[5]);
  if (schedule.required > 6) s.selector = integer_argument(first[6], schedule.module, 7, names[6]);

  schedule.update(s);

  // Only the slots the host provides are created; all before any is filled.
  const int slots = result_slots(nlhs) < 3 ? result_slots(nlhs) : 3;
  mxArray *results[3] = {};
  for (int k = 0; k < slots; ++k) results[k] = create_result(nlhs, plhs, k, 1, 1);
  const double values[3] = {s.penalty, s.count_raise, s.count_lower};
  for (int k = 0; k < slots; ++k) mxGetPr(results[k])[0] = values[k];
}

}  // namespace lw::penalty
