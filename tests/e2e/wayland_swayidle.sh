#!/usr/bin/env bash
# The saver started by swayidle, as a sway user sets it up
# (`swayidle -w timeout 600 'varnoscape /s'`, here after one idle second):
# the saver comes up and its relief covers the output; a key press ends it;
# after the next idle second swayidle starts it again, and it comes up again
# (the first copy left nothing behind that would take it for a running
# copy), and a key press ends that one too.
# editions: wayland
source "$(dirname "$0")/lib/wayland.bash"
wl_setup "$1"

wl_one_picture rings.gif 0 0
wl_background '#203050' HEADLESS-1

# The program is found on the PATH, as an installed one would be. What it
# says lands in swayidle's output (shown when the test fails).
PATH="$E2E_BUILD:$PATH" VARNOSCAPE_PACE=0 \
  swayidle -w timeout 1 'varnoscape /s' >"$E2E_TMP/saver.err" 2>&1 &
idle=$!
E2E_PIDS="$E2E_PIDS $idle"

# saver_below PID: prints the varnoscape process among PID's descendants.
saver_below() {
  local pid
  for pid in $(wl_descendants "$1"); do
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = varnoscape ] && { echo "$pid"; return 0; }
  done
  return 1
}

previous=""
for round in 1 2; do
  saver=""
  for _ in $(seq 1 150); do
    kill -0 "$idle" 2>/dev/null || e2e_fail "round $round: swayidle ended"
    saver=$(saver_below "$idle") && [ "$saver" != "$previous" ] && break
    saver=""
    sleep 0.1
  done
  if [ -z "$saver" ]; then
    # What the program says when started by hand in the same session.
    status=0
    VARNOSCAPE_PACE=0 timeout 5 "$E2E_SAVER" /s 2>"$E2E_TMP/saver.err" || status=$?
    e2e_fail "round $round: swayidle started no saver that stayed (by hand: status $status)"
  fi
  E2E_PIDS="$E2E_PIDS $saver"

  e2e_wait_screen HEADLESS-1 20 1024x768+0+0 "$E2E_TMP/expected.png" || {
    kill -0 "$saver" 2>/dev/null || e2e_fail "round $round: the saver ended without showing the relief"
    e2e_fail "round $round: the output never equalled the rendered relief"
  }

  wl_key space
  for _ in $(seq 1 500); do
    kill -0 "$saver" 2>/dev/null || break
    sleep 0.01
  done
  kill -0 "$saver" 2>/dev/null && e2e_fail "round $round: a key press did not end the saver"
  previous=$saver
done
echo "PASS"
