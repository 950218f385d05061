// Loads every module of the module table twice through the test host, once
// as built for the test host and once as built for (stand-in) MATLAB, makes
// the same calls of each (valid ones of several sizes and shapes, and
// rejected ones), and requires identical results bit for bit, or the same
// error text. Also calls each MATLAB build's version entry point.
//
//   compare_modules <table> <matlab dir> <mex extension> <release code>
//
// <release code>: what mexfilerequiredapiversion of a large-array build must
// report as the release that built it. Prints one line per build; exit
// status 0 when all agree.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "testhost.h"

namespace {

using testhost::Array;
using Call = std::pair<int, std::vector<Array>>;  // nlhs, arguments

// Deterministic values in [-4, 4) with a few exact integers among them.
struct Values {
  std::uint64_t state;
  double next() {
    state = state * 6364136223846793005u + 1442695040888963407u;
    const double u = double(state >> 11) / 9007199254740992.0;
    return (state >> 60) == 0 ? double(int(u * 8) - 4) : 8 * u - 4;
  }
  std::vector<double> many(std::size_t n) {
    std::vector<double> v(n);
    for (double &x : v) x = next();
    return v;
  }
};

// A sparse triangular factor with a nonzero diagonal: upper (for fenwarix)
// or lower (for hobrinth), about half of the other entries stored.
Array triangular(std::size_t n, bool upper, Values &v) {
  std::vector<std::int64_t> jc{0}, ir;
  std::vector<double> pr;
  for (std::size_t j = 0; j < n; ++j) {
    for (std::size_t i = 0; i < n; ++i) {
      const bool inside = upper ? i <= j : i >= j;
      if (!inside) continue;
      const double x = v.next();
      if (i != j && x < 0) continue;
      ir.push_back(std::int64_t(i));
      pr.push_back(i == j ? 2 + x * x : x);
    }
    jc.push_back(std::int64_t(ir.size()));
  }
  return testhost::sparse(n, n, jc, ir, pr);
}

std::vector<Array> args_of(std::vector<Array> a) { return a; }

std::vector<Call> calls_for(const std::string &name) {
  Values v{std::hash<std::string>{}(name)};
  std::vector<Call> calls;
  auto add = [&](int nlhs, std::vector<Array> args) { calls.emplace_back(nlhs, std::move(args)); };
  const std::vector<double> haar{0.7071067811865476, 0.7071067811865476};
  const std::vector<double> four{0.48296291314453414, 0.8365163037378079, 0.22414386804201339,
                                 -0.12940952255126037};

  // Rejected calls: no arguments, and a first argument of the wrong class.
  add(1, {});
  add(1, args_of([] {
        std::vector<Array> a;
        a.push_back(testhost::of_class(mxSINGLE_CLASS, 1, 1, {1}));
        for (int k = 0; k < 6; ++k) a.push_back(testhost::scalar(1));
        return a;
      }()));

  if (name == "vintrask" || name == "quorbel" || name == "pelmorin" || name == "sandrevo" ||
      name == "tolbrecht") {
    const int count = name == "vintrask" ? 6 : 7;
    for (int k = 0; k < 60; ++k) {
      std::vector<Array> a;
      a.push_back(testhost::scalar(1 + v.next() * v.next()));
      a.push_back(testhost::scalar(100));
      a.push_back(testhost::scalar(0.01));
      a.push_back(testhost::scalar(double(k % 5)));
      a.push_back(testhost::scalar(double(k % 3)));
      a.push_back(testhost::scalar(double(k)));
      if (count == 7) a.push_back(testhost::scalar(double(k % 4) - 1));
      add(3, std::move(a));
    }
  } else if (name == "gravenmor" || name == "brastelin") {
    for (int k = 0; k < 40; ++k) {
      std::vector<Array> a;
      for (int j = 0; j < 5; ++j) a.push_back(testhost::scalar(1 + v.next() * v.next()));
      add(8, std::move(a));
    }
  } else if (name == "lunderjack") {
    for (std::size_t n : {1u, 7u, 64u, 301u}) {
      std::vector<double> p(n);
      for (double &x : p) x = v.next() < 0 ? 0 : 1;
      std::vector<Array> a;
      a.push_back(testhost::column(p));
      add(2, std::move(a));
    }
  } else if (name == "zelmonte") {
    for (std::size_t n : {1u, 10u, 257u, 4000u}) {
      std::vector<Array> a;
      a.push_back(testhost::column(v.many(n)));
      a.push_back(testhost::scalar(0.7));
      add(1, std::move(a));
    }
  } else if (name == "fenwarix" || name == "hobrinth") {
    for (std::size_t n : {1u, 5u, 40u, 200u}) {
      std::vector<Array> a;
      a.push_back(triangular(n, name == "fenwarix", v));
      a.push_back(testhost::column(v.many(n)));
      add(1, std::move(a));
    }
  } else if (name == "kaldor" || name == "vestran" || name == "ostrevin") {
    const int nlhs = name == "ostrevin" ? 3 : 2;
    for (const auto &h : {haar, four}) {
      for (auto mn : std::vector<std::pair<std::size_t, std::size_t>>{{1, 64}, {256, 1}, {32, 16}, {64, 64}}) {
        std::vector<Array> a;
        a.push_back(testhost::dense(mn.first, mn.second, v.many(mn.first * mn.second)));
        a.push_back(testhost::row(h));
        add(nlhs, std::move(a));
        std::vector<Array> b;
        b.push_back(testhost::dense(mn.first, mn.second, v.many(mn.first * mn.second)));
        b.push_back(testhost::row(h));
        b.push_back(testhost::scalar(2));
        add(nlhs, std::move(b));
      }
    }
  } else if (name == "quillomar") {
    // yl, yh in the layout ostrevin writes: yh holds L bands (3L for images).
    for (const auto &h : {haar, four}) {
      for (auto mn : std::vector<std::pair<std::size_t, std::size_t>>{{1, 64}, {128, 1}, {32, 16}}) {
        const std::size_t m = mn.first, n = mn.second;
        const std::size_t bands = (m == 1 || n == 1) ? 2 : 6;
        std::vector<Array> a;
        a.push_back(testhost::dense(m, n, v.many(m * n)));
        a.push_back(testhost::dense(m, n * bands, v.many(m * n * bands)));
        a.push_back(testhost::row(h));
        a.push_back(testhost::scalar(2));
        add(2, std::move(a));
      }
    }
  } else {
    std::fprintf(stderr, "compare_modules: no calls written for module %s\n", name.c_str());
    return {};
  }
  return calls;
}

std::string describe(const testhost::CallResult &r) {
  std::ostringstream s;
  if (r.error) s << "error \"" << r.message << "\"";
  else s << r.outputs.size() << " results";
  return s.str();
}

// The same calls through both builds; returns the number of calls that differ.
int compare(const std::string &name, const testhost::Module &reference,
            const testhost::Module &matlab) {
  const std::vector<Call> calls = calls_for(name);
  if (calls.empty()) return 1;
  int differ = 0;
  for (std::size_t k = 0; k < calls.size(); ++k) {
    std::vector<const mxArray *> handles;
    for (const Array &a : calls[k].second) handles.push_back(a.get());
    const auto want = reference.call(calls[k].first, handles);
    const auto got = matlab.call(calls[k].first, handles);
    bool same = want.error == got.error && want.message == got.message &&
                want.outputs.size() == got.outputs.size() && !got.inputs_changed &&
                !got.slot_overrun && !got.bad_free;
    for (std::size_t j = 0; same && j < want.outputs.size(); ++j) {
      const mxArray *a = want.outputs[j].get(), *b = got.outputs[j].get();
      same = (!a && !b) || (a && b && testhost::identical(a, b));
    }
    if (!same) {
      ++differ;
      std::printf("  call %zu of %s: test host build gives %s, MATLAB build %s\n", k, name.c_str(),
                  describe(want).c_str(), describe(got).c_str());
    }
  }
  return differ;
}

// The version entry point of a MATLAB build: empty when it is as required.
std::string check_version(const std::string &path, bool index32, unsigned release) {
  void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) return dlerror();
  std::string problem;
  if (index32) {
    auto f = reinterpret_cast<const char *(*)()>(dlsym(h, "mexVersion"));
    if (!f) problem = "no mexVersion";
    else if (std::strcmp(f(), "MATLAB R14 native") != 0)
      problem = std::string("mexVersion gives \"") + f() + "\"";
  } else {
    auto f = reinterpret_cast<void (*)(unsigned *, unsigned *)>(
        dlsym(h, "mexfilerequiredapiversion"));
    if (!f) {
      problem = "no mexfilerequiredapiversion";
    } else {
      unsigned built_by = 0, level = 0;
      f(&built_by, &level);
      if (built_by != release || level != 0x07300000u) {
        char text[128];
        std::snprintf(text, sizeof text,
                      "mexfilerequiredapiversion gives %u, 0x%08x; expected %u, 0x07300000",
                      built_by, level, release);
        problem = text;
      }
    }
  }
  dlclose(h);
  return problem;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: compare_modules <table> <matlab dir> <mex extension> <release code>\n");
    return 2;
  }
  const std::string dir = argv[2], ext = argv[3];
  const unsigned release = unsigned(std::stoul(argv[4]));
  std::ifstream table(argv[1]);
  if (!table) {
    std::fprintf(stderr, "compare_modules: cannot read %s\n", argv[1]);
    return 2;
  }
  int failures = 0, builds = 0;
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream words(line);
    std::string name, level;
    if (!(words >> name >> level) || name[0] == '#') continue;
    std::vector<bool> variants;  // index32 or not, per build
    if (level != "index32") variants.push_back(false);
    if (level != "large") variants.push_back(true);
    for (bool index32 : variants) {
      const bool subfolder = index32 && level == "large+index32";
      const std::string path = dir + (subfolder ? "/index32/" : "/") + name + "." + ext;
      ++builds;
      std::string problem = check_version(path, index32, release);
      int differ = 0;
      if (problem.empty()) {
        const testhost::Module reference(testhost::module_path(name, subfolder));
        const testhost::Module matlab(path);
        differ = compare(name, reference, matlab);
        if (differ) problem = std::to_string(differ) + " calls differ";
      }
      std::printf("%s %s%s\n", problem.empty() ? "ok  " : "FAIL", path.c_str(),
                  problem.empty() ? "" : (": " + problem).c_str());
      failures += !problem.empty();
    }
  }
  std::printf("%d of %d MATLAB builds agree with the test host builds\n", builds - failures, builds);
  return failures == 0 && builds > 0 ? 0 : 1;
}
