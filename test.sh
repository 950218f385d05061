#!/usr/bin/env bash
# Builds everything and runs every test (GoogleTest and Octave suites) through ctest.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/install-deps.sh test
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DLASSOWAVE_TESTHOST=ON -DLASSOWAVE_BENCHMARKS=ON
cmake --build build -j "$(nproc)"
ctest --test-dir build --output-on-failure -j "$(nproc)"
