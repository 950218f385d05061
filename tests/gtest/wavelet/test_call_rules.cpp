// The call rules every wavelet gateway shares (input counts, argument checks,
// the level count, the size checks, the results), table-driven through all
// four modules. The table differs only in data: the input counts and their
// messages, the name of input 1, whether input 2 is quillomar's high-pass
// bands, and where L comes back.
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "test_kaldor_support.h"

using lwtest::ArgList;
using lwtest::expect_error;
using lwtest::expect_ok;
using lwtest::module;
using lwtest::out;

namespace {

const char *const level_message = "The number of levels, L, must be a non-negative integer";
const char *const no_levels_message =
    "Maximum number of levels is zero; no decomposition can be performed!";
const char *const row_message = "The matrix row dimension must be of size m*2^(L)";
const char *const column_message = "The matrix column dimension must be of size n*2^(L)";

const std::vector<double> haar2{0.7071067811865476, 0.7071067811865476};

struct Wavelet {
  const char *name;
  int min_inputs, max_inputs;
  const char *too_many, *too_few;
  const char *input1;
  bool reads_yh;  // quillomar: input 2 is yh, the filter is input 3
  int results;    // the full result list; L is the last
  int min_taps;
};

const Wavelet wavelets[] = {
    {"kaldor", 2, 3, "There are at most 3 input parameters allowed!",
     "There are at least 2 input parameters required!", "x", false, 2, 1},
    {"vestran", 2, 3, "There are at most 3 input parameters allowed!",
     "There are at least 2 input parameters required!", "y", false, 2, 2},
    {"ostrevin", 2, 3, "There are at most 3 input parameters allowed!",
     "There are at least 2 input parameters required!", "x", false, 3, 1},
    {"quillomar", 3, 4, "There are at most 4 input parameters allowed!",
     "There are at least 3 input parameters required!", "yl", true, 2, 1},
};

// Positions (1-based) of the filter and of L.
int h_at(const Wavelet &w) { return w.reads_yh ? 3 : 2; }
int L_at(const Wavelet &w) { return h_at(w) + 1; }

std::int64_t halving_count(std::size_t d) {
  std::int64_t c = 0;
  while (d > 0 && d % 2 == 0) d /= 2, ++c;
  return c;
}

// Columns of the yh that quillomar needs beside an m×n yl at L levels.
std::size_t band_columns(std::size_t m, std::size_t n, std::int64_t L) {
  return std::size_t(L) * n * ((m < n ? m : n) <= 1 ? 1 : 3);
}

// The arguments of a call on an m×n input 1: quillomar gets a yh that fits
// yl and L (given, or as the sizes imply) unless `yh_cols` says otherwise;
// the filter is Haar unless given; L is added when given.
ArgList wavelet_args(const Wavelet &w, std::size_t m, std::size_t n,
                     std::optional<double> L = std::nullopt, long yh_cols = -1,
                     const std::vector<double> &h = haar2) {
  ArgList a;
  a.add(testhost::dense(m, n, lwtest::decimated::pseudo_random(m * n, 5)));
  if (w.reads_yh) {
    std::int64_t levels = 0;
    if (L)
      // Only levels the module accepts need a fitting yh; others (NaN,
      // infinite, out of range) are rejected before yh is looked at.
      levels = *L > 0 && *L < 2147483648.0 ? std::int64_t(*L) : 0;
    else if (m > 0 && n > 0) {
      const std::int64_t cm = halving_count(m), cn = halving_count(n);
      levels = (m < n ? m : n) == 1 ? std::max(cm, cn) : std::min(cm, cn);
    }
    const std::size_t cols = yh_cols >= 0 ? std::size_t(yh_cols) : band_columns(m, n, levels);
    a.add(testhost::dense(m, cols, lwtest::decimated::pseudo_random(m * cols, 6)));
  }
  a.add(testhost::row(h));
  if (L) a.add(testhost::scalar(*L));
  return a;
}

// `a` with the argument at `position` (1-based) replaced, or added last.
ArgList with(ArgList a, int position, testhost::Array arg) {
  if (std::size_t(position) > a.owned.size())
    a.add(std::move(arg));
  else
    a.owned[std::size_t(position - 1)] = std::move(arg);
  return a;
}

testhost::CallResult call_all(const Wavelet &w, const ArgList &a) {
  return module(w.name).call(w.results, a.handles());
}

// The level count a successful call returns in its last result.
double returned_levels(const Wavelet &w, const ArgList &a) {
  auto r = call_all(w, a);
  expect_ok(r);
  return out(r, std::size_t(w.results - 1));
}

}  // namespace

