#!/usr/bin/env bash
# A tree of 50,000 pictures in 2,000 folders, as a camera's or a phone's
# pictures are kept, shown by the real saver with subfolders under Xvfb:
#   - time from start to the first picture on the screen (the first
#     screenshot that is not black), against the same saver on a flat folder
#     of one picture, measured in the same run;
#   - time from a key press during the walk to the end of the process.
# The pictures are hard links to one small bitmap, so the tree costs little
# disk. Usage: bash bench/tree_walk_timing.sh [build-dir] [runs]
# With E2E_WINDOWS_BUILD=<folder> it measures that build's Varnoscape.scr
# under Wine instead.
source "$(dirname "$0")/../tests/e2e/lib/common.bash"
e2e_setup "${1:-build}" 1024x768
runs=${2:-5}
export VARNOSCAPE_PACE=0

tree="$E2E_TMP/tree"
flat="$E2E_TMP/flat"
mkdir -p "$flat"
convert "$E2E_SAMPLES/rings8.bmp" -fill white -colorize 60% "BMP3:$flat/a.bmp" || e2e_fail "convert failed"
for top in $(seq 2006 2025); do
  for sub in $(seq -w 1 100); do
    folder="$tree/$top/m$sub"
    mkdir -p "$folder"
    for i in $(seq -w 1 25); do ln "$flat/a.bmp" "$folder/img$i.bmp"; done
  done
done

now_us() { echo $(($(date +%s%N) / 1000)); }
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

# first_picture FOLDER SUBFOLDERS: microseconds from start to a screen that
# is not all black.
first_picture() {
  e2e_write_ini "$1" 1 0 0
  if [ "$2" = 1 ]; then printf 'ｻﾌﾞﾌｫﾙﾀﾞ= 1\r\n' | iconv -f UTF-8 -t CP932 >>"$VARNOSCAPE_INI"; fi
  local t0 t
  t0=$(now_us)
  e2e_start /s
  while :; do
    e2e_screenshot root "$E2E_TMP/shot.png"
    [ "$(convert "$E2E_TMP/shot.png" -format '%[max]' info: 2>/dev/null)" != 0 ] && break
    [ $(($(now_us) - t0)) -gt 30000000 ] && e2e_fail "nothing shown after 30 s"
  done
  t=$(($(now_us) - t0))
  xdotool key space
  e2e_wait_exit "$E2E_PID" 10 >/dev/null || e2e_fail "a key did not end the saver"
  if e2e_windows; then sleep 0.3; fi
  echo "$t"
}

# key_during_walk: microseconds from a key press, as soon as the window is
# up (the walk under way), to the end of the process.
key_during_walk() {
  e2e_write_ini "$tree" 1 0 0
  printf 'ｻﾌﾞﾌｫﾙﾀﾞ= 1\r\n' | iconv -f UTF-8 -t CP932 >>"$VARNOSCAPE_INI"
  e2e_start /s
  e2e_wait_window Varnoscape_Main 20 >/dev/null || e2e_fail "no window"
  local t0
  t0=$(now_us)
  xdotool key space
  e2e_wait_exit "$E2E_PID" 10 >/dev/null || e2e_fail "a key did not end the saver during the walk"
  echo $(($(now_us) - t0))
  if e2e_windows; then sleep 0.3; fi
}

flat_times=() tree_times=() key_times=()
for run in $(seq 1 "$runs"); do
  flat_times+=("$(first_picture "$flat" 0)")
  tree_times+=("$(first_picture "$tree" 1)")
  key_times+=("$(key_during_walk)")
done
f=$(median "${flat_times[@]}") t=$(median "${tree_times[@]}") k=$(median "${key_times[@]}")
printf 'first picture on screen, one picture, flat      median %6.0f ms\n' "$((f / 1000))"
printf 'first picture on screen, 50,000 in 2,000 folders median %6.0f ms (target < 1000 ms)\n' "$((t / 1000))"
printf 'the walk'"'"'s share (tree - flat)                        %6.0f ms\n' "$(((t - f) / 1000))"
printf 'key press during the walk to exit              median %6.0f ms\n' "$((k / 1000))"
echo "(runs: $runs; the screenshots' own time is in both figures)"
