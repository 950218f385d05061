// The host binding every gateway goes through. It uses only the standard
// MEX C API, so the same gateway source compiles against any host's mex.h
// (MATLAB's, Octave's, or the project's own test host).
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "mex.h"

// Every result is binary64 arithmetic in the written order. A compiler that
// evaluates doubles in a wider format (GCC on 32-bit x86 by default, on the
// x87 unit) gives other bits: such a build stops here.
#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ != 0
#error "doubles are not evaluated as binary64; on 32-bit x86 compile with -msse2 -mfpmath=sse (cmake/module_flags.txt, set i386)"
#endif

// Gateways are built with hidden visibility; the entry point must stay visible
// (Octave's mex.h does not mark it).
#if defined(_WIN32)
#define LASSOWAVE_EXPORT __declspec(dllexport)
#else
#define LASSOWAVE_EXPORT __attribute__((visibility("default")))
#endif

namespace lw {

constexpr std::size_t int32_max = 2147483647u;

// Raises a host error with a fixed text; control never comes back.
[[noreturn]] inline void fail(const char *text) {
  mexErrMsgTxt(text);
  std::abort();  // a conforming host never returns from mexErrMsgTxt
}

// The host provides room for max(nlhs, 1) result handles; nothing is ever
// stored beyond that.
inline int result_slots(int nlhs) { return nlhs > 1 ? nlhs : 1; }

// First element of an argument's real data.
inline double first_element(const mxArray *a) { return mxGetPr(a)[0]; }

inline bool fits_int32(std::size_t count) { return count <= int32_max; }

// Truncates toward zero to a signed 32-bit integer. Returns false (and leaves
// `out` alone) for NaN, infinities and values whose integer part is outside
// the signed 32-bit range.
inline bool truncate_to_int32(double v, std::int32_t &out) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return false;
  out = static_cast<std::int32_t>(v);  // conversion truncates toward zero
  return true;
}

// How a family words its argument errors: the penalty, fused-lasso and
// triangular texts begin with the module name and end with a full stop, the
// wavelet texts name no module and end with "!".
struct Wording {
  const char *prefix;                // "vintrask: " or ""
  const char *ending;                // "." or "!"
  const char *argument = "argument";  // "argument", or "Input" where a text starts with it
};

// Rejects, in this order, an argument that is not of class double, is
// complex, is sparse, or (unless allowed) has no elements. Nothing is read
// from its data. `position` is 1-based, `name` the argument's name.
inline void require_real_dense_double(const mxArray *a, const Wording &w, int position,
                                      const char *name, bool allow_empty = false) {
  char text[256];
  if (!mxIsDouble(a)) {
    std::snprintf(text, sizeof text, "%s%s %d (%s) must be of class double, not %s%s",
                  w.prefix, w.argument, position, name, mxGetClassName(a), w.ending);
    fail(text);
  }
  if (mxIsComplex(a)) {
    std::snprintf(text, sizeof text, "%s%s %d (%s) must be real, not complex%s", w.prefix,
                  w.argument, position, name, w.ending);
    fail(text);
  }
  if (mxIsSparse(a)) {
    std::snprintf(text, sizeof text, "%s%s %d (%s) must be dense, not sparse%s", w.prefix,
                  w.argument, position, name, w.ending);
    fail(text);
  }
  if (!allow_empty && mxIsEmpty(a)) {
    std::snprintf(text, sizeof text, "%s%s %d (%s) must not be empty%s", w.prefix, w.argument,
                  position, name, w.ending);
    fail(text);
  }
}

// Rejects a dimension that does not fit the kernels' signed 32-bit counts.
inline void require_int32_size(std::size_t count, const Wording &w, int position,
                               const char *name, const char *what) {
  if (fits_int32(count)) return;
  char text[256];
  std::snprintf(text, sizeof text,
                "%s%s %d (%s) has 2^31 or more %s; at most 2147483647 are supported%s",
                w.prefix, w.argument, position, name, what, w.ending);
  fail(text);
}

// Creates an M×N real dense double result, zero-filled, and stores it in
// result slot `index` when the host provided that slot. A result without a
// slot is still returned to the gateway (a kernel may need it as working
// memory) and must be passed to discard_undelivered after use.
inline mxArray *create_result(int nlhs, mxArray *plhs[], int index, std::size_t m,
                              std::size_t n) {
  mxArray *a = mxCreateDoubleMatrix(static_cast<mwSize>(m), static_cast<mwSize>(n), mxREAL);
  if (index < result_slots(nlhs)) plhs[index] = a;
  return a;
}

inline void discard_undelivered(int nlhs, int index, mxArray *a) {
  if (index >= result_slots(nlhs)) mxDestroyArray(a);
}

// Zeroed scratch of `count` doubles from the host allocator, which reclaims
// it when the call ends. A host that returns no memory instead of raising
// its own error (or a count past the address space) ends the call with an
// out-of-memory error worded as the module's other errors.
inline double *scratch_doubles(std::uint64_t count, const Wording &w) {
  void *p = nullptr;
  if (count <= SIZE_MAX / sizeof(double)) p = mxCalloc(static_cast<std::size_t>(count), sizeof(double));
  if (!p) {
    char text[256];
    std::snprintf(text, sizeof text, "%sout of memory: no room for %llu doubles of scratch%s",
                  w.prefix, static_cast<unsigned long long>(count), w.ending);
    fail(text);
  }
  return static_cast<double *>(p);
}

// Adds a deterministic count of the work a call did, for the test host's
// work-bound tests (testhost::CallResult::work). Only the test host has the
// call, not part of the MEX API: the modules built for it, and only those,
// have LASSOWAVE_TESTHOST_WORK defined (cmake/LassowaveModule.cmake).
#ifdef LASSOWAVE_TESTHOST_WORK
extern "C" void lwTesthostAddWork(std::uint64_t count);
#endif
inline void report_work(std::uint64_t count) {
#ifdef LASSOWAVE_TESTHOST_WORK
  lwTesthostAddWork(count);
#else
  static_cast<void>(count);
#endif
}

}  // namespace lw
