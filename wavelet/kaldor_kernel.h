// Decimated forward wavelet transform with periodic extension: the kernel
// KALDOR and its analysis step fpsconv.
#pragma once

#include <cstdint>

namespace lw::wavelet {

// L-level decimated transform of the M×N signal x into y (M·N doubles,
// zero on entry), in the pyramid layout: each level filters and halves every
// row of its block, then (for a matrix) every column, and the next level
// works on the low-low corner. An M×1 column is transformed as the 1×M row
// holding the same data. L <= 0 copies x into y. Needs lh >= 1; an input
// with no elements is not touched. Scratch comes from mxCalloc, once: on
// the fast path 2*lh + max(2*(P/2 + lh/2 + 8), 32*N for a matrix) doubles,
// on the plain path P + lh - 1 + 2*P + 2*lh, P the longer side.
void KALDOR(const double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
            std::int32_t L, double *y);

// One analysis step over the periodic sequence seg[0 .. lx-1]: first repeats
// the sequence into seg[lx .. lx+lhm1-1] (seg must have room for lx + lhm1
// doubles), then for every i with 2i < lx
//   lo[i] = sum_j seg[2i+j]*h0[lhm1-j],  hi[i] = sum_j seg[2i+j]*h1[lhm1-j],
// j = 0 .. lhm1, each sum from 0.0 in increasing j. lhm1 is the filter
// length minus one.
void fpsconv(double *seg, std::int32_t lx, const double *h0, const double *h1,
             std::int32_t lhm1, double *lo, double *hi);

}  // namespace lw::wavelet
