#!/usr/bin/env bash
# Consumer tests of the installed host kit, never of the build tree.
#
#   consumer.sh install BUILD INSTALLED           cmake --install BUILD into a fresh INSTALLED
#   consumer.sh c89|cxx|msvc|cmake INSTALLED WORK -- RUN...
#                                                 build that host in WORK against INSTALLED, then
#                                                 run it with RUN (e.g. wine.sh PREFIX run)
#   consumer.sh compile C-STANDARD INSTALLED WORK compile a file that includes only tramolew.h
#   consumer.sh header-exports INSTALLED          tramolew.h declares exactly the DLL's exports
#   consumer.sh docs PAGE INSTALLED WORK          every C example of PAGE builds against INSTALLED
#   consumer.sh imports PROGRAM INSTALLED         PROGRAM imports from TRAMOLEW.dll exactly the
#                                                 names tramolew.h declares
#
# Tools come from the environment: MINGW_GCC, MINGW_GXX, MINGW_OBJDUMP, CLANG, LLD_LINK, DLLTOOL,
# TOOLCHAIN_FILE. The C hosts print the sample printer's and an unknown printer's results.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sample_printer="TRAMOLE Sample Printer"

fail() {
  echo "FAIL $*"
  exit 1
}

# Windows programs find TRAMOLEW.dll in the installed bin/, beside its data file.
windows_path() {
  local path
  path=$(readlink -f "$1")
  printf 'Z:%s' "${path//\//\\}"
}

# Export names of a PE file, one a line, sorted.
dll_exports() {
  "$MINGW_OBJDUMP" -p "$1" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort
}

# Function names tramolew.h declares, one a line, sorted.
header_functions() {
  grep -oE 'TRAMOLEW_CALL[[:space:]]+[A-Za-z_][A-Za-z0-9_]*[[:space:]]*\(' "$1" |
    sed -E 's/TRAMOLEW_CALL[[:space:]]+//; s/[[:space:]]*\($//' | grep -v '^\*' | sort -u
}

# Names PROGRAM imports from DLL (case-insensitive DLL name), one a line, sorted.
imported_names() {
  "$MINGW_OBJDUMP" -p "$1" | awk -v dll="$2" '
    /^[[:space:]]*DLL Name:/ { on = (tolower($3) == tolower(dll)); next }
    on && /^[[:space:]]*$/ { on = 0 }
    on && NF >= 3 && $1 ~ /^[0-9a-f]+$/ { print $NF }' | sort -u
}

