#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in a Wine prefix kept in
# the build folder (made on first use), without Wine's Mono and Gecko
# installers and without its debug chatter. CMake's cross-compiling
# emulator for the Windows edition:
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
# to end every program of a build's prefix and its server:
#   scripts/wine-run.sh --end BUILD-DIR
# and to only make the prefix (WINEPREFIX, or the build's):
#   scripts/wine-run.sh --prepare BUILD-DIR
set -euo pipefail
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEDEBUG="${WINEDEBUG:--all}"

if [ "${1:-}" = --end ]; then
  export WINEPREFIX="${WINEPREFIX:-$(cd "$2" && pwd)/wine-prefix}"
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
  exit 0
fi

prepare_only=""
if [ "${1:-}" = --prepare ]; then
  prepare_only=yes
  set -- "$2/Varnoscape.scr"
fi
program=$1
shift
build=$(cd "$(dirname "$program")" && pwd)
# The build folder is the nearest parent with a CMakeCache.txt.
while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
[ -f "$build/CMakeCache.txt" ] || build=$(cd "$(dirname "$program")" && pwd)
export WINEPREFIX="${WINEPREFIX:-$build/wine-prefix}"

# The Windows name of a file here: Wine shows the whole file system as Z:.
winepath_of() {
  local full
  full=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
  echo "Z:${full//\//\\}"
}

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
  settings="$(dirname "${BASH_SOURCE[0]}")/wine-prefix.reg"
  if ! cmp -s "$settings" "$WINEPREFIX/varnoscape-settings.reg"; then
    "$wine" regedit /S "$(winepath_of "$settings")" </dev/null >/dev/null 2>&1 9>&- &&
      cp "$settings" "$WINEPREFIX/varnoscape-settings.reg"
  fi
  "$wineserver" -p60 </dev/null >/dev/null 2>&1 9>&- || true
  "$wine" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$WINEPREFIX.lock"
[ -z "$prepare_only" ] || exit 0

# Wine takes the user's language (GetUserDefaultUILanguage) from the C
# library's locale, and a locale the machine has not generated counts as
# English. A missing one is compiled once from Debian's locale sources
# (package locales) into the build folder, where LOCPATH shows it to Wine.
locale_name=${LC_ALL:-${LC_MESSAGES:-${LANG:-}}}
if [[ "$locale_name" =~ ^([a-z]{2,3}_[A-Z]{2})\.(UTF-8|utf8)$ ]] &&
  ! locale -a 2>/dev/null | grep -qix "${BASH_REMATCH[1]}\.utf-\?8"; then
  source_name=${BASH_REMATCH[1]}
  locales="$build/locales"
  if [ -f "/usr/share/i18n/locales/$source_name" ]; then
    mkdir -p "$locales"
    (
      flock 9
      [ -d "$locales/$locale_name" ] ||
        localedef -i "$source_name" -f UTF-8 "$locales/$locale_name" >/dev/null 2>&1 || true
    ) 9>"$locales.lock"
    export LOCPATH="$locales"
  fi
fi
exec "$wine" "$program" "$@"
