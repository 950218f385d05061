// Inverse of the redundant (undecimated) wavelet transform with periodic
// extension: the kernel QUILLOMAR and its synthesis step bpconv.
#pragma once

#include <cstdint>

namespace lw::wavelet {

// Rebuilds the M×N signal x (M·N doubles) from the low-pass band yl of
// level L and the high-pass bands yh in the layout OSTREVIN writes, undoing
// the levels from the coarsest (L) to the finest (1): in 2-D each level
// synthesises down every column first (yl with band 1, band 2 with band 3)
// and then along every row. The synthesis filters carry the factor 1/2, so
// for an orthonormal h the transform pair is an identity. L <= 0 copies yl
// into x; an input with no samples is not touched. Needs lh >= 1. Scratch
// comes from mxCalloc, once per call.
void QUILLOMAR(double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
               std::int32_t L, const double *yl, const double *yh);

// One periodic synthesis step over lx samples. lowseg and highseg hold their
// samples at elements lh-1 .. lh-2+lx; the step first repeats them downwards
// into elements lh-2 .. 0, then for i = 0 .. lx-1
//   out[i] = sum_j (lowseg[i+j]*g0[lh-1-j] + highseg[i+j]*g1[lh-1-j]),
// j = 0 .. lh-1, as one running sum from +0.0 that adds, for each j, the
// low-pass product and then the high-pass product.
void bpconv(double *out, std::int32_t lx, const double *g0, const double *g1, std::int32_t lh,
            double *lowseg, double *highseg);

}  // namespace lw::wavelet
