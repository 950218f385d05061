// The gateway shared by fenwarix and hobrinth: argument checks in their
// fixed order, the dense copy of a sparse right-hand side, the structure
// checks of the factor, and the one result x.
#pragma once

#include "mex_binding.h"

namespace lw::triangular {

enum class Direction { forward, backward };

struct Solver {
  const char *prefix;               // "fenwarix: ", starts every argument error
  const char *factor_name;          // "R" or "Rt"
  Direction direction;              // forward: R upper; backward: Rt lower
  const char *inputs_message;       // fewer than 2 inputs
  const char *outputs_message;      // more than 1 result requested
  const char *square_message;       // column count differs from b's rows
  const char *sparse_message;       // dense factor
  const char *triangular_message;   // the one-entry triangularity test failed
};

void run_gateway(const Solver &solver, int nlhs, mxArray *plhs[], int nrhs,
                 const mxArray *prhs[]);

}  // namespace lw::triangular
