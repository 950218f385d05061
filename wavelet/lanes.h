// The wavelet kernels' fast path: its lane types and the one way its hot
// functions are built for each instruction set.
//
// Every kernel has a plain path, its step function applied line by line,
// written in standard C++; the fast path needs GNU vector extensions.
// LW_FAST_KERNELS is defined where the fast path is built: with GCC or
// Clang, unless LASSOWAVE_PLAIN_KERNELS asks for the plain path (so that
// the suites can check it bit for bit on any machine).
#pragma once

#include <cstdint>  // on glibc systems this defines __GLIBC__
#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(LASSOWAVE_PLAIN_KERNELS)
#include <emmintrin.h>
#endif

#if (defined(__GNUC__) || defined(__clang__)) && !defined(LASSOWAVE_PLAIN_KERNELS)
#define LW_FAST_KERNELS 1
#endif

#if defined(LW_FAST_KERNELS)

namespace lw::wavelet {

// Eight doubles as one value, of two widths: element-wise arithmetic on it
// is eight independent sums. The hot loops are written once over the lane
// type and built with two halves of four doubles for AVX2 and AVX-512F (one
// AVX2 register each) and with four pairs for the baseline (one SSE2
// register each): a vector type wider than the instruction set's registers
// would live in memory.
constexpr std::int32_t kLanes = 8;
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
// load ports, not the arithmetic, then set the pace. (Clang checks the
// constraint against the file's own instruction set, which has no
// registers for Quads.)
[[maybe_unused]] inline Quads in_registers(Quads v) {
#if defined(__x86_64__) && !defined(__clang__)
  asm("" : "+x"(v.a), "+x"(v.b));
#endif
  return v;
}
inline Pairs in_registers(Pairs v) {
#if defined(__x86_64__)
  asm("" : "+x"(v.a), "+x"(v.b), "+x"(v.c), "+x"(v.d));
#endif
  return v;
}

// A store of a lane that goes past the caches when `through` (p 16-byte
// aligned), for bands far larger than the caches that are written once and
// not read back soon: their lines are then neither fetched before being
// written nor kept. Where the instruction is not available it is a plain
// store. stream_fence orders such stores before anything after it.
template <class Lane>
inline void store_maybe_through(double *p, Lane v, bool through) {
#if defined(__SSE2__)
  if (through) {
    double t[kLanes];
    store(t, v);
    for (std::int32_t q = 0; q < kLanes; q += 2) _mm_stream_pd(p + q, _mm_loadu_pd(t + q));
    return;
  }
#else
  (void)through;
#endif
  store(p, v);
}
inline void stream_fence() {
#if defined(__SSE2__)
  _mm_sfence();
#endif
}

// The lanes of e and o interleaved: interleave_low gives e[0], o[0], ..
// e[3], o[3], interleave_high e[4], o[4], .. e[7], o[7].
#if defined(__clang__)
#define LW_SHUFFLE4(x, y, i, j, k, l) __builtin_shufflevector(x, y, i, j, k, l)
#define LW_SHUFFLE2(x, y, i, j) __builtin_shufflevector(x, y, i, j)
#else
typedef long long Index4 __attribute__((vector_size(4 * sizeof(long long))));
typedef long long Index2 __attribute__((vector_size(2 * sizeof(long long))));
#define LW_SHUFFLE4(x, y, i, j, k, l) __builtin_shuffle(x, y, Index4{i, j, k, l})
#define LW_SHUFFLE2(x, y, i, j) __builtin_shuffle(x, y, Index2{i, j})
#endif
[[maybe_unused]] inline Quads interleave(Quad e, Quad o) {
  return {LW_SHUFFLE4(e, o, 0, 4, 1, 5), LW_SHUFFLE4(e, o, 2, 6, 3, 7)};
}
[[maybe_unused]] inline Quads interleave_low(Quads e, Quads o) { return interleave(e.a, o.a); }
[[maybe_unused]] inline Quads interleave_high(Quads e, Quads o) { return interleave(e.b, o.b); }
inline Pairs interleave(Pair e0, Pair e1, Pair o0, Pair o1) {
  return {LW_SHUFFLE2(e0, o0, 0, 2), LW_SHUFFLE2(e0, o0, 1, 3), LW_SHUFFLE2(e1, o1, 0, 2),
          LW_SHUFFLE2(e1, o1, 1, 3)};
}
inline Pairs interleave_low(Pairs e, Pairs o) { return interleave(e.a, e.b, o.a, o.b); }
inline Pairs interleave_high(Pairs e, Pairs o) { return interleave(e.c, e.d, o.c, o.d); }

// Asks for the cache lines of count doubles from p ahead of their use, for
// data the hardware does not see coming (lines a column apart).
inline void prefetch(const double *p, std::int32_t count) {
  for (std::int32_t q = 0; q < count; q += kLanes) __builtin_prefetch(p + q);
}

}  // namespace lw::wavelet

