// lunderjack: [d, H] = lunderjack(p), the structure of the generalized
// Jacobian of the fused-lasso proximal step as diag(d) + H*H'. Every maximal
// run of len ones in p joins len + 1 consecutive positions into a group; H
// has one column per group holding 1/sqrt(len + 1) on the group's rows, and
// d is 1 exactly on the positions outside every group.
#include "mex_binding.h"

namespace {

const lw::Wording wording{"lunderjack: ", "."};

// Rows of d and H are n + 1 and the last row index is n, so n + 1 must
// still be a signed 32-bit count.
constexpr std::size_t max_length = lw::int32_max - 1;

struct Runs {
  std::int32_t count = 0;  // R
  std::int32_t ones = 0;   // total length of all runs
};

// Records every maximal run of entries exactly equal to 1: its length and
// the 1-based position just after it (so the run's first 0-based position
// is end - (len + 1)).
Runs find_runs(const double *p, std::int32_t n, std::int64_t *length, std::int64_t *end) {
  Runs runs;
  std::int32_t cnt = 0;
  for (std::int32_t j = 0; j < n; ++j) {
    if (p[j] == 1.0) {
      ++cnt;
    } else if (cnt > 0) {
      length[runs.count] = cnt;
      end[runs.count] = std::int64_t(j) + 1;
      runs.ones += cnt;
      ++runs.count;
      cnt = 0;
    }
  }
  if (cnt > 0) {
    length[runs.count] = cnt;
    end[runs.count] = std::int64_t(n) + 1;
    runs.ones += cnt;
    ++runs.count;
  }
  return runs;
}

// Fills H column by column and marks the grouped positions of d, then turns
// d into its complement.
void fill(const Runs &runs, const std::int64_t *length, const std::int64_t *end,
          std::int32_t n, double *d, double *h, mwIndex *ir, mwIndex *jc) {
  std::int32_t q = 0;
  for (std::int32_t r = 0; r < runs.count; ++r) {
    const std::int32_t len = std::int32_t(length[r]);
    const std::int32_t a = std::int32_t(end[r] - (len + 1));
    const double w = 1.0 / std::sqrt(double(len + 1));
    for (std::int32_t t = 0; t <= len; ++t) {
      d[a + t] = 1.0;
      ir[q] = static_cast<mwIndex>(a + t);
      h[q] = w;
      ++q;
    }
    jc[r + 1] = static_cast<mwIndex>(q);
  }
  for (std::int32_t k = 0; k <= n; ++k) d[k] = 1.0 - d[k];
}

}  // namespace

extern "C" LASSOWAVE_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs,
                                             const mxArray *prhs[]) {
  if (nrhs != 1) lw::fail("lunderjack: requires 1 input arguments.");
  if (nlhs != 2) lw::fail("lunderjack: requires 2 output argument.");
  const mxArray *input = prhs[0];
  if (mxIsLogical(input)) lw::fail("lunderjack: input cannot be a logical array.");
  const std::size_t rows = mxGetM(input);
  const std::size_t columns = mxGetN(input);
  const std::size_t length = rows > columns ? rows : columns;
  if (mxIsSparse(input)) lw::fail("lunderjack: input cannot be sparse");

  // Beyond the checks above: p must be real double data that holds its n
  // values (0x0 is the one empty input, with n = 0), and n + 1 must fit the
  // signed 32-bit counts.
  lw::require_real_dense_double(input, wording, 1, "p", true);
  if ((rows == 0) != (columns == 0))
    lw::fail("lunderjack: argument 1 (p) has one dimension 0 and the other not, so it holds "
             "none of its values; the only empty input accepted is 0x0.");
  if (length > max_length)
    lw::fail("lunderjack: argument 1 (p) is too long: max(rows, columns) must be at most "
             "2147483646.");
  const std::int32_t n = std::int32_t(length);
  const double *p = mxGetPr(input);

  std::int64_t *run_length = nullptr;
  std::int64_t *run_end = nullptr;
  if (n > 0) {
    run_length = static_cast<std::int64_t *>(mxCalloc(length, sizeof(std::int64_t)));
    run_end = static_cast<std::int64_t *>(mxCalloc(length, sizeof(std::int64_t)));
  }
  const Runs runs = find_runs(p, n, run_length, run_end);

  // One stored entry per grouped row (ones + R of them); the room is one more.
  const std::size_t room = std::size_t(runs.ones) + std::size_t(runs.count) + 1;
  mxArray *d = lw::create_result(nlhs, plhs, 0, length + 1, 1);
  mxArray *h = mxCreateSparse(static_cast<mwSize>(length + 1), static_cast<mwSize>(runs.count),
                              static_cast<mwSize>(room), mxREAL);
  plhs[1] = h;
  fill(runs, run_length, run_end, n, mxGetPr(d), mxGetPr(h), mxGetIr(h), mxGetJc(h));
}
