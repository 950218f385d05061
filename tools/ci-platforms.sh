#!/usr/bin/env bash
# Builds the test host, every module and the GoogleTest suites for the other
# platforms and runs every suite there:
#   aarch64 Linux, cross GCC (cross clang on request), under qemu-aarch64
#   (qemu-user);
#   the 32-bit Linux platforms, with 32-bit sizes and sparse indices at
#   every interface level: armhf (32-bit Arm) under qemu-arm and i386
#   (32-bit x86, SSE2 arithmetic) under qemu-i386, each with cross GCC;
#   Windows x86-64, MinGW-w64 GCC, under wine;
#   x86-64 Linux with clang;
#   x86-64 Linux with GCC and the portable wavelet kernels forced
#   (LASSOWAVE_PLAIN_KERNELS=ON);
#   and, compiled only, the module sources as MSVC sees them (msvc-view).
# Test-host builds only (no Octave modules, no benchmarks). Installs what it
# needs with apt-get.
#   PLATFORMS_DIR   where the builds go (default: build-platforms/)
#   PLATFORMS_JOBS  parallel jobs (default: nproc)
#   PLATFORMS_ONLY  a space-separated subset of: aarch64-gcc aarch64-clang
#                   armhf i386 mingw clang plain msvc-view (default: all but
#                   aarch64-clang, which repeats aarch64-gcc's suites on the
#                   same processor; clang is covered on x86-64)
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
work=${PLATFORMS_DIR:-$src/build-platforms}
jobs=${PLATFORMS_JOBS:-$(nproc)}
only=${PLATFORMS_ONLY:-aarch64-gcc armhf i386 mingw clang plain msvc-view}
toolchains=$src/cmake/toolchains
start=$(date +%s)

stamp() { echo "== [$(( $(date +%s) - start ))s] $*"; }

# ---------------------------------------------------------------- packages
# Packages that cannot be had after install-deps.sh's retries fail the run:
# a platform not tested is not a pass.
bash "$src/tools/install-deps.sh" platforms ||
  { echo "== platforms: FAILED, the packages could not be installed" >&2; exit 1; }

mkdir -p "$work"
results=()
summary() {
  echo
  echo "== platforms summary ($(( $(date +%s) - start ))s in all)"
  for line in "${results[@]}"; do echo "   $line"; done
}

# GoogleTest from Debian's sources, built by a cross toolchain.
gtest_for() {
  local toolchain=$1 prefix=$2
  [ -f "$prefix/lib/cmake/GTest/GTestConfig.cmake" ] && return
  cmake -S /usr/src/googletest -B "$prefix-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON \
    -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
  cmake --build "$prefix-build" -j "$jobs" >/dev/null
  cmake --install "$prefix-build" >/dev/null
}

# build <name> <cmake arguments...>: configures, builds and runs every suite.
build() {
  local name=$1
  shift
  local dir=$work/$name t0
  t0=$(date +%s)
  stamp "$name: configure and build"
  cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DLASSOWAVE_OCTAVE=OFF \
    -DLASSOWAVE_BENCHMARKS=OFF "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; exit 1; }
  cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1 || { cat "$dir.build.log"; exit 1; }
  local warnings
  warnings=$(grep -c 'warning:' "$dir.build.log" || true)
  if [ "$warnings" -gt 0 ]; then
    echo "$name: $warnings compiler warnings:"
    grep -A3 'warning:' "$dir.build.log" | head -40
  fi
  stamp "$name: run the suites"
  local status=0
  # Under an emulator a test program that fails to start is tried once more
  # (a result that differs fails both times).
  local repeat=()
  [ "$name" = clang ] || [ "$name" = plain ] || repeat=(--repeat until-pass:2)
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 900 "${repeat[@]}" \
    >"$dir.test.log" 2>&1 || status=$?
  if [ "$status" -eq 0 ]; then
    grep -E 'tests passed|tests failed' "$dir.test.log"
  else
    # The failures' own output, then ctest's closing lines.
    grep -B2 -A30 -E '\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception| Failed ' "$dir.test.log" | head -200
    tail -n 25 "$dir.test.log"
  fi
  results+=("$name: $( [ "$status" -eq 0 ] && echo passed || echo FAILED ), $warnings warnings, $(( $(date +%s) - t0 ))s")
  if [ "$status" -ne 0 ]; then
    summary
    exit 1
  fi
}

wants() { [[ " $only " == *" $1 "* ]]; }

if wants aarch64-gcc || wants aarch64-clang; then
  stamp "GoogleTest for aarch64"
  gtest_for "$toolchains/aarch64-linux-gnu-gcc.cmake" "$work/gtest-aarch64"
fi
if wants aarch64-gcc; then
  build aarch64-gcc -DCMAKE_TOOLCHAIN_FILE="$toolchains/aarch64-linux-gnu-gcc.cmake" \
    -DGTest_DIR="$work/gtest-aarch64/lib/cmake/GTest"
