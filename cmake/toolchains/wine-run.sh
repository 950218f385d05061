#!/bin/sh
# Runs a Windows program under wine, with DLLs also looked up in the given
# folders (as a Windows user has the compiler's runtime on PATH).
# Usage: wine-run.sh <folder>[:<folder>...] <program.exe> [argument...]
dirs=$1
shift
WINEPATH=$(printf '%s' "$dirs" | tr ':' ';')
WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts when wine sets up a fresh prefix.
WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEPATH WINEDEBUG WINEDLLOVERRIDES
# The first program of a wine server starts wine's background services
# (services.exe, winedevice.exe, ...), which inherit its standard streams
# and live as long as the server. Had they our caller's pipe, the caller
# (CMake's test listing, ctest) would wait for its end forever. So the
# program writes to files, which the services may keep open harmlessly,
# and reads nothing.
out=$(mktemp) || exit 1
err=$(mktemp) || { rm -f "$out"; exit 1; }
wine "$@" </dev/null >"$out" 2>"$err"
status=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit "$status"
