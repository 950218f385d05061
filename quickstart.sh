#!/usr/bin/env bash
# Builds every module for Octave and runs examples/quickstart.m.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)"
octave-cli --norc --quiet --eval "addpath('build/octave'); run('examples/quickstart.m')"
