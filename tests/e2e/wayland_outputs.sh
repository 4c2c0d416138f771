#!/usr/bin/env bash
# The saver on a Wayland session of two outputs, 1024x768 and 640x480 to its
# right: the first output shows the relief at its own size (full size,
# lines: the picture scaled to 1024x768, not to the smaller output or to the
# whole layout), the second is all black, and a key press ends the saver
# with status 0, from whichever of its surfaces has the keyboard.
# editions: wayland
source "$(dirname "$0")/lib/wayland.bash"
wl_setup "$1"
second=$(wl_add_output 640x480 1024 0)

wl_one_picture landscape.bmp 1 1

# Backgrounds that are not black: the saver's black must cover both
# outputs whole.
wl_background '#203050' HEADLESS-1
wl_background '#203050' "$second"

VARNOSCAPE_PACE=0 e2e_start /s
matched=""
for _ in $(seq 1 100); do
  wl_ended "$E2E_PID" && e2e_fail "the saver ended with status $(cat "$E2E_TMP/status.$E2E_PID") before showing the relief"
  if e2e_screenshot HEADLESS-1 "$E2E_TMP/first.png" &&
    e2e_area_is "$E2E_TMP/first.png" 1024x768+0+0 "$E2E_TMP/expected.png"; then
    matched=yes
    break
  fi
  sleep 0.1
done
[ -n "$matched" ] || {
  diff=$(compare -metric AE "$E2E_TMP/first.png" "$E2E_TMP/expected.png" null: 2>&1 || true)
  cp "$E2E_TMP/first.png" /tmp/e2e_wayland_outputs_last.png 2>/dev/null || true
  e2e_fail "the first output never equalled the rendered relief (last difference: $diff pixels)"
}
e2e_screenshot "$second" "$E2E_TMP/second.png" || e2e_fail "no screenshot of $second"
e2e_area_is "$E2E_TMP/second.png" 640x480+0+0 black || e2e_fail "the second output is not all black"

wl_key space
status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "a key press did not end the saver"
[ "$status" = 0 ] || e2e_fail "the saver ended with status $status after a key press"
echo "PASS"
