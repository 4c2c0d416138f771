#!/usr/bin/env bash
# A long run of the real saver under Xvfb: a folder of 1000 pictures, a
# third of them broken (cut short, garbage, empty, not pictures at all),
# shown in turn with no pace (each still followed by its one-second pause,
# so a round takes about 17 minutes). Prints the saver's resident memory,
# open descriptors, threads and child processes at the start, every minute,
# and at the end: they must stay flat.
# Usage: bash bench/soak.sh [build-dir] [pictures]
source "$(dirname "$0")/../tests/e2e/lib/common.bash"
e2e_setup "${1:-build}" 1280x720
count=${2:-1000}

pics="$E2E_TMP/pics"
mkdir -p "$pics"
good=(landscape.jpg landscape.bmp rings.gif scene.wmf portrait.jpg stripes_rle8.bmp progressive.jpg)
for i in $(seq 1 "$count"); do
  name=$(printf 'p%04d' "$i")
  case $((i % 3)) in
    0)
      case $((i % 4)) in
        0) head -c 2000 "$E2E_SAMPLES/landscape.jpg" >"$pics/$name.jpg" ;;
        1) head -c 5000 /dev/urandom >"$pics/$name.gif" ;;
        2) : >"$pics/$name.bmp" ;;
        3) echo "not a metafile" >"$pics/$name.wmf" ;;
      esac
      ;;
    *)
      src=${good[$((i % ${#good[@]}))]}
      cp "$E2E_SAMPLES/$src" "$pics/$name.${src##*.}"
      ;;
  esac
done
e2e_write_ini "$pics" 1 0 0

VARNOSCAPE_PACE=0 "$E2E_SAVER" /s &
pid=$!
e2e_wait_window Varnoscape_Main 10 >/dev/null || e2e_fail "no window"

sample() {
  local rss threads fds children
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
  threads=$(awk '/^Threads/ {print $2}' "/proc/$pid/status")
  fds=$(ls "/proc/$pid/fd" | wc -l)
  children=$( (pgrep -P "$pid" || true) | wc -l)
  printf '%-8s rss %6d kB  descriptors %3d  threads %2d  children %d\n' "$1" "$rss" "$fds" \
    "$threads" "$children"
}

sleep 5
sample start
start=$(date +%s)
# A round: one pause per picture, plus the loads.
duration=$((count + count / 10))
while [ $(($(date +%s) - start)) -lt "$duration" ]; do
  sleep 60
  kill -0 "$pid" 2>/dev/null || e2e_fail "the saver ended during the soak"
  sample "$(($(date +%s) - start)) s"
done
sample end
echo "peak resident memory: $(awk '/^VmHWM/ {print $2}' "/proc/$pid/status") kB"
kill "$pid"
wait "$pid" 2>/dev/null || true
