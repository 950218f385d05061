// What the redundant pair (ostrevin and quillomar) share: storage positions
// and the tap spacing of a level.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lw::wavelet {

using Index = std::ptrdiff_t;  // storage positions: products of 32-bit counts

// Tap spacing of level k (k >= 1) on lines of len >= 1 samples: 2^(k-1),
// but never more than len. The size checks make every line longer than one
// sample a multiple of 2^L, so the cap only acts on a single-sample line,
// where any spacing is 0 modulo len and every tap reads that sample. Never
// overflows.
inline Index level_spacing(std::int64_t k, Index len) {
  if (k - 1 >= 31) return len;
  const Index s = Index(1) << (k - 1);
  return s < len ? s : len;
}

}  // namespace lw::wavelet
