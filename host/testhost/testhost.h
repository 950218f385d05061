// Driver side of the lassowave test host: build host arrays, load a built
// module, call its mexFunction with a chosen nlhs and number of result
// slots, and see what came back and what the call did with host memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "matrix.h"

namespace testhost {

struct ArrayDeleter {
  void operator()(mxArray *a) const { mxDestroyArray(a); }
};
using Array = std::unique_ptr<mxArray, ArrayDeleter>;

// Dense real double M×N from column-major values (missing values are 0).
Array dense(std::size_t m, std::size_t n, const std::vector<double> &values = {});
Array scalar(double v);
Array row(const std::vector<double> &values);
Array column(const std::vector<double> &values);
// Dense complex double: real and imaginary parts.
Array complex_dense(std::size_t m, std::size_t n, const std::vector<double> &re,
                    const std::vector<double> &im);
// Dense array of another class (single, int32, logical, char, ...), all zeros
// unless values are given (converted to the class's element type).
Array of_class(mxClassID cls, std::size_t m, std::size_t n,
               const std::vector<double> &values = {});
// Sparse M×N from column starts, row indices and values; logical when asked.
Array sparse(std::size_t m, std::size_t n, const std::vector<std::int64_t> &jc,
             const std::vector<std::int64_t> &ir, const std::vector<double> &pr,
             bool logical = false, bool complex = false);
// Sparse from a dense column-major matrix (zeros not stored).
Array sparse_from_dense(std::size_t m, std::size_t n, const std::vector<double> &values);
// A double array that claims an M×N size but holds only its first element:
// for size-limit tests. Reading any other element is out of bounds (and
// reported as such under AddressSanitizer).
Array phantom(std::size_t m, std::size_t n);
Array deep_copy(const mxArray *a);
bool identical(const mxArray *a, const mxArray *b);

std::vector<double> values(const mxArray *a);  // real data, column-major
std::vector<std::int64_t> row_indices(const mxArray *a);
std::vector<std::int64_t> column_starts(const mxArray *a);

struct CallResult {
  bool error = false;
  std::string message;          // the host error text, exactly as raised
  std::vector<Array> outputs;   // the provided slots, in order (null if unset)
  bool slot_overrun = false;    // something was written past the provided slots
  bool inputs_changed = false;  // an argument differed afterwards
  std::size_t calloc_calls = 0;
  std::size_t calloc_bytes = 0;
  std::size_t freed_by_module = 0;  // scratch released with mxFree
  std::size_t reclaimed_by_host = 0;  // scratch left for the host to reclaim
  std::size_t arrays_created = 0;
  std::size_t arrays_discarded = 0;  // created but not returned in a slot
  std::size_t allocations = 0;       // mxCalloc and mxCreate* calls, in all
  bool bad_free = false;             // mxFree of memory the call did not own
  std::uint64_t work = 0;            // the module's own work count (lw::report_work)
};

class Module {
 public:
  explicit Module(const std::string &path);
  ~Module();
  Module(const Module &) = delete;
  Module &operator=(const Module &) = delete;

  // Calls mexFunction with nlhs requested results and `slots` result slots
  // (slots < 0: the host default, max(nlhs, 1)).
  CallResult call(int nlhs, const std::vector<const mxArray *> &args, int slots = -1) const;
  // The shared object the module was loaded from.
  const std::string &path() const { return path_; }

 private:
  std::string path_;
  void *handle_ = nullptr;
  void (*entry_)(int, mxArray **, int, const mxArray **) = nullptr;
};

// Allocation fault injection: the k-th (1-based) mxCalloc or mxCreate* call
// of the next module calls fails as an exhausted host does (a host error).
// 0 switches it off.
void fail_allocation_at(std::size_t k);
extern const char *const out_of_memory_message;

// Argument snapshots: by default every call copies its arguments first and
// compares them afterwards (CallResult::inputs_changed). Benchmarks of large
// inputs may switch that off so the copies do not swamp the module's own
// cost; inputs_changed then stays false.
void snapshot_arguments(bool on);

// Path of a module built for the test host: <dir>/<name>.mexth, where dir
// comes from the build (LASSOWAVE_TESTHOST_MODULE_DIR) or the environment.
std::string module_path(const std::string &name, bool index32 = false);

}  // namespace testhost
