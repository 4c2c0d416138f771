#!/usr/bin/env bash
# Mouse rules: with /s the first movement only records the position, a purely
# horizontal or vertical movement does not end the saver and one that changes
# both coordinates does; with an empty command line movement never ends it
# but a click does.
# editions: linux windows
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 800x600

pics="$E2E_TMP/pics"
mkdir -p "$pics"
cp "$E2E_SAMPLES/landscape.bmp" "$pics/"
e2e_write_ini "$pics"

xdotool mousemove 100 100
e2e_start /s
e2e_wait_window Varnoscape_Main 10 >/dev/null || e2e_fail "no saver window"
sleep 0.5
if e2e_windows; then
  # Windows itself reports a movement when a window comes up under the
  # pointer: that one is the first, recorded where the pointer stands.
  first=(100 100)
else
  xdotool mousemove 120 120  # first movement seen: recorded only
  sleep 0.3
  e2e_still_running "$E2E_PID" 0.2 || e2e_fail "the first movement ended the saver"
  first=(120 120)
fi
xdotool mousemove 300 "${first[1]}"  # horizontal
e2e_still_running "$E2E_PID" 0.5 || e2e_fail "a horizontal movement ended the saver"
xdotool mousemove "${first[0]}" 400  # vertical, back on the first column
e2e_still_running "$E2E_PID" 0.5 || e2e_fail "a vertical movement ended the saver"
xdotool mousemove 310 410  # both coordinates differ from the first position
status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "a diagonal movement did not end the saver"
[ "$status" = 0 ] || e2e_fail "status $status after a diagonal movement"

# No switch at all: movement never ends it, a click does.
e2e_start
e2e_wait_window Varnoscape_Main 10 >/dev/null || e2e_fail "no saver window without a switch"
sleep 0.5
for xy in "200 200" "400 300" "50 500" "700 20"; do
  xdotool mousemove $xy
  sleep 0.2
done
e2e_still_running "$E2E_PID" 0.5 || e2e_fail "movement ended the saver started without a switch"
xdotool click 1
status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "a click did not end the saver"
[ "$status" = 0 ] || e2e_fail "status $status after a click"
echo "PASS"