fi
if wants aarch64-clang; then
  build aarch64-clang -DCMAKE_TOOLCHAIN_FILE="$toolchains/aarch64-linux-gnu-clang.cmake" \
    -DGTest_DIR="$work/gtest-aarch64/lib/cmake/GTest"
fi

# cross <name> <toolchain>: GoogleTest for the target, then every suite.
cross() {
  local toolchain=$toolchains/$2.cmake
  stamp "GoogleTest for $1"
  gtest_for "$toolchain" "$work/gtest-$1"
  build "$1" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DGTest_DIR="$work/gtest-$1/lib/cmake/GTest"
}
if wants armhf; then
  cross armhf arm-linux-gnueabihf-gcc
fi
if wants i386; then
  cross i386 i686-linux-gnu-gcc
fi

if wants mingw; then
  # A wine prefix of our own, and one wine server kept running for the whole
  # build and test run (test discovery and every test start a program).
  export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export HOME=${HOME:-$work}
  stamp "wine prefix"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  wineserver -p </dev/null >/dev/null 2>&1
  trap 'WINEPREFIX=$work/wine wineserver -k >/dev/null 2>&1 || true' EXIT
  stamp "GoogleTest for MinGW-w64"
  gtest_for "$toolchains/x86_64-w64-mingw32.cmake" "$work/gtest-mingw"
  build mingw -DCMAKE_TOOLCHAIN_FILE="$toolchains/x86_64-w64-mingw32.cmake" \
    -DGTest_DIR="$work/gtest-mingw/lib/cmake/GTest"
  wineserver -k >/dev/null 2>&1 || true
  trap - EXIT
fi

if wants clang; then
  build clang -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
fi

if wants plain; then
  build plain -DLASSOWAVE_PLAIN_KERNELS=ON
fi

# MSVC cannot run here. What it would compile is checked with clang in
# MSVC mode, _MSC_VER set and neither __GNUC__ nor __clang__ (as with MSVC),
# MinGW-w64's libstdc++ headers standing in for MSVC's library: every module
# source, preprocessed, has no GNU extension left in the project's own
# lines, and the wavelet kernels (where the GNU vector code lives) take
# their plain path and compile without a warning. The other sources are
# only preprocessed. MinGW-w64's C headers put __declspec after the
# declarator (nothrow, noreturn, deprecated), which clang in MSVC mode
# refuses: the prelude blanks those three marks and declares abort and exit
# noreturn as MSVC's own headers do.
msvc_view() {
  local t0 gcc_dir file gnu status=0 prelude
  t0=$(date +%s)
  prelude=$(mktemp --suffix=.h)
  cat > "$prelude" <<'PRELUDE'
#include <_mingw.h>
#undef __MINGW_NOTHROW
#define __MINGW_NOTHROW
#undef __MINGW_ATTRIB_NORETURN
#define __MINGW_ATTRIB_NORETURN
#undef __MINGW_ATTRIB_DEPRECATED
#define __MINGW_ATTRIB_DEPRECATED
extern "C" __declspec(noreturn) void __cdecl abort(void);
extern "C" __declspec(noreturn) void __cdecl exit(int);
PRELUDE
  stamp "msvc-view: the module sources as MSVC sees them"
  gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
  local flags=(--target=x86_64-pc-windows-msvc -fms-compatibility -std=c++17
    -U__clang__ -Wno-builtin-macro-redefined
    -nostdinc++ -nostdlibinc -isystem "$gcc_dir/include/c++"
    -isystem "$gcc_dir/include/c++/x86_64-w64-mingw32" -isystem "$gcc_dir/include"
    -isystem /usr/x86_64-w64-mingw32/include -Wno-#warnings
    -Ihost -Ihost/testhost/include)
  for file in penalty/*.cpp fusedlasso/*.cpp triangular/*.cpp wavelet/*.cpp; do
    # Line markers name the project's files by relative path, the
    # system's by absolute path: keep the lines of the project's files.
    gnu=$(clang++-14 "${flags[@]}" -E "$file" |
          awk '/^# [0-9]+ "/ { f = $3; next } f !~ /^"\// { print }' |
          grep -E '__attribute__|__builtin|__extension__|__typeof|__restrict|__asm|vector_size|#pragma (GCC|clang)' || true)
    if [ -n "$gnu" ]; then
      echo "msvc-view: $file keeps GNU extensions:"; echo "$gnu" | head -5; status=1
    fi
  done
  for file in wavelet/*_kernel.cpp; do
    clang++-14 "${flags[@]}" -include "$prelude" -fsyntax-only -Wall -Wextra -Werror "$file" || status=1
  done
  rm -f "$prelude"
  results+=("msvc-view: $( [ "$status" -eq 0 ] && echo passed || echo FAILED ), $(( $(date +%s) - t0 ))s")
  if [ "$status" -ne 0 ]; then
    summary
    exit 1
  fi
}
if wants msvc-view; then
  msvc_view
fi

summary