TEST(WaveletCallRules, EveryModuleCountsItsInputsFirst) {
  for (const Wavelet &w : wavelets) {
    SCOPED_TRACE(w.name);
    // One input too many: the message comes whatever the inputs hold.
    ArgList many;
    many.add(testhost::of_class(mxCELL_CLASS, 1, 1)).add(testhost::dense(0, 0));
    many.add(testhost::complex_dense(1, 1, {1}, {1})).add(testhost::scalar(-1));
    while (int(many.owned.size()) <= w.max_inputs) many.add(testhost::sparse_from_dense(1, 1, {1}));
    auto r = call_all(w, many);
    expect_error(r, w.too_many);
    EXPECT_EQ(r.arrays_created, 0u);
    EXPECT_EQ(r.calloc_calls, 0u);
    // One input too few, and none at all.
    ArgList few;
    while (int(few.owned.size()) < w.min_inputs - 1)
      few.add(testhost::of_class(mxCHAR_CLASS, 1, 3));
    expect_error(call_all(w, few), w.too_few);
    expect_error(call_all(w, ArgList{}), w.too_few);
  }
}

TEST(WaveletCallRules, EveryModuleInfersTheLevelCount) {
  struct Case {
    std::size_t m, n;
    double L;
  } inferred[] = {{1, 16, 4},  {16, 1, 4}, {1, 12, 2}, {8, 12, 2},    {12, 8, 2},
                  {16, 16, 4}, {6, 1, 1},  {2, 2, 1},  {1, 1024, 10}, {64, 32, 5}};
  // Odd sides, a 1×1 input, and (with nothing to decompose) empty inputs.
  const std::size_t none[][2] = {{7, 8}, {8, 7}, {1, 7}, {7, 1}, {1, 1},
                                 {0, 0}, {0, 4}, {4, 0}, {1, 0}};
  for (const Wavelet &w : wavelets) {
    SCOPED_TRACE(w.name);
    for (const Case &c : inferred)
      EXPECT_EQ(returned_levels(w, wavelet_args(w, c.m, c.n)), c.L) << c.m << "x" << c.n;
    for (const auto &s : none) {
      auto r = call_all(w, wavelet_args(w, s[0], s[1]));
      expect_error(r, no_levels_message);
      EXPECT_EQ(r.arrays_created, 0u) << s[0] << "x" << s[1];
    }
  }
}

TEST(WaveletCallRules, EveryModuleTruncatesOrRejectsAGivenLevelCount) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const Wavelet &w : wavelets) {
    SCOPED_TRACE(w.name);
    // Truncated toward zero; 0 accepted, even where none could be inferred.
    EXPECT_EQ(returned_levels(w, wavelet_args(w, 1, 8, 2.9)), 2.0);
    for (double L : {0.0, -0.5, -0.99})
      EXPECT_EQ(returned_levels(w, wavelet_args(w, 1, 8, L)), 0.0);
    EXPECT_EQ(returned_levels(w, wavelet_args(w, 4, 4, -0.5)), 0.0);
    EXPECT_EQ(returned_levels(w, wavelet_args(w, 7, 9, 0.0)), 0.0);
    // Only the first element of the level input is read.
    EXPECT_EQ(
        returned_levels(w, with(wavelet_args(w, 4, 4, 1.0), L_at(w), testhost::row({1, -5, 99}))),
        1.0);
    for (double bad : {-1.0, -1.5, nan, inf, -inf, 1e10, 2147483648.0, -2147483649.0}) {
      auto r = call_all(w, wavelet_args(w, 1, 8, bad, 8));
      expect_error(r, level_message);
      EXPECT_EQ(r.arrays_created, 0u);
    }
    // A level input without elements.
    for (auto shape : {std::pair<int, int>{0, 0}, {1, 0}, {0, 3}})
      expect_error(
          call_all(w, with(wavelet_args(w, 1, 8), L_at(w),
                           testhost::dense(std::size_t(shape.first), std::size_t(shape.second)))),
          level_message);
    // The level check comes before the size checks.
    expect_error(call_all(w, wavelet_args(w, 12, 8, -1.0)), level_message);
  }
}

