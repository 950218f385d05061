// libFuzzer target: turns the fuzzer's bytes into one call of a host
// function through the test host, then checks what every call must satisfy.
// Built once per module with LASSOWAVE_FUZZ_MODULE naming it (and
// LASSOWAVE_FUZZ_INDEX32 for a 32-bit-index variant).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "expected_shapes.h"
#include "expected_values.h"
#include "testhost.h"

#ifndef LASSOWAVE_FUZZ_INDEX32
#define LASSOWAVE_FUZZ_INDEX32 false
#endif

namespace {

// Reads the fuzzer's bytes front to back; past the end it reads zeros.
struct Bytes {
  const std::uint8_t *p;
  std::size_t left;
  std::uint8_t next() {
    if (left == 0) return 0;
    --left;
    return *p++;
  }
};

// Dimensions worth trying: empty, one, small, powers of two and their
// neighbours, and sizes just past the signed 32-bit counts.
std::size_t pick_dimension(Bytes &in) {
  static const std::size_t table[] = {0, 1, 1, 2, 2, 3, 4, 4, 5, 6, 7, 8, 8, 9, 12, 16, 24, 32, 33, 64};
  const std::uint8_t b = in.next();
  return table[b % (sizeof table / sizeof table[0])];
}

double pick_value(Bytes &in) {
  const std::uint8_t b = in.next();
  switch (b % 16) {
    case 0: return std::numeric_limits<double>::quiet_NaN();
    case 1: return std::numeric_limits<double>::infinity();
    case 2: return -std::numeric_limits<double>::infinity();
    case 3: return -0.0;
    case 4: return 1e308;
    case 5: return 5e-324;
    case 6: return 2147483648.0;
    case 7: return -2147483649.0;
    case 8: return double(int(in.next()) - 128) / 4.0;  // small fractions
    // Tenths are not binary fractions: sums of them round, which is where
    // scans that compare running sums (zelmonte) meet their rare cases.
    case 10: return double(int(in.next()) - 128) / 10.0;
    // Tenths as round(k) * 0.1 gives them: now and then an ulp off the
    // decimal, so ties in zelmonte's sums land on either side.
    case 12: return double(int(in.next()) - 128) * 0.1;
    case 11: {  // any bit pattern at all
      std::uint64_t bits = 0;
      for (int k = 0; k < 8; ++k) bits = bits << 8 | in.next();
      double v;
      std::memcpy(&v, &bits, sizeof v);
      return v;
    }
    default: return double(int(in.next() % 48) - 8);    // small integers, levels
  }
}

// Arguments that may be long lines: the signal (and quillomar's high-pass
// bands). A long filter is legal but makes a call cost seconds (every
// sample times every tap at every level), which says nothing new.
int long_line_arguments() {
  return std::string(LASSOWAVE_FUZZ_MODULE) == "quillomar" ? 2 : 1;
}

testhost::Array make_argument(Bytes &in, bool may_be_long) {
  const std::uint8_t kind = in.next() % 12;
  if (kind == 11) {
    const std::uint8_t b = in.next();
    const bool rows = b & 1;
    if ((b & 2) && may_be_long) {
      // A long line, with data: the paths the transforms take only for lines
      // of thousands of samples. Its values come from one seed byte: a
      // sinusoid, or (bit 4) a smooth monotone trend, the input on which
      // zelmonte's scan alone would read about n samples per sample.
      static const std::size_t lengths[] = {4096, 4104, 8192, 12288};
      const std::size_t n = lengths[(b >> 2) % 4];
      const std::uint8_t seed = in.next();
      std::vector<double> v(n);
      for (std::size_t k = 0; k < n; ++k) {
        if (b & 16) {
          const double t = double(seed & 1 ? n - 1 - k : k);
          v[k] = (seed & 2 ? -1.0 : 1.0) * (seed & 4 ? std::log(1.0 + t) : std::sqrt(t));
        } else {
          v[k] = std::sin(0.37 * (1.0 + seed) * double(k));
        }
      }
      return rows ? testhost::dense(n, 1, v) : testhost::dense(1, n, v);
    }
    // Huge claimed size without data: must be rejected before any read.
    return rows ? testhost::phantom(std::size_t(1) << 31, 1)
                : testhost::phantom(1, std::size_t(1) << 31);
  }
  const std::size_t m = pick_dimension(in), n = pick_dimension(in);
  std::vector<double> v(m * n);
  for (double &x : v) x = pick_value(in);
  switch (kind) {
    case 0: case 1: case 2: case 3: return testhost::dense(m, n, v);
    case 4: return testhost::of_class(mxSINGLE_CLASS, m, n, v);
    case 5: return testhost::of_class(mxINT32_CLASS, m, n, v);
    case 6: return testhost::of_class(mxLOGICAL_CLASS, m, n, v);
    case 7: return testhost::of_class(mxCHAR_CLASS, m, n, v);
    case 8: return testhost::complex_dense(m, n, v, v);
    case 9: {
      // Sparse, with column starts and row indices chosen by the fuzzer
      // (sorted and in range, as a host stores them).
      std::vector<std::int64_t> jc{0}, ir;
      std::vector<double> pr;
      const bool logical = in.next() & 1;
      for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t i = 0; i < m; ++i)
          if (in.next() & 1) {
            ir.push_back(std::int64_t(i));
            pr.push_back(logical ? 1.0 : pick_value(in));
          }
        jc.push_back(std::int64_t(ir.size()));
      }
      return testhost::sparse(m, n, jc, ir, pr, logical);
    }
    default: return testhost::of_class(in.next() & 1 ? mxCELL_CLASS : mxSTRUCT_CLASS, m, n);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static const testhost::Module module(
      testhost::module_path(LASSOWAVE_FUZZ_MODULE, LASSOWAVE_FUZZ_INDEX32));
  Bytes in{data, size};
  const int nrhs = in.next() % 9;
  const int nlhs = in.next() % 10;
  const int extra_slots = in.next() % 3;

  std::vector<testhost::Array> args;
  std::vector<const mxArray *> handles;
  for (int i = 0; i < nrhs; ++i) {
    args.push_back(make_argument(in, i < long_line_arguments()));
    handles.push_back(args.back().get());
  }
  const int slots = (nlhs > 1 ? nlhs : 1) + extra_slots;
  const auto r = module.call(nlhs, handles, slots);

  bool ok = !r.slot_overrun && !r.inputs_changed && !r.bad_free;
  std::string why = r.slot_overrun ? "result stored past the slots"
                    : r.inputs_changed ? "an input changed"
                    : r.bad_free ? "mxFree of foreign memory" : "";
  if (ok && r.error && r.message.empty()) {
    ok = false;
    why = "error with an empty text";
  }
  if (ok && !r.error) {
    why = lwfuzz::check_shapes(LASSOWAVE_FUZZ_MODULE, nlhs, handles, r);
    if (why.empty()) why = lwfuzz::check_values(LASSOWAVE_FUZZ_MODULE, handles, r);
    ok = why.empty();
  }
  if (!ok) {
    std::fprintf(stderr, "%s: %s (message: \"%s\")\n", LASSOWAVE_FUZZ_MODULE, why.c_str(),
                 r.message.c_str());
    std::abort();
  }
  return 0;
}
