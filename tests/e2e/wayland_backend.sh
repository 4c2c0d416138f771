#!/usr/bin/env bash
# Which display the one program takes. With neither WAYLAND_DISPLAY nor
# DISPLAY it ends with status 1 and one sentence naming both. With both (a
# Wayland session with Xwayland) the saver comes up on Wayland, and no X
# window of it; with VARNOSCAPE_BACKEND=x11 on X, and nothing of it on
# Wayland. Either way a key ends it with status 0.
# editions: wayland
source "$(dirname "$0")/lib/wayland.bash"
wl_setup "$1"

# 1. No display at all.
status=0
env -u WAYLAND_DISPLAY -u DISPLAY timeout 10 "$E2E_SAVER" /s >"$E2E_TMP/none.out" 2>"$E2E_TMP/none.err" || status=$?
[ "$status" = 1 ] || e2e_fail "without a display: status $status: $(cat "$E2E_TMP/none.err")"
[ "$(wc -l <"$E2E_TMP/none.err")" = 1 ] && grep -q 'WAYLAND_DISPLAY' "$E2E_TMP/none.err" &&
  grep -qE '(^|[^_])DISPLAY' "$E2E_TMP/none.err" ||
  e2e_fail "without a display it should say, in one line, that neither WAYLAND_DISPLAY nor DISPLAY is set: '$(cat "$E2E_TMP/none.err")'"

wl_one_picture rings.gif 0 0
wl_background '#203050' HEADLESS-1
e2e_xvfb x_display -screen 0 800x600x24

# x_saver_window: the X saver window's id, if there is one.
x_saver_window() {
  DISPLAY=$x_display xdotool search --name '^Varnoscape_Main$' 2>/dev/null | head -n1 || true
}

# 2. Both displays: Wayland's.
DISPLAY=$x_display VARNOSCAPE_PACE=0 e2e_start /s
e2e_wait_screen HEADLESS-1 20 1024x768+0+0 "$E2E_TMP/expected.png" || {
  wl_ended "$E2E_PID" && e2e_fail "with both displays the saver ended with status $(cat "$E2E_TMP/status.$E2E_PID")"
  [ -n "$(x_saver_window)" ] && e2e_fail "with both displays the saver came up on X"
  e2e_fail "with both displays the relief never showed on Wayland"
}
[ -z "$(x_saver_window)" ] || e2e_fail "with both displays the saver has an X window too"
wl_key space
status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "a key press did not end the saver on Wayland"
[ "$status" = 0 ] || e2e_fail "the saver ended with status $status after a key press on Wayland"

# 3. Both displays and VARNOSCAPE_BACKEND=x11: X's.
DISPLAY=$x_display VARNOSCAPE_BACKEND=x11 VARNOSCAPE_PACE=0 e2e_start /s
DISPLAY=$x_display e2e_wait_window Varnoscape_Main 10 >/dev/null ||
  e2e_fail "with VARNOSCAPE_BACKEND=x11 no X window titled Varnoscape_Main"
# Once the relief is on X, Wayland's output still shows its background.
"$E2E_RENDER" --screen 800x600 --size own --way dots "$pics/rings.gif" "$E2E_TMP/expected_x.png" ||
  e2e_fail "render tool failed"
drawn=""
for _ in $(seq 1 100); do
  DISPLAY=$x_display import -window root "$E2E_TMP/x.png" 2>/dev/null &&
    e2e_area_is "$E2E_TMP/x.png" 800x600+0+0 "$E2E_TMP/expected_x.png" && drawn=yes && break
  sleep 0.1
done
[ -n "$drawn" ] || e2e_fail "with VARNOSCAPE_BACKEND=x11 the relief never showed on X"
e2e_screenshot HEADLESS-1 "$E2E_TMP/wayland.png" &&
  e2e_area_is "$E2E_TMP/wayland.png" 1024x768+0+0 "$E2E_TMP/bg-HEADLESS-1.png" ||
  e2e_fail "with VARNOSCAPE_BACKEND=x11 the saver covered the Wayland output too"
DISPLAY=$x_display xdotool key space
status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "a key press did not end the saver on X"
[ "$status" = 0 ] || e2e_fail "the saver ended with status $status after a key press on X"
echo "PASS"
