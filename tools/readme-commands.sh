#!/usr/bin/env bash
# Runs the Octave commands README.md shows, exactly as written, from the top
# folder, in two groups by what they need:
#   readme-commands.sh modules   after ./quickstart.sh (build/octave/ and the
#                                quick start's packages): each indented
#                                `octave-cli` line that loads no package, the
#                                example line once for every example script in
#                                examples/ (each must write its figure), and
#                                the `>>` lines of an Octave session as one
#                                session
#   readme-commands.sh package   after ./test.sh, whose full build makes the
#                                Octave package: the `octave-cli` lines with
#                                `pkg`; the package they install is uninstalled
#                                again unless it was installed before
#   readme-commands.sh           both
# Then checks that they left no tracked file changed and nothing new that git
# does not ignore. They run with a scratch HOME (with the ~/.local/share that
# Octave 7 needs to save its history quietly).
set -euo pipefail
cd "$(dirname "$0")/.."
group=${1:-all}
case "$group" in
  modules|package|all) ;;
  *) echo "usage: $0 [modules|package]" >&2; exit 2 ;;
esac
home=$(mktemp -d)
mkdir -p "$home/.local/share"
installed=1
if [ "$group" != modules ]; then
  installed=$(HOME=$home octave-cli --norc --quiet --eval "disp(numel(pkg('list', 'lassowave')))")
fi
cleanup() {
  [ "$installed" != 0 ] || HOME=$home octave-cli --norc --quiet --eval "pkg uninstall lassowave" || true
  rm -rf "$home"
}
trap cleanup EXIT
failed=0
passed=0

run() {
  local command=$1
  echo "\$ $command"
  if HOME=$home bash -c "$command" > "$home/log" 2>&1 && ! grep -q '^\(warning\|error\):\|^FAIL\| FAIL *[1-9]' "$home/log"; then
    passed=$((passed + 1))
  else
    sed 's/^/    /' "$home/log"
    echo "FAIL: the command failed or printed a warning"
    failed=$((failed + 1))
  fi
}

mapfile -t lines < <(sed -n 's/^    \(octave-cli .*\)$/\1/p' README.md)
mapfile -t session < <(sed -n 's/^    >> \(.*\)$/\1/p' README.md)
example_line=$(printf '%s\n' "${lines[@]}" | grep "run('examples/" | head -1)
[ -n "$example_line" ] && [ ${#session[@]} -gt 0 ] || { echo "FAIL: README shows no example or session lines"; exit 1; }
example=$(sed -n "s|.*run('examples/\([a-z_]*\)\.m').*|\1|p" <<<"$example_line")

for line in "${lines[@]}"; do
  [ "$line" != "$example_line" ] || continue
  if [[ "$line" == *"pkg "* ]]; then
    [ "$group" = modules ] || run "$line"
  else
    [ "$group" = package ] || run "$line"
  fi
done
if [ "$group" != package ]; then
  for script in examples/*.m; do
    name=$(basename "$script" .m)
    # The quick start is ./quickstart.sh's; a function file is a helper the
    # examples call (example_figure.m).
    if [ "$name" = quickstart ] || head -n 1 "$script" | grep -q '^function'; then continue; fi
    run "${example_line//$example/$name}"
    if [ ! -s "examples/$name.png" ]; then
      echo "FAIL: examples/$name.m wrote no examples/$name.png"
      failed=$((failed + 1))
    fi
  done
  joined=$(printf '%s; ' "${session[@]}")
  run "octave-cli --eval \"${joined//\"/\\\"} help zelmonte\""
fi

if git rev-parse --git-dir >/dev/null 2>&1; then
  litter=$(git status --porcelain)
  if [ -n "$litter" ]; then
    echo "FAIL: the commands left changes or files git does not ignore:"
    echo "$litter"
    failed=$((failed + 1))
  else
    echo "ok: the commands left the work tree as it was"
  fi
fi
echo "README commands: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
