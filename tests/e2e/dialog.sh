#!/usr/bin/env bash
# The settings dialog of the real program, driven with the mouse and keys:
# it opens titled "Varnoscapeの設定", 549 x 385 and centred; clicks on
# "ﾗﾝﾀﾞﾑ", "ﾌﾙｽｸﾘｰﾝ", "ﾗｲﾝ" and "*.gif", then "設定" (or Return), rewrite
# exactly those values with every other byte of the file as it was; "ｷｬﾝｾﾙ",
# the close box and Escape leave the file alone; Tab, Space and Return alone
# toggle a kind and save; a folder chosen through the chooser (a stand-in
# zenity) is listed with its count; a click on a name previews it; a second
# /c or /s ends at once while the dialog is open. The Windows edition writes
# the very bytes the Linux edition writes for the same clicks.
# editions: linux windows
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 1024x768

pics="$E2E_TMP/pics"
other="$E2E_TMP/other pictures"
mkdir -p "$pics" "$other"
cp "$E2E_SAMPLES/landscape.bmp" "$pics/a.bmp"
cp "$E2E_SAMPLES/rings.gif" "$other/rings.gif"
cp "$E2E_SAMPLES/landscape.jpg" "$other/landscape.jpg"
cp "$E2E_SAMPLES/portrait.jpg" "$other/portrait.jpg"

# settings CHANGE SIZE WAY GIF: the file, with lines of its own around ours.
settings() {
  printf '; written by hand\r\n[Section]\r\n画像ﾁｪﾝｼﾞ= %s\r\n画像のｻｲｽﾞ= %s\r\n画像のﾌｫﾙﾀﾞ=%s\r\n画像種類_0= 1\r\n画像種類_1= %s\r\n画像種類_2= 1\r\n画像種類_3= 1\r\n描画方法= %s\r\n[Other]\r\nkey=value\r\n' \
    "$1" "$2" "$(e2e_native_path "$pics")" "$4" "$3" | iconv -f UTF-8 -t CP932
}

# close_box: what the close box of the dialog's frame does.
close_box() {
  if e2e_windows; then
    # Wine's own frame: its close button sits in the caption's right end.
    e2e_click $((549 - 10)) $((-client_y / 2))
  else
    "$E2E_BUILD/e2e-close-window" "$dialog"
  fi
}

ends_with() {
  status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "the dialog did not close after $1"
  [ "$status" = 0 ] || e2e_fail "status $status after $1"
  # Wine's server forgets an ended program's window a moment after the
  # program has gone: the next dialog's search would find the old window,
  # and clicks on it would be lost.
  local i
  for i in $(seq 1 500); do
    xdotool search --name '^Varnoscapeの設定$' >/dev/null 2>&1 || return 0
    sleep 0.01
  done
  e2e_fail "the dialog's window stayed after $1"
}

# 1. Place and size; the window search of a second copy finds it.
settings 0 0 0 0 >"$VARNOSCAPE_INI"
cp "$VARNOSCAPE_INI" "$E2E_TMP/before.ini"
e2e_open_dialog
geometry=$(xdotool getwindowgeometry "$dialog")
# 555 x 410 with the frame, centred on 1024 x 768 (the X window holds the
# frame too on Wine).
if e2e_windows; then
  echo "$geometry" | grep -q "Geometry: 555x410" || e2e_fail "not 555 x 410: $geometry"
else
  echo "$geometry" | grep -q "Geometry: 549x385" || e2e_fail "not 549 x 385: $geometry"
fi
echo "$geometry" | grep -q "Position: 234,179" || e2e_fail "not centred: $geometry"
# A second copy ends by itself while the dialog is open (timeout ends one
# that waits, and fails it).
for switch in /c /s; do
  timeout 10 "$E2E_SAVER" "$switch" || e2e_fail "a second copy ($switch) failed or waited"
done
import -window "$dialog" "$E2E_TMP/dialog.png"

