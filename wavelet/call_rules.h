// The call rules the four wavelet gateways share: input counts, reading the
// data and the filter, settling the level count (given or inferred), the
// size checks against 2^L, creating the results, and calling the kernel.
// What differs between the modules is data (ModuleRules), not code.
#pragma once

#include <cstdint>

#include "mex_binding.h"

namespace lw::wavelet {

// How the wavelet texts are worded: no module name, "!" at the end; the
// kernels' out-of-memory text (lw::scratch_doubles) too.
extern const Wording wording;

// Everything a kernel call needs, settled by the gateway.
struct KernelCall {
  const double *input;     // input 1 (signal, coefficients or yl), M×N
  std::int32_t M, N;       // sizes of input 1 as read
  const double *yh_input;  // quillomar's high-pass bands, else null
  const double *h;         // filter data
  std::int32_t lh;         // filter length
  std::int32_t L;          // level count
  double *result;          // the M×N result
  double *yh_result;       // ostrevin's high-pass bands, else null
};

using Kernel = void (*)(const KernelCall &);

// One row of the module table.
struct ModuleRules {
  int min_inputs;
  int max_inputs;
  const char *too_many_message;
  const char *too_few_message;
  bool reads_yh;            // input 2 is the high-pass bands (quillomar)
  bool returns_yh;          // result 2 is the high-pass bands (ostrevin)
  std::int32_t min_filter_taps;
  const char *input_name;   // name of input 1 in argument errors
};

extern const ModuleRules kaldor_rules;
extern const ModuleRules vestran_rules;
extern const ModuleRules ostrevin_rules;
extern const ModuleRules quillomar_rules;

// The whole gateway of a wavelet module.
void run_gateway(const ModuleRules &rules, Kernel kernel, int nlhs, mxArray *plhs[], int nrhs,
                 const mxArray *prhs[]);

// Level count a given level input converts to: truncation toward zero, with
// NaN, infinities and values outside the signed 32-bit range mapped to the
// most negative 32-bit integer.
std::int32_t convert_level(double v);

// Level count inferred from the sizes (0 when none is possible).
std::int32_t infer_levels(std::int32_t M, std::int32_t N);

// Whether a dimension is a whole multiple of 2^L (exact for every L >= 0).
bool multiple_of_power_of_two(std::int32_t dim, std::int32_t L);

}  // namespace lw::wavelet
