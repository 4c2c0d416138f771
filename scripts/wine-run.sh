#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in a Wine prefix kept in
# the build folder (made on first use), without Wine's Mono and Gecko
# installers and without its debug chatter. CMake's cross-compiling
# emulator for the Windows edition:
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
set -euo pipefail
program=$1
shift
build=$(cd "$(dirname "$program")" && pwd)
# The build folder is the nearest parent with a CMakeCache.txt.
while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
[ -f "$build/CMakeCache.txt" ] || build=$(cd "$(dirname "$program")" && pwd)
export WINEPREFIX="${WINEPREFIX:-$build/wine-prefix}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEDEBUG="${WINEDEBUG:--all}"
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
# The prefix is made once, by whichever test comes first (tests run side
# by side). The server and Wine's own service programs outlive the program
# they were started for, so they are started here with their output going
# nowhere: started by the program itself, they would hold the test runner's
# output pipe open until they end. The server stays a minute after the last
# program, so that each program does not pay for starting it.
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
  fi
  "$wineserver" -p60 </dev/null >/dev/null 2>&1 9>&- || true
  "$wine" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$WINEPREFIX.lock"
exec "$wine" "$program" "$@"
