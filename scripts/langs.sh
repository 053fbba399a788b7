#!/usr/bin/env bash
# Builds DIR/lang/LANGUAGE/TRAMOLED.QDF from each translation data/LANGUAGE.po,
# in the ANSI code page its X-Codepage header names.
#
#   scripts/langs.sh [--windows-paths] DIR QDF [ARGS...]
#
# QDF [ARGS...] runs qdf (for qdf.exe under Wine: "wine.sh PREFIX run qdf.exe");
# --windows-paths hands it files as the Z: paths Wine maps Unix paths to.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
windows_paths=0
if [[ ${1-} == --windows-paths ]]; then
  windows_paths=1
  shift
fi
[[ $# -ge 2 ]] || { sed -n '2,8p' "$0" >&2; exit 2; }
dist=$1
shift
qdf=("$@")

path_for_qdf() {
  local path
  path=$(readlink -f "$1")
  if ((windows_paths)); then printf 'Z:%s' "${path//\//\\}"; else printf '%s' "$path"; fi
}

built=0
for po in "$root"/data/*.po; do
  lang=$(basename "$po" .po)
  [[ $lang == messages.en ]] && continue
  codepage=$(sed -n 's/^"X-Codepage: \([0-9]\{1,\}\)\\n"$/\1/p' "$po" | head -n 1)
  [[ -n $codepage ]] || { echo "langs.sh: $po names no X-Codepage" >&2; exit 1; }
  mkdir -p "$dist/lang/$lang"
  "${qdf[@]}" build "$(path_for_qdf "$po")" --codepage "$codepage" \
    -o "$(path_for_qdf "$dist/lang/$lang")/TRAMOLED.QDF" --werror --quiet
  [[ -s $dist/lang/$lang/TRAMOLED.QDF ]] || { echo "langs.sh: no $dist/lang/$lang/TRAMOLED.QDF" >&2; exit 1; }
  printf '%-6s code page %-5s %s\n' "$lang" "$codepage" "$dist/lang/$lang/TRAMOLED.QDF"
  built=$((built + 1))
done
((built > 0)) || { echo "langs.sh: no translation in $root/data" >&2; exit 1; }
