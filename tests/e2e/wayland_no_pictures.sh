#!/usr/bin/env bash
# The saver in a Wayland session with an empty picture folder: a message box
# comes up as a window of its own, titled "Varnoscape (Saver Screen)" with
# the program's app_id, drawn and not hidden by a black saver surface; the
# program waits for it, and Return (OK) closes it and ends the program with
# status 0.
# editions: wayland
source "$(dirname "$0")/lib/wayland.bash"
wl_setup "$1"

mkdir -p "$E2E_TMP/empty"
e2e_write_ini "$E2E_TMP/empty"
# A background the saver's black would hide.
wl_background '#203050' HEADLESS-1

e2e_start /s
box=$(wl_wait_window "Varnoscape (Saver Screen)" 10) ||
  e2e_fail "no focused window titled 'Varnoscape (Saver Screen)' (status $(cat "$E2E_TMP/status.$E2E_PID" 2>/dev/null || echo "none: still running"))"
app_id=$(wl_window_field "$box" app_id)
[ "$app_id" = varnoscape ] || e2e_fail "the message box's app_id is '$app_id'"

# The box is drawn on the output and nothing black hides it: some of the
# output is neither the background nor black.
shown="" drawn=""
for _ in $(seq 1 50); do
  if e2e_screenshot HEADLESS-1 "$E2E_TMP/box.png"; then
    drawn=$(convert "$E2E_TMP/box.png" -fill black -opaque '#203050' -fill white +opaque black \
      -format '%[fx:mean]' info:)
    if awk -v v="$drawn" 'BEGIN {exit !(v > 0.01)}'; then
      shown=yes
      break
    fi
  fi
  sleep 0.1
done
[ -n "$shown" ] || e2e_fail "the box is not to be seen on the output (share drawn: ${drawn:-none})"

e2e_still_running "$E2E_PID" 0.3 || e2e_fail "the program ended before OK"
wl_key Return
status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "the program did not end after OK"
[ "$status" = 0 ] || e2e_fail "status $status after OK"
[ -z "$(wl_window "Varnoscape (Saver Screen)")" ] || e2e_fail "the box is still there after the program ended"
echo "PASS"
