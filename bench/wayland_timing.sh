#!/usr/bin/env bash
# The saver's reaction and cost in a Wayland session, measured on the real
# binary under a headless sway (software rendering) at 1920x1080:
#   - time from a key press to the end of the process, 20 times: the saver
#     starts on one picture drawn at once, and the key comes once the relief
#     is on the output; median and worst, counted from the start of wtype
#     (its own start-up is included: wtype alone, into no window, is given
#     too);
#   - processor time while a picture builds up at the normal pace, dots and
#     lines: the saver's, and sway's, which composites every frame the saver
#     commits (and sway's with nothing on the output, for comparison);
#   - wake-ups a second of the saver (the context switches of all its
#     threads, /proc/PID/task/*/status) over the same seconds of drawing, and
#     over a session of tiny pictures drawn at once, which is the one-second
#     pauses but for a load and a few rows a second.
# Usage: bash bench/wayland_timing.sh [build-dir]
source "$(dirname "$0")/../tests/e2e/lib/wayland.bash"
wl_setup "${1:-build}" 1920x1080
unset VARNOSCAPE_PACE
ticks=$(getconf CLK_TCK)

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# switches PID: context switches of all the process's threads so far.
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null |
    awk '/^(non)?voluntary_ctxt_switches/ {n += $2} END {print n + 0}'
}

# per_second COUNT SECONDS
per_second() { awk -v n="$1" -v s="$2" 'BEGIN {printf "%.1f", n / s}'; }

# share TICKS: ticks over 10 s as a percentage of one core.
share() { awk -v d="$1" -v t="$ticks" 'BEGIN {printf "%.1f", 100 * d / t / 10}'; }

now_us() { echo $(($(date +%s%N) / 1000)); }

# median MICROSECONDS...
median() {
  printf '%s\n' "$@" | sort -n |
    awk '{v[NR] = $1} END {print int((v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2)}'
}

# summary WHAT MICROSECONDS...: median and worst.
summary() {
  local what=$1
  shift
  awk -v what="$what" -v m="$(median "$@")" -v w="$(printf '%s\n' "$@" | sort -n | tail -n 1)" \
    'BEGIN {printf "%-44s median %6.1f ms, worst %6.1f ms\n", what, m / 1000, w / 1000}'
}

pics="$E2E_TMP/pics"
mkdir -p "$pics"
cp "$E2E_SAMPLES/landscape.jpg" "$pics/"
# A background of another colour: the output turning black says the saver's
# surface is up.
wl_background '#203050' HEADLESS-1

# start_saver: starts the saver; sets pid.
start_saver() {
  "$E2E_SAVER" /s 2>"$E2E_TMP/saver.err" &
  pid=$!
}

# wait_until WHAT TEST...: waits (20 s at most) until the command TEST...
# holds for a screenshot of the output, given as its last argument.
wait_until() {
  local what=$1 i
  shift
  for i in $(seq 1 200); do
    kill -0 "$pid" 2>/dev/null || e2e_fail "the saver ended before its $what: $(cat "$E2E_TMP/saver.err")"
    e2e_screenshot HEADLESS-1 "$E2E_TMP/shot.png" && "$@" "$E2E_TMP/shot.png" && return 0
    sleep 0.05
  done
  e2e_fail "no $what after 20 s"
}

# relief_shown SHOT: the output shows the expected relief.
relief_shown() { e2e_area_is "$1" 1920x1080+0+0 "$E2E_TMP/expected.png"; }

# covered SHOT: the output's corner no longer shows the background.
covered() { [ "$(convert "$1" -format '%[hex:p{0,0}]' info:)" != 203050 ]; }

# end_saver: a key press; waits for the saver to end.
end_saver() {
  wtype -k space
  wait "$pid" || true
}

# 1. Key press to exit, the relief drawn at once and on the output.
e2e_write_ini "$pics" 1 0 0
"$E2E_RENDER" --screen 1920x1080 --size full --way dots "$pics/landscape.jpg" "$E2E_TMP/expected.png" ||
  e2e_fail "render tool failed"
alone=()
for _ in $(seq 1 20); do
  t0=$(now_us)
  wtype -k space
  alone+=($(($(now_us) - t0)))
done
presses=()
for _ in $(seq 1 20); do
  VARNOSCAPE_PACE=0 start_saver
  wait_until relief relief_shown
  t0=$(now_us)
  wtype -k space
  wait "$pid" || e2e_fail "the saver ended with status $? after a key press"
  presses+=($(($(now_us) - t0)))
done
summary "key press to exit (target < 50 ms):" "${presses[@]}"
summary "  wtype alone, into no window:" "${alone[@]}"

# 2. Processor time over seconds 2 to 12 of an 18-second drawing at the
#    normal pace, from the moment the saver's black is up.
s0=$(cpu_ticks "$WL_SWAY_PID")
sleep 10
s1=$(cpu_ticks "$WL_SWAY_PID")
printf '%-44s sway %s %% of one core\n' "processor time, nothing drawn:" "$(share $((s1 - s0)))"
for way in 0 1; do
  e2e_write_ini "$pics" 1 "$way" 0
  start_saver
  wait_until surface covered
  sleep 2
  c0=$(cpu_ticks "$pid")
  s0=$(cpu_ticks "$WL_SWAY_PID")
  n0=$(switches "$pid")
  sleep 10
  c1=$(cpu_ticks "$pid")
  s1=$(cpu_ticks "$WL_SWAY_PID")
  n1=$(switches "$pid")
  end_saver
  how=$([ "$way" = 0 ] && echo dots || echo lines)
  printf '%-44s saver %s %%, sway %s %% of one core (saver target < 10 %%)\n' \
    "processor time drawing paced, $how:" "$(share $((c1 - c0)))" "$(share $((s1 - s0)))"
  printf '%-44s %s a second\n' "wake-ups drawing paced, $how:" "$(per_second $((n1 - n0)) 10)"
done

# 3. Wake-ups over tiny pictures drawn at once: each cycle is a load (a few
#    milliseconds), the drawing (less than one) and the one-second pause.
mkdir -p "$E2E_TMP/tiny"
convert -size 4x4 gradient:white-navy "$E2E_TMP/tiny/a.bmp"
convert -size 4x4 gradient:navy-white "$E2E_TMP/tiny/b.bmp"
e2e_write_ini "$E2E_TMP/tiny" 0 0 0
VARNOSCAPE_PACE=0 start_saver
wait_until surface covered
sleep 1
n0=$(switches "$pid")
sleep 5
n1=$(switches "$pid")
end_saver
printf '%-44s %s a second\n' "wake-ups over tiny pictures (the pauses):" "$(per_second $((n1 - n0)) 5)"
