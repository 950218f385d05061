/* Array API of the lassowave test host: the subset of the MATLAB mx interface
 * that the modules use, plus what the tests need to build rejected inputs.
 *
 * Like MATLAB's own header, the plain names map onto an interface level:
 * by default the large-array level (_730, 64-bit sizes and sparse indices);
 * with MX_COMPAT_32 defined, the older level (_700, signed 32-bit). With
 * LASSOWAVE_TESTHOST_HOST32 defined, the large-array level of a 32-bit host,
 * on any machine: there size_t, and so mwSize and mwIndex, have 32 bits
 * (unsigned), and a module that read its index arrays 64 bits at a time
 * would read two indices as one. */
#ifndef LASSOWAVE_TESTHOST_MATRIX_H
#define LASSOWAVE_TESTHOST_MATRIX_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {  /* bool is a C++ keyword: no header for it */
#else
#include <stdbool.h>
#endif

typedef struct mxArray_tag mxArray;

typedef enum {
  mxUNKNOWN_CLASS = 0,
  mxCELL_CLASS,
  mxSTRUCT_CLASS,
  mxLOGICAL_CLASS,
  mxCHAR_CLASS,
  mxVOID_CLASS,
  mxDOUBLE_CLASS,
  mxSINGLE_CLASS,
  mxINT8_CLASS,
  mxUINT8_CLASS,
  mxINT16_CLASS,
  mxUINT16_CLASS,
  mxINT32_CLASS,
  mxUINT32_CLASS,
  mxINT64_CLASS,
  mxUINT64_CLASS,
  mxFUNCTION_CLASS
} mxClassID;

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

#if defined(MX_COMPAT_32)
typedef int mwSize;
typedef int mwIndex;
typedef int mwSignedIndex;
#define mxCreateDoubleMatrix mxCreateDoubleMatrix_700
#define mxCreateSparse mxCreateSparse_700
#define mxGetIr mxGetIr_700
#define mxGetJc mxGetJc_700
#elif defined(LASSOWAVE_TESTHOST_HOST32)
typedef uint32_t mwSize;
typedef uint32_t mwIndex;
typedef int32_t mwSignedIndex;
#define mxCreateDoubleMatrix mxCreateDoubleMatrix_host32
#define mxCreateSparse mxCreateSparse_host32
#define mxGetIr mxGetIr_host32
#define mxGetJc mxGetJc_host32
#else
typedef size_t mwSize;
typedef size_t mwIndex;
typedef ptrdiff_t mwSignedIndex;
#define mxCreateDoubleMatrix mxCreateDoubleMatrix_730
#define mxCreateSparse mxCreateSparse_730
#define mxGetIr mxGetIr_730
#define mxGetJc mxGetJc_730
#endif

size_t mxGetM(const mxArray *a);
size_t mxGetN(const mxArray *a);
double *mxGetPr(const mxArray *a);
double *mxGetPi(const mxArray *a);
double mxGetScalar(const mxArray *a);
void *mxGetData(const mxArray *a);

bool mxIsSparse(const mxArray *a);
bool mxIsLogical(const mxArray *a);
bool mxIsDouble(const mxArray *a);
bool mxIsComplex(const mxArray *a);
bool mxIsEmpty(const mxArray *a);
mxClassID mxGetClassID(const mxArray *a);
const char *mxGetClassName(const mxArray *a);
size_t mxGetNumberOfElements(const mxArray *a);
size_t mxGetNzmax(const mxArray *a);

mxArray *mxCreateDoubleMatrix_730(size_t m, size_t n, mxComplexity c);
mxArray *mxCreateDoubleMatrix_700(int m, int n, mxComplexity c);
mxArray *mxCreateSparse_730(size_t m, size_t n, size_t nzmax, mxComplexity c);
mxArray *mxCreateSparse_700(int m, int n, int nzmax, mxComplexity c);
size_t *mxGetIr_730(const mxArray *a);
size_t *mxGetJc_730(const mxArray *a);
int *mxGetIr_700(const mxArray *a);
int *mxGetJc_700(const mxArray *a);
mxArray *mxCreateDoubleMatrix_host32(uint32_t m, uint32_t n, mxComplexity c);
mxArray *mxCreateSparse_host32(uint32_t m, uint32_t n, uint32_t nzmax, mxComplexity c);
uint32_t *mxGetIr_host32(const mxArray *a);
uint32_t *mxGetJc_host32(const mxArray *a);

void mxDestroyArray(mxArray *a);
void *mxCalloc(size_t count, size_t size);
void mxFree(void *p);

#ifdef __cplusplus
}
#endif

#endif
