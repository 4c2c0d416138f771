#!/usr/bin/env bash
# The real XScreenSaver runs us from its programs list, with the command
# line of our descriptor (data/varnoscape.xml): once it blanks the screen
# our relief fills its window, pixel for pixel as the render tool draws it,
# with no window of ours; when it unblanks, we end at once.
#
# XScreenSaver runs no hack as root, so the daemon runs as nobody, with a
# home of its own and everything it needs readable by nobody.
source "$(dirname "$0")/lib/common.bash"
if [ "$(id -u)" != 0 ]; then
  echo "SKIP: running XScreenSaver as nobody needs root"
  exit 77
fi
e2e_setup "$1" 640x480
command -v xscreensaver >/dev/null || e2e_fail "xscreensaver is not installed"
descriptor="$(dirname "$0")/../../data/varnoscape.xml"
arguments=$(sed -n 's/.*<command arg="\([^"]*\)".*/\1/p' "$descriptor")
[ -n "$arguments" ] || e2e_fail "no command arguments in $descriptor"

chmod 755 "$E2E_TMP"
bin="$E2E_TMP/bin"
mkdir -p "$bin" "$E2E_TMP/pics" "$E2E_TMP/home"
# The build folder may not be open to nobody; the decoder must sit beside us.
cp "$E2E_SAVER" "$E2E_BUILD/varnoscape-decoder" "$bin/"
cp "$E2E_SAMPLES/landscape.bmp" "$E2E_TMP/pics/"
e2e_write_ini "$E2E_TMP/pics" 1 0 0
cat >"$E2E_TMP/home/.xscreensaver" <<SETTINGS
mode: one
selected: 0
lock: False
fade: False
unfade: False
splash: False
programs: "Varnoscape" $bin/varnoscape $arguments \\n\\
SETTINGS
chown -R nobody:nogroup "$E2E_TMP/home"

as_nobody() {
  env HOME="$E2E_TMP/home" setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"
}
VARNOSCAPE_PACE=0 as_nobody xscreensaver -no-splash >"$E2E_TMP/xscreensaver.log" 2>&1 &
E2E_PIDS="$E2E_PIDS $!"
for _ in $(seq 1 100); do
  as_nobody xscreensaver-command -version >/dev/null 2>&1 && break
  sleep 0.05
done
as_nobody xscreensaver-command -activate >/dev/null 2>&1 || e2e_fail "xscreensaver did not start: $(cat "$E2E_TMP/xscreensaver.log")"

saver=""
for _ in $(seq 1 100); do
  saver=$(pgrep -f "^$bin/varnoscape( |\$)" | head -n1 || true)
  [ -n "$saver" ] && break
  sleep 0.05
done
[ -n "$saver" ] || e2e_fail "xscreensaver did not run varnoscape: $(cat "$E2E_TMP/xscreensaver.log")"
window=$(tr '\0' '\n' </proc/"$saver"/environ | sed -n 's/^XSCREENSAVER_WINDOW=//p')
[ -n "$window" ] || e2e_fail "varnoscape was started without XSCREENSAVER_WINDOW"
geometry=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
  /Width:/ { w = $NF } /Height:/ { h = $NF } END { print w "x" h "+" x "+" y }')
"$E2E_RENDER" --screen "${geometry%%+*}" --size full --way dots "$E2E_TMP/pics/landscape.bmp" \
  "$E2E_TMP/expected.png" || e2e_fail "render tool failed"

# What is on the screen: nothing above XScreenSaver's window hides it.
e2e_wait_screen root 10 "$geometry" "$E2E_TMP/expected.png" ||
  e2e_fail "the screen never showed the relief in XScreenSaver's window ($geometry)"
xdotool search --name '^Varnoscape_Main$' >/dev/null 2>&1 && e2e_fail "a window of ours exists"

as_nobody xscreensaver-command -deactivate >/dev/null 2>&1
for _ in $(seq 1 500); do
  # Gone, or dead and waiting for XScreenSaver to collect it.
  state=$(ps -o stat= -p "$saver" || true)
  [ -z "$state" ] || [ "${state:0:1}" = Z ] && break
  sleep 0.01
done
[ -z "$state" ] || [ "${state:0:1}" = Z ] || e2e_fail "varnoscape lived on for 5 s after XScreenSaver unblanked"
echo "PASS ($geometry, window $window, pid $saver)"
