#!/usr/bin/env bash
# Reads each built module's dynamic symbol table: the only symbols it may
# define are mexFunction and its interface-level entry point, in version
# node MEX, and with --octave-soversion also __octave_mex_soversion__ (which
# Octave 11 and later require).
# Usage: check_exports.sh [--octave-soversion] <dir> <suffix> <module>...
set -u
soversion=()
if [ "$1" = "--octave-soversion" ]; then
  soversion=('__octave_mex_soversion__@@MEX')
  shift
fi
dir=$1 suffix=$2
shift 2
status=0
check() {
  local file=$1
  # Defined dynamic symbols, as "name@@version" (undefined ones have UND).
  local defined
  defined=$(readelf --dyn-syms --wide "$file" | awk '$7 != "UND" && $4 != "SECTION" && $4 != "FILE" && NR > 3 {print $8}' | grep -v '^$' | sort)
  local expected
  if grep -q 'mexVersion' <<<"$defined"; then
    expected=$(printf '%s\n' 'MEX' 'mexFunction@@MEX' 'mexVersion@@MEX' ${soversion[@]+"${soversion[@]}"} | sort)
  else
    expected=$(printf '%s\n' 'MEX' 'mexFunction@@MEX' 'mexfilerequiredapiversion@@MEX' ${soversion[@]+"${soversion[@]}"} | sort)
  fi
  if [ "$defined" != "$expected" ]; then
    echo "FAIL $file exports:"; echo "$defined"
    status=1
  else
    echo "ok   $file"
  fi
}
for m in "$@"; do
  check "$dir/$m$suffix"
  [ -f "$dir/index32/$m$suffix" ] && check "$dir/index32/$m$suffix"
done
exit $status
