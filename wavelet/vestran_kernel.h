// Decimated inverse wavelet transform with periodic extension: the kernel
// VESTRAN and its synthesis step bpsconv.
#pragma once

#include <cstdint>

namespace lw::wavelet {

// Rebuilds into x (M·N doubles) the M×N signal whose L-level decimated
// coefficients y holds in the pyramid layout that KALDOR writes: x starts as
// a copy of y, then levels run from the coarsest block to the whole matrix,
// each a column pass (for a matrix) followed by a row pass. An M×1 column is
// treated as the 1×M row holding the same data. L <= 0 leaves the copy.
// Needs lh >= 2 (with fewer taps x is left a copy of y); an input with no
// elements is not touched. Scratch comes from mxCalloc, once: on the fast
// path 4*lhh + 2*(lhh - 1 + min(P/2, lhh + 15) + 16), plus (4*lhh - 2)*M
// for a matrix (2*lhh - 1 columns of the column pass, low and high),
// doubles; on the plain path P + 2*(P + lhh - 1) + 2*lh; lhh = lh/2, P the
// longer side.
void VESTRAN(double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
             std::int32_t L, const double *y);

// One synthesis step. A[lhhm1 .. lhhm1+H-1] and D[lhhm1 .. lhhm1+H-1] hold
// the H low-pass and high-pass coefficients; the step first fills
// A[0 .. lhhm1-1] and D[0 .. lhhm1-1] with the periodic extension, then for
// i = 0 .. H-1, with lhh = lhhm1 + 1 and lh = lhm1 + 1,
//   out[2i]   = sum_k A[i+k]*g0[lh-2-2k] + D[i+k]*g1[lh-2-2k],
//   out[2i+1] = sum_k A[i+k]*g0[lh-1-2k] + D[i+k]*g1[lh-1-2k],
// k = 0 .. lhh-1, each sum from 0.0 in increasing k, the A term and then
// the D term added separately.
void bpsconv(double *out, std::int32_t H, const double *g0, const double *g1, std::int32_t lhm1,
             std::int32_t lhhm1, double *A, double *D);

}  // namespace lw::wavelet
