#!/usr/bin/env bash
# Builds the release package from the clang build (windows-clang preset):
#
#   dist/tramolew-VERSION-win-x64.zip          the package
#   dist/tramolew-VERSION-win-x64.zip.sha256   its checksum
#   dist/tramolew-VERSION-win-x64-symbols.zip  the PDB files of its binaries
#   dist/SHA256SUMS                            checksums of both zips
#
# The package is the install of that build (bin/, include/, lib/,
# lib/cmake/TRAMOLEW/), plus share/doc/tramolew/ (README, host API, qdf
# README), share/tramolew/lang/LANG/TRAMOLED.QDF for English and every
# translation of data/ (compiled by the package's own qdf.exe under Wine),
# share/tramolew/data/ with their sources, and SHA256SUMS listing every file. The symbols zip
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
targets=(TRAMOLEW qdf tramole-host tramole_host_kit)

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
mkdir -p "$work" "$symbols/bin"

step "stage $tree (cmake --install)"
cmake --install "$build" --prefix "$tree" >/dev/null
for binary in "$dll" "$qdf" "$host"; do
  install -m 0644 "${binary%.*}.pdb" "$symbols/bin/"
done
mkdir -p "$tree/share/doc/tramolew" "$tree/share/tramolew/data" "$tree/share/tramolew/lang/en"
install -m 0644 "$root/README.md" "$tree/share/doc/tramolew/README.md"
install -m 0644 "$root/docs/host-api.md" "$tree/share/doc/tramolew/host-api.md"
install -m 0644 "$root/tools/qdf/README.md" "$tree/share/doc/tramolew/qdf-README.md"
install -m 0644 "$root"/data/*.po "$root"/data/*.pot "$tree/share/tramolew/data/"
# English ships beside the library too; lang/ holds every language alike.
install -m 0644 "$tree/bin/TRAMOLED.QDF" "$tree/share/tramolew/lang/en/TRAMOLED.QDF"

step "translations (the package's qdf.exe under Wine)"
wine_sh=(bash "$root/scripts/wine.sh" "$build/package-prefix")
"${wine_sh[@]}" up >/dev/null
trap '"${wine_sh[@]}" down' EXIT
bash "$root/scripts/langs.sh" --windows-paths "$tree/share/tramolew" "${wine_sh[@]}" run "$tree/bin/qdf.exe"
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
