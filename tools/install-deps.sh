#!/usr/bin/env bash
# Installs whatever this project needs that a Debian machine is missing.
#   install-deps.sh quickstart   the Octave modules and the examples' figures:
#                                compiler, CMake, Octave, gnuplot, fonts
#   install-deps.sh [test]       everything ./test.sh builds and runs
#   install-deps.sh hardening    the test set and the clang of tools/hardening.sh
#   install-deps.sh bench        the test set and the benchmarks' peers
#                                (scikit-image; scikit-learn and glmnet)
#   install-deps.sh platforms    the cross compilers, emulators and clang of
#                                tools/ci-platforms.sh (no Octave)
#   install-deps.sh --clang      prints the clang version the hardening set uses
# Package names differ between Debian releases (Octave's development files
# are liboctave-dev up to Debian 12, octave-dev after; each release offers
# other clang versions), so the names are picked from what the archive offers.
set -euo pipefail
set_name=${1:-test}

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
updated=0
apt_update() {
  [ "$updated" -eq 1 ] && return
  local try
  for try in 1 2 3; do
    $sudo apt-get update -qq && { updated=1; return; }
    echo "apt-get update failed (try $try of 3)" >&2
    sleep $((try * 10))
  done
  return 1
}
# Name picking needs package lists; a fresh root has none.
compgen -G '/var/lib/apt/lists/*_Packages' >/dev/null || apt_update

offered() { [ -n "$(apt-cache madison "$1" 2>/dev/null)" ]; }
first_offered() {
  local p
  for p in "$@"; do
    if offered "$p"; then echo "$p"; return; fi
  done
  echo "none of these packages is offered: $*" >&2
  return 1
}
# The newest clang-N whose sanitizer and libFuzzer runtime libclang-rt-N-dev
# is offered too.
clang_version() {
  local n
  for n in $(apt-cache pkgnames clang- | sed -n 's/^clang-\([0-9][0-9]*\)$/\1/p' | sort -rn); do
    if offered "clang-$n" && offered "libclang-rt-$n-dev"; then echo "$n"; return; fi
  done
  echo "no clang-N with libclang-rt-N-dev is offered" >&2
  return 1
}

if [ "$set_name" = "--clang" ]; then
  clang_version
  exit
fi

packages=(cmake g++ make)
if [ "$set_name" != platforms ]; then
  packages+=(octave "$(first_offered octave-dev liboctave-dev)")
  # The examples, which the README runs right after the quick start, draw
  # their figures with gnuplot (any of Debian's builds) and need Octave's
  # default font (only a recommendation of Octave's) and Ghostscript,
  # through which Octave's print writes PNG.
  packages+=(fonts-freefont-otf ghostscript)
  # An optimized BLAS, which Debian's octave recommends: without it Octave's
  # dense products and factorizations (the solvers of toolbox/) run on the
  # reference BLAS, 10 to 40 times slower.
  packages+=("$(first_offered libopenblas0 libopenblas0-pthread)")
  command -v gnuplot >/dev/null 2>&1 || packages+=(gnuplot-nox)
fi
case "$set_name" in
  quickstart) ;;
  test|hardening|bench)
    # The tests read symbol tables with readelf (binutils) and compare with
    # PyWavelets and SciPy; the wavelet filter table is regenerated with mpmath.
    packages+=(libgtest-dev libbenchmark-dev binutils python3-pywt python3-scipy python3-mpmath)
    if [ "$set_name" = bench ]; then
      packages+=(python3-skimage python3-sklearn r-cran-glmnet)
    fi
    if [ "$set_name" = hardening ]; then
      n=$(clang_version)
      packages+=("clang-$n" "libclang-rt-$n-dev")
    fi
    ;;
  platforms)
    packages+=(clang-14 libgtest-dev googletest binutils g++-aarch64-linux-gnu
               g++-arm-linux-gnueabihf g++-i686-linux-gnu qemu-user g++-mingw-w64-x86-64-posix
               binutils-mingw-w64-x86-64 wine wine64) ;;
  *) echo "usage: $0 [quickstart|test|hardening|bench|platforms|--clang]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
apt_update
for try in 1 2 3; do
  if DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
       -o DPkg::Lock::Timeout=900 "${missing[@]}"; then
    exit 0
  fi
  echo "apt-get install failed (try $try of 3)" >&2
  sleep $((try * 10))
  updated=0
  apt_update || true
done
exit 1
