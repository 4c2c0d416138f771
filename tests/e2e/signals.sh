#!/usr/bin/env bash
# The saver as a process: SIGTERM, SIGINT and SIGHUP end it at once, also
# while a picture decodes, and take its window (and so its grabs) along, as
# does SIGKILL;
# the decoder never outlives it; SIGPIPE does not kill it; losing the X
# server ends it with status 1, also during a decode.
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 640x480

pics="$E2E_TMP/pics"
mkdir -p "$pics"
cp "$E2E_SAMPLES/landscape.bmp" "$pics/a.bmp"
cp "$E2E_SAMPLES/rings.gif" "$pics/b.gif"
e2e_write_ini "$pics" 1 0 0

# A decoder that decodes the first picture and hangs on every later one, so
# that the saver is caught in the middle of a load.
decoder="$E2E_TMP/slow-decoder"
cat >"$decoder" <<EOF
#!/bin/sh
if mkdir "$E2E_TMP/decoded-once" 2>/dev/null; then exec "$E2E_BUILD/varnoscape-decoder" "\$@"; fi
echo \$\$ >"$E2E_TMP/decoder.pid"
exec sleep 60
EOF
chmod +x "$decoder"

# start_saver [slow]: the saver up and showing; with "slow", also waiting
# for the second picture's hanging decoder.
start_saver() {
  rm -rf "$E2E_TMP/decoded-once" "$E2E_TMP/decoder.pid"
  if [ "${1:-}" = slow ]; then
    VARNOSCAPE_PACE=0 VARNOSCAPE_DECODER="$decoder" e2e_start /s
  else
    e2e_start /s
  fi
  e2e_wait_window Varnoscape_Main 10 >/dev/null || e2e_fail "no saver window"
  if [ "${1:-}" = slow ]; then
    for _ in $(seq 1 100); do
      [ -s "$E2E_TMP/decoder.pid" ] && return 0
      sleep 0.05
    done
    e2e_fail "the second picture's load never started"
  fi
}

saver_pid() { pgrep -P "$E2E_PID" -x varnoscape; }

# ends_promptly SIGNAL: the signal ends the saver, its window goes with it,
# and so does a decoder at work. The bound lies well under the decoder's
# 5-second limit, so a saver that waits for its decode still fails, yet far
# above what a loaded machine adds; the time itself is a figure of
# bench/saver_timing.sh.
ends_promptly() {
  local pid t0 took
  pid=$(saver_pid) || e2e_fail "no saver process"
  t0=$(date +%s%N)
  kill -"$1" "$pid"
  e2e_wait_exit "$E2E_PID" 10 >/dev/null || e2e_fail "SIG$1 did not end the saver"
  took=$((($(date +%s%N) - t0) / 1000000))
  [ "$took" -lt 3000 ] || e2e_fail "SIG$1 took $took ms to end the saver (waited for the decode?)"
  xdotool search --name '^Varnoscape_Main$' >/dev/null 2>&1 && e2e_fail "window left after SIG$1"
  if [ -s "$E2E_TMP/decoder.pid" ]; then
    local decoder_pid
    decoder_pid=$(cat "$E2E_TMP/decoder.pid")
    for _ in $(seq 1 250); do
      kill -0 "$decoder_pid" 2>/dev/null || break
      [ "$(awk '{print $3}' "/proc/$decoder_pid/stat" 2>/dev/null)" = Z ] && break
      sleep 0.02
    done
    kill -0 "$decoder_pid" 2>/dev/null &&
      [ "$(awk '{print $3}' "/proc/$decoder_pid/stat" 2>/dev/null)" != Z ] &&
      e2e_fail "the decoder outlived the saver after SIG$1"
  fi
  echo "SIG$1 ${2:-}: ended in $took ms"
}

for sig in TERM INT HUP; do
  start_saver
  ends_promptly "$sig" "while drawing"
  start_saver slow
  ends_promptly "$sig" "while a picture decodes"
done
# Nothing can be cleaned up after SIGKILL: the window and the decoder must
# still go at once (the decoder holds no X connection of ours).
start_saver slow
ends_promptly KILL "while a picture decodes"

# SIGPIPE is ignored: the saver draws on.
start_saver
kill -PIPE "$(saver_pid)"
e2e_still_running "$E2E_PID" 0.5 || e2e_fail "SIGPIPE ended the saver"
xdotool key space
e2e_wait_exit "$E2E_PID" 5 >/dev/null || e2e_fail "no end after SIGPIPE and a key"

# The X server goes away in the middle of a load: status 1, at once.
start_saver slow
t0=$(date +%s%N)
kill "$E2E_XVFB"
status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "the saver hung when the X server went away"
took=$((($(date +%s%N) - t0) / 1000000))
[ "$status" = 1 ] || e2e_fail "status $status when the X server went away"
echo "X server gone during a decode: status 1 after $took ms"
echo "PASS"