command=${1-}
shift || true
case $command in
  install)
    build=$1 installed=$2
    rm -rf "$installed"
    cmake --install "$build" --prefix "$installed"
    for file in bin/TRAMOLEW.dll bin/TRAMOLED.QDF bin/qdf.exe bin/tramole-host.exe include/tramolew.h \
                lib/libTRAMOLEW.dll.a lib/TRAMOLEW.lib lib/TRAMOLEW.def \
                lib/cmake/TRAMOLEW/TRAMOLEWConfig.cmake lib/cmake/TRAMOLEW/TRAMOLEWConfigVersion.cmake; do
      [[ -s $installed/$file ]] || fail "install: got no $file, expected it in $installed"
    done
    echo "ok: installed kit in $installed"
    ;;
  c89|cxx|msvc|cmake)
    installed=$1 work=$2
    shift 2
    [[ ${1-} == -- ]] || { echo "consumer.sh: no '--' before the run command" >&2; exit 2; }
    shift
    rm -rf "$work"
    mkdir -p "$work"
    strict=(-Wall -Wextra -pedantic -Werror -I "$installed/include")
    case $command in
      c89)
        "$MINGW_GCC" -std=c89 "${strict[@]}" "$here/host.c" -o "$work/host.exe" -L "$installed/lib" -lTRAMOLEW
        ;;
      cxx)
        "$MINGW_GXX" -std=c++11 "${strict[@]}" "$here/host.cpp" -o "$work/host.exe" \
          -L "$installed/lib" -lTRAMOLEW -static
        ;;
      msvc)
        "$CLANG" --target=x86_64-pc-windows-msvc -std=c99 -ffreestanding -nostdlib "${strict[@]}" \
          -c "$here/msvc_host.c" -o "$work/host.obj"
        "$DLLTOOL" -m i386:x86-64 -d "$here/kernel32.def" -l "$work/kernel32.lib"
        "$LLD_LINK" /nologo /subsystem:console /entry:HostMain /nodefaultlib "/out:$work/host.exe" \
          "$work/host.obj" "$installed/lib/TRAMOLEW.lib" "$work/kernel32.lib"
        ;;
      cmake)
        cmake -S "$here/cmake" -B "$work" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN_FILE" \
          -DCMAKE_PREFIX_PATH="$installed" -DCMAKE_BUILD_TYPE=Release
        cmake --build "$work"
        # The project put the DLL and the data file beside its program itself.
        for file in TRAMOLEW.dll TRAMOLED.QDF; do
          cmp -s "$work/$file" "$installed/bin/$file" ||
            fail "cmake: got no installed $file beside the program, expected the project to copy it"
        done
        ;;
    esac
    [[ $command == cmake ]] || export WINEPATH
    WINEPATH=$(windows_path "$installed/bin")
    "$@" "$work/host.exe" "$sample_printer"
    ;;
  compile)
    standard=$1 installed=$2 work=$3
    mkdir -p "$work"
    printf '#include "tramolew.h"\nint main(void) { return DALVIRE_GetErrorMsg(0)[0] == 0 && SetChildInfo() == 0; }\n' \
      >"$work/only_header.c"
    "$MINGW_GCC" -std="$standard" -Wall -Wextra -pedantic -Werror -I "$installed/include" \
      -c "$work/only_header.c" -o "$work/only_header-$standard.o"
    "$CLANG" --target=x86_64-pc-windows-msvc -std="$standard" -Wall -Wextra -pedantic -Werror \
      -ffreestanding -I "$installed/include" -c "$work/only_header.c" -o "$work/only_header-$standard.obj"
    echo "ok: tramolew.h compiles as $standard with mingw gcc and clang (MSVC ABI)"
    ;;
  docs)
    page=$1 installed=$2 work=$3
    rm -rf "$work"
    mkdir -p "$work"
    awk -v dir="$work" '/^```c$/ { n++; on = 1; next } /^```$/ { on = 0 } on { print > (dir "/example" n ".c") }' "$page"
    examples=("$work"/example*.c)
    [[ -f ${examples[0]} ]] || fail "docs: got no C example in $page, expected some"
    for example in "${examples[@]}"; do
      "$MINGW_GCC" -std=c89 -Wall -Wextra -pedantic -Werror -I "$installed/include" "$example" \
        -o "${example%.c}.exe" -L "$installed/lib" -lTRAMOLEW ||
        fail "docs: $(basename "$example") of $page does not build against the kit"
    done
    echo "ok: the ${#examples[@]} C examples of $(basename "$page") build against the installed kit"
    ;;
  header-exports)
    installed=$1
    declared=$(header_functions "$installed/include/tramolew.h")
    exported=$(dll_exports "$installed/bin/TRAMOLEW.dll")
    listed=$(awk '/^[[:space:]]*EXPORTS/{on=1; next} on && NF {print $1}' "$installed/lib/TRAMOLEW.def" | sort)
    [[ $(wc -l <<<"$declared") == 7 ]] || fail "header: got $(wc -l <<<"$declared") functions, expected 7"
    [[ $declared == "$exported" ]] ||
      fail "header against DLL: got [$(tr '\n' ' ' <<<"$declared")], expected the exports [$(tr '\n' ' ' <<<"$exported")]"
    [[ $declared == "$listed" ]] ||
      fail "header against .def: got [$(tr '\n' ' ' <<<"$declared")], expected [$(tr '\n' ' ' <<<"$listed")]"
    echo "ok: tramolew.h declares exactly the $(wc -l <<<"$declared") exports of TRAMOLEW.dll and TRAMOLEW.def"
    ;;
  imports)
    program=$1 installed=$2
    declared=$(header_functions "$installed/include/tramolew.h")
    imported=$(imported_names "$program" TRAMOLEW.dll)
    [[ -n $imported ]] || fail "imports: got nothing from TRAMOLEW.dll, expected the seven exports"
    [[ $imported == "$declared" ]] ||
      fail "imports from TRAMOLEW.dll: got [$(tr '\n' ' ' <<<"$imported")], expected [$(tr '\n' ' ' <<<"$declared")]"
    others=$("$MINGW_OBJDUMP" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | grep -viE '^(TRAMOLEW|KERNEL32)\.dll$' || true)
    [[ -z $others ]] || fail "imports: got [$others], expected only TRAMOLEW.dll and KERNEL32.dll"
    echo "ok: $(basename "$program") imports the seven names from TRAMOLEW.dll"
    ;;
  *)
    sed -n '2,16p' "$0" >&2
    exit 2
    ;;
esac
