#!/usr/bin/env bash
# Checks a built Windows binary as objdump -p describes it.
#
#   check_pe.sh OBJDUMP FILE format DLL|EXE   64-bit PE32+ for x86-64, a DLL or not
#   check_pe.sh OBJDUMP FILE exports DEF      exported names are exactly those of DEF
#   check_pe.sh OBJDUMP FILE imports NAME...  imports only the libraries NAME...
#   check_pe.sh OBJDUMP FILE no-import NAME   imports nothing from the library NAME
#   check_pe.sh OBJDUMP FILE runtime          imports no mingw runtime DLL
#   check_pe.sh OBJDUMP FILE resource TYPE    carries a resource of numeric TYPE
set -uo pipefail

if [[ $# -lt 3 ]]; then
  sed -n '2,10p' "$0" >&2
  exit 2
fi
objdump=$1
file=$2
check=$3
shift 3

[[ -f $file ]] || { echo "FAIL $file: got no file, expected one"; exit 1; }
dump=$("$objdump" -p "$file" 2>&1) || { echo "FAIL objdump -p $file: $dump"; exit 1; }
failed=0
fail() {
  echo "FAIL [$(basename "$file") $check] $*"
  failed=1
}

imports() { sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump"; }

case $check in
  format)
    want=${1-}
    grep -q 'file format pei-x86-64' <<<"$dump" ||
      fail "format: got '$(grep -o 'file format .*' <<<"$dump")', expected 'file format pei-x86-64'"
    grep -Eq '^Magic[[:space:]]+020b[[:space:]]+\(PE32\+\)' <<<"$dump" ||
      fail "optional header: got '$(grep '^Magic' <<<"$dump")', expected Magic 020b (PE32+)"
    # The characteristics are listed one per line, tab-indented, up to the first blank line.
    characteristics=$(sed -n '/^Characteristics/,/^$/p' <<<"$dump")
    is_dll=no
    grep -Eq '^[[:space:]]+DLL$' <<<"$characteristics" && is_dll=yes
    case $want in
      DLL) [[ $is_dll == yes ]] || fail "DLL flag: got none, expected the file to be a DLL" ;;
      EXE) [[ $is_dll == no ]] || fail "DLL flag: got a DLL, expected a program" ;;
      *) echo "check_pe.sh: format needs DLL or EXE" >&2; exit 2 ;;
    esac
    ;;
  exports)
    def=${1-}
    [[ -f $def ]] || { echo "check_pe.sh: no .def file '$def'" >&2; exit 2; }
    # Names under EXPORTS, one per line, without ordinals or attributes.
    declared=$(awk '/^[[:space:]]*EXPORTS/{on=1; next} on && NF {print $1}' "$def" | sort)
    exported=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
      sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort)
    [[ -n $declared ]] || fail "declared exports: got none in $def, expected some"
    if [[ $exported != "$declared" ]]; then
      fail "exports: got [$(tr '\n' ' ' <<<"$exported")], expected [$(tr '\n' ' ' <<<"$declared")]"
    fi
    # Every export by name: an entry reachable by ordinal alone would show
    # more addresses than names.
    addresses=$(sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' <<<"$dump" | grep -c 'Export RVA')
    names=$(grep -c . <<<"$exported")
    [[ $addresses == "$names" ]] ||
      fail "export addresses: got $addresses for $names names, expected one per name"
    ;;
  imports)
    [[ $# -gt 0 ]] || { echo "check_pe.sh: imports needs the allowed names" >&2; exit 2; }
    while read -r name; do
      [[ -z $name ]] && continue
      allowed=no
      for ok in "$@"; do
        [[ ${name,,} == "${ok,,}" ]] && allowed=yes
      done
      [[ $allowed == yes ]] || fail "import: got $name, expected only: $*"
    done < <(imports)
    [[ -n $(imports) ]] || fail "imports: got none, expected some of: $*"
    ;;
  no-import)
    [[ $# -eq 1 ]] || { echo "check_pe.sh: no-import needs one library name" >&2; exit 2; }
    while read -r name; do
      [[ ${name,,} == "${1,,}" ]] && fail "import: got $name, expected none from it"
    done < <(imports)
    [[ -n $(imports) ]] || fail "imports: got none, expected an import table"
    ;;
  runtime)
    while read -r name; do
      case ${name,,} in
        libgcc*|libstdc++*|libwinpthread*|libssp*|libgomp*)
          fail "import: got $name, expected the mingw runtime linked in statically" ;;
      esac
    done < <(imports)
    ;;
  resource)
    type=${1-}
    [[ $type =~ ^[0-9]+$ ]] || { echo "check_pe.sh: resource needs a numeric type" >&2; exit 2; }
    id=$(printf '0x%06x' "$type")
    # Top level of the resource tree: one entry per resource type.
    sed -n '/^The .rsrc Resource Directory section:/,/^$/p' <<<"$dump" |
      grep -Eq "^[0-9a-f]{3}   Entry: ID: $id," ||
      fail "resource: got no entry of type $type at the top of .rsrc, expected one"
    ;;
  *)
    echo "check_pe.sh: unknown check '$check'" >&2
    exit 2
    ;;
esac
[[ $failed == 0 ]] && echo "ok: $(basename "$file") $check $*"
exit $failed
