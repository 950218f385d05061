// Instruction-set variants of the wavelet kernels' hot loops.
//
// LW_ISA_VARIANTS marks a function to be compiled once per instruction set:
// for the baseline of the build (SSE2 on x86-64), for AVX2 and for AVX-512F;
// LW_ISA_VARIANTS_TO_AVX2 stops at AVX2, for loops that the compiler does
// not turn into faster code for AVX-512F. The dynamic loader picks the
// widest variant the CPU supports when the module is loaded (GNU ifunc), so
// a module built for plain x86-64 still loads on any x86-64 machine. The
// variants differ only in the width of the vector registers that carry
// independent outputs: every sum keeps its terms and their order, and
// -ffp-contract=off keeps each multiply and add apart (AVX-512F brings
// fused multiply-add with it), so all of them give the same bits.
//
// Where ifunc is not available (other processors, other compilers, systems
// without glibc) the marks are empty and each function is built once, for
// the build's own target.
//
// Test-host builds for the bitwise suites limit the variants at compile
// time, so that every one the machine supports can be run and compared:
// LASSOWAVE_WAVELET_ISA_BASELINE keeps only the baseline, _AVX2 the
// baseline and AVX2, _AVX512F the baseline and AVX-512F; the loader then
// runs the named one on a CPU that has it. The variants are compiled
// exactly as in the modules that ship, which define none of these.
#pragma once

#include <cstdint>  // on glibc systems this defines __GLIBC__

#if defined(LASSOWAVE_WAVELET_ISA_BASELINE) + defined(LASSOWAVE_WAVELET_ISA_AVX2) + \
        defined(LASSOWAVE_WAVELET_ISA_AVX512F) > 1
#error "at most one LASSOWAVE_WAVELET_ISA_ limit"
#endif

#if defined(__x86_64__) && defined(__linux__) && defined(__GLIBC__) && defined(__ELF__) && \
    defined(__has_attribute)
#if __has_attribute(target_clones)
#define LW_HAVE_TARGET_CLONES 1
#endif
#endif

#if defined(LW_HAVE_TARGET_CLONES)
#if defined(LASSOWAVE_WAVELET_ISA_BASELINE)
// Built like the baseline variant of a dispatched function: never inlined
// into its caller nor specialised for it.
#if defined(__clang__)
#define LW_ISA_VARIANTS __attribute__((noinline))
#else
#define LW_ISA_VARIANTS __attribute__((noipa))
#endif
#define LW_ISA_VARIANTS_TO_AVX2 LW_ISA_VARIANTS
#elif defined(LASSOWAVE_WAVELET_ISA_AVX2)
#define LW_ISA_VARIANTS __attribute__((target_clones("default", "avx2")))
#define LW_ISA_VARIANTS_TO_AVX2 LW_ISA_VARIANTS
#elif defined(LASSOWAVE_WAVELET_ISA_AVX512F)
#define LW_ISA_VARIANTS __attribute__((target_clones("default", "avx512f")))
// What the loader runs of a function that stops at AVX2, on a CPU with
// AVX-512F.
#define LW_ISA_VARIANTS_TO_AVX2 __attribute__((target_clones("default", "avx2")))
#else
#define LW_ISA_VARIANTS __attribute__((target_clones("default", "avx2", "avx512f")))
#define LW_ISA_VARIANTS_TO_AVX2 __attribute__((target_clones("default", "avx2")))
#endif
#elif defined(LASSOWAVE_WAVELET_ISA_BASELINE) || defined(LASSOWAVE_WAVELET_ISA_AVX2) || \
    defined(LASSOWAVE_WAVELET_ISA_AVX512F)
#error "LASSOWAVE_WAVELET_ISA_ limits need x86-64 Linux with glibc and target_clones"
#else
#define LW_ISA_VARIANTS
#define LW_ISA_VARIANTS_TO_AVX2
#endif
