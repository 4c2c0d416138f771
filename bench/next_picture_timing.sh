#!/usr/bin/env bash
# The time from the end of one drawing to the start of the next
# (bench_next_picture_bench) for 24-megapixel JPEGs and 12-megapixel HEICs,
# at the saver's pace and unpaced, for this build and for a build of an
# earlier commit side by side, with their ratio. The earlier commit is by
# default the one before the next picture was read during the drawing; it is
# built in a git worktree under /tmp with this tree's bench (the instrument),
# so that only the saver measured differs. The two take turns, picture kind
# by picture kind, so that a change in the machine's load hits both alike.
# Usage: bash bench/next_picture_timing.sh [build-dir] [before-commit] [pauses]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
before=${2:-$(git -C "$root" log --diff-filter=A --format=%H -1 -- bench/next_picture_bench.cpp)^}
pauses=${3:-4}
short=$(git -C "$root" rev-parse --short "$before")
tree=/tmp/varnoscape-before-$short

if [ ! -d "$tree" ]; then
  git -C "$root" worktree add --detach "$tree" "$before" >/dev/null
fi
cp "$root/bench/next_picture_bench.cpp" "$root/bench/photo_pictures.h" "$tree/bench/"
cmake -S "$tree" -B "$tree/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVS_WERROR=ON \
  -DVS_TESTS=OFF -DVS_BENCH=ON >/dev/null
cmake --build "$tree/build" --target bench_next_picture_bench varnoscape-decoder >/dev/null
cmake --build "$build" --target bench_next_picture_bench varnoscape-decoder >/dev/null

pictures=$(mktemp -d /tmp/varnoscape-next-picture-XXXXXX)
trap 'rm -rf "$pictures"' EXIT

# gaps BUILD KIND PACE: "median worst" in ms ("failed failed" when the bench
# could not measure them).
gaps() {
  local line
  line=$("$1/bench_next_picture_bench" "$pictures" "$2" "$pauses" "$3" | awk '/^gaps / {print $4, $6}') || true
  echo "${line:-failed failed}"
}

echo "end of a drawing to the start of the next, 1920x1080 full screen, median (worst) of $pauses"
printf '%-26s %-22s %-22s %s\n' "" "before ($short)" "after" "after/before"
for pace in 60 0; do
  for kind in jpeg heic; do
    read -r b_median b_worst < <(gaps "$tree/build" "$kind" "$pace")
    read -r a_median a_worst < <(gaps "$build" "$kind" "$pace")
    what="$kind, $pace rows/s"
    [ "$pace" = 0 ] && what="$kind, unpaced"
    awk -v w="$what" -v bm="$b_median" -v bw="$b_worst" -v am="$a_median" -v aw="$a_worst" 'BEGIN {
      printf "%-26s %7.1f ms (%7.1f)   %7.1f ms (%7.1f)   %.2fx\n", w, bm, bw, am, aw, am / bm }'
  done
done
echo "(target at the saver's pace: 1000 ms, at most 1050 ms after)"
