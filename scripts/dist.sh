#!/usr/bin/env bash
# Builds dist/ with the windows preset, shows it working under Wine, and
# ends with the release package of scripts/package.sh (from the clang build).
#
#   scripts/dist.sh
#
# dist/ is the installed kit (cmake --install of the build, the one layout):
#   bin/                TRAMOLEW.dll, TRAMOLED.QDF (the default English
#                       messages of data/messages.en.po, compiled by qdf.exe
#                       under Wine), qdf.exe, tramole-host.exe
#   include/            tramolew.h
#   lib/                libTRAMOLEW.dll.a, TRAMOLEW.lib, TRAMOLEW.def
#   lib/cmake/TRAMOLEW/ the CMake package
#   share/tramolew/lang/LANGUAGE/TRAMOLED.QDF
#                       each translation data/LANGUAGE.po in its own code page
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
targets=(TRAMOLEW qdf tramole-host tramole_host_kit tramole_sample_companion)

step() { printf '\n== %s\n' "$*"; }

bash "$root/scripts/deps.sh"

step "build (windows preset)"
(cd "$root" && cmake --preset windows -B "$build")
cmake --build "$build" -j2 --target "${targets[@]}"
# shellcheck source=/dev/null
source "$build/dist-files.env"

step "dist: $dist (cmake --install)"
rm -rf "$dist"
cmake --install "$build" --prefix "$dist"
for file in bin/TRAMOLEW.dll bin/TRAMOLED.QDF bin/qdf.exe bin/tramole-host.exe include/tramolew.h \
            lib/libTRAMOLEW.dll.a lib/TRAMOLEW.lib lib/TRAMOLEW.def lib/cmake/TRAMOLEW/TRAMOLEWConfig.cmake \
            lib/cmake/TRAMOLEW/TRAMOLEWConfigVersion.cmake; do
  [[ -s $dist/$file ]] || { echo "dist.sh: $dist/$file is missing" >&2; exit 1; }
done
compgen -G "$dist/share/tramolew/lang/*/TRAMOLED.QDF" >/dev/null ||
  { echo "dist.sh: $dist/share/tramolew/lang holds no translation" >&2; exit 1; }
(cd "$dist" && find . -type f | sort | xargs ls -l)

wine_sh=(bash "$root/scripts/wine.sh" "$prefix")
step "Wine prefix $prefix"
"${wine_sh[@]}" up
trap '"${wine_sh[@]}" down' EXIT

step "demo: tramole-host.exe --version"
"${wine_sh[@]}" run "$dist/bin/tramole-host.exe" --version | tr -d '\r'

step "demo: tramole-host.exe list"
"${wine_sh[@]}" run "$dist/bin/tramole-host.exe" list | tr -d '\r'

step "demo: sample printer and companion"
bash "$root/tools/host/sample/install.sh" "$prefix" "$sample_companion"
echo "printer 'TRAMOLE Sample Printer', companion C:\\TRAMOLE Sample\\driver\\TRAMOLEU.DLL"

step "demo: tramole-host.exe call DALVIRE_SettingImport \"TRAMOLE Sample Printer\" 0x1234abcd"
"${wine_sh[@]}" run "$dist/bin/tramole-host.exe" call DALVIRE_SettingImport "TRAMOLE Sample Printer" 0x1234abcd |
  tr -d '\r'

step "release package (clang build): dist/tramolew-VERSION-win-x64.zip, its symbols and checksums"
TRAMOLE_DIST_DIR=$dist bash "$root/scripts/package.sh"
