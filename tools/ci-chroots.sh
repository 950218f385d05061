#!/usr/bin/env bash
# The README's commands on other Debian releases: in a fresh minimal root of
# each suite (Debian 13 "trixie" with Octave 9, Debian unstable "sid" with
# the newest Octave), runs ./quickstart.sh, the README's commands that need
# only that (tools/readme-commands.sh modules) and ./test.sh on a copy of this
# work tree, then checks that the modules built there return the same bits
# as the modules built here (tests/package/result_digest.m on both).
# Needs a build here first (./quickstart.sh or ./test.sh).
#   CHROOT_SUITES  the suites, SUITE or SUITE:ARCH (default "trixie sid";
#                  "bookworm:i386" is Debian 12 for 32-bit x86: SSE2
#                  arithmetic, 32-bit sizes and sparse indices)
# The roots live in a folder of this run's own under /var/tmp, removed at
# the end; tools/debian-root.sh makes them (keeping a base-system tarball
# between runs) and undoes every mount it makes.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/debian-root.sh
suites=${CHROOT_SUITES:-trixie sid}
[ -d build/octave ] || { echo "FAIL: no build/octave here; run ./quickstart.sh first"; exit 1; }
command -v debootstrap >/dev/null || root_retry apt-get install -y -qq debootstrap

work=$(mktemp -d /var/tmp/lassowave-chroots.XXXXXX)
cleanup() {
  local kept=0 dir
  for dir in "$work"/*/; do
    [ -d "$dir" ] && { root_remove "$dir" || kept=1; }
  done
  if [ "$kept" -eq 0 ]; then
    rm -rf --one-file-system "$work"
  else
    echo "ci-chroots: left $work in place: something is still mounted under it" >&2
  fi
  root_exec_release
}
trap cleanup EXIT

digest() {
  # $1: command prefix to run octave-cli (empty here, root_run DIR there),
  # $2: the work tree as seen by that octave.
  # --no-history: Octave 7 reports an error at exit when it cannot save its
  # history (a home without ~/.local/share), which would differ between roots.
  $1 octave-cli --norc --quiet --no-history --no-window-system \
    --eval "addpath('$2/tests/package'); result_digest('$2/build/octave')"
}
if ! digest "" "$PWD" > "$work/digest-here.txt" 2>&1; then
  echo "FAIL: the modules built here do not run:"; cat "$work/digest-here.txt"; exit 1
fi

elapsed() { local s=$(( $(date +%s) - $1 )); printf '%dm%02ds' $((s / 60)) $((s % 60)); }

# One suite, start to end; prints its progress, returns non-zero on failure.
run_suite() {
  local suite=$1 start step version
  local root="$work/$suite" log="$work/$suite.log"
  start=$(date +%s)
  if ! root_make "$suite" "$root" > "$log" 2>&1; then
    echo "FAIL $suite: no root could be made"; tail -30 "$log"; return 1
  fi
  echo "   $suite: root ready ($(elapsed "$start"))"
  # The tracked files as they are in this work tree.
  mkdir -p "$root/root/lassowave"
  git ls-files -z | tar --null -T - -cf - | tar -C "$root/root/lassowave" -xf -
  step=$(date +%s)
  if ! root_run "$root" bash -c 'cd /root/lassowave && ./quickstart.sh' >> "$log" 2>&1; then
    echo "FAIL $suite: ./quickstart.sh; its output ends:"; tail -60 "$log"; return 1
  fi
  version=$(root_run "$root" octave-cli --version 2>&1 | head -1 || true)
  echo "   $suite: ./quickstart.sh passed ($(elapsed "$step")), $version"
  # Then, as the README goes on, its commands that need nothing more: the
  # examples must draw their figures with what the quick start installed.
  step=$(date +%s)
  if ! root_run "$root" bash -c 'cd /root/lassowave && bash tools/readme-commands.sh modules' >> "$log" 2>&1; then
    echo "FAIL $suite: the README's commands after ./quickstart.sh; their output ends:"; tail -60 "$log"; return 1
  fi
  echo "   $suite: the README's commands after ./quickstart.sh passed ($(elapsed "$step"))"
  step=$(date +%s)
  if ! root_run "$root" bash -c 'cd /root/lassowave && ./test.sh' >> "$log" 2>&1; then
    echo "FAIL $suite: ./test.sh; its failures and the end of its output:"
    grep -E '\*\*\*Failed|Not Run|\(Failed\)|error:' "$log" | tail -40
    tail -30 "$log"
    return 1
  fi
  root_keep_debs "$suite" "$root"
  echo "   $suite: ./test.sh passed ($(elapsed "$step")): $(grep -E 'tests passed' "$log" | tail -1)"
  if ! digest "root_run $root" /root/lassowave > "$work/digest-$suite.txt" 2>&1 ||
     ! diff -u "$work/digest-here.txt" "$work/digest-$suite.txt" > "$work/digest-$suite.diff"; then
    echo "FAIL $suite: the modules built there return other bits than here:"
    cat "$work/digest-$suite.diff" "$work/digest-$suite.txt" | head -80
    return 1
  fi
  echo "   $suite: same bits as here in all $(wc -l < "$work/digest-here.txt") result digests"
  echo "ok   $suite ($(elapsed "$start"))"
}

# The suites run side by side: one downloads and unpacks while another
# compiles. Each one's report is printed whole when it ends.
pids=()
for suite in $suites; do
  run_suite "$suite" > "$work/$suite.report" 2>&1 &
  pids+=($!)
done
passed=0
failed=0
i=0
for suite in $suites; do
  if wait "${pids[$i]}"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  echo "== $suite =="
  cat "$work/$suite.report"
  root_remove "$work/$suite" || true
  i=$((i + 1))
done
echo "chroots: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