TEST(WaveletCallRules, EveryModuleChecksSizesAgainstPowersOfTwo) {
  for (const Wavelet &w : wavelets) {
    SCOPED_TRACE(w.name);
    expect_error(call_all(w, wavelet_args(w, 12, 8, 3.0)), row_message);
    expect_error(call_all(w, wavelet_args(w, 12, 12, 3.0)), row_message);  // rows first
    expect_error(call_all(w, wavelet_args(w, 8, 12, 3.0)), column_message);
    // A row count of 1 is not checked.
    expect_error(call_all(w, wavelet_args(w, 1, 12, 3.0)), column_message);
    expect_error(call_all(w, wavelet_args(w, 12, 1, 3.0)), row_message);
    EXPECT_EQ(returned_levels(w, wavelet_args(w, 8, 1, 3.0)), 3.0);
    EXPECT_EQ(returned_levels(w, wavelet_args(w, 1, 24, 3.0)), 3.0);
    EXPECT_EQ(returned_levels(w, wavelet_args(w, 16, 48, 4.0)), 4.0);
    // The test is exact for large L: 2^31 and beyond divide no side above 1.
    // (quillomar's yh must fit L: only moderate L for it.)
    const std::vector<double> large = w.reads_yh
                                          ? std::vector<double>{30, 31, 32, 40, 63}
                                          : std::vector<double>{30, 31, 32, 40, 63, 2147483647.0};
    for (double L : large) {
      expect_error(call_all(w, wavelet_args(w, 2, 2, L)), row_message);
      expect_error(call_all(w, wavelet_args(w, 1, 2, L)), column_message);
    }
    // Sides of 0 and 1 are never checked: a 1×1 or 0×1 input passes with
    // any L and ends at once; an empty side beside a longer one still has
    // that one checked. (The redundant pair's bands grow with L: only
    // moderate L for them.)
    const bool redundant = w.reads_yh || std::string(w.name) == "ostrevin";
    const std::vector<double> any =
        redundant ? std::vector<double>{1, 2, 31, 32, 1000}
                  : std::vector<double>{1, 2, 31, 32, 1000, 1e9, 2147483647.0};
    for (double L : any) {
      EXPECT_EQ(returned_levels(w, wavelet_args(w, 1, 1, L)), L);
      EXPECT_EQ(returned_levels(w, wavelet_args(w, 0, 1, L)), L);
      EXPECT_EQ(returned_levels(w, wavelet_args(w, 1, 0, L)), L);
      EXPECT_EQ(returned_levels(w, wavelet_args(w, 0, 0, L)), L);
    }
    expect_error(call_all(w, wavelet_args(w, 0, 5, 1.0)), column_message);
    expect_error(call_all(w, wavelet_args(w, 6, 0, 2.0)), row_message);
  }
}

TEST(WaveletCallRules, EveryModuleChecksItsFilter) {
  for (const Wavelet &w : wavelets) {
    SCOPED_TRACE(w.name);
    const std::string too_short = "Input " + std::to_string(h_at(w)) + " (h) must have at least " +
                                  std::to_string(w.min_taps) +
                                  (w.min_taps == 1 ? " filter tap!" : " filter taps!");
    for (auto shape : {std::pair<int, int>{0, 0}, {1, 0}, {0, 4}, {5, 0}})
      expect_error(
          call_all(w, with(wavelet_args(w, 1, 4), h_at(w),
                           testhost::dense(std::size_t(shape.first), std::size_t(shape.second)))),
          too_short);
    auto one_tap = call_all(w, wavelet_args(w, 1, 4, std::nullopt, -1, {2}));
    if (w.min_taps > 1)
      expect_error(one_tap, too_short);
    else
      expect_ok(one_tap);
    // The filter is checked before the level count is settled.
    expect_error(call_all(w, with(wavelet_args(w, 7, 8), h_at(w), testhost::dense(0, 0))),
                 too_short);
    // A 2×3 filter has three taps: its first three stored elements.
    auto r1 = call_all(
        w, with(wavelet_args(w, 1, 16), h_at(w), testhost::dense(2, 3, {1, 2, 3, 4, 5, 6})));
    auto r2 = call_all(w, with(wavelet_args(w, 1, 16), h_at(w), testhost::column({1, 2, 3})));
    expect_ok(r1);
    expect_ok(r2);
    ASSERT_TRUE(r1.outputs[0] && r2.outputs[0]);
    EXPECT_EQ(testhost::values(r1.outputs[0].get()), testhost::values(r2.outputs[0].get()));
    EXPECT_EQ(out(r1, std::size_t(w.results - 1)), 4.0);
  }
}

