// Lane types of the wavelet kernels' hot loops, shared by the four kernels.
#pragma once

#include "kernel_targets.h"

namespace lw::wavelet {

// Eight doubles as one value, of two widths: element-wise arithmetic on it
// is eight independent sums. The hot loops are written once over the lane
// type and built with two halves of four doubles for AVX2 and AVX-512F (one
// AVX2 register each) and with four pairs for the baseline (one SSE2
// register each): a vector type wider than the instruction set's registers
// would live in memory.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wpsabi"  // lane types never cross a call between variants
#elif defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"  // lane types never cross a call between variants
#endif
typedef double Quad __attribute__((vector_size(4 * sizeof(double))));
typedef double Pair __attribute__((vector_size(2 * sizeof(double))));
struct Quads {
  Quad a, b;  // lanes 0-3 and 4-7
};
struct Pairs {
  Pair a, b, c, d;  // lanes 0-1, 2-3, 4-5 and 6-7
};
[[maybe_unused]] inline Quads operator+(Quads x, Quads y) { return {x.a + y.a, x.b + y.b}; }
[[maybe_unused]] inline Quads operator*(Quads x, double u) { return {x.a * u, x.b * u}; }
inline Pairs operator+(Pairs x, Pairs y) { return {x.a + y.a, x.b + y.b, x.c + y.c, x.d + y.d}; }
inline Pairs operator*(Pairs x, double u) { return {x.a * u, x.b * u, x.c * u, x.d * u}; }
// Loads and stores member by member: copied whole, a struct of vectors
// goes through memory.
template <class V>
inline V part(const double *p) {
  V v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
template <class V>
inline void put_part(double *p, V v) {
  __builtin_memcpy(p, &v, sizeof v);
}
template <class Lane>
inline Lane load(const double *p);
template <>
[[maybe_unused]] inline Quads load<Quads>(const double *p) {
  return {part<Quad>(p), part<Quad>(p + 4)};
}
template <>
inline Pairs load<Pairs>(const double *p) {
  return {part<Pair>(p), part<Pair>(p + 2), part<Pair>(p + 4), part<Pair>(p + 6)};
}
[[maybe_unused]] inline void store(double *p, Quads v) {
  put_part(p, v.a);
  put_part(p + 4, v.b);
}
inline void store(double *p, Pairs v) {
  put_part(p, v.a);
  put_part(p + 2, v.b);
  put_part(p + 4, v.c);
  put_part(p + 6, v.d);
}

// A loaded lane that two sums share, kept in registers: left to itself the
// compiler folds the load into each multiply, which loads it twice, and the
// load ports, not the arithmetic, then set the pace.
// (Only used inside functions built for the instruction set of the lane;
// Clang, which never builds the Quads variants, checks the constraint
// against the file's own instruction set and would reject it.)
[[maybe_unused]] inline Quads in_registers(Quads v) {
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
  asm("" : "+x"(v.a), "+x"(v.b));
#endif
  return v;
}
inline Pairs in_registers(Pairs v) {
#if defined(__GNUC__) && defined(__x86_64__)
  asm("" : "+x"(v.a), "+x"(v.b), "+x"(v.c), "+x"(v.d));
#endif
  return v;
}

// The lane variants of the hot loops: with target_clones available (and no
// limit to the baseline), the loader picks the default one, built with
// Pairs, or the AVX2 or AVX-512F one, built with Quads, as it does for
// LW_ISA_VARIANTS (kernel_targets.h, whose test limits apply here too).
// Elsewhere (and with Clang) the functions are LW_ISA_VARIANTS built with
// Pairs.
#if defined(LW_HAVE_TARGET_CLONES) && !defined(LASSOWAVE_WAVELET_ISA_BASELINE) && \
    !defined(__clang__)
#define LW_LANE_VARIANTS 1
#define LW_LANES_DEFAULT __attribute__((target("default")))
#define LW_LANES_AVX2 __attribute__((target("avx2")))
#define LW_LANES_AVX512F __attribute__((target("avx512f")))
#endif

}  // namespace lw::wavelet
