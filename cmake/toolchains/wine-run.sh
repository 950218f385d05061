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
exec wine "$@"
