#!/usr/bin/env bash
# Runs every speed target of lassowave and prints one table of ratios:
#
#   bash bench/run_targets.sh [builddir]      (default: build)
#
# Builds what it needs in <builddir> (configuring it in Release if it has no
# cache yet), runs the Google Benchmark programs through the test host, the
# Octave scripts in octave-cli and the peers (PyWavelets, scikit-image,
# scikit-learn, glmnet), keeps their raw output in <builddir>/bench/targets/,
# and writes the table to bench/RESULTS.md (bench/targets_table.py computes
# it). Takes about an hour on two cores: some ten minutes for all but the
# lasso, the rest the lasso benchmark, most of it the peers at tight
# tolerances.
#
# Environment: JOBS (build jobs, default 2), PYTHON (the interpreter that has
# Debian's python3-pywt, default /usr/bin/python3), OCTAVE (default
# octave-cli), STEP_TIMEOUT (seconds one program may run before it is
# stopped, default 900; twice that for the lasso benchmark in Octave),
# LASSO_PEER_BUDGET (seconds of one peer run after which the lasso peers
# skip a case's tighter tolerances, default 120). Exit status: 0 when every
# program ran, 1 otherwise (the table then says n/a where a figure is
# missing); targets that are not met do not change it.
set -uo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$PWD/$build ;; esac
jobs=${JOBS:-2}
python=${PYTHON:-/usr/bin/python3}
octave=${OCTAVE:-octave-cli}
limit=(timeout -k 10 "${STEP_TIMEOUT:-900}")
out=$build/bench/targets
failed=0

step() { printf '\n== %s\n' "$*" >&2; }
note_failure() {
  echo "run_targets: $1 failed (exit $2)" >&2
  failed=1
}

if [[ ! -f $build/CMakeCache.txt ]]; then
  step "configuring $build (Release)"
  cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release >&2 || exit 1
fi
step "building the benchmarks and modules in $build"
cmake --build "$build" -j "$jobs" --target bench_targets bench_triangular bench_penalty lassowave_octave_modules bench_trivial_mex bench_floor_mex >&2 || exit 1

rm -rf "$out"
mkdir -p "$out"
# OpenBLAS 0.3.21 takes some virtual processors for a "Prescott" and runs its
# slowest kernels on them; there, name the core the flags show, as the
# processor itself would be named. Octave, R and NumPy all read it.
"$octave" --norc --quiet --eval 'disp(version("-blas"))' > "$out/blas.txt" 2> /dev/null
if [[ -z ${OPENBLAS_CORETYPE:-} ]] && grep -q Prescott "$out/blas.txt"; then
  flags=$(grep -m1 '^flags' /proc/cpuinfo)
  if grep -qw avx512f <<< "$flags"; then
    export OPENBLAS_CORETYPE=SkylakeX
  elif grep -qw avx2 <<< "$flags"; then
    export OPENBLAS_CORETYPE=Haswell
  fi
  if [[ -n ${OPENBLAS_CORETYPE:-} ]]; then
    echo "run_targets: OpenBLAS took this processor for a Prescott; OPENBLAS_CORETYPE=$OPENBLAS_CORETYPE" >&2
    "$octave" --norc --quiet --eval 'disp(version("-blas"))' > "$out/blas.txt" 2> /dev/null
  fi
fi
uptime > "$out/load_before.txt"

# Google Benchmark programs: JSON into $out.
gbench() {  # name, then extra arguments
  local name=$1
  shift
  step "$name $*"
  "${limit[@]}" "$build/bench/$name" --benchmark_out="$out/$name.json" --benchmark_out_format=json "$@" >&2 ||
    note_failure "$name" $?
}

# Octave scripts: their RESULT lines into $out/<script>.txt. A script stopped
# at its time limit would otherwise dump its workspace (over 100 MB for some)
# into bench/, where run() executes it.
octave_run() {  # script, then statements run before it
  local script=$1 pre=${2:-}
  step "octave $script"
  "${limit[@]}" "$octave" --norc --quiet --eval \
    "crash_dumps_octave_core(false); addpath('$build/octave', '$build/bench/octave'); $pre run('$src/bench/$script.m')" \
    > "$out/$script.txt" 2> "$out/$script.err"
  local rc=$?
  grep -v 'execution_exception' "$out/$script.err" >&2
  ((rc == 0)) || note_failure "$script" $rc
  cat "$out/$script.txt" >&2
}

