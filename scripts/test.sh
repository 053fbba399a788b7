#!/usr/bin/env bash
# Every test: the native unit tests (plain, under ASan + UBSan and under
# ThreadSanitizer), short fixed-seed fuzz runs of every fuzz target, then the
# Windows build with its artifact checks and the tests under Wine, with
# mingw gcc and again with clang and lld. Each is a workflow preset:
# configure, build, test. Then the release: the package from the clang
# build, signed copies of it, and a second build of it from a fresh clone
# that must give the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

for preset in native native-asan native-tsan fuzz windows windows-clang; do
  echo "==== $preset"
  cmake --workflow --preset "$preset"
done

echo "==== release package"
release=build/release/dist
TRAMOLE_DIST_DIR=$release bash scripts/package.sh
bash tests/release/signing.sh "$release" build/windows-clang
bash tests/release/reproducible.sh "$release"
