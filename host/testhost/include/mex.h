/* Extension API of the lassowave test host (see matrix.h). */
#ifndef LASSOWAVE_TESTHOST_MEX_H
#define LASSOWAVE_TESTHOST_MEX_H

#include "matrix.h"

#ifdef __cplusplus
extern "C" {
#endif

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]);

/* Raises a host error: control returns to the host, never to the caller. */
void mexErrMsgTxt(const char *text);

/* Test host only, not part of the MEX API: a module adds a deterministic
 * count of the work a call did (testhost::CallResult::work), for tests that
 * bound it. LASSOWAVE_TESTHOST_WORK tells a module built here that it can. */
#define LASSOWAVE_TESTHOST_WORK 1
void lwTesthostAddWork(uint64_t count);

#ifdef __cplusplus
}
#endif

#endif
