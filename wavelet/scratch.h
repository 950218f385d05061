// The wavelet kernels' one scratch request per call. Its length is counted
// in 64 bits, so that it cannot wrap on a 32-bit host (a filter of 2^31 - 1
// taps alone asks for more doubles than a 32-bit size_t counts); a length
// beyond size_t is asked as the largest size_t, which no host grants, so the
// host ends the call with its own out-of-memory error.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mex.h"

namespace lw::wavelet {

inline double *scratch_doubles(std::uint64_t count) {
  const std::size_t most = SIZE_MAX;
  return static_cast<double *>(
      mxCalloc(count > most ? most : std::size_t(count), sizeof(double)));
}

}  // namespace lw::wavelet
