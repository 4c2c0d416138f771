#!/usr/bin/env bash
# Runs the saver on the current X display (run.sh's virtual one) and saves a
# screenshot of the first relief it finishes. The screen stands still only
# in the one-second pause after a drawing, so two screenshots a third of a
# second apart that are equal, and not mostly black (as before the first
# picture), show a finished relief.
#
#   bash scripts/screenshot.sh OUT.png SECONDS PROGRAM [ARGS...]
#
# Fails, saving the screen as it last was, when no relief is finished within
# SECONDS or the program ends first.
set -euo pipefail
out=${1:?usage: screenshot.sh OUT.png SECONDS PROGRAM [ARGS...]}
limit=${2:?usage: screenshot.sh OUT.png SECONDS PROGRAM [ARGS...]}
shift 2
work=$(mktemp -d)
"$@" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT

# lit FILE: true when at least a quarter of the pixels are not black (a
# finished portrait picture fitted to a wide screen lights about 40 %).
lit() {
  local share
  share=$(convert "$1" -fill white +opaque black -colorspace Gray -format '%[fx:mean]' info:)
  awk -v share="$share" 'BEGIN { exit !(share >= 0.25) }'
}

end=$((SECONDS + limit))
while ((SECONDS < end)); do
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "screenshot: $1 ended before finishing a picture" >&2
    [ -f "$work/before.ppm" ] && convert "$work/before.ppm" "$out"
    exit 1
  fi
  # Raw pixels: quick to take and to compare byte for byte.
  import -silent -window root "ppm:$work/now.ppm"
  if [ -f "$work/before.ppm" ] && cmp -s "$work/now.ppm" "$work/before.ppm" && lit "$work/now.ppm"; then
    convert "$work/now.ppm" "$out"
    exit 0
  fi
  mv "$work/now.ppm" "$work/before.ppm"
  sleep 0.3
done
[ -f "$work/before.ppm" ] && convert "$work/before.ppm" "$out"
echo "screenshot: no finished picture within $limit seconds; saved the screen as it was" >&2
exit 1
