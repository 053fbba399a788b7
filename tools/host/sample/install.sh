#!/usr/bin/env bash
# Installs the sample printer and its companion into a Wine prefix.
#
#   install.sh [--wine WINE64] PREFIX COMPANION_DLL
#
# The prefix must be up (scripts/wine.sh PREFIX up).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine_sh=$here/../../../scripts/wine.sh
wine_option=()
if [[ ${1-} == --wine ]]; then
  wine_option=(--wine "$2")
  shift 2
fi
[[ $# -eq 2 ]] || { sed -n '2,6p' "$0" >&2; exit 2; }
prefix=$1
companion=$2
[[ -f $companion ]] || { echo "install.sh: no companion at $companion" >&2; exit 1; }
target="$prefix/drive_c/TRAMOLE Sample/driver"
mkdir -p "$target"
cp "$companion" "$target/TRAMOLEU.DLL"
bash "$wine_sh" "${wine_option[@]}" "$prefix" regedit "$here/sample-printer.reg"
