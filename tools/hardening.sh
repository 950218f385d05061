#!/usr/bin/env bash
# Hardening runs: the GoogleTest suites under AddressSanitizer and
# UndefinedBehaviorSanitizer (leaks reported by LeakSanitizer), then every
# libFuzzer target for a bounded time, starting from the committed corpora.
#   FUZZ_SECONDS   seconds per fuzz target (default 20)
#   HARDENING_JOBS parallel build jobs (default: nproc)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
jobs=${HARDENING_JOBS:-$(nproc)}
bash tools/install-deps.sh hardening
clang=$(bash tools/install-deps.sh --clang)

echo "== sanitizer build (gcc, ASan + UBSan) =="
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLASSOWAVE_SANITIZE=ON \
  -DLASSOWAVE_OCTAVE=OFF -DLASSOWAVE_BENCHMARKS=OFF > /dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== Octave suites with AddressSanitizer-instrumented modules =="
cmake -S . -B build-octave-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLASSOWAVE_TESTHOST=OFF \
  -DLASSOWAVE_OCTAVE_ASAN=ON -DLASSOWAVE_BENCHMARKS=OFF > /dev/null
cmake --build build-octave-asan -j "$jobs" --target lassowave_octave_modules
# Octave's own allocations are not ours to judge: leaks off, invalid
# accesses in module code abort the run.
LD_PRELOAD=$(gcc -print-file-name=libasan.so) ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
  ctest --test-dir build-octave-asan --output-on-failure -j "$jobs" -R '^octave\.test_'

echo "== fuzz build (clang-$clang, libFuzzer + ASan + UBSan) =="
CC=clang-$clang CXX=clang++-$clang cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLASSOWAVE_FUZZ=ON -DLASSOWAVE_OCTAVE=OFF -DLASSOWAVE_BENCHMARKS=OFF > /dev/null
cmake --build build-fuzz -j "$jobs" --target lassowave_fuzzers

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
passed=0
for target in build-fuzz/fuzz/fuzz_*; do
  name=$(basename "$target")
  corpus="$work/$name"
  mkdir -p "$corpus"
  seeds="tests/fuzz/corpus/${name#fuzz_}"
  [ -d "$seeds" ] && cp "$seeds"/* "$corpus"/ 2>/dev/null || true
  if "$target" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=10 \
       -artifact_prefix="$work/$name-" "$corpus" > "$work/$name.log" 2>&1; then
    runs=$(grep -o 'Done [0-9]* runs' "$work/$name.log" | tail -1)
    echo "ok   $name: $runs in ${seconds} s"
    passed=$((passed + 1))
  else
    echo "FAIL $name"; tail -40 "$work/$name.log"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
