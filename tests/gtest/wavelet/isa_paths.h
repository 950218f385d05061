// The paths of the wavelet kernels, for the suites that compare results bit
// for bit. A wavelet module carries a baseline, an AVX2 and an AVX-512F
// version of its fast path, and the loader runs the widest one the CPU has,
// so one process only ever sees one of them; the portable path (its step
// function line by line) is what non-GNU compilers build. The test host
// therefore also gets builds of the plain path and builds that carry only
// the baseline and one wider version, compiled exactly as in the shipped
// module, in testhost/isa/<variant>/ (cmake's
// lassowave_add_isa_test_modules, wavelet/lanes.h). A suite derived from
// OnEachPath runs each case on the module as shipped ("dispatched") and on
// every variant, skipping those the CPU (or the build) lacks.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "call_helpers.h"

namespace lwtest::isa {

enum class Path { dispatched, plain, baseline, avx2, avx512f };

inline std::string path_name(Path p) {
  switch (p) {
    case Path::dispatched: return "dispatched";
    case Path::plain: return "plain";
    case Path::baseline: return "baseline";
    case Path::avx2: return "avx2";
    case Path::avx512f: return "avx512f";
  }
  return "unknown";
}

inline void PrintTo(Path p, std::ostream *os) { *os << path_name(p); }

inline bool available(Path p) {
  switch (p) {
    case Path::dispatched: return true;
#if defined(LASSOWAVE_ISA_TEST_PLAIN)
    case Path::plain: return true;
#endif
#if defined(LASSOWAVE_ISA_TEST_BASELINE)
    case Path::baseline: return true;
#endif
#if defined(LASSOWAVE_ISA_TEST_AVX2)
    case Path::avx2: return __builtin_cpu_supports("avx2");
#endif
#if defined(LASSOWAVE_ISA_TEST_AVX512F)
    case Path::avx512f: return __builtin_cpu_supports("avx512f");
#endif
    default: return false;
  }
}

// The variant the wavelet helpers of these suites call; OnEachPath sets it
// for the duration of a case.
inline Path &current() {
  static Path p = Path::dispatched;
  return p;
}

// The module `name` (a wavelet module, 32-bit-index level) as built for the
// current variant.
inline const testhost::Module &wavelet_module(const std::string &name) {
  const Path p = current();
  if (p == Path::dispatched) return lwtest::module(name);
  static std::map<std::string, std::unique_ptr<testhost::Module>> loaded;
  const std::string key = path_name(p) + "/" + name;
  auto &m = loaded[key];
  if (!m) {
    const std::string shipped = testhost::module_path(name);  // <dir>/<name>.mexth
    const std::string dir = shipped.substr(0, shipped.rfind('/'));
    m = std::make_unique<testhost::Module>(dir + "/isa/" + key + ".mexth");
  }
  return *m;
}

inline std::vector<Path> all_paths() {
  return {Path::dispatched, Path::plain, Path::baseline, Path::avx2, Path::avx512f};
}

inline std::string param_name(const ::testing::TestParamInfo<Path> &info) {
  return path_name(info.param);
}

class OnEachPath : public ::testing::TestWithParam<Path> {
 protected:
  void SetUp() override {
    if (!available(GetParam()))
      GTEST_SKIP() << "no " << path_name(GetParam()) << " variant on this CPU or in this build";
    current() = GetParam();
  }
  void TearDown() override { current() = Path::dispatched; }
};

}  // namespace lwtest::isa

// Runs every TEST_P of the OnEachPath suite `suite` on each variant.
#define LW_ON_EACH_ISA_PATH(suite)                                                    \
  INSTANTIATE_TEST_SUITE_P(Isa, suite, ::testing::ValuesIn(lwtest::isa::all_paths()), \
                           lwtest::isa::param_name)
