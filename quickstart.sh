#!/usr/bin/env bash
# Builds the Octave modules with their help files and runs examples/quickstart.m.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/install-deps.sh quickstart
# The test host (GoogleTest suites, benchmarks) is what ./test.sh adds.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DLASSOWAVE_TESTHOST=OFF -DLASSOWAVE_BENCHMARKS=OFF
cmake --build build -j "$(nproc)" --target lassowave_octave_modules
# --no-history: Octave 7 reports an error at exit when it cannot save its
# history (a home without ~/.local/share).
octave-cli --norc --quiet --no-history --eval "addpath(fullfile(pwd, 'build', 'octave')); run('examples/quickstart.m')"
