#!/usr/bin/env bash
# Runs Windows programs under Wine in a private prefix.
#
#   wine.sh [--wine WINE64] PREFIX up            create/boot the prefix, start a persistent wineserver
#   wine.sh [--wine WINE64] PREFIX down          stop that wineserver and everything in the prefix
#   wine.sh [--wine WINE64] PREFIX run PROGRAM [ARGS...]
#                                                run a Windows program; its exit code is ours
#   wine.sh [--wine WINE64] PREFIX regedit FILE  import a .reg file into the prefix's registry
#   wine.sh [--wine WINE64] PREFIX once PROGRAM [ARGS...]
#                                                up, run, down: one program in a prefix of its own
#   wine.sh [--wine WINE64] PREFIX session COMMAND [ARGS...]
#                                                up, then the host COMMAND (which runs programs
#                                                with 'run'), then down
#
# WINE64 defaults to wine64 on PATH, then /usr/lib/wine/wine64. A missing Wine
# is an error, never a skip: a test run without Wine has tested nothing.
# Nothing here needs a display.
set -euo pipefail

wine64=""
if [[ ${1-} == --wine ]]; then
  wine64=${2-}
  shift 2
fi
if [[ $# -lt 2 ]]; then
  sed -n '2,17p' "$0" >&2
  exit 2
fi
prefix=$1
command=$2
shift 2

fail() {
  echo "wine.sh: $*" >&2
  exit 1
}

if [[ -z $wine64 ]]; then
  wine64=$(command -v wine64 || true)
  [[ -n $wine64 ]] || wine64=/usr/lib/wine/wine64
fi
[[ -x $wine64 ]] || fail "no Wine at '$wine64': install it (Debian: apt-get install wine64) and reconfigure"
wine_dir=$(dirname "$(readlink -f "$wine64")")
# The server must be the one that belongs to this wine64.
wineserver=""
for candidate in "$wine_dir/wineserver64" "$wine_dir/wineserver" "$(command -v wineserver || true)"; do
  if [[ -n $candidate && -x $candidate ]]; then
    wineserver=$candidate
    break
  fi
done
[[ -n $wineserver ]] || fail "no wineserver beside $wine64"

mkdir -p "$prefix"
export WINEPREFIX
WINEPREFIX=$(cd "$prefix" && pwd)
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

booted_marker="$WINEPREFIX/.tramole-booted"

case $command in
  up)
    # A persistent server keeps later programs at a fraction of a second;
    # start it before booting so that the boot uses it too. The server and
    # the processes the boot leaves running must not hold our output open,
    # or whoever reads it (ctest) waits for them.
    # (It refuses to start when one already runs for the prefix: that one
    # serves as well.)
    "$wineserver" -p </dev/null >/dev/null 2>&1 || true
    if [[ ! -f $booted_marker ]]; then
      "$wine64" wineboot -i </dev/null >/dev/null 2>&1 || fail "wineboot -i failed in $WINEPREFIX"
      touch "$booted_marker"
    fi
    # The first program in a prefix starts Wine's own services, which then
    # keep its standard streams: start them here, on /dev/null, rather than
    # inside a test that someone waits for.
    "$wine64" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || fail "cannot run programs in $WINEPREFIX"
    ;;
  down)
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    ;;
  run)
    [[ $# -ge 1 ]] || fail "run: no program given"
    [[ -f $booted_marker ]] || fail "prefix $WINEPREFIX is not booted: run 'up' first"
    exec "$wine64" "$@"
    ;;
  once|session)
    [[ $# -ge 1 ]] || fail "$command: no command given"
    self=(bash "$0" --wine "$wine64" "$WINEPREFIX")
    "${self[@]}" up
    trap '"${self[@]}" down' EXIT
    if [[ $command == once ]]; then "${self[@]}" run "$@"; else "$@"; fi
    ;;
  regedit)
    [[ $# -eq 1 && -f $1 ]] || fail "regedit: no .reg file '${1-}'"
    [[ -f $booted_marker ]] || fail "prefix $WINEPREFIX is not booted: run 'up' first"
    # Wine maps the Unix root to Z:, so an absolute Unix path names the
    # file whatever the current directory is.
    file=$(readlink -f "$1")
    "$wine64" regedit /S "Z:${file//\//\\}"
    ;;
  *)
    fail "unknown command '$command' (up, down, run, once, session, regedit)"
    ;;
esac
