#!/usr/bin/env bash
# Installs what running and building need (not what the tests need), builds
# the programs, and starts the saver full screen on the project's sample
# pictures. End it with a key, a click or a mouse movement.
#
# Arguments, if any, replace the default /s (e.g. `bash scripts/run.sh /p 1234`).
# Without a display (a headless machine), the saver runs on a virtual X
# server until it has finished a picture, and a screenshot is saved instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

args=("$@")
[ ${#args[@]} -eq 0 ] && args=(/s)

groups=(run build)
# Without a display the saver runs on a virtual screen and is photographed.
[ -n "${DISPLAY:-}" ] || groups+=(headless)
# The settings dialog (/c, -c, /config...: the first character is never
# looked at) chooses folders and opens links with the desktop's programs.
case ${args[0]:1:1} in c | C) groups+=(dialog) ;; esac
bash "$root/scripts/deps.sh" "${groups[@]}"
# The programs only: the tests and benchmarks need packages of their own
# (scripts/test.sh turns them back on).
bash "$root/scripts/build.sh" "$root/build" -DVS_TESTS=OFF -DVS_BENCH=OFF

# A settings file of its own, so the demo never touches the user's settings:
# the sample folder, fitted to the screen, in random order, drawn as dots.
demo="$root/build/demo"
mkdir -p "$demo"
export VARNOSCAPE_INI="$demo/Varnoscape.ini"
bash "$root/scripts/write_ini.sh" "$VARNOSCAPE_INI" "$root/build/samples" 1 0 1

if [ -n "${DISPLAY:-}" ]; then
  exec "$root/build/varnoscape" "${args[@]}"
fi

shot="$root/build/demo/screenshot.png"
echo "No display: running the saver on a virtual 1280x720 screen until it finishes a picture."
xvfb-run -a -s "-screen 0 1280x720x24" \
  bash "$root/scripts/screenshot.sh" "$shot" 60 "$root/build/varnoscape" "${args[@]}"
echo "Screenshot of a finished relief: $shot"
