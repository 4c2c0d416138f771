#!/usr/bin/env bash
# The settings dialog while it works: a folder of 30,000 pictures is chosen
# with "ﾌｫﾙﾀﾞ指定...", and the button is pressed 19 more times 25 ms apart
# while the count climbs, each time choosing a small folder. The dialog
# neither crashes nor mixes the listings: its list and count are what choosing the small folder
# alone gives, pixel for pixel, and "設定" stores the last folder chosen.
# The sanitizer build runs this test too.
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 1024x768

big="$E2E_TMP/big"
small="$E2E_TMP/small"
mkdir -p "$big" "$small"
(cd "$big" && seq -f '%05g.bmp' 10000 39999 | xargs touch)
cp "$E2E_SAMPLES/landscape.bmp" "$small/a.bmp"
cp "$E2E_SAMPLES/rings.gif" "$small/b.gif"
cp "$E2E_SAMPLES/landscape.jpg" "$small/c.jpg"
e2e_write_ini "$E2E_TMP"

# A stand-in zenity that answers the folders of $E2E_TMP/answers in turn,
# the last one again once they run out.
mkdir -p "$E2E_TMP/bin"
cat >"$E2E_TMP/bin/zenity" <<EOS
#!/bin/sh
answer=\$(head -n 1 "$E2E_TMP/answers")
[ "\$(wc -l <"$E2E_TMP/answers")" -gt 1 ] && sed -i 1d "$E2E_TMP/answers"
echo "\$answer"
EOS
chmod +x "$E2E_TMP/bin/zenity"

open_dialog() {
  PATH="$E2E_TMP/bin:$PATH" e2e_start /c
  dialog=$(e2e_wait_window 'Varnoscapeの設定' 20) ||
    e2e_fail "no settings dialog: $(cat "$E2E_TMP/saver.err")"
}
click() {
  xdotool mousemove --window "$dialog" "$1" "$2" click 1
}
# settled NAME: waits until the list and count (their part of the dialog)
# stand still, and keeps them as NAME.png.
settled() {
  local i
  for i in $(seq 1 200); do
    e2e_still_running "$E2E_PID" 0 ||
      e2e_fail "the dialog ended while listing: $(cat "$E2E_TMP/saver.err")"
    import -window "$dialog" -crop 175x245+20+50 +repage "$E2E_TMP/$1.png"
    if [ -f "$E2E_TMP/$1.before.png" ] && cmp -s "$E2E_TMP/$1.png" "$E2E_TMP/$1.before.png"; then
      return 0
    fi
    mv "$E2E_TMP/$1.png" "$E2E_TMP/$1.before.png"
    sleep 0.5
  done
  e2e_fail "the dialog's list never settled"
}
ends() {
  status=$(e2e_wait_exit "$E2E_PID" 20) || e2e_fail "the dialog did not close after $1"
  [ "$status" = 0 ] || e2e_fail "status $status after $1: $(cat "$E2E_TMP/saver.err")"
}

# What the small folder alone gives.
printf '%s\n' "$small" >"$E2E_TMP/answers"
open_dialog
click 60 62
settled alone
click 488 330  # ｷｬﾝｾﾙ
ends "ｷｬﾝｾﾙ"

# The large folder, and the button again twice while it is listed.
printf '%s\n%s\n' "$big" "$small" >"$E2E_TMP/answers"
open_dialog
# One xdotool for all the presses: a start of its own for each would let
# a quick listing end before the next press.
xdotool mousemove --window "$dialog" 60 62 click --repeat 20 --delay 25 1
settled busy
cmp -s "$E2E_TMP/alone.png" "$E2E_TMP/busy.png" ||
  e2e_fail "the list differs from the small folder's own (see $E2E_TMP/busy.png)"
click 386 330  # 設定
ends "設定"
stored=$(iconv -f CP932 -t UTF-8 "$VARNOSCAPE_INI" | tr -d '\r' | sed -n 's/^画像のﾌｫﾙﾀﾞ=//p')
[ "$stored" = "$small" ] || e2e_fail "stored folder '$stored', not the last chosen '$small'"
echo "PASS"