TEST(WaveletCallRules, EveryModuleRejectsArgumentsThatAreNotRealDenseDoubles) {
  for (const Wavelet &w : wavelets) {
    SCOPED_TRACE(w.name);
    const std::string in1 = std::string("Input 1 (") + w.input1 + ")";
    auto check = [&](int position, testhost::Array bad, const std::string &text) {
      auto r = call_all(w, with(wavelet_args(w, 4, 4, 1.0), position, std::move(bad)));
      expect_error(r, text);
      EXPECT_EQ(r.arrays_created, 0u);
      EXPECT_EQ(r.calloc_calls, 0u);
    };
    check(1, testhost::of_class(mxSINGLE_CLASS, 4, 4),
          in1 + " must be of class double, not single!");
    check(1,
          testhost::complex_dense(4, 4, std::vector<double>(16, 1.0), std::vector<double>(16, 0.5)),
          in1 + " must be real, not complex!");
    check(1, testhost::complex_dense(1, 4, {1, 2, 3, 4}, {0, 0, 0, 1}),
          in1 + " must be real, not complex!");
    check(1, testhost::sparse_from_dense(4, 4, std::vector<double>(16, 1.0)),
          in1 + " must be dense, not sparse!");
    if (w.reads_yh) {
      check(2, testhost::of_class(mxINT8_CLASS, 4, 12),
            "Input 2 (yh) must be of class double, not int8!");
      check(2,
            testhost::complex_dense(4, 12, std::vector<double>(48, 1.0),
                                    std::vector<double>(48, 1.0)),
            "Input 2 (yh) must be real, not complex!");
      check(2, testhost::sparse_from_dense(4, 12, std::vector<double>(48, 0.0)),
            "Input 2 (yh) must be dense, not sparse!");
    }
    const std::string h = "Input " + std::to_string(h_at(w)) + " (h)";
    check(h_at(w), testhost::of_class(mxLOGICAL_CLASS, 1, 2, {1, 1}),
          h + " must be of class double, not logical!");
    check(h_at(w), testhost::of_class(mxINT32_CLASS, 1, 2, {1, 1}),
          h + " must be of class double, not int32!");
    check(h_at(w), testhost::complex_dense(1, 2, {1, 1}, {0, 1}),
          h + " must be real, not complex!");
    check(h_at(w), testhost::sparse_from_dense(1, 2, {1, 1}), h + " must be dense, not sparse!");
    check(h_at(w), testhost::dense(0, 2),
          h + " must have at least " + std::to_string(w.min_taps) +
              (w.min_taps == 1 ? " filter tap!" : " filter taps!"));
    const std::string L = "Input " + std::to_string(L_at(w)) + " (L)";
    check(L_at(w), testhost::of_class(mxINT32_CLASS, 1, 1, {1}),
          L + " must be of class double, not int32!");
    check(L_at(w), testhost::of_class(mxLOGICAL_CLASS, 1, 1, {1}),
          L + " must be of class double, not logical!");
    check(L_at(w), testhost::complex_dense(1, 1, {1}, {1}), L + " must be real, not complex!");
    check(L_at(w), testhost::sparse_from_dense(1, 1, {1}), L + " must be dense, not sparse!");
    // Input 1 is checked before the filter.
    expect_error(
        call_all(w, with(with(wavelet_args(w, 1, 4), 1, testhost::of_class(mxCHAR_CLASS, 1, 4)),
                         h_at(w), testhost::dense(0, 0))),
        in1 + " must be of class double, not char!");
  }
}

