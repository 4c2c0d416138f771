#!/usr/bin/env bash
# How often the saver wakes while it has little to do, counted as a laptop
# pays for it: the context switches of all its threads (/proc/PID/task/*/
# status), on the real binary under Xvfb.
#   - during a slow load: the second picture's decoder takes 4 s (a stand-in
#     decoder that waits before it decodes), and nothing else happens;
#   - over a session of tiny pictures: each cycle is a load, a drawing of a
#     few rows and the one-second pause; given per second and per cycle.
# Usage: bash bench/wakeups.sh [build-dir]
# With E2E_WINDOWS_BUILD=<folder> it counts the Windows edition's
# Varnoscape.scr under Wine instead (its process's threads, not Wine's
# server's); the slow load is then not measured (its decoder is a thread
# that no stand-in can slow down).
source "$(dirname "$0")/../tests/e2e/lib/common.bash"
e2e_setup "${1:-build}" 1024x768

# switches PID [KIND]: context switches of all the process's threads so far;
# KIND "voluntary" counts only those where a thread went to sleep itself
# (the rest are other programs taking the core, which a busy machine adds).
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null |
    awk -v kind="${2:-}" '(kind == "" && /^(non)?voluntary_ctxt_switches/) ||
      (kind != "" && $1 == kind "_ctxt_switches:") {n += $2} END {print n + 0}'
}

# the_saver: the process that runs the saver's code (under Wine, the
# program's own process, not the shell around it).
the_saver() {
  local pid
  pid=$(e2e_saver_pid) || e2e_fail "no saver process"
  if e2e_windows; then
    for _ in $(seq 1 200); do
      pid=$(pgrep -f 'Varnoscape.scr' | while read -r p; do
        [ -r "/proc/$p/task" ] && grep -q wine "/proc/$p/maps" 2>/dev/null && echo "$p"
      done | tail -n 1)
      [ -n "$pid" ] && break
      sleep 0.05
    done
  fi
  echo "$pid"
}

# rate PID SECONDS: wake-ups a second over that many seconds, all of them
# and (after a slash) the voluntary ones.
rate() {
  local a b va vb
  a=$(switches "$1")
  va=$(switches "$1" voluntary)
  sleep "$2"
  b=$(switches "$1")
  vb=$(switches "$1" voluntary)
  awk -v d=$((b - a)) -v v=$((vb - va)) -v s="$2" 'BEGIN {printf "%.1f / %.1f", d / s, v / s}'
}

mkdir -p "$E2E_TMP/tiny"
convert -size 4x4 gradient:white-navy "$E2E_TMP/tiny/a.bmp"
convert -size 4x4 gradient:navy-white "$E2E_TMP/tiny/b.bmp"
e2e_write_ini "$E2E_TMP/tiny" 0 0 0

if ! e2e_windows; then
  decoder="$E2E_TMP/slow-decoder"
  cat >"$decoder" <<EOS
#!/bin/sh
if mkdir "$E2E_TMP/decoded-once" 2>/dev/null; then exec "$E2E_BUILD/varnoscape-decoder" "\$@"; fi
echo \$\$ >"$E2E_TMP/decoder.pid"
sleep 4
exec "$E2E_BUILD/varnoscape-decoder" "\$@"
EOS
  chmod +x "$decoder"
  VARNOSCAPE_PACE=0 VARNOSCAPE_DECODER="$decoder" e2e_start /s
  e2e_wait_window Varnoscape_Main 20 >/dev/null || e2e_fail "no saver window"
  pid=$(the_saver)
  for _ in $(seq 1 200); do
    [ -s "$E2E_TMP/decoder.pid" ] && break
    sleep 0.05
  done
  sleep 0.3
  echo "wake-ups during a slow load:   $(rate "$pid" 3) (all / voluntary) a second (target <= 2)"
  kill "$pid"
  e2e_wait_exit 10 >/dev/null 2>&1 || true
fi

# Drawn at once (unpaced), so that what is counted is the loop's own
# waking: a paced drawing wakes once a frame by design.
VARNOSCAPE_PACE=0 e2e_start /s
e2e_wait_window Varnoscape_Main 20 >/dev/null || e2e_fail "no saver window"
pid=$(the_saver)
sleep 1
seconds=10
per_second=$(rate "$pid" $seconds)
# A cycle: the load (a few milliseconds), the drawing (less than one) and
# the one-second pause.
cycle=1.01
echo "wake-ups over tiny pictures:  $per_second (all / voluntary) a second," \
  "$(awk -v r="${per_second%% *}" -v v="${per_second##* }" -v c="$cycle" \
    'BEGIN {printf "%.1f / %.1f", r * c, v * c}') a cycle (target <= 3 a cycle)"
kill "$pid" 2>/dev/null || true
