#!/usr/bin/env bash
# The .deb end to end: CPack packs the build; the package holds the programs,
# the decoder and the manual pages where Debian keeps them, depends on the
# libraries and fonts they need, recommends the settings dialog's helpers and
# suggests what starts the saver on X11 and on Wayland; and its render tool,
# run from the unpacked package, finds the package's own decoder and draws
# the samples exactly as the build tree does. Needs no X server.
#
#   bash tests/e2e/package.sh <build-dir>
set -euo pipefail

build=$(cd "${1:?usage: package.sh <build-dir>}" && pwd)
source_root=$(cd "$(dirname "$0")/../.." && pwd)
samples="$build/samples"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

[ -f "$build/CPackConfig.cmake" ] || { echo "FAIL: $build has no CPackConfig.cmake" >&2; exit 1; }
[ -d "$samples" ] || { echo "FAIL: no samples in $samples (build the 'samples' target)" >&2; exit 1; }

# The decoder must be found the way an installed copy finds it.
unset VARNOSCAPE_DECODER

# CPack stages and writes into the scratch folder, so the build folder gets
# nothing of it.
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log" >&2
  echo "FAIL: cpack -G DEB failed" >&2
  exit 1
fi
debs=("$tmp"/out/varnoscape_*.deb)
[ -f "${debs[0]}" ] && [ ${#debs[@]} -eq 1 ] || { echo "FAIL: want one varnoscape_*.deb, got: $(ls "$tmp/out")" >&2; exit 1; }
deb=${debs[0]}

# --- Control fields -----------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = varnoscape ] || fail "Package is '$(field Package)'"
for name in Maintainer Section Description Version Architecture; do
  [ -n "$(field "$name")" ] || fail "no $name field"
done
[ "$(field Description | wc -l)" -ge 3 ] || fail "no long description: $(field Description)"

depends=$(field Depends)
# depends_on PATTERN: a Depends entry whose package name matches.
depends_on() {
  tr ',|' '\n\n' <<<"$depends" | sed -e 's/(.*//' -e 's/[[:space:]]//g' | grep -qE "^($1)\$"
}
mapfile -t runtime < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' -e '/^$/d' "$source_root/packaging/runtime-packages.txt")
[ ${#runtime[@]} -gt 0 ] || fail "no packages in packaging/runtime-packages.txt"
for package in "${runtime[@]}"; do
  depends_on "$package" || fail "Depends lacks $package: $depends"
done
# What dpkg-shlibdeps must have found for the linked libraries.
for library in 'libwmf-.*' 'libjpeg.*' 'libgif[0-9]+' 'libx11-[0-9]+'; do
  depends_on "$library" || fail "Depends lacks a package matching $library: $depends"
done

# has_relation FIELD ENTRY: the field holds the entry (alternatives joined by
# "|"), versions and blanks aside.
has_relation() {
  field "$1" | tr ',' '\n' | sed -e 's/([^)]*)//g' -e 's/[[:space:]]//g' | grep -qxF "$2"
}
for entry in 'zenity|kdialog' xdg-utils; do
  has_relation Recommends "$entry" || fail "Recommends lacks $entry: $(field Recommends)"
done
for entry in 'xscreensaver|xautolock' swayidle; do
  has_relation Suggests "$entry" || fail "Suggests lacks $entry: $(field Suggests)"
done

# --- Files --------------------------------------------------------------------
dpkg-deb -c "$deb" | awk '{ print $NF }' >"$tmp/list"
want=(
  ./usr/bin/varnoscape
  ./usr/bin/varnoscape-render
  ./usr/libexec/varnoscape/varnoscape-decoder
  ./usr/share/man/man1/varnoscape.1.gz
  ./usr/share/man/man1/varnoscape-render.1.gz
  ./usr/share/applications/varnoscape.desktop
  ./usr/share/xscreensaver/config/varnoscape.xml
  ./usr/share/doc/varnoscape/copyright
)
for path in "${want[@]}"; do
  grep -qxF "$path" "$tmp/list" || fail "the package lacks $path"
done
stray=$(grep -v -e '^\./usr/$' -e '^\./usr/bin/' -e '^\./usr/libexec/varnoscape/\?' -e '^\./usr/libexec/$' \
  -e '^\./usr/share/$' -e '^\./usr/share/man/' -e '^\./usr/share/xscreensaver/' \
  -e '^\./usr/share/applications/' -e '^\./usr/share/doc/varnoscape/\?$' -e '^\./usr/share/doc/$' \
  -e '^\./usr/share/doc/varnoscape/copyright$' "$tmp/list" || true)
[ -z "$stray" ] || fail "unexpected files in the package: $stray"

pkgroot="$tmp/root"
dpkg-deb -x "$deb" "$pkgroot"
for page in varnoscape varnoscape-render; do
  gz="$pkgroot/usr/share/man/man1/$page.1.gz"
  [ -f "$gz" ] || continue
  gzip -dc "$gz" 2>/dev/null | grep -qi "^\.TH ${page} 1 " || fail "$page.1.gz is not a section 1 manual page of $page"
done

# The Wayland libraries, once the saver links them (the ones above it always
# does).
for library in libwayland-client libxkbcommon; do
  if readelf -d "$pkgroot/usr/bin/varnoscape" | grep -q "NEEDED.*\[$library\.so"; then
    depends_on "$library[0-9]+" || fail "varnoscape links $library but Depends lacks it: $depends"
  fi
done

# --- The packaged programs run --------------------------------------------------
status=0
env -u DISPLAY -u WAYLAND_DISPLAY "$pkgroot/usr/bin/varnoscape" /s >/dev/null 2>"$tmp/err" || status=$?
[ "$status" -eq 1 ] && grep -q "WAYLAND_DISPLAY.*DISPLAY" "$tmp/err" ||
  fail "packaged varnoscape without a display -> status $status: $(cat "$tmp/err")"

# The packaged render tool draws what the build tree's draws; it has no
# decoder beside it, so it can only be using usr/libexec/varnoscape's.
for picture in landscape.jpg scene.wmf; do
  args=(--screen 640x480 --size full --way lines "$samples/$picture")
  "$build/varnoscape-render" "${args[@]}" "$tmp/build.png" 2>"$tmp/err" ||
    { fail "build tree render of $picture: $(cat "$tmp/err")"; continue; }
  "$pkgroot/usr/bin/varnoscape-render" "${args[@]}" "$tmp/package.png" 2>"$tmp/err" ||
    { fail "packaged render of $picture: $(cat "$tmp/err")"; continue; }
  max=$(identify -format '%[max]' "$tmp/package.png" 2>/dev/null || echo 0)
  [ "${max%.*}" -gt 0 ] || fail "packaged render of $picture is all black"
  differing=$(compare -metric AE "$tmp/build.png" "$tmp/package.png" null: 2>&1 || true)
  [ "$differing" = 0 ] || fail "packaged render of $picture differs from the build's in $differing pixels"
done

# Without the packaged decoder the tool must say so rather than find another.
if [ -f "$pkgroot/usr/libexec/varnoscape/varnoscape-decoder" ]; then
  rm "$pkgroot/usr/libexec/varnoscape/varnoscape-decoder"
  status=0
  "$pkgroot/usr/bin/varnoscape-render" "$samples/landscape.jpg" "$tmp/none.png" 2>"$tmp/err" || status=$?
  [ "$status" -eq 2 ] && grep -q "decoder not installed" "$tmp/err" ||
    fail "packaged render without its decoder -> status $status: $(cat "$tmp/err")"
fi

if [ "$failures" -ne 0 ]; then
  echo "package: $failures failure(s)" >&2
  exit 1
fi
echo "package: all passed ($(basename "$deb"))"
