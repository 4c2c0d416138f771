#!/usr/bin/env bash
# The saver where the desktop offers no layer shell (GNOME), here with the
# layer shell refused (VARNOSCAPE_NO_LAYER_SHELL=1) on a sway of two outputs:
# it says so on stderr and comes up as an ordinary full-screen window
# titled "Varnoscape_Main" with the program's app_id, on the first output,
# showing exactly the render tool's relief at that output's size, while the
# second output is left alone; a second copy ends at once with status 0; a
# key press ends the saver with status 0.
# editions: wayland
source "$(dirname "$0")/lib/wayland.bash"
wl_setup "$1"
second=$(wl_add_output 640x480 1024 0)

wl_one_picture portrait.jpg 1 0
wl_background '#203050' HEADLESS-1
wl_background '#203050' "$second"
# The first output has the keyboard's focus, so a new window goes there.
swaymsg focus output HEADLESS-1 >/dev/null

VARNOSCAPE_NO_LAYER_SHELL=1 VARNOSCAPE_PACE=0 e2e_start /s
window=$(wl_wait_window Varnoscape_Main 20) ||
  e2e_fail "no focused window titled Varnoscape_Main (status $(cat "$E2E_TMP/status.$E2E_PID" 2>/dev/null || echo "none: still running"))"
[ "$(wl_window_field "$window" app_id)" = varnoscape ] ||
  e2e_fail "the saver window's app_id is '$(wl_window_field "$window" app_id)'"
[ "$(wl_window_field "$window" fullscreen_mode)" = 1 ] || e2e_fail "the saver window is not full screen"

e2e_wait_screen HEADLESS-1 20 1024x768+0+0 "$E2E_TMP/expected.png" || {
  cp "$E2E_TMP/shot.png" /tmp/e2e_wayland_window_last.png 2>/dev/null || true
  e2e_fail "the first output never equalled the rendered relief"
}
e2e_screenshot "$second" "$E2E_TMP/second.png" &&
  e2e_area_is "$E2E_TMP/second.png" 640x480+0+0 "$E2E_TMP/bg-$second.png" ||
  e2e_fail "the saver window reached the second output"
grep -qi 'layer.shell' "$E2E_TMP/saver.err" || e2e_fail "nothing said about the missing layer shell"

status=0
timeout 10 "$E2E_SAVER" /s 2>"$E2E_TMP/second.err" || status=$?
[ "$status" = 0 ] || e2e_fail "a second copy ended with status $status: $(cat "$E2E_TMP/second.err")"
wl_ended "$E2E_PID" && e2e_fail "the first copy ended with the second"

wl_key space
status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "a key press did not end the saver"
[ "$status" = 0 ] || e2e_fail "the saver ended with status $status after a key press"
echo "PASS"
