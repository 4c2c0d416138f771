#!/usr/bin/env bash
# Folders as people keep them: a folder named "Urlaub München Zoë 한국"
# (beyond code page 932) holding a picture, another two folders down, one in
# a hidden folder and a link back up to itself.
# - Linux: chosen in the dialog (a stand-in zenity), the subfolders check
#   clicked and saved: the folder key is left empty, the folder kept in its
#   own key, the switch written.
# - Both editions: with that file the saver shows the picture two folders
#   down and the one beside it in turn, never the hidden one; the dialog
#   saves the same bytes again. With the switch off it shows only the one
#   in the folder itself.
# editions: linux windows
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 1024x768

root="$E2E_TMP/Urlaub München Zoë 한국"
mkdir -p "$root/2019/summer" "$root/.hidden"
cp "$E2E_SAMPLES/landscape.bmp" "$root/a.bmp"
cp "$E2E_SAMPLES/rings8.bmp" "$root/2019/summer/beach.bmp"
convert "$E2E_SAMPLES/rings8.bmp" -negate "BMP3:$root/.hidden/secret.bmp" || e2e_fail "convert failed"
ln -s "$root" "$root/2019/up"
render() { "$E2E_RENDER" --screen 1024x768 --size full --way dots "$1" "$2" || e2e_fail "render tool failed on $1"; }
render "$root/a.bmp" "$E2E_TMP/a.png"
render "$root/2019/summer/beach.bmp" "$E2E_TMP/beach.png"

native=$(e2e_native_path "$root")
# The folder as the settings file keeps it: UTF-8, bytes beyond ASCII as %XX.
escaped=""
for byte in $(printf '%s' "$native" | od -An -v -tx1); do
  if ((16#$byte >= 32 && 16#$byte < 127 && 16#$byte != 37)); then
    escaped+=$(printf "\\x$byte")
  else
    escaped+="%${byte^^}"
  fi
done
saved() {  # SUBFOLDERS: the file a save writes for this folder
  printf '[Section]\r\n画像ﾁｪﾝｼﾞ= 0\r\n画像のｻｲｽﾞ= 1\r\n画像のﾌｫﾙﾀﾞ=\r\n画像種類_0= 1\r\n画像種類_1= 1\r\n画像種類_2= 1\r\n画像種類_3= 1\r\n描画方法= 0\r\nｻﾌﾞﾌｫﾙﾀﾞ= %s\r\n画像のﾌｫﾙﾀﾞ_UTF8=%s\r\n' \
    "$1" "$escaped" | iconv -f UTF-8 -t CP932
}

saved_with_button() {
  e2e_click 386 330          # 設定
  status=$(e2e_wait_exit "$E2E_PID" 10) || e2e_fail "the dialog did not close on 設定"
  [ "$status" = 0 ] || e2e_fail "the dialog ended with status $status"
}

if e2e_windows; then
  saved 1 >"$VARNOSCAPE_INI"
else
  # Chosen in the dialog, the subfolders check clicked, saved.
  e2e_write_ini "$E2E_SAMPLES" 1 0 0
  mkdir -p "$E2E_TMP/bin"
  printf '#!/bin/sh\necho "%s"\n' "$root" >"$E2E_TMP/bin/zenity"
  chmod +x "$E2E_TMP/bin/zenity"
  PATH="$E2E_TMP/bin:$PATH" e2e_open_dialog
  e2e_click 60 62        # ﾌｫﾙﾀﾞ指定...
  sleep 0.5
  e2e_click 450 278          # ｻﾌﾞﾌｫﾙﾀﾞも
  saved_with_button
fi
cmp -s "$VARNOSCAPE_INI" <(saved 1) ||
  e2e_fail "the settings file is not what a save writes: $(iconv -f CP932 -t UTF-8 "$VARNOSCAPE_INI" | tr '\r' ' ')"

# shows SECONDS NAME...: the screen shows each relief in turn.
shows() {
  local seconds=$1 name
  shift
  for name in "$@"; do
    e2e_wait_screen root "$seconds" 1024x768+0+0 "$E2E_TMP/$name.png" || {
      cp "$E2E_TMP/shot.png" "/tmp/e2e_folders_$name.png" 2>/dev/null || true
      e2e_fail "the screen never showed $name"
    }
  done
}
end_saver() {
  xdotool key space
  status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "a key press did not end the saver"
  [ "$status" = 0 ] || e2e_fail "saver ended with status $status"
}

# In path order: 2019/summer/beach.bmp, a.bmp, and round again; never the
# hidden folder's picture, and the link back up walked once.
VARNOSCAPE_PACE=0 e2e_start /s
e2e_wait_window Varnoscape_Main 15 >/dev/null || e2e_fail "no saver window: $(cat "$E2E_TMP/saver.err")"
shows 30 beach a beach a
end_saver

# The dialog opens on the same choices and saves the same bytes.
before=$(md5sum <"$VARNOSCAPE_INI")
e2e_open_dialog
sleep 1
saved_with_button
[ "$(md5sum <"$VARNOSCAPE_INI")" = "$before" ] || e2e_fail "a save changed the settings file"

# The switch off: the folder alone.
saved 0 >"$VARNOSCAPE_INI"
VARNOSCAPE_PACE=0 e2e_start /s
e2e_wait_window Varnoscape_Main 15 >/dev/null || e2e_fail "no saver window"
shows 30 a
sleep 3
e2e_screenshot root "$E2E_TMP/later.png"
e2e_area_is "$E2E_TMP/later.png" 1024x768+0+0 "$E2E_TMP/beach.png" && e2e_fail "a subfolder's picture shown with the switch off"
end_saver
echo "PASS"
