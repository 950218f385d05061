// kaldor and vestran against the plain transcriptions of their sums in
// test_kaldor_support.h (one line at a time, indices taken modulo the block
// length, every sum from 0.0 in the order of its loops), bit for bit. The
// modules keep rows side by side in vector lanes (16, 8 or one at a time; kaldor
// copies 32 rows at a time where a level works in place, vestran keeps the
// column pass of a few columns ahead of the row pass) and consecutive
// outputs of a line in lanes; these cases make every block shape of that
// happen: rows and columns, matrices of either orientation whose row count
// is not a multiple of 32, 16 or 8, lines whose output count is not a
// multiple of the lanes, every level down to a 2-sample block, and filters
// from 1 to 20 taps, so also filters much longer than the coarse blocks.
// Each case runs on every instruction-set variant of the kernels
// (isa_paths.h).
#include <cmath>
#include <cstring>

#include "test_kaldor_support.h"

using namespace lwtest::decimated;

namespace {

const Shape shapes[] = {
    {1, 2, 1},   {1, 64, 6},  {1, 96, 5},   {1, 200, 3},  {200, 1, 3}, {64, 1, 6},
    {2, 2, 1},   {4, 6, 1},   {12, 8, 2},   {8, 12, 2},   {20, 48, 2}, {48, 20, 2},
    {24, 40, 3}, {40, 24, 3}, {32, 32, 5},  {16, 144, 4}, {144, 16, 4}, {36, 4, 2},
    {72, 40, 3}, {96, 80, 4}, {64, 256, 6}};

// Random data of widely varied magnitude, so that the roundings of every
// product and partial sum differ from case to case.
Vec varied(std::size_t count, std::uint32_t seed) {
  Vec v = pseudo_random(count, seed);
  const Vec e = pseudo_random(count, seed ^ 0x9e3779b9u);
  for (std::size_t k = 0; k < count; ++k) v[k] = std::ldexp(v[k], int(std::lround(20 * e[k])));
  return v;
}

// Bitwise equality that also tells -0.0 from 0.0 and compares NaNs exactly.
bool same_bits(const Vec &a, const Vec &b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

class DecimatedBitwise : public lwtest::isa::OnEachPath {};

}  // namespace

LW_ON_EACH_ISA_PATH(DecimatedBitwise);

TEST_P(DecimatedBitwise, ForwardMatchesTheTranscription) {
  for (const Shape &s : shapes)
    for (std::size_t lh = 1; lh <= 20; ++lh) {
      const Vec h = varied(lh, std::uint32_t(1000 + lh));
      for (int L = 1; L <= s.max_L; ++L) {
        const Vec x = varied(s.m * s.n, std::uint32_t(s.m * 7919 + s.n * 31 + lh * 5 + L));
        EXPECT_TRUE(same_bits(forward(s.m, s.n, x, h, L), ref_forward(s.m, s.n, x, h, L)))
            << s.m << "x" << s.n << " L=" << L << " lh=" << lh;
      }
    }
}

TEST_P(DecimatedBitwise, InverseMatchesTheTranscription) {
  for (const Shape &s : shapes)
    for (std::size_t lh = 2; lh <= 20; ++lh) {
      const Vec h = varied(lh, std::uint32_t(2000 + lh));
      for (int L = 1; L <= s.max_L; ++L) {
        const Vec y = varied(s.m * s.n, std::uint32_t(s.m * 104729 + s.n * 17 + lh * 3 + L));
        EXPECT_TRUE(same_bits(inverse(s.m, s.n, y, h, L), ref_inverse(s.m, s.n, y, h, L)))
            << s.m << "x" << s.n << " L=" << L << " lh=" << lh;
      }
    }
}

// A level count below the largest: the levels left out keep their
// coefficients, which the inverse must read from its input as they are.
TEST_P(DecimatedBitwise, FewerLevelsThanTheSizesAdmit) {
  const Vec h = varied(7, 3);
  const Vec x = varied(64 * 48, 4);
  for (int L = 1; L <= 4; ++L) {
    EXPECT_TRUE(same_bits(forward(64, 48, x, h, L), ref_forward(64, 48, x, h, L))) << L;
    EXPECT_TRUE(same_bits(inverse(64, 48, x, h, L), ref_inverse(64, 48, x, h, L))) << L;
  }
}
