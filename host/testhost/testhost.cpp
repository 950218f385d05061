// The lassowave test host: host arrays, scratch memory with tracking, host
// errors carried back to the caller as exceptions, and module loading.
#include "testhost.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>
#include <stdexcept>

#include "mex.h"

struct mxArray_tag {
  mxClassID cls = mxDOUBLE_CLASS;
  bool complex = false;
  bool sparse = false;
  bool phantom = false;
  std::size_t m = 0, n = 0, nzmax = 0;
  std::vector<unsigned char> re, im;  // element bytes; for sparse, nzmax values
  std::vector<std::size_t> ir64, jc64;
  std::vector<int> ir32, jc32;
  int created_level = 0;  // 64 or 32 for sparse arrays a module created
};

namespace testhost {

const char *const out_of_memory_message =
    "Out of memory. The host could not satisfy an allocation.";

namespace {

struct HostError {
  std::string text;
};

// Largest single allocation this host grants, like a host with finite memory:
// 4 GiB, or on a 32-bit host the largest object it can address (PTRDIFF_MAX;
// 4 GiB itself would wrap to 0 there and refuse every allocation).
constexpr std::size_t allocation_limit =
    std::size_t(std::min<std::uint64_t>(std::uint64_t(4) << 30,
                                       std::uint64_t(std::numeric_limits<std::ptrdiff_t>::max())));

struct CallContext {
  std::set<void *> scratch;
  std::set<mxArray *> created;
  CallResult *stats = nullptr;
};

CallContext *current = nullptr;
std::size_t fail_at = 0;
bool snapshot_on = true;  // see snapshot_arguments

std::size_t element_size(mxClassID cls) {
  switch (cls) {
    case mxDOUBLE_CLASS: case mxINT64_CLASS: case mxUINT64_CLASS: return 8;
    case mxSINGLE_CLASS: case mxINT32_CLASS: case mxUINT32_CLASS: return 4;
    case mxINT16_CLASS: case mxUINT16_CLASS: case mxCHAR_CLASS: return 2;
    case mxINT8_CLASS: case mxUINT8_CLASS: case mxLOGICAL_CLASS: return 1;
    default: return sizeof(void *);  // cells and structs hold handles
  }
}

[[noreturn]] void raise(const std::string &text) { throw HostError{text}; }

// Counts one allocation of the running call and fails it when injection says so.
void count_allocation() {
  if (!current) return;
  ++current->stats->allocations;
  if (fail_at != 0 && current->stats->allocations == fail_at) raise(out_of_memory_message);
}

// memcpy that accepts empty ranges (whose pointers may be null).
void copy_bytes(void *to, const void *from, std::size_t count) {
  if (count) std::memcpy(to, from, count);
}

bool product_overflows(std::size_t a, std::size_t b, std::size_t limit) {
  return a != 0 && b > limit / a;
}

mxArray *track(mxArray *a) {
  if (current) {
    current->created.insert(a);
    ++current->stats->arrays_created;
  }
  return a;
}

mxArray *new_dense(std::size_t m, std::size_t n, bool complex) {
  count_allocation();
  const std::size_t limit = allocation_limit / 8;
  if (product_overflows(m, n, limit) || m * n > limit) raise(out_of_memory_message);
  auto *a = new mxArray_tag;
  a->m = m;
  a->n = n;
  a->complex = complex;
  a->re.assign(m * n * 8, 0);
  if (complex) a->im.assign(m * n * 8, 0);
  return track(a);
}

mxArray *new_sparse(std::size_t m, std::size_t n, std::size_t nzmax, bool complex, int level) {
  count_allocation();
  if (nzmax == 0) nzmax = 1;
  if (nzmax > allocation_limit / 16 || n > allocation_limit / 16) raise(out_of_memory_message);
  auto *a = new mxArray_tag;
  a->m = m;
  a->n = n;
  a->sparse = true;
  a->complex = complex;
  a->nzmax = nzmax;
  a->re.assign(nzmax * 8, 0);
  if (complex) a->im.assign(nzmax * 8, 0);
  a->ir64.assign(nzmax, 0);
  a->jc64.assign(n + 1, 0);
  a->ir32.assign(nzmax, 0);
  a->jc32.assign(n + 1, 0);
  a->created_level = level;
  return track(a);
}

// After a call, the index arrays a module wrote at one level are mirrored
// to the other so the driver sees one consistent matrix.
void sync_indices(mxArray *a) {
  if (!a || !a->sparse) return;
  if (a->created_level == 32) {
    for (std::size_t i = 0; i < a->ir32.size(); ++i) a->ir64[i] = std::size_t(std::int64_t(a->ir32[i]));
    for (std::size_t i = 0; i < a->jc32.size(); ++i) a->jc64[i] = std::size_t(std::int64_t(a->jc32[i]));
  } else {
    for (std::size_t i = 0; i < a->ir64.size(); ++i) a->ir32[i] = int(a->ir64[i]);
    for (std::size_t i = 0; i < a->jc64.size(); ++i) a->jc32[i] = int(a->jc64[i]);
  }
}

// Converts a double the way a host stores it in another class: integers
// round and saturate (NaN gives 0), singles overflow to infinity.
template <typename T>
T convert_to(double v) {
  if constexpr (std::is_floating_point_v<T>) {
    if (v > double(std::numeric_limits<T>::max())) return std::numeric_limits<T>::infinity();
    if (v < -double(std::numeric_limits<T>::max())) return -std::numeric_limits<T>::infinity();
    return static_cast<T>(v);
  } else {
    if (std::isnan(v)) return 0;
    const double r = std::round(v);
    if (r <= double(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
    if (r >= double(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
    return static_cast<T>(r);
  }
}

template <typename T>
void store_as(std::vector<unsigned char> &bytes, const std::vector<double> &v, std::size_t count) {
  bytes.assign(count * sizeof(T), 0);
  for (std::size_t i = 0; i < count && i < v.size(); ++i) {
    T t = convert_to<T>(v[i]);
    std::memcpy(bytes.data() + i * sizeof(T), &t, sizeof(T));
  }
}

}  // namespace

Array dense(std::size_t m, std::size_t n, const std::vector<double> &values) {
  Array a(new_dense(m, n, false));
  copy_bytes(a->re.data(), values.data(), std::min(values.size(), m * n) * 8);
  return a;
}

Array scalar(double v) { return dense(1, 1, {v}); }
Array row(const std::vector<double> &v) { return dense(1, v.size(), v); }
Array column(const std::vector<double> &v) { return dense(v.size(), 1, v); }

Array complex_dense(std::size_t m, std::size_t n, const std::vector<double> &re,
                    const std::vector<double> &im) {
  Array a(new_dense(m, n, true));
  copy_bytes(a->re.data(), re.data(), std::min(re.size(), m * n) * 8);
  copy_bytes(a->im.data(), im.data(), std::min(im.size(), m * n) * 8);
  return a;
}

Array of_class(mxClassID cls, std::size_t m, std::size_t n, const std::vector<double> &v) {
  if (cls == mxDOUBLE_CLASS) return dense(m, n, v);
  Array a(new mxArray_tag);
  a->cls = cls;
  a->m = m;
  a->n = n;
  const std::size_t count = m * n;
  switch (cls) {
    case mxSINGLE_CLASS: store_as<float>(a->re, v, count); break;
    case mxINT32_CLASS: store_as<std::int32_t>(a->re, v, count); break;
    case mxUINT32_CLASS: store_as<std::uint32_t>(a->re, v, count); break;
    case mxINT8_CLASS: store_as<std::int8_t>(a->re, v, count); break;
    case mxUINT8_CLASS: store_as<std::uint8_t>(a->re, v, count); break;
    case mxINT16_CLASS: store_as<std::int16_t>(a->re, v, count); break;
    case mxUINT16_CLASS: store_as<std::uint16_t>(a->re, v, count); break;
    case mxINT64_CLASS: store_as<std::int64_t>(a->re, v, count); break;
    case mxUINT64_CLASS: store_as<std::uint64_t>(a->re, v, count); break;
    case mxLOGICAL_CLASS: store_as<std::uint8_t>(a->re, v, count); break;
    case mxCHAR_CLASS: store_as<std::uint16_t>(a->re, v, count); break;
    default: a->re.assign(count * element_size(cls), 0); break;  // empty cells/fields
  }
  return a;
}

Array sparse(std::size_t m, std::size_t n, const std::vector<std::int64_t> &jc,
             const std::vector<std::int64_t> &ir, const std::vector<double> &pr, bool logical,
             bool complex) {
  if (jc.size() != n + 1) throw std::invalid_argument("sparse: need n+1 column starts");
  Array a(new_sparse(m, n, std::max<std::size_t>(ir.size(), 1), complex, 0));
  if (logical) {
    a->cls = mxLOGICAL_CLASS;
    store_as<std::uint8_t>(a->re, pr, a->nzmax);
  } else {
    copy_bytes(a->re.data(), pr.data(), std::min(pr.size(), a->nzmax) * 8);
  }
  for (std::size_t i = 0; i < ir.size(); ++i) {
    a->ir64[i] = std::size_t(ir[i]);
    a->ir32[i] = int(ir[i]);
  }
  for (std::size_t j = 0; j <= n; ++j) {
    a->jc64[j] = std::size_t(jc[j]);
    a->jc32[j] = int(jc[j]);
  }
  return a;
}

Array sparse_from_dense(std::size_t m, std::size_t n, const std::vector<double> &v) {
  std::vector<std::int64_t> jc{0}, ir;
  std::vector<double> pr;
  for (std::size_t j = 0; j < n; ++j) {
    for (std::size_t i = 0; i < m; ++i) {
      double x = i + j * m < v.size() ? v[i + j * m] : 0.0;
      if (x != 0.0) {
        ir.push_back(std::int64_t(i));
        pr.push_back(x);
      }
    }
    jc.push_back(std::int64_t(ir.size()));
  }
  return sparse(m, n, jc, ir, pr);
}

Array phantom(std::size_t m, std::size_t n) {
  Array a(new mxArray_tag);
  a->m = m;
  a->n = n;
  a->phantom = true;
  a->re.assign(8, 0);  // the first element only: reading any other is out of bounds
  return a;
}

Array deep_copy(const mxArray *a) { return Array(new mxArray_tag(*a)); }

bool identical(const mxArray *a, const mxArray *b) {
  return a->cls == b->cls && a->complex == b->complex && a->sparse == b->sparse &&
         a->m == b->m && a->n == b->n && a->nzmax == b->nzmax && a->re == b->re &&
         a->im == b->im && a->ir64 == b->ir64 && a->jc64 == b->jc64 && a->ir32 == b->ir32 &&
         a->jc32 == b->jc32;
}

std::vector<double> values(const mxArray *a) {
  std::vector<double> v(a->re.size() / 8);
  copy_bytes(v.data(), a->re.data(), v.size() * 8);
  if (a->sparse) v.resize(a->jc64.back());
  return v;
}

std::vector<std::int64_t> row_indices(const mxArray *a) {
  std::vector<std::int64_t> v(a->ir64.begin(), a->ir64.begin() + std::ptrdiff_t(a->jc64.back()));
  return v;
}

std::vector<std::int64_t> column_starts(const mxArray *a) {
  return std::vector<std::int64_t>(a->jc64.begin(), a->jc64.end());
}

void fail_allocation_at(std::size_t k) { fail_at = k; }

void snapshot_arguments(bool on) { snapshot_on = on; }

std::string module_path(const std::string &name, bool index32) {
  const char *env = std::getenv("LASSOWAVE_TESTHOST_MODULE_DIR");
#ifdef LASSOWAVE_TESTHOST_MODULE_DIR
  std::string dir = env ? env : LASSOWAVE_TESTHOST_MODULE_DIR;
#else
  std::string dir = env ? env : ".";
#endif
  return dir + (index32 ? "/index32/" : "/") + name + ".mexth";
}

#ifdef _WIN32
Module::Module(const std::string &path) : path_(path) {
  std::string native(path);
  std::replace(native.begin(), native.end(), '/', '\\');  // LoadLibrary wants backslashes
  HMODULE module = LoadLibraryA(native.c_str());
  if (!module)
    throw std::runtime_error("cannot load " + path + ": error " + std::to_string(GetLastError()));
  handle_ = module;
  // Through the generic function pointer type, which converts to any other.
  auto entry = reinterpret_cast<void (*)()>(GetProcAddress(module, "mexFunction"));
  entry_ = reinterpret_cast<void (*)(int, mxArray **, int, const mxArray **)>(entry);
  if (!entry_) {
    FreeLibrary(module);
    throw std::runtime_error("no mexFunction in " + path);
  }
}

Module::~Module() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}
#else
Module::Module(const std::string &path) : path_(path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) throw std::runtime_error("cannot load " + path + ": " + dlerror());
  entry_ = reinterpret_cast<void (*)(int, mxArray **, int, const mxArray **)>(
      dlsym(handle_, "mexFunction"));
  if (!entry_) {
    dlclose(handle_);
    throw std::runtime_error("no mexFunction in " + path);
  }
}

Module::~Module() {
  if (handle_) dlclose(handle_);
}
#endif

CallResult Module::call(int nlhs, const std::vector<const mxArray *> &args, int slots) const {
  if (slots < 0) slots = std::max(nlhs, 1);
  CallResult result;
  std::vector<Array> before;
  if (snapshot_on)
    for (const mxArray *a : args) before.push_back(a ? deep_copy(a) : nullptr);

  // Slots followed by guard entries that must still hold the sentinel after.
  constexpr int guard = 8;
  mxArray *const sentinel = reinterpret_cast<mxArray *>(std::uintptr_t(0x5107));
  std::vector<mxArray *> plhs(std::size_t(slots + guard), sentinel);
  std::fill(plhs.begin(), plhs.begin() + slots, nullptr);
  std::vector<const mxArray *> prhs(args);

  CallContext ctx;
  ctx.stats = &result;
  current = &ctx;
  try {
    entry_(nlhs, plhs.data(), int(prhs.size()), prhs.empty() ? nullptr : prhs.data());
  } catch (const HostError &e) {
    result.error = true;
    result.message = e.text;
  }
  current = nullptr;
  fail_at = 0;

  for (int i = slots; i < slots + guard; ++i)
    if (plhs[std::size_t(i)] != sentinel) result.slot_overrun = true;
  if (!result.error) {
    for (int i = 0; i < slots; ++i) {
      mxArray *a = plhs[std::size_t(i)];
      if (a && ctx.created.erase(a)) {
        sync_indices(a);
        result.outputs.emplace_back(a);
      } else {
        result.outputs.emplace_back(nullptr);
      }
    }
  }
  // Whatever the call created and did not return is the host's to reclaim.
  result.arrays_discarded = ctx.created.size();
  for (mxArray *a : ctx.created) delete a;
  result.reclaimed_by_host = ctx.scratch.size();
  for (void *p : ctx.scratch) std::free(p);

  for (std::size_t i = 0; i < args.size(); ++i)
    if (snapshot_on && args[i] && !identical(args[i], before[i].get()))
      result.inputs_changed = true;
  return result;
}

}  // namespace testhost

using testhost::current;

extern "C" {

void mexErrMsgTxt(const char *text) { testhost::raise(text ? text : ""); }

size_t mxGetM(const mxArray *a) { return a->m; }
size_t mxGetN(const mxArray *a) { return a->n; }

double *mxGetPr(const mxArray *a) {
  auto *m = const_cast<mxArray *>(a);
  return m->re.empty() ? nullptr : reinterpret_cast<double *>(m->re.data());
}

double *mxGetPi(const mxArray *a) {
  auto *m = const_cast<mxArray *>(a);
  return m->im.empty() ? nullptr : reinterpret_cast<double *>(m->im.data());
}

void *mxGetData(const mxArray *a) { return mxGetPr(a); }

double mxGetScalar(const mxArray *a) {
  if (a->re.empty() || (!a->sparse && a->m * a->n == 0) ||
      (a->sparse && a->jc64.back() == 0 && a->m * a->n == 0))
    testhost::raise("mxGetScalar: argument is empty");
  if (a->cls != mxDOUBLE_CLASS) return 0.0;  // the tests use double scalars
  double v;
  std::memcpy(&v, a->re.data(), 8);
  return v;
}

bool mxIsSparse(const mxArray *a) { return a->sparse; }
bool mxIsLogical(const mxArray *a) { return a->cls == mxLOGICAL_CLASS; }
bool mxIsDouble(const mxArray *a) { return a->cls == mxDOUBLE_CLASS; }
bool mxIsComplex(const mxArray *a) { return a->complex; }
bool mxIsEmpty(const mxArray *a) { return a->m == 0 || a->n == 0; }
mxClassID mxGetClassID(const mxArray *a) { return a->cls; }
size_t mxGetNumberOfElements(const mxArray *a) { return a->m * a->n; }
size_t mxGetNzmax(const mxArray *a) { return a->nzmax; }

const char *mxGetClassName(const mxArray *a) {
  switch (a->cls) {
    case mxCELL_CLASS: return "cell";
    case mxSTRUCT_CLASS: return "struct";
    case mxLOGICAL_CLASS: return "logical";
    case mxCHAR_CLASS: return "char";
    case mxDOUBLE_CLASS: return "double";
    case mxSINGLE_CLASS: return "single";
    case mxINT8_CLASS: return "int8";
    case mxUINT8_CLASS: return "uint8";
    case mxINT16_CLASS: return "int16";
    case mxUINT16_CLASS: return "uint16";
    case mxINT32_CLASS: return "int32";
    case mxUINT32_CLASS: return "uint32";
    case mxINT64_CLASS: return "int64";
    case mxUINT64_CLASS: return "uint64";
    case mxFUNCTION_CLASS: return "function_handle";
    default: return "unknown";
  }
}

mxArray *mxCreateDoubleMatrix_730(size_t m, size_t n, mxComplexity c) {
  return testhost::new_dense(m, n, c == mxCOMPLEX);
}

mxArray *mxCreateDoubleMatrix_700(int m, int n, mxComplexity c) {
  if (m < 0 || n < 0) testhost::raise("mxCreateDoubleMatrix: negative dimension");
  return testhost::new_dense(size_t(m), size_t(n), c == mxCOMPLEX);
}

mxArray *mxCreateSparse_730(size_t m, size_t n, size_t nzmax, mxComplexity c) {
  return testhost::new_sparse(m, n, nzmax, c == mxCOMPLEX, 64);
}

mxArray *mxCreateSparse_700(int m, int n, int nzmax, mxComplexity c) {
  if (m < 0 || n < 0 || nzmax < 0) testhost::raise("mxCreateSparse: negative dimension");
  return testhost::new_sparse(size_t(m), size_t(n), size_t(nzmax), c == mxCOMPLEX, 32);
}

size_t *mxGetIr_730(const mxArray *a) {
  return a->sparse ? const_cast<mxArray *>(a)->ir64.data() : nullptr;
}
size_t *mxGetJc_730(const mxArray *a) {
  return a->sparse ? const_cast<mxArray *>(a)->jc64.data() : nullptr;
}
int *mxGetIr_700(const mxArray *a) {
  return a->sparse ? const_cast<mxArray *>(a)->ir32.data() : nullptr;
}
int *mxGetJc_700(const mxArray *a) {
  return a->sparse ? const_cast<mxArray *>(a)->jc32.data() : nullptr;
}

// A 32-bit host's large-array level: the 32-bit index arrays, unsigned (an
// int and an unsigned int may name the same storage).
mxArray *mxCreateDoubleMatrix_host32(uint32_t m, uint32_t n, mxComplexity c) {
  return testhost::new_dense(m, n, c == mxCOMPLEX);
}

mxArray *mxCreateSparse_host32(uint32_t m, uint32_t n, uint32_t nzmax, mxComplexity c) {
  return testhost::new_sparse(m, n, nzmax, c == mxCOMPLEX, 32);
}

uint32_t *mxGetIr_host32(const mxArray *a) {
  return reinterpret_cast<uint32_t *>(mxGetIr_700(a));
}
uint32_t *mxGetJc_host32(const mxArray *a) {
  return reinterpret_cast<uint32_t *>(mxGetJc_700(a));
}

void mxDestroyArray(mxArray *a) {
  if (current) current->created.erase(a);
  delete a;
}

void *mxCalloc(size_t count, size_t size) {
  testhost::count_allocation();
  if (testhost::product_overflows(count, size, testhost::allocation_limit) ||
      count * size > testhost::allocation_limit)
    testhost::raise(testhost::out_of_memory_message);
  void *p = std::calloc(count ? count : 1, size ? size : 1);
  if (!p) testhost::raise(testhost::out_of_memory_message);
  if (current) {
    current->scratch.insert(p);
    ++current->stats->calloc_calls;
    current->stats->calloc_bytes += count * size;
  }
  return p;
}

// Not part of the MEX API: the modules built for this host report their
// work count here (host/mex_binding.h, lw::report_work).
void lwTesthostAddWork(uint64_t count) {
  if (current) current->stats->work += count;
}

void mxFree(void *p) {
  if (!p) return;
  if (current) {
    if (current->scratch.erase(p) == 0) {
      current->stats->bad_free = true;
      return;
    }
    ++current->stats->freed_by_module;
  }
  std::free(p);
}

}  // extern "C"
