// Exact 1-D total-variation denoising in time linear in the length:
// dynamic programming along the chain of samples.
#pragma once

#include <cstdint>

namespace zelmonte {

// Doubles of scratch denoise_chain needs for n samples.
std::uint64_t chain_scratch_doubles(std::int32_t n);

// x minimizes 0.5*sum((x - y).^2) + lambda*sum(abs(diff(x))) to rounding,
// for n >= 1, finite y and a finite lambda >= 0. `scratch` holds
// chain_scratch_doubles(n) doubles (any contents). Returns the number of
// steps taken, at most 5*n: one per sample for the scale, one per sample
// forward, one per knot dropped or passed (two knots per sample at most),
// one per sample backward.
std::uint64_t denoise_chain(const double *y, double *x, std::int32_t n, double lambda,
                            double *scratch);

}  // namespace zelmonte
