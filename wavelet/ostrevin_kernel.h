// Redundant (undecimated) forward wavelet transform with periodic extension:
// the kernel OSTREVIN and its analysis step fpconv.
#pragma once

#include <cstdint>

namespace lw::wavelet {

// L-level undecimated transform of the M×N signal x. yl (M·N doubles)
// receives the low-pass band of level L, yh the high-pass bands of every
// level side by side: for a vector (an N×1 column is worked on as the 1×N
// row with the same data) level k's band fills positions (k-1)·n .. k·n-1;
// for a matrix level k fills columns 3N(k-1) on with its three M×N bands
// (row low/column high, row high/column low, row high/column high). At
// level k the taps are 2^(k-1) samples apart, taken circularly along the
// line; on a line of one sample every tap reads that sample. L <= 0 copies
// x into yl and leaves yh alone; an input with no samples is not touched.
// Needs lh >= 1. Scratch comes from mxCalloc, once per call: 2*lh doubles
// and at most two segments of 3P + lh - 1 (fast path) or one of P + lh - 1
// and two lines of P (plain path), P the longer side.
void OSTREVIN(const double *x, std::int32_t M, std::int32_t N, const double *h, std::int32_t lh,
              std::int32_t L, double *yl, double *yh);

// One periodic analysis step without downsampling over the lx samples of
// seg: first repeats them into seg[lx .. lx+lh-2] (seg must have room for
// lx + lh - 1 doubles), then for i = 0 .. lx-1
//   lo[i] = sum_j seg[i+j]*h0[lh-1-j],  hi[i] = sum_j seg[i+j]*h1[lh-1-j],
// j = 0 .. lh-1, each sum from +0.0 in increasing j.
void fpconv(double *seg, std::int32_t lx, const double *h0, const double *h1, std::int32_t lh,
            double *lo, double *hi);

}  // namespace lw::wavelet
