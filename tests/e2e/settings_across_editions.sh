#!/usr/bin/env bash
# One settings file, both editions: what the Linux edition's dialog saves,
# the Windows edition loads unchanged (its 設定 without a change writes the
# same bytes back), and the other way round. The picture folder is named
# relative to the working folder, which both editions share.
# editions: windows
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 1024x768
e2e_windows || e2e_fail "E2E_WINDOWS_BUILD must name the Windows edition's build"
windows_saver=$E2E_SAVER

cd "$E2E_TMP"
mkdir -p pics
cp "$E2E_SAMPLES/landscape.bmp" pics/a.bmp

# settings CHANGE SIZE WAY KIND1 KIND3: the file, with lines of its own
# around ours.
settings() {
  printf '; written by hand\r\n[Section]\r\n画像ﾁｪﾝｼﾞ= %s\r\n画像のｻｲｽﾞ= %s\r\n画像のﾌｫﾙﾀﾞ=pics\r\n画像種類_0= 1\r\n画像種類_1= %s\r\n画像種類_2= 1\r\n画像種類_3= %s\r\n描画方法= %s\r\n[Other]\r\nキー=値\r\n' \
    "$1" "$2" "$4" "$5" "$3" | iconv -f UTF-8 -t CP932
}

# save_with PROGRAM X,Y...: opens the dialog of PROGRAM, clicks at those
# points of its client area, then 設定.
save_with() {
  E2E_SAVER=$1
  shift
  e2e_start /c
  local dialog
  dialog=$(e2e_wait_window 'Varnoscapeの設定' 30) ||
    e2e_fail "no settings dialog from $E2E_SAVER: $(cat "$E2E_TMP/saver.err")"
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  local dx=$(((WIDTH - 549) / 2)) point
  local dy=$((HEIGHT - 385 - dx))
  for point in "$@" 386,330; do
    xdotool mousemove --window "$dialog" $((${point%,*} + dx)) $((${point#*,} + dy)) click 1
    sleep 0.15
  done
  local status
  status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "$E2E_SAVER: the dialog did not close"
  [ "$status" = 0 ] || e2e_fail "$E2E_SAVER: status $status"
}

settings 0 0 0 1 1 >"$VARNOSCAPE_INI"

# Linux saves ﾗﾝﾀﾞﾑ, ﾗｲﾝ and no *.gif; Windows loads it and saves it unchanged.
save_with "$E2E_LINUX_SAVER" 470,57 470,177 226,222
settings 1 0 1 0 1 >want.ini
cmp "$VARNOSCAPE_INI" want.ini >&2 || e2e_fail "the Linux edition saved other bytes"
save_with "$windows_saver"
cmp "$VARNOSCAPE_INI" want.ini >&2 || e2e_fail "the Windows edition did not load the Linux file as it is"

# Windows saves ﾌﾙｽｸﾘｰﾝ and no *.wmf; Linux loads it and saves it unchanged.
save_with "$windows_saver" 470,117 226,254
settings 1 1 1 0 0 >want.ini
cmp "$VARNOSCAPE_INI" want.ini >&2 || e2e_fail "the Windows edition saved other bytes"
save_with "$E2E_LINUX_SAVER"
cmp "$VARNOSCAPE_INI" want.ini >&2 || e2e_fail "the Linux edition did not load the Windows file as it is"
echo "PASS"