step "PyWavelets peer ($python)"
if "$python" -c 'import pywt' 2> /dev/null; then
  "${limit[@]}" "$python" "$src/bench/peer_pywt.py" 7 > "$out/peer_pywt.json" ||
    note_failure peer_pywt.py $?
else
  echo "run_targets: $python has no pywt (apt-get install python3-pywt)" >&2
  failed=1
fi

gbench bench_targets
octave_run octave_wavelet_bench "repeats = 7;"
# The factor is computed once in Octave and written for bench_triangular.
octave_run octave_triangular_bench "repeats = 5; factor_file = '$out/laplacian700.factor';"
LASSOWAVE_TRIANGULAR_FACTOR=$out/laplacian700.factor gbench bench_triangular \
  --benchmark_filter='^(one_pass_64|fenwarix_kernel_64|host_call/.*)/-1$' --benchmark_repetitions=3
rm -f "$out/laplacian700.factor"
octave_run octave_zelmonte_bench "repeats = 5;"
octave_run octave_fused_lasso_bench

# Lasso: the problems are written once; ours and the two peers read them.
# Each peer runs one case per process, so a stopped run loses that case only.
# One thread each, ours included.
step "lasso data ($python)"
lasso=$out/lasso
one_thread=(env OMP_NUM_THREADS=1 OPENBLAS_NUM_THREADS=1)
if "$python" -c 'import sklearn' 2> /dev/null; then
  if "${limit[@]}" "$python" "$src/bench/lasso_data.py" "$lasso" >&2; then
    # 5 cases, 7 tolerances, 3 calls each: longer than one step's limit on a busy machine.
    step_limit=("${limit[@]}")
    limit=(timeout -k 10 $((2 * ${STEP_TIMEOUT:-900})))
    OMP_NUM_THREADS=1 OPENBLAS_NUM_THREADS=1 octave_run octave_lasso_bench "data_dir = '$lasso';"
    limit=("${step_limit[@]}")
    for dir in "$lasso"/*/; do
      name=$(basename "$dir")
      step "scikit-learn Lasso peer: $name"
      "${limit[@]}" "${one_thread[@]}" "$python" "$src/bench/peer_sklearn_lasso.py" "$lasso" 3 "$name" \
        >> "$out/peer_sklearn_lasso.txt" || note_failure "peer_sklearn_lasso.py $name" $?
    done
    if Rscript -e 'library(glmnet)' > /dev/null 2>&1; then
      for dir in "$lasso"/*/; do
        name=$(basename "$dir")
        step "glmnet peer: $name"
        "${limit[@]}" "${one_thread[@]}" Rscript "$src/bench/peer_glmnet_lasso.R" "$lasso" 3 "$name" \
          >> "$out/peer_glmnet_lasso.txt" || note_failure "peer_glmnet_lasso.R $name" $?
      done
    else
      echo "run_targets: no Rscript with glmnet (tools/install-deps.sh bench)" >&2
      failed=1
    fi
    cat "$out"/peer_*_lasso.txt >&2
  else
    note_failure lasso_data.py $?
  fi
  rm -rf "$lasso"
else
  echo "run_targets: $python has no sklearn (tools/install-deps.sh bench)" >&2
  failed=1
fi
step "scikit-image peer ($python): denoising data and timings"
if "$python" -c 'import skimage' 2> /dev/null; then
  "${limit[@]}" "$python" "$src/bench/peer_skimage_denoise.py" "$out/denoise" 7 > "$out/peer_skimage_denoise.txt" ||
    note_failure peer_skimage_denoise.py $?
  octave_run octave_denoise_bench "repeats = 7; data_dir = '$out/denoise';"
else
  echo "run_targets: $python has no skimage (tools/install-deps.sh bench)" >&2
  failed=1
fi
gbench bench_penalty --benchmark_repetitions=3
octave_run octave_scalar_bench

uptime > "$out/load_after.txt"
step "table"
"$python" "$src/bench/targets_table.py" "$out" "$src/bench/RESULTS.md" --build "$build" ||
  note_failure targets_table.py $?
exit $failed
