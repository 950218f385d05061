#include "call_rules.h"

#include <cstdio>

namespace lw::wavelet {

// The module table: allowed input counts, their messages, and which inputs
// and results each module has beyond input 1, the filter and L.
const ModuleRules kaldor_rules{2, 3, "There are at most 3 input parameters allowed!",
                               "There are at least 2 input parameters required!", false, false,
                               1, "x"};
const ModuleRules vestran_rules{2, 3, "There are at most 3 input parameters allowed!",
                                "There are at least 2 input parameters required!", false, false,
                                2, "y"};
const ModuleRules ostrevin_rules{2, 3, "There are at most 3 input parameters allowed!",
                                 "There are at least 2 input parameters required!", false, true,
                                 1, "x"};
const ModuleRules quillomar_rules{3, 4, "There are at most 4 input parameters allowed!",
                                  "There are at least 3 input parameters required!", true, false,
                                  1, "yl"};

const Wording wording{"", "!", "Input"};

namespace {

// Halving count: how often a positive dimension can be halved while even.
std::int32_t halving_count(std::int32_t d) {
  std::int32_t c = 0;
  while (d > 0 && d % 2 == 0) {
    d /= 2;
    ++c;
  }
  return c;
}

// Reads a dense real double input and narrows its sizes to 32 bits.
const double *read_input(const mxArray *a, int position, const char *name, std::int32_t &rows,
                         std::int32_t &cols) {
  require_real_dense_double(a, wording, position, name, /*allow_empty=*/true);
  require_int32_size(mxGetM(a), wording, position, name, "rows");
  require_int32_size(mxGetN(a), wording, position, name, "columns");
  rows = static_cast<std::int32_t>(mxGetM(a));
  cols = static_cast<std::int32_t>(mxGetN(a));
  return mxGetPr(a);
}

}  // namespace

std::int32_t convert_level(double v) {
  std::int32_t L = 0;
  return truncate_to_int32(v, L) ? L : INT32_MIN;
}

std::int32_t infer_levels(std::int32_t M, std::int32_t N) {
  if (M <= 0 || N <= 0) return 0;  // nothing to decompose
  const std::int32_t cM = halving_count(M), cN = halving_count(N);
  if ((M < N ? M : N) == 1) return cM > cN ? cM : cN;
  return cM < cN ? cM : cN;
}

bool multiple_of_power_of_two(std::int32_t dim, std::int32_t L) {
  if (L >= 31) return dim == 0;  // 2^31 exceeds every dimension
  return dim % (std::int32_t(1) << L) == 0;
}

void run_gateway(const ModuleRules &rules, Kernel kernel, int nlhs, mxArray *plhs[], int nrhs,
                 const mxArray *prhs[]) {
  // 1. Input count, upper bound first.
  if (nrhs > rules.max_inputs) fail(rules.too_many_message);
  if (nrhs < rules.min_inputs) fail(rules.too_few_message);

  // 2. Input 1, then the high-pass bands, then the filter.
  KernelCall call{};
  int next = 0;
  call.input = read_input(prhs[next], next + 1, rules.input_name, call.M, call.N);
  ++next;
  std::int32_t Mh = 0, Nh = 0;
  if (rules.reads_yh) {
    call.yh_input = read_input(prhs[next], next + 1, "yh", Mh, Nh);
    ++next;
  }
  std::int32_t hrows = 0, hcols = 0;
  call.h = read_input(prhs[next], next + 1, "h", hrows, hcols);
  call.lh = hrows > hcols ? hrows : hcols;
  if (hrows == 0 || hcols == 0) call.lh = 0;
  if (call.lh < rules.min_filter_taps) {
    char text[128];
    std::snprintf(text, sizeof text, "Input %d (h) must have at least %d filter tap%s!", next + 1,
                  int(rules.min_filter_taps), rules.min_filter_taps == 1 ? "" : "s");
    fail(text);
  }
  ++next;

  // 3. Level count: given (truncated) or inferred from the sizes.
  if (nrhs > next) {
    const mxArray *level = prhs[next];
    require_real_dense_double(level, wording, next + 1, "L", /*allow_empty=*/true);
    if (mxIsEmpty(level)) fail("The number of levels, L, must be a non-negative integer");
    call.L = convert_level(first_element(level));
    if (call.L < 0) fail("The number of levels, L, must be a non-negative integer");
  } else {
    call.L = infer_levels(call.M, call.N);
    if (call.L == 0) fail("Maximum number of levels is zero; no decomposition can be performed!");
  }

  // 4. The high-pass bands must fit yl and L (counted in 64 bits: no wrap).
  const std::int64_t bands_1d = std::int64_t(call.L) * call.N;
  const std::int64_t bands_2d = 3 * std::int64_t(call.N) * call.L;
  const bool vector_case = (call.M < call.N ? call.M : call.N) <= 1;
  if (rules.reads_yh) {
    if (vector_case && (Mh != call.M || Nh != bands_1d))
      fail("Dimensions of first two input vectors not consistent!");
    if (!vector_case && (Mh != call.M || Nh != bands_2d))
      fail("Dimensions of first two input matrices not consistent!");
  }

  // 5. Sizes against 2^L, rows first; a dimension of 0 or 1 is not checked.
  if (call.M > 1 && !multiple_of_power_of_two(call.M, call.L))
    fail("The matrix row dimension must be of size m*2^(L)");
  if (call.N > 1 && !multiple_of_power_of_two(call.N, call.L))
    fail("The matrix column dimension must be of size n*2^(L)");

  // ostrevin's bands must fit the kernels' 32-bit counts and the host's
  // 32-bit sizes: an empty input with a large L, or a long vector with its
  // inferred L, would otherwise ask for a width that wraps around.
  if (rules.returns_yh) {
    const bool one_d = (call.M < call.N ? call.M : call.N) == 1;
    if ((one_d ? bands_1d : bands_2d) > std::int64_t(int32_max))
      fail("The high-pass result yh would have 2^31 or more columns; at most 2147483647 are "
           "supported!");
  }

  // 6. Results in their order (the M×N matrix, yh, then L), then the kernel.
  int slot = 0;
  mxArray *result = create_result(nlhs, plhs, slot++, std::size_t(call.M), std::size_t(call.N));
  mxArray *yh = nullptr;
  int yh_slot = -1;
  if (rules.returns_yh) {
    const bool one_d = (call.M < call.N ? call.M : call.N) == 1;
    yh_slot = slot++;
    yh = create_result(nlhs, plhs, yh_slot, std::size_t(call.M),
                       std::size_t(one_d ? bands_1d : bands_2d));
  }
  if (slot < result_slots(nlhs)) {
    mxArray *levels = create_result(nlhs, plhs, slot, 1, 1);
    mxGetPr(levels)[0] = double(call.L);
  }
  call.result = mxGetPr(result);
  call.yh_result = yh ? mxGetPr(yh) : nullptr;
  kernel(call);
  if (yh) discard_undelivered(nlhs, yh_slot, yh);
}

}  // namespace lw::wavelet
