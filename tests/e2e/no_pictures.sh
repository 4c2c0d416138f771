#!/usr/bin/env bash
# An empty folder: the message box with its title comes up, nothing else, and
# the program ends once it is closed with OK (Enter).
# editions: linux windows
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 800x600

mkdir -p "$E2E_TMP/empty"
e2e_write_ini "$E2E_TMP/empty"
e2e_start /s
box=$(e2e_wait_window "Varnoscape \\(Saver Screen\\)" 10) || e2e_fail "no message box"
xdotool search --name "^Varnoscape_Main\$" >/dev/null 2>&1 && e2e_fail "the saver window came up too"
import -window root "$E2E_TMP/box.png"
e2e_still_running "$E2E_PID" 0.3 || e2e_fail "the program ended before OK"
if e2e_windows; then
  xdotool key Return  # Wine takes no synthetic key events; the box has the focus
else
  xdotool key --window "$box" Return
fi
status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "the program did not end after OK"
[ "$status" = 0 ] || e2e_fail "status $status after OK"
echo "PASS"
