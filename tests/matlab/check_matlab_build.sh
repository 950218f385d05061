#!/usr/bin/env bash
# Checks the modules a MATLAB build path made against a stand-in MATLAB:
#   check_matlab_build.sh <stand-in root> <module dir> <release code> <compare_modules>
# - every module of the table is there and exports exactly mexFunction and
#   its level's entry point, under version node MEX (check_exports.sh);
# - each links MATLAB's libmx and libmex;
# - each calls the array-interface level of its build: the _730 functions
#   and no _700 one in a large-array build, the reverse in a 32-bit build;
# - called through the test host, each gives the test host build's results
#   bit for bit, and its version entry point reports what it must
#   (compare_modules, with <release code> for mexfilerequiredapiversion).
set -u
root=$1 dir=$2 release=$3 compare=$4
ext=$("$root/bin/mexext")
here=$(cd "$(dirname "$0")" && pwd)
table=$here/../../cmake/modules.txt
status=0
bash "$here/../check_exports.sh" matlab "$dir" ".$ext" || status=1

check_links() {
  local file=$1 level=$2
  [ -f "$file" ] || return  # reported by check_exports.sh
  local needed undefined
  needed=$(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  for lib in libmx.so libmex.so; do
    if ! grep -qx "$lib" <<<"$needed"; then
      echo "FAIL $file does not link $lib (needs: $(echo $needed))"; status=1
    fi
  done
  undefined=$(readelf --dyn-syms --wide "$file" | awk '$7 == "UND" {print $8}' | sed 's/@.*//')
  local want=_730 not=_700
  [ "$level" = index32 ] && want=_700 not=_730
  if ! grep -q "^mx.*$want\$" <<<"$undefined"; then
    echo "FAIL $file calls no $want function"; status=1
  fi
  if grep -q "^mx.*$not\$" <<<"$undefined"; then
    echo "FAIL $file calls $(grep "^mx.*$not\$" <<<"$undefined" | tr '\n' ' ')"; status=1
  fi
}
while read -r name level _; do
  case $name in ''|'#'*) continue ;; esac
  case $level in
    large) check_links "$dir/$name.$ext" large ;;
    index32) check_links "$dir/$name.$ext" index32 ;;
    large+index32)
      check_links "$dir/$name.$ext" large
      check_links "$dir/index32/$name.$ext" index32 ;;
  esac
done < "$table"
[ $status = 0 ] && echo "ok   libmx and libmex linked, array-interface levels as built"

# MATLAB finds its libraries in bin/<arch>; so does the loader here.
LD_LIBRARY_PATH="$root/bin/glnxa64${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
  "$compare" "$table" "$dir" "$ext" "$release" || status=1
exit $status
