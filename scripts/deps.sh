#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and is not
# there yet. Does nothing when everything is installed.
#
#   scripts/deps.sh             what the main job and the test command need
#   scripts/deps.sh coverage    that, and gcovr for scripts/coverage.sh
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine64 locales
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  llvm-14 lld-14
  gettext
  osslsigncode openssl python3 git unzip
  time  # bench/qdf_build.sh measures peak memory with GNU time
)
for extra in "$@"; do
  case "$extra" in
    coverage) packages+=(gcovr) ;;
    *) echo "deps.sh: unknown extra '$extra'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