TEST(WaveletCallRules, EveryModuleRefusesSizesBeyondSignedThirtyTwoBits) {
  const std::size_t big = std::size_t(1) << 31;
  for (const Wavelet &w : wavelets) {
    SCOPED_TRACE(w.name);
    const std::string in1 = std::string("Input 1 (") + w.input1 + ")";
    expect_error(call_all(w, with(wavelet_args(w, 1, 2), 1, testhost::phantom(1, big))),
                 in1 + " has 2^31 or more columns; at most 2147483647 are supported!");
    expect_error(call_all(w, with(wavelet_args(w, 1, 2), 1, testhost::phantom(big, 1))),
                 in1 + " has 2^31 or more rows; at most 2147483647 are supported!");
    const std::string h = "Input " + std::to_string(h_at(w)) + " (h)";
    expect_error(call_all(w, with(wavelet_args(w, 1, 2), h_at(w), testhost::phantom(big, 1))),
                 h + " has 2^31 or more rows; at most 2147483647 are supported!");
    // A filter of 2^31 - 1 taps is accepted; its scratch (about 2^31 taps
    // twice over, plus the extension) is more than any host grants, which
    // ends the call with an out-of-memory error rather than a wrapped size.
    lwtest::expect_scratch_refused(
        call_all(w, with(wavelet_args(w, 1, 2, 1.0), h_at(w), testhost::phantom(1, big - 1))),
        "", "!");
  }
}

// quillomar's checks in their order: input count, arguments, level count,
// consistency of yh with yl and L, then the sizes against 2^L.
TEST(WaveletCallRules, QuillomarChecksInTheirOrder) {
  const Wavelet &q = wavelets[3];
  const char *matrices = "Dimensions of first two input matrices not consistent!";
  const char *vectors = "Dimensions of first two input vectors not consistent!";
  // A bad level count is reported before a yh that fits nothing.
  expect_error(call_all(q, wavelet_args(q, 4, 4, -1.0, 5)), level_message);
  expect_error(call_all(q, wavelet_args(q, 1, 8, std::nan(""), 5)), level_message);
  // So is a level count that cannot be inferred.
  expect_error(call_all(q, wavelet_args(q, 7, 8, std::nullopt, 5)), no_levels_message);
  // A filter of no taps is reported before the level count.
  expect_error(call_all(q, with(wavelet_args(q, 4, 4, -1.0, 5), 3, testhost::dense(0, 0))),
               "Input 3 (h) must have at least 1 filter tap!");
  // Consistency before sizes, in both cases.
  expect_error(call_all(q, wavelet_args(q, 12, 8, 3.0, 71)), matrices);
  expect_error(call_all(q, wavelet_args(q, 1, 12, 3.0, 35)), vectors);
  expect_error(call_all(q, wavelet_args(q, 1, 12, 3.0, 36)), column_message);
  // L = 0: yh has M rows and no columns.
  EXPECT_EQ(returned_levels(q, wavelet_args(q, 4, 4, 0.0, 0)), 0.0);
  expect_error(call_all(q, wavelet_args(q, 4, 4, 0.0, 1)), matrices);
}

TEST(WaveletCallRules, EveryModuleFillsOnlyTheProvidedSlots) {
  for (const Wavelet &w : wavelets) {
    SCOPED_TRACE(w.name);
    for (int nlhs = 0; nlhs <= w.results + 1; ++nlhs) {
      const int requested = nlhs > 1 ? nlhs : 1;
      const int filled = std::min(requested, w.results);
      // The host's max(nlhs, 1) slots, or more.
      for (int slots = requested; slots <= std::max(requested + 1, w.results + 2); ++slots) {
        auto r = module(w.name).call(nlhs, wavelet_args(w, 4, 8, 2.0).handles(), slots);
        expect_ok(r);
        ASSERT_EQ(r.outputs.size(), std::size_t(slots));
        for (int k = 0; k < filled; ++k) EXPECT_NE(r.outputs[std::size_t(k)], nullptr) << k;
        // Nothing in a slot beyond the requested results, nor beyond the
        // module's own list.
        for (int k = filled; k < slots; ++k) EXPECT_EQ(r.outputs[std::size_t(k)], nullptr) << k;
        ASSERT_TRUE(r.outputs[0]);
        EXPECT_EQ(mxGetM(r.outputs[0].get()), 4u);
        EXPECT_EQ(mxGetN(r.outputs[0].get()), 8u);
        if (std::string(w.name) == "ostrevin" && filled > 1) {
          EXPECT_EQ(mxGetM(r.outputs[1].get()), 4u);
          EXPECT_EQ(mxGetN(r.outputs[1].get()), 48u);
        }
        if (filled == w.results) {
          const mxArray *L = r.outputs[std::size_t(w.results - 1)].get();
          ASSERT_NE(L, nullptr);
          EXPECT_EQ(mxGetM(L), 1u);
          EXPECT_EQ(mxGetN(L), 1u);
          EXPECT_EQ(out(r, std::size_t(w.results - 1)), 2.0);
        }
        EXPECT_EQ(r.arrays_discarded, 0u);
        EXPECT_EQ(r.freed_by_module, 0u);
      }
    }
  }
}

