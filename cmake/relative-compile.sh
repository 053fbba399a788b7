#!/usr/bin/env bash
# Compiler launcher of the build with PDB files: runs the compiler with every
# path below the source tree given relative to the directory it compiles in,
# and a fixed compilation directory. clang writes its whole command line into
# the CodeView build record, and the PDB's GUID is a hash of the PDB, so an
# absolute checkout path would make every checkout build different binaries.
#
#   relative-compile.sh SOURCE_DIR COMPILER ARGS...
set -euo pipefail
src=$(cd "$1" && pwd)
shift
up=$(realpath --relative-to="$PWD" "$src")
here=$(realpath --relative-to="$src" "$PWD")
args=()
for arg in "$@"; do
  case $arg in
    # Relative paths need no map, and the map would name the checkout.
    -ffile-prefix-map=*) continue ;;
  esac
  arg=${arg//"$src/"/"$up/"}
  [[ $arg == "$src" ]] && arg=$up
  [[ $arg == "-I$src" ]] && arg=-I$up
  args+=("$arg")
done
exec "${args[@]}" "-fdebug-compilation-dir=/tramolew/$here" "-fcoverage-compilation-dir=/tramolew/$here"
