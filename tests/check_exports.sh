#!/usr/bin/env bash
# Reads each built module's dynamic symbol table: the only symbols it may
# define are mexFunction and its interface-level entry point, in version
# node MEX: mexfilerequiredapiversion for a large-array build, mexVersion for
# a 32-bit build (the index32 modules and the index32/ variants). Octave has
# one array interface: each of its modules is a large-array build. With
# --octave-soversion, also __octave_mex_soversion__ (which Octave 11 and
# later require).
#   Usage: check_exports.sh [--octave-soversion] <testhost|octave|matlab> <dir> <suffix>
# Every module of cmake/modules.txt must be there. A Windows DLL (PE) has no
# symbol versions: its export table must name exactly mexFunction and the
# entry point (objdump -p; $OBJDUMP if set).
set -u
soversion=()
if [ "$1" = "--octave-soversion" ]; then
  soversion=('__octave_mex_soversion__@@MEX')
  shift
fi
host=$1 dir=$2 suffix=$3
table=$(dirname "$0")/../cmake/modules.txt
status=0
# The names in a PE file's export table, sorted (objdump -p lists them as
# "[   0] name" under "[Ordinal/Name Pointer] Table").
pe_exports() {
  "${OBJDUMP:-objdump}" -p "$1" | awk '/^\[Ordinal\/Name Pointer\] Table/ {on = 1; next}
    on && /^[[:space:]]*$/ {on = 0} on && /\[ *[0-9]+\]/ {print $NF}' | sort
}
check() {
  local file=$1 entry=$2
  if [ ! -f "$file" ]; then
    echo "FAIL $file is missing"; status=1; return
  fi
  if [ "$(head -c 2 "$file")" = "MZ" ]; then
    local exported
    exported=$(pe_exports "$file")
    if [ "$exported" != "$(printf '%s\n' mexFunction "$entry" | sort)" ]; then
      echo "FAIL $file exports (expected mexFunction and $entry):"; echo "$exported"
      status=1
    else
      echo "ok   $file"
    fi
    return
  fi
  # Defined dynamic symbols, as "name@@version" (undefined ones have UND).
  local defined
  defined=$(readelf --dyn-syms --wide "$file" | awk '$7 != "UND" && $4 != "SECTION" && $4 != "FILE" && NR > 3 {print $8}' | grep -v '^$' | sort)
  local expected
  expected=$(printf '%s\n' 'MEX' 'mexFunction@@MEX' "$entry@@MEX" ${soversion[@]+"${soversion[@]}"} | sort)
  if [ "$defined" != "$expected" ]; then
    echo "FAIL $file exports (expected mexFunction and $entry):"; echo "$defined"
    status=1
  else
    echo "ok   $file"
  fi
}
while read -r name level _; do
  case $name in ''|'#'*) continue ;; esac
  large=mexfilerequiredapiversion
  small=mexVersion
  [ "$host" = octave ] && small=$large
  case $level in
    large) check "$dir/$name$suffix" $large ;;
    index32) check "$dir/$name$suffix" $small ;;
    large+index32)
      check "$dir/$name$suffix" $large
      [ "$host" = octave ] || check "$dir/index32/$name$suffix" $small ;;
    *) echo "FAIL $table: unknown level $level of $name"; status=1 ;;
  esac
done < "$table"
exit $status