# 2. Cancel and the close box change nothing.
e2e_click 470 57    # ﾗﾝﾀﾞﾑ
e2e_click 488 330   # ｷｬﾝｾﾙ
ends_with "ｷｬﾝｾﾙ"
cmp -s "$VARNOSCAPE_INI" "$E2E_TMP/before.ini" || e2e_fail "cancel changed the settings file"
e2e_open_dialog
e2e_click 470 117   # ﾌﾙｽｸﾘｰﾝ
close_box
ends_with "the close box"
cmp -s "$VARNOSCAPE_INI" "$E2E_TMP/before.ini" || e2e_fail "the close box changed the settings file"
e2e_open_dialog
e2e_click 470 177   # ﾗｲﾝ
xdotool key Escape
ends_with "Escape"
cmp -s "$VARNOSCAPE_INI" "$E2E_TMP/before.ini" || e2e_fail "Escape changed the settings file"

# 3. The choices, then 設定: exactly those values change.
e2e_open_dialog
e2e_click 470 57    # ﾗﾝﾀﾞﾑ
e2e_click 470 117   # ﾌﾙｽｸﾘｰﾝ
e2e_click 470 177   # ﾗｲﾝ
e2e_click 226 222   # *.gif
e2e_click 386 330   # 設定
ends_with "設定"
settings 1 1 1 1 >"$E2E_TMP/want.ini"
cmp "$VARNOSCAPE_INI" "$E2E_TMP/want.ini" >&2 || e2e_fail "the saved file differs from the choices"

# The same choices, the focus in the list, then Return.
cp "$E2E_TMP/before.ini" "$VARNOSCAPE_INI"
e2e_open_dialog
e2e_click 470 57    # ﾗﾝﾀﾞﾑ
e2e_click 470 117   # ﾌﾙｽｸﾘｰﾝ
e2e_click 470 177   # ﾗｲﾝ
e2e_click 226 222   # *.gif
e2e_click 60 86     # the name in the list
xdotool key Return
ends_with "Return"
cmp "$VARNOSCAPE_INI" "$E2E_TMP/want.ini" >&2 || e2e_fail "Return did not save the choices"

# The keyboard alone: from "設定", six Tabs reach "*.gif", Space toggles it,
# Return saves.
cp "$E2E_TMP/before.ini" "$VARNOSCAPE_INI"
e2e_open_dialog
e2e_click 520 250   # the window's empty background: the keys go here
xdotool key Tab Tab Tab Tab Tab Tab space Return
ends_with "Tab, Space and Return"
settings 0 0 0 1 >"$E2E_TMP/want.ini"
cmp "$VARNOSCAPE_INI" "$E2E_TMP/want.ini" >&2 || e2e_fail "the keyboard did not toggle *.gif"

e2e_windows && { echo "PASS"; exit 0; }  # the chooser below is the desktop's

# 4. A folder through the chooser (a stand-in zenity first on the PATH),
# then a click on a name shows its preview.
mkdir -p "$E2E_TMP/bin"
printf '#!/bin/sh\necho "%s"\n' "$other" >"$E2E_TMP/bin/zenity"
chmod +x "$E2E_TMP/bin/zenity"
PATH="$E2E_TMP/bin:$PATH" e2e_open_dialog
e2e_click 60 62     # ﾌｫﾙﾀﾞ指定...
import -window "$dialog" "$E2E_TMP/listed.png"
# The count box shows 3 and the list three names: dark text in both (at
# least 15 dark pixels of a digit in the box, which holds five).
count_ink=$(convert "$E2E_TMP/listed.png" -crop 48x15+125+57 -threshold 30% -format '%[fx:(1-mean)*w*h]' info:)
awk -v v="$count_ink" 'BEGIN {exit !(v >= 15)}' || e2e_fail "no count after choosing a folder"
e2e_click 60 86     # the first name
sleep 0.5
import -window "$dialog" "$E2E_TMP/preview.png"
# The preview frame is no longer the plain light grey of an empty frame.
spread=$(convert "$E2E_TMP/preview.png" -crop 90x60+209+69 -format '%[fx:standard_deviation]' info:)
awk -v v="$spread" 'BEGIN {exit !(v > 0.05)}' || e2e_fail "no preview after a click on a name"
e2e_click 488 330   # ｷｬﾝｾﾙ
ends_with "ｷｬﾝｾﾙ after the preview"
echo "PASS"
