#!/usr/bin/env bash
# The settings dialog speaks the user's language and takes the desktop's
# scale: with LANG=en_US.UTF-8 its window is titled "Varnoscape Settings",
# with LANG=ja_JP.UTF-8 "Varnoscapeの設定" (a copy started in the other
# language still finds it and ends at once); at 150 % (X: Xft.dpi 144;
# Windows: LogPixels 144) the window is one and a half times the size, and
# Return there still saves. The settings file written in English reads the
# same as one written in Japanese.
# editions: linux windows
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 1280x1024

pics="$E2E_TMP/pics"
mkdir -p "$pics"
cp "$E2E_SAMPLES/landscape.bmp" "$pics/a.bmp"

# open_dialog TITLE: starts /c, waits for the window so titled, and clicks
# its empty background near the lower right corner, so that keys go to it.
open_dialog() {
  e2e_start /c
  dialog=$(e2e_wait_window "$1" 20) ||
    e2e_fail "no window titled '$1': $(cat "$E2E_TMP/saver.err")"
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  xdotool mousemove --window "$dialog" $((WIDTH - 20)) $((HEIGHT - 8)) click 1
  sleep 0.3
}

ends() {
  status=$(e2e_wait_exit "$E2E_PID" 10) || e2e_fail "the dialog did not close after $1"
  [ "$status" = 0 ] || e2e_fail "status $status after $1"
}

# 1. The title follows the language; the other language's copy finds the
# dialog all the same. Escape leaves the file alone.
e2e_write_ini "$pics" 0 0 0
cp "$VARNOSCAPE_INI" "$E2E_TMP/before.ini"
for lang in en_US.UTF-8:'Varnoscape Settings':ja_JP.UTF-8 ja_JP.UTF-8:'Varnoscapeの設定':en_US.UTF-8; do
  IFS=: read -r language title other <<<"$lang"
  LANG=$language open_dialog "$title"
  LANG=$other timeout 20 "$E2E_SAVER" /c ||
    e2e_fail "a second copy in $other failed or waited beside the $language dialog"
  xdotool key Escape
  ends "Escape in $language"
  cmp -s "$VARNOSCAPE_INI" "$E2E_TMP/before.ini" || e2e_fail "Escape in $language changed the file"
done

# 2. At 150 % the window is 1.5 times the size: 824 x 578 for the client
# area (the X window holds Wine's frame as well); the keyboard works there
# as at 100 %.
if e2e_windows; then
  # A Wine prefix of its own at 144 dots per inch: the shared one serves
  # tests running beside this one at 96.
  e2e_end_wine_session
  export WINEPREFIX="$E2E_WINDOWS_BUILD/wine-prefix-150"
  bash "$(dirname "$0")/../../scripts/wine-run.sh" --prepare "$E2E_WINDOWS_BUILD"
  "$(command -v wine64 || echo /usr/lib/wine/wine64)" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f \
    >/dev/null 2>&1 || e2e_fail "cannot set LogPixels in $WINEPREFIX"
  bash "$(dirname "$0")/../../scripts/wine-run.sh" --end "$E2E_WINDOWS_BUILD"
else
  echo 'Xft.dpi: 144' | xrdb -nocpp -merge || e2e_fail "xrdb could not set Xft.dpi"
fi
LANG=ja_JP.UTF-8 open_dialog 'Varnoscapeの設定'
if e2e_windows; then
  ((WIDTH >= 824 && WIDTH <= 844 && HEIGHT >= 578 && HEIGHT <= 640)) ||
    e2e_fail "at 150 % the window is ${WIDTH}x$HEIGHT, not 824 x 578 with a frame"
else
  [ "${WIDTH}x$HEIGHT" = 824x578 ] || e2e_fail "at 150 % the window is ${WIDTH}x$HEIGHT, not 824x578"
fi
# From "設定", six Tabs reach "*.gif", Space toggles it, Return saves.
xdotool key Tab Tab Tab Tab Tab Tab space Return
ends "Tab, Space and Return at 150 %"
iconv -f CP932 -t UTF-8 "$VARNOSCAPE_INI" | grep -q '^画像種類_1= 0' ||
  e2e_fail "the keyboard at 150 % did not save *.gif off: $(iconv -f CP932 -t UTF-8 "$VARNOSCAPE_INI")"
echo PASS
