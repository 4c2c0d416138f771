#!/usr/bin/env bash
# Today's picture kinds reach the screen: a folder holding a picture of each
# kind, made here by the libraries' own tools from one sample, and a
# settings file holding only the first four kinds' keys (so the later kinds
# are on by their absence). The saver shows them one after the other in
# name order, each equal to the render tool's relief of the same file; the
# lossless ones also equal the relief of the bitmap they were made from. The
# Windows edition shows what its system decodes (under Wine: JPEG, PNG and
# TIFF) and passes over the kinds whose decoder the system lacks.
# editions: linux windows
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 1024x768

for tool in convert cwebp heif-enc avifenc; do
  command -v "$tool" >/dev/null || e2e_fail "$tool is missing: bash scripts/deps.sh test"
done

pics="$E2E_TMP/pics"
mkdir -p "$pics"
source_bmp="$E2E_SAMPLES/landscape.bmp"
convert "$source_bmp" "$E2E_TMP/source.png" || e2e_fail "convert could not make the source PNG"
cp "$E2E_SAMPLES/landscape.jpg" "$pics/a_photo.jpeg"
cp "$E2E_TMP/source.png" "$pics/b_screenshot.PNG"
convert "$source_bmp" -compress lzw "$pics/c_scan.tiff" || e2e_fail "convert could not make a TIFF"
cwebp -quiet -lossless "$E2E_TMP/source.png" -o "$pics/d_web.webp" || e2e_fail "cwebp failed"
heif-enc -q 90 "$E2E_TMP/source.png" -o "$pics/e_phone.heic" >/dev/null || e2e_fail "heif-enc failed"
avifenc -s 10 "$E2E_TMP/source.png" "$pics/f_web.avif" >/dev/null || e2e_fail "avifenc failed"
e2e_write_ini "$pics" 1 0 0
grep -qa "_4" "$VARNOSCAPE_INI" && e2e_fail "the settings file holds more than the first four kinds"

render() { "$E2E_RENDER" --screen 1024x768 --size full --way dots "$1" "$2" || e2e_fail "render tool failed on $1"; }
render "$source_bmp" "$E2E_TMP/source_relief.png"
shown=(a_photo.jpeg b_screenshot.PNG c_scan.tiff d_web.webp e_phone.heic f_web.avif)
# WIC's JPEG decoder rounds differently from libjpeg: the Windows edition's
# photo is not compared with the Linux render tool's, only its lossless kinds.
e2e_windows && shown=(b_screenshot.PNG c_scan.tiff)
for name in "${shown[@]}"; do
  render "$pics/$name" "$E2E_TMP/$name.png"
  case $name in
    b_* | c_* | d_*)
      [ "$(compare -metric AE "$E2E_TMP/$name.png" "$E2E_TMP/source_relief.png" null: 2>&1)" = 0 ] ||
        e2e_fail "the relief of $name differs from the bitmap's it was made from"
      ;;
  esac
done

VARNOSCAPE_PACE=0 e2e_start /s
e2e_wait_window Varnoscape_Main 10 >/dev/null || e2e_fail "no window titled Varnoscape_Main"
# Each drawing stays on screen for a second once finished: catch each in turn.
for name in "${shown[@]}"; do
  e2e_wait_screen root 30 1024x768+0+0 "$E2E_TMP/$name.png" || {
    cp "$E2E_TMP/shot.png" "/tmp/e2e_picture_kinds_$name.png" 2>/dev/null || true
    e2e_fail "the screen never showed $name"
  }
done
xdotool key space
status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "a key press did not end the saver"
[ "$status" = 0 ] || e2e_fail "saver ended with status $status after a key press"
echo "PASS"
