#!/usr/bin/env bash
# Builds dist/ with the windows preset and shows it working under Wine.
#
#   scripts/dist.sh
#
# dist/ then holds TRAMOLEW.dll, TRAMOLED.QDF (the default English messages
# of data/messages.en.po, compiled by qdf), qdf.exe and tramole-host.exe.
# The demo that follows boots a private Wine prefix below the build tree,
# installs a sample printer whose driver directory holds a sample companion,
# lets the host list the messages and forward one call to that printer, and
# stops the prefix's wineserver again. No display is needed.
#
# Environment: TRAMOLE_BUILD_DIR builds elsewhere than build/windows (with
# the windows preset); TRAMOLE_DIST_DIR writes elsewhere than dist/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TRAMOLE_BUILD_DIR:-$root/build/windows}
dist=${TRAMOLE_DIST_DIR:-$root/dist}
targets=(TRAMOLEW qdf tramole-host tramole_sample_companion)

step() { printf '\n== %s\n' "$*"; }

bash "$root/scripts/deps.sh"

step "build (windows preset)"
(cd "$root" && cmake --preset windows -B "$build")
cmake --build "$build" -j2 --target "${targets[@]}"
# shellcheck source=/dev/null
source "$build/dist-files.env"

# Windows programs get Unix paths as the Z: paths Wine maps them to.
winpath() {
  local path
  path=$(readlink -f "$1")
  printf 'Z:%s' "${path//\//\\}"
}

wine_sh=(bash "$root/scripts/wine.sh" "$prefix")
step "Wine prefix $prefix"
"${wine_sh[@]}" up
trap '"${wine_sh[@]}" down' EXIT

step "dist: $dist"
rm -rf "$dist"
mkdir -p "$dist"
cp "$dll" "$qdf" "$host" "$dist/"
# The Windows qdf.exe compiles the messages, so no native build is needed.
"${wine_sh[@]}" run "$qdf" build "$(winpath "$root/data/messages.en.po")" \
  -o "$(winpath "$dist")\\TRAMOLED.QDF" --werror --quiet
for file in TRAMOLEW.dll TRAMOLED.QDF qdf.exe tramole-host.exe; do
  [[ -s $dist/$file ]] || { echo "dist.sh: $dist/$file is missing" >&2; exit 1; }
done
ls -l "$dist"

step "demo: tramole-host.exe --version"
"${wine_sh[@]}" run "$dist/tramole-host.exe" --version | tr -d '\r'

step "demo: tramole-host.exe list"
"${wine_sh[@]}" run "$dist/tramole-host.exe" list | tr -d '\r'

step "demo: sample printer and companion"
bash "$root/tools/host/sample/install.sh" "$prefix" "$sample_companion"
echo "printer 'TRAMOLE Sample Printer', companion C:\\TRAMOLE Sample\\driver\\TRAMOLEU.DLL"

step "demo: tramole-host.exe call DALVIRE_SettingImport \"TRAMOLE Sample Printer\" 0x1234abcd"
"${wine_sh[@]}" run "$dist/tramole-host.exe" call DALVIRE_SettingImport "TRAMOLE Sample Printer" 0x1234abcd |
  tr -d '\r'
