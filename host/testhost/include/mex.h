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

#ifdef __cplusplus
}
#endif

#endif