TEST(WaveletCallRules, EveryModuleReturnsEmptyResultsForAnEmptyInput) {
  for (const Wavelet &w : wavelets)
    for (auto shape : {std::pair<int, int>{0, 0}, {0, 8}, {16, 0}, {1, 0}, {0, 1}}) {
      SCOPED_TRACE(std::string(w.name) + " " + std::to_string(shape.first) + "x" +
                   std::to_string(shape.second));
      auto r =
          call_all(w, wavelet_args(w, std::size_t(shape.first), std::size_t(shape.second), 3.0));
      expect_ok(r);
      ASSERT_TRUE(r.outputs[0]);
      EXPECT_EQ(mxGetM(r.outputs[0].get()), std::size_t(shape.first));
      EXPECT_EQ(mxGetN(r.outputs[0].get()), std::size_t(shape.second));
      EXPECT_EQ(out(r, std::size_t(w.results - 1)), 3.0);
      EXPECT_EQ(r.calloc_calls, 0u) << "scratch taken for an empty input";
    }
}

// Scratch comes from the host allocator once per call at most, is never
// released by the module, and is not taken when nothing is transformed.
// The redundant pair keeps to one line's worth of scratch plus (quillomar,
// in 2-D) one image of the signal's size.
TEST(WaveletCallRules, ScratchTakenOncePerCallAndLeftToTheHost) {
  const std::vector<double> db8 = lwtest::decimated::db8();
  struct Case {
    std::size_t m, n;
    double L;
  } cases[] = {{1, 64, 1}, {1, 64, 6}, {64, 1, 3}, {16, 32, 4}, {8, 8, 1}, {2, 2, 1}, {1, 1, 1}};
  for (const Wavelet &w : wavelets)
    for (const Case &c : cases) {
      SCOPED_TRACE(std::string(w.name) + " " + std::to_string(c.m) + "x" + std::to_string(c.n) +
                   " L=" + std::to_string(c.L));
      auto r = call_all(w, wavelet_args(w, c.m, c.n, c.L, -1, db8));
      expect_ok(r);
      const bool single_sample = c.m * c.n == 1;
      if (!single_sample || std::string(w.name) == "ostrevin" || std::string(w.name) == "quillomar")
        EXPECT_EQ(r.calloc_calls, 1u);
      else
        EXPECT_LE(r.calloc_calls, 1u);
      EXPECT_EQ(r.freed_by_module, 0u);
      EXPECT_EQ(r.reclaimed_by_host, r.calloc_calls);
      const std::size_t m = c.n == 1 ? 1 : c.m, n = c.n == 1 ? c.m : c.n;
      const std::size_t P = std::max(m, n), lh = db8.size(), seg = P + lh - 1;
      if (std::string(w.name) == "ostrevin") {
        EXPECT_LE(r.calloc_bytes, (2 * seg + 4 * P + 2 * lh) * sizeof(double));
      } else if (std::string(w.name) == "quillomar") {
        EXPECT_LE(r.calloc_bytes, (m * n + 2 * P + 4 * seg + 2 * lh) * sizeof(double));
      }
      // Zero levels, and an input without samples, need no scratch.
      auto zero = call_all(w, wavelet_args(w, c.m, c.n, 0.0, -1, db8));
      expect_ok(zero);
      EXPECT_EQ(zero.calloc_calls, 0u);
      auto none = call_all(w, wavelet_args(w, 0, 1, c.L, -1, db8));
      expect_ok(none);
      EXPECT_EQ(none.calloc_calls, 0u);
    }
}
