#!/usr/bin/env bash
# varnoscape-render end to end: every sample picture becomes a PNG of the
# right size, every malformed one fails with status 2 and one line naming
# it, and wrong arguments give the usage with status 64. Needs no X server.
#
#   bash tests/e2e/render_tool.sh <build-dir>
set -euo pipefail

build=$(cd "${1:?usage: render_tool.sh <build-dir>}" && pwd)
render="$build/varnoscape-render"
samples="$build/samples"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

[ -x "$render" ] || { echo "FAIL: $render not built" >&2; exit 1; }
[ -d "$samples" ] || { echo "FAIL: no samples in $samples (build the 'samples' target)" >&2; exit 1; }

# png_size FILE: "WxH" when FILE is a PNG picture, else nothing.
png_size() {
  identify -format '%m %wx%h' "$1" 2>/dev/null | awk '$1 == "PNG" { print $2 }'
}

# expect_png WANT_SIZE ARGS...: the tool succeeds and writes a PNG of that size
# that is not all black.
expect_png() {
  local want=$1
  shift
  local out="$tmp/out.png" err="$tmp/err" status=0
  rm -f "$out"
  "$render" "$@" "$out" 2>"$err" || status=$?
  if [ "$status" -ne 0 ]; then
    fail "$* -> status $status: $(cat "$err")"
    return
  fi
  [ -s "$err" ] && fail "$*: unexpected messages: $(cat "$err")"
  local got
  got=$(png_size "$out")
  [ "$got" = "$want" ] || fail "$* -> '$got', want $want"
  local max
  max=$(identify -format '%[max]' "$out" 2>/dev/null || echo 0)
  [ "${max%.*}" -gt 0 ] || fail "$* -> an all-black picture"
}

# --- Every sample, in every drawing method and fit --------------------------
kinds=""
for pic in "$samples"/*.*; do
  [ -f "$pic" ] || continue
  kinds="$kinds ${pic##*.}"
  expect_png 1024x768 "$pic"
  expect_png 640x480 --screen 640x480 --size full --way lines "$pic"
  expect_png 333x250 --screen=333x250 --size=own --way=dots "$pic"
  expect_png 1920x1080 --screen 1920x1080 --size full --stage master "$pic"
done
for kind in bmp gif jpg wmf; do
  case " $kinds " in
    *" $kind "*) ;;
    *) fail "no .$kind sample in $samples" ;;
  esac
done

# The fitted picture at its own size: smaller pictures stay whole, larger
# ones are cut to the screen; photos are turned upright first.
expect_png 640x480 --stage master "$samples/landscape.bmp"
expect_png 320x240 --stage master "$samples/rings.gif"  # its logical screen
expect_png 800x600 --stage master "$samples/landscape.jpg"
expect_png 360x480 --stage master "$samples/sideways.jpg"
expect_png 500x300 --screen 500x300 --stage master "$samples/landscape.jpg"

# --- Malformed pictures: status 2, one line naming the file, no output ------
found_bad=0
for pic in "$samples"/bad/*; do
  [ -f "$pic" ] || continue
  found_bad=1
  out="$tmp/bad.png"
  rm -f "$out"
  status=0
  "$render" "$pic" "$out" 2>"$tmp/err" >"$tmp/stdout" || status=$?
  [ "$status" -eq 2 ] || fail "$pic -> status $status, want 2"
  lines=$(wc -l <"$tmp/err")
  [ "$lines" -eq 1 ] || fail "$pic -> $lines lines on stderr, want 1: $(cat "$tmp/err")"
  grep -q "^varnoscape-render: $pic: ." "$tmp/err" || fail "$pic -> message '$(cat "$tmp/err")'"
  [ -e "$out" ] && fail "$pic -> wrote $out anyway"
  [ -s "$tmp/stdout" ] && fail "$pic -> wrote to stdout"
done
[ "$found_bad" -eq 1 ] || fail "no malformed samples in $samples/bad"

status=0
"$render" "$tmp/no such picture.bmp" "$tmp/x.png" 2>"$tmp/err" || status=$?
[ "$status" -eq 2 ] || fail "missing picture -> status $status, want 2"
grep -q "^varnoscape-render: $tmp/no such picture.bmp: " "$tmp/err" || fail "missing picture -> '$(cat "$tmp/err")'"

status=0
"$render" "$samples/rings.gif" "$tmp/no/such/folder/x.png" 2>"$tmp/err" || status=$?
[ "$status" -eq 1 ] || fail "unwritable output -> status $status, want 1"
grep -q "cannot be written" "$tmp/err" || fail "unwritable output -> '$(cat "$tmp/err")'"

# --- Arguments ----------------------------------------------------------------
expect_usage() {
  local status=0
  "$render" "$@" >"$tmp/stdout" 2>"$tmp/err" || status=$?
  [ "$status" -eq 64 ] || fail "'$*' -> status $status, want 64"
  grep -q "^Usage: varnoscape-render" "$tmp/err" || fail "'$*' -> no usage on stderr"
  grep -q "^varnoscape-render: " "$tmp/err" || fail "'$*' -> no reason on stderr"
  [ -s "$tmp/stdout" ] && fail "'$*' -> wrote to stdout"
  return 0
}
expect_usage
expect_usage "$samples/rings.gif"
expect_usage "$samples/rings.gif" "$tmp/a.png" "$tmp/b.png"
expect_usage --bogus "$samples/rings.gif" "$tmp/a.png"
expect_usage --way dashes "$samples/rings.gif" "$tmp/a.png"
expect_usage --size huge "$samples/rings.gif" "$tmp/a.png"
expect_usage --stage final "$samples/rings.gif" "$tmp/a.png"
expect_usage --screen 0x0 "$samples/rings.gif" "$tmp/a.png"
expect_usage --screen wide "$samples/rings.gif" "$tmp/a.png"
expect_usage --screen 100000x100000 "$samples/rings.gif" "$tmp/a.png"
expect_usage "$samples/rings.gif" "$tmp/a.png" --screen
[ -e "$tmp/a.png" ] && fail "a usage error wrote a picture"

status=0
"$render" --help >"$tmp/stdout" 2>"$tmp/err" || status=$?
[ "$status" -eq 0 ] || fail "--help -> status $status"
grep -q "^Usage: varnoscape-render" "$tmp/stdout" || fail "--help -> no usage on stdout"
grep -q "Example:" "$tmp/stdout" || fail "--help -> no example"
[ -s "$tmp/err" ] && fail "--help -> wrote to stderr"

if [ "$failures" -ne 0 ]; then
  echo "render_tool: $failures failure(s)" >&2
  exit 1
fi
echo "render_tool: all passed"
