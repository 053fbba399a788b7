#!/usr/bin/env bash
# Builds the release package from the clang build (windows-clang preset):
#
#   dist/tramolew-VERSION-win-x64.zip          the package
#   dist/tramolew-VERSION-win-x64.zip.sha256   its checksum
#   dist/tramolew-VERSION-win-x64-symbols.zip  the PDB files of its binaries
#   dist/SHA256SUMS                            checksums of both zips
#
# The package holds bin/ (TRAMOLEW.dll, qdf.exe, tramole-host.exe),
# include/, lib/, share/doc/tramolew/ (README, host API, qdf README),
# share/tramolew/lang/LANG/TRAMOLED.QDF for every message source of data/
# (compiled by the package's own qdf.exe under Wine), share/tramolew/data/
# with those sources, and SHA256SUMS listing every file. The symbols zip
# holds bin/NAME.pdb, so that unpacked over the package each PDB sits beside
# its binary. VERSION is the CMake project version.
#
# The zips depend only on the commit: entries in a fixed order, dated
# SOURCE_DATE_EPOCH (default: the commit's date), fixed modes, and binaries
# that name no build path.
#
# Environment: TRAMOLE_BUILD_DIR builds elsewhere than build/windows-clang;
# TRAMOLE_DIST_DIR writes elsewhere than dist/; TRAMOLE_COMPANY and
# TRAMOLE_COPYRIGHT go into the version resources (left out when empty).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TRAMOLE_BUILD_DIR:-$root/build/windows-clang}
dist=${TRAMOLE_DIST_DIR:-$root/dist}
targets=(TRAMOLEW qdf tramole-host)

step() { printf '\n== %s\n' "$*"; }
fail() {
  echo "package.sh: $*" >&2
  exit 1
}

bash "$root/scripts/deps.sh"

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) ||
    fail "not a git checkout: set SOURCE_DATE_EPOCH"
fi
export SOURCE_DATE_EPOCH

step "build (windows-clang preset) in $build"
(cd "$root" && cmake --preset windows-clang -B "$build" \
  "-DTRAMOLE_COMPANY=${TRAMOLE_COMPANY:-}" "-DTRAMOLE_COPYRIGHT=${TRAMOLE_COPYRIGHT:-}" >/dev/null)
cmake --build "$build" -j2 --target "${targets[@]}"
# shellcheck source=/dev/null
source "$build/dist-files.env"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[[ -n $version ]] || fail "no project version in $build/CMakeCache.txt"
name=tramolew-$version-win-x64

work=$build/package
tree=$work/$name
symbols=$work/$name-symbols
rm -rf "$work"
mkdir -p "$tree/bin" "$tree/lib" "$tree/share/doc/tramolew" "$tree/share/tramolew/data" "$symbols/bin"

step "stage $tree"
install -m 0644 "$dll" "$qdf" "$host" "$tree/bin/"
for binary in "$dll" "$qdf" "$host"; do
  install -m 0644 "${binary%.*}.pdb" "$symbols/bin/"
done
install -m 0644 "$(dirname "$dll")/libTRAMOLEW.dll.a" "$tree/lib/"
if [[ -d $root/include ]]; then
  cp -R "$root/include" "$tree/"
fi
install -m 0644 "$root/README.md" "$tree/share/doc/tramolew/README.md"
install -m 0644 "$root/tools/qdf/README.md" "$tree/share/doc/tramolew/qdf-README.md"
if [[ -f $root/docs/host-api.md ]]; then
  install -m 0644 "$root/docs/host-api.md" "$tree/share/doc/tramolew/host-api.md"
fi

step "message files"
winpath() {
  local path
  path=$(readlink -f "$1")
  printf 'Z:%s' "${path//\//\\}"
}
wine_sh=(bash "$root/tests/wine/wine.sh" "$build/package-prefix")
"${wine_sh[@]}" up >/dev/null
trap '"${wine_sh[@]}" down' EXIT
shopt -s nullglob
for source in "$root"/data/*.po "$root"/data/*.pot; do
  install -m 0644 "$source" "$tree/share/tramolew/data/"
done
for source in "$root"/data/*.po; do
  lang=$(basename "$source" .po)
  lang=${lang#messages.}
  # A translation names the host's ANSI code page for its texts.
  codepage=$(sed -n 's/^"X-Codepage: *\([0-9]*\).*/\1/p' "$source" | head -n 1)
  mkdir -p "$tree/share/tramolew/lang/$lang"
  "${wine_sh[@]}" run "$qdf" build "$(winpath "$source")" -o "$(winpath "$tree/share/tramolew/lang/$lang")\\TRAMOLED.QDF" \
    ${codepage:+--codepage "$codepage"} --werror --quiet ||
    fail "qdf build $source failed"
  printf '%-8s %s%s\n' "$lang" "share/tramolew/lang/$lang/TRAMOLED.QDF" "${codepage:+ (code page $codepage)}"
done
shopt -u nullglob
find "$tree" -type d -exec chmod 0755 {} +
find "$tree" -type f -exec chmod 0644 {} +

step "checks"
python3 "$root/tests/release/pdb_match.py" "$tree/bin" "$symbols/bin"
(cd "$tree" && find . -type f ! -path ./SHA256SUMS -printf '%P\n' | LC_ALL=C sort | xargs -d '\n' sha256sum) \
  >"$work/SHA256SUMS"
mv "$work/SHA256SUMS" "$tree/SHA256SUMS"

step "zips in $dist"
mkdir -p "$dist"
rm -f "$dist/$name.zip" "$dist/$name.zip.sha256" "$dist/$name-symbols.zip" "$dist/SHA256SUMS"
python3 "$root/scripts/zip_tree.py" "$tree" "$dist/$name.zip" "$SOURCE_DATE_EPOCH"
python3 "$root/scripts/zip_tree.py" "$symbols" "$dist/$name-symbols.zip" "$SOURCE_DATE_EPOCH"
bash "$root/scripts/checksums.sh" "$dist" "$name"
ls -l "$dist/$name.zip" "$dist/$name-symbols.zip"
cat "$dist/SHA256SUMS"
