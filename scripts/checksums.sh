#!/usr/bin/env bash
# Writes the published checksums of a package in DIST: NAME.zip.sha256 and
# SHA256SUMS (the package and its symbols zip).
#
#   checksums.sh DIST NAME      NAME e.g. tramolew-1.0.0-win-x64
set -euo pipefail
dist=$1
name=$2
cd "$dist"
sha256sum "$name.zip" >"$name.zip.sha256"
files=("$name.zip")
[[ -f $name-symbols.zip ]] && files+=("$name-symbols.zip")
sha256sum "${files[@]}" >SHA256SUMS
