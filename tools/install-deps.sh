#!/usr/bin/env bash
# Installs whatever this project needs that a Debian machine is missing.
set -euo pipefail
# The examples' PNG figures need Octave's default font (only a recommendation
# of Octave's, not installed with --no-install-recommends) and Ghostscript,
# through which Octave's print writes PNG.
packages=(cmake g++ make libgtest-dev libbenchmark-dev octave liboctave-dev binutils
          python3-pywt python3-scipy clang-14 libclang-rt-14-dev valgrind
          fonts-freefont-otf ghostscript)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# The examples draw their figures with gnuplot (any of Debian's builds).
command -v gnuplot >/dev/null 2>&1 || missing+=(gnuplot-nox)
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
