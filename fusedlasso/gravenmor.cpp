// gravenmor (also delivered as brastelin): the scalars a fused-lasso solver
// works with after rescaling its problem by two scale factors. Scaling is
// off (both factors 1) when the first factor is below 1e-7.
#include "mex_binding.h"

namespace {

constexpr int input_count = 5;
constexpr int result_count = 8;
constexpr double scaling_threshold = 1e-7;

}  // namespace

extern "C" LASSOWAVE_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                             const mxArray *prhs[]) {
  if (nrhs != input_count) lw::fail(" gravenmor: must have 5 inputs");

  const lw::Wording wording{"gravenmor: ", "."};
  const char *names[input_count] = {"value", "scale_1", "scale_2", "weight_1", "weight_2"};
  double u[input_count];
  for (int i = 0; i < input_count; ++i) {
    lw::require_real_dense_double(prhs[i], wording, i + 1, names[i]);
    u[i] = lw::first_element(prhs[i]);
  }

  // Only u[1] is tested; a NaN fails the comparison and keeps scaling on.
  double s1 = 1.0;
  double s2 = 1.0;
  if (!(u[1] < scaling_threshold)) {
    s1 = u[1];
    s2 = u[2];
  }
  const double values[result_count - 1] = {
      (s2 / s1) * u[0], s1, s2, std::sqrt(s1 * s2), std::sqrt(s1 / s2), u[3] * s1, u[4] * s2};

  // All results are created before any is written; the last keeps its zero.
  // Only the slots the host provides receive one.
  const int slots = lw::result_slots(nlhs) < result_count ? lw::result_slots(nlhs) : result_count;
  mxArray *results[result_count] = {};
  for (int k = 0; k < slots; ++k) results[k] = lw::create_result(nlhs, plhs, k, 1, 1);
  for (int k = 0; k < slots && k < result_count - 1; ++k) mxGetPr(results[k])[0] = values[k];
}
