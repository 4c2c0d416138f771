#!/usr/bin/env bash
# The saver in a Wayland session (a headless sway, no X server): on a folder
# of one picture, its own size, dots, the output ends up showing exactly the
# render tool's relief of it at the output's size; a second copy, /s or /c,
# ends at once with status 0 while the first runs on; a key press ends the
# saver with status 0.
# editions: wayland
source "$(dirname "$0")/lib/wayland.bash"
wl_setup "$1"

# 800x600: smaller than the output, so the relief sits in the middle.
wl_one_picture landscape.jpg 0 0

# A background that is not black: the black around the relief must be the
# saver's, over the whole output.
wl_background '#203050' HEADLESS-1

VARNOSCAPE_PACE=0 e2e_start /s
# Drawn at once, the relief stays a second before the picture is drawn
# again: catch it.
matched="" diff=""
for _ in $(seq 1 100); do
  wl_ended "$E2E_PID" && e2e_fail "the saver ended with status $(cat "$E2E_TMP/status.$E2E_PID") before showing the relief"
  if e2e_screenshot HEADLESS-1 "$E2E_TMP/shot.png"; then
    diff=$(compare -metric AE "$E2E_TMP/shot.png" "$E2E_TMP/expected.png" null: 2>&1 || true)
    if [ "$diff" = 0 ]; then
      matched=yes
      break
    fi
  fi
  sleep 0.1
done
[ -n "$matched" ] || {
  cp "$E2E_TMP/shot.png" /tmp/e2e_wayland_saver_last.png 2>/dev/null || true
  e2e_fail "the output never equalled the rendered relief (last difference: $diff pixels)"
}

# A second copy finds the first one's claim and ends by itself (timeout's
# 124 would say it waited instead).
for switch in /s /c; do
  status=0
  timeout 10 "$E2E_SAVER" "$switch" 2>"$E2E_TMP/second.err" || status=$?
  [ "$status" = 0 ] || e2e_fail "a second copy ($switch) ended with status $status: $(cat "$E2E_TMP/second.err")"
  wl_ended "$E2E_PID" && e2e_fail "the first copy ended with the second ($switch)"
done

wl_key space
status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "a key press did not end the saver"
[ "$status" = 0 ] || e2e_fail "the saver ended with status $status after a key press"
echo "PASS"
