#!/usr/bin/env bash
# Two copies of the saver started at the same moment: exactly one of them
# runs (the other ends at once with status 0), and one key press ends it,
# leaving no saver. The window searches alone would let both through; the
# race is run ten times.
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 640x480

pics="$E2E_TMP/pics"
mkdir -p "$pics"
cp "$E2E_SAMPLES/landscape.bmp" "$pics/"
e2e_write_ini "$pics" 1 0 0

savers() {
  xdotool search --name '^Varnoscape_Main$' 2>/dev/null | wc -l
}

for round in $(seq 1 10); do
  VARNOSCAPE_PACE=0 e2e_start /s
  first=$E2E_PID
  VARNOSCAPE_PACE=0 e2e_start /s
  second=$E2E_PID

  window=$(e2e_wait_window Varnoscape_Main 10) || e2e_fail "round $round: no saver window"
  # One of the two gives way at once.
  loser=""
  for _ in $(seq 1 300); do
    if [ -s "$E2E_TMP/status.$first" ]; then
      loser=$first winner=$second
    elif [ -s "$E2E_TMP/status.$second" ]; then
      loser=$second winner=$first
    fi
    [ -n "$loser" ] && break
    sleep 0.01
  done
  [ -n "$loser" ] || e2e_fail "round $round: both copies run ($(savers) saver windows)"
  [ "$(cat "$E2E_TMP/status.$loser")" = 0 ] ||
    e2e_fail "round $round: the second copy ended with status $(cat "$E2E_TMP/status.$loser"): $(cat "$E2E_TMP/saver.err")"
  [ -s "$E2E_TMP/status.$winner" ] && e2e_fail "round $round: both copies ended"
  [ "$(savers)" = 1 ] || e2e_fail "round $round: $(savers) saver windows"

  # The saver gives its window the focus once it holds the keyboard.
  for _ in $(seq 1 200); do
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$window" ] && break
    sleep 0.01
  done
  xdotool key space
  status=$(e2e_wait_exit "$winner" 5) || e2e_fail "round $round: a key press did not end the saver"
  [ "$status" = 0 ] || e2e_fail "round $round: status $status after a key press"
  [ "$(savers)" = 0 ] || e2e_fail "round $round: $(savers) saver windows after the key press"
done
echo "PASS"