// LW_LANES(name, (parameters), (arguments)) defines the hot function
// `void name(parameters)` from the template name##_lanes<Lane>, once per
// instruction set, each with the lane type that fits its registers: Pairs
// for the baseline (SSE2 on x86-64), Quads for AVX2 and AVX-512F. On x86-64
// Linux with glibc the dynamic loader picks the widest version the
// CPU runs (GNU ifunc), so a module built for plain x86-64 loads anywhere.
// The versions differ only in how many independent outputs share a
// register: every sum keeps its terms and their order, and
// -ffp-contract=off keeps each multiply and add apart (AVX-512F brings
// fused multiply-add with it), so all of them give the same bits.
// Elsewhere there is one version, for the build's own target, with Pairs.
//
// Test-host builds for the bitwise suites keep fewer versions, so that the
// suites can run each one the machine has (cmake's
// lassowave_add_isa_test_modules): LASSOWAVE_WAVELET_ISA_BASELINE keeps the
// baseline alone, _AVX2 the baseline and AVX2, _AVX512F the baseline and
// AVX-512F; the loader then runs the named one on a CPU that has it. Each
// version kept is compiled exactly as in the modules that ship.
#if defined(LASSOWAVE_WAVELET_ISA_BASELINE) + defined(LASSOWAVE_WAVELET_ISA_AVX2) + \
        defined(LASSOWAVE_WAVELET_ISA_AVX512F) > 1
#error "at most one LASSOWAVE_WAVELET_ISA_ limit"
#endif
#if defined(__x86_64__) && defined(__linux__) && defined(__GLIBC__) && defined(__ELF__)
#if defined(__clang__)
// Clang does not count the dispatcher's calls as uses of the versions.
#define LW_VERSION(isa, lane, name, params, args)                                     \
  _Pragma("clang diagnostic push") _Pragma("clang diagnostic ignored \"-Wunused-function\"") \
      __attribute__((target(isa))) void name params { name##_lanes<lane> args; }      \
  _Pragma("clang diagnostic pop")
#else
#define LW_VERSION(isa, lane, name, params, args) \
  __attribute__((target(isa))) void name params { name##_lanes<lane> args; }
#endif
#if defined(LASSOWAVE_WAVELET_ISA_BASELINE)
// The baseline alone, built for the build's own target as the "default"
// version is, and never inlined into its caller nor specialised for it, as
// when dispatched.
#if defined(__clang__)
#define LW_LANES(name, params, args) \
  __attribute__((noinline)) void name params { name##_lanes<Pairs> args; }
#else
#define LW_LANES(name, params, args) \
  __attribute__((noipa)) LW_VERSION("default", Pairs, name, params, args)
#endif
#else
#define LW_LANES_DEFAULT(name, params, args) LW_VERSION("default", Pairs, name, params, args)
#if defined(LASSOWAVE_WAVELET_ISA_AVX512F)
#define LW_LANES_AVX2(name, params, args)
#else
#define LW_LANES_AVX2(name, params, args) LW_VERSION("avx2", Quads, name, params, args)
#endif
#if defined(LASSOWAVE_WAVELET_ISA_AVX2)
#define LW_LANES_AVX512F(name, params, args)
#else
#define LW_LANES_AVX512F(name, params, args) LW_VERSION("avx512f", Quads, name, params, args)
#endif
#define LW_LANES(name, params, args)     \
  LW_LANES_DEFAULT(name, params, args)   \
  LW_LANES_AVX2(name, params, args)      \
  LW_LANES_AVX512F(name, params, args)
#endif
#elif defined(LASSOWAVE_WAVELET_ISA_BASELINE) || defined(LASSOWAVE_WAVELET_ISA_AVX2) || \
    defined(LASSOWAVE_WAVELET_ISA_AVX512F)
#error "LASSOWAVE_WAVELET_ISA_ limits need x86-64 Linux with glibc"
#else
#define LW_LANES(name, params, args) \
  void name params { name##_lanes<Pairs> args; }
#endif

#endif  // LW_FAST_KERNELS
