# Shared helpers of the end-to-end tests: a private X server, a scratch
# folder, a settings file, and waiting for windows and processes.
# Usage: source this file, then `e2e_setup <build-dir> [WxH [Xvfb args]]`.
#
# With E2E_WINDOWS_BUILD set to the Windows edition's build folder, the
# program under test is that build's Varnoscape.scr under Wine (in the same
# X server); the Linux build still gives the samples and the render tool.

set -euo pipefail

e2e_fail() {
  echo "FAIL: $*" >&2
  # What the program under test said, if anything.
  if [ -s "${E2E_TMP:-/nonexistent}/saver.err" ]; then
    echo "its error output:" >&2
    tail -n 20 "$E2E_TMP/saver.err" >&2
  fi
  exit 1
}

e2e_cleanup() {
  local pid
  # A program started by e2e_start is the child of a wrapper shell: end it
  # too, or a Windows program would live on in Wine's server and be taken
  # for a running copy by the next test.
  for pid in ${E2E_PIDS:-}; do
    pkill -P "$pid" 2>/dev/null || true
    kill "$pid" 2>/dev/null || true
  done
  # Wine's desktop program belongs to the X server of the test that started
  # the session: the next test needs a session of its own.
  e2e_windows && e2e_end_wine_session
  for pid in ${E2E_SERVERS:-}; do kill "$pid" 2>/dev/null || true; done
  [ -n "${E2E_TMP:-}" ] && rm -rf "$E2E_TMP"
  return 0
}

# e2e_xvfb VAR XVFB-ARGS...: starts an X server of the test's own on a free
# display and sets VAR to that display (":N"). It ends with the test.
# -noreset: by default the server resets whenever its last client leaves,
# refusing connections meanwhile and forgetting RandR monitors; a program
# started at that moment could not open the display.
e2e_xvfb() {
  local var=$1 file
  shift
  file=$(mktemp "$E2E_TMP/display.XXXXXX")
  Xvfb -displayfd 3 -nolisten tcp -noreset "$@" 3>"$file" >>"$E2E_TMP/xvfb.log" 2>&1 &
  E2E_SERVERS="${E2E_SERVERS:-} $!"
  local i
  for i in $(seq 1 100); do
    [ -s "$file" ] && break
    sleep 0.05
  done
  [ -s "$file" ] || e2e_fail "Xvfb $* did not start: $(cat "$E2E_TMP/xvfb.log")"
  printf -v "$var" ':%s' "$(head -n1 "$file")"
}

# e2e_scratch BUILD-DIR: a scratch folder, the settings file's name, the
# desktop's language and the programs under test; no display (a test of
# another display system brings its own).
e2e_scratch() {
  E2E_BUILD=$(cd "$1" && pwd)
  E2E_TMP=$(mktemp -d)
  E2E_PIDS=""
  E2E_SERVERS=""
  trap e2e_cleanup EXIT
  export VARNOSCAPE_INI="$E2E_TMP/Varnoscape.ini"
  # A Japanese desktop, whatever the machine's: the tests know the dialog by
  # its Japanese texts. A test of another language sets its own.
  # (Quietly: this shell itself may not have the locale.)
  {
    export LANG=ja_JP.UTF-8
    unset LC_ALL LC_MESSAGES LANGUAGE
  } 2>/dev/null
  E2E_SAVER="$E2E_BUILD/varnoscape"
  E2E_LINUX_SAVER=$E2E_SAVER
  E2E_RENDER="$E2E_BUILD/varnoscape-render"
  E2E_SAMPLES="$E2E_BUILD/samples"
}

# e2e_setup BUILD-DIR [WxH [XVFB-ARGS...]]: a scratch folder, and an X server
# (24-bit screen of that size, 1024x768 by default) that DISPLAY points at.
e2e_setup() {
  local size=${2:-1024x768}
  e2e_scratch "$1"
  shift $(($# < 2 ? $# : 2))
  local display
  e2e_xvfb display -screen 0 "${size}x24" "$@"
  export DISPLAY=$display
  E2E_XVFB=${E2E_SERVERS##* }  # its pid, for tests that take the server away
  if e2e_windows; then
    e2e_end_wine_session
    local scr
    scr="$(cd "$E2E_WINDOWS_BUILD" && pwd)/Varnoscape.scr"
    [ -f "$scr" ] || e2e_fail "no $scr: build the Windows edition (cmake --preset windows)"
    # The program sees the settings file by its Windows name.
    E2E_SAVER="$E2E_TMP/varnoscape-scr"
    local lib
    lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    cat >"$E2E_SAVER" <<EOF
#!/usr/bin/env bash
source "$lib/common.bash"
VARNOSCAPE_INI=\$(e2e_native_path "\$VARNOSCAPE_INI") exec bash "$lib/../../../scripts/wine-run.sh" "$scr" "\$@"
EOF
    chmod +x "$E2E_SAVER"
  fi
}

# e2e_end_wine_session: ends every program of the Windows build's Wine
# prefix, and its server.
e2e_end_wine_session() {
  bash "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/wine-run.sh" --end "$E2E_WINDOWS_BUILD"
}

# e2e_windows: true when the test runs the Windows edition.
e2e_windows() {
  [ -n "${E2E_WINDOWS_BUILD:-}" ]
}

# e2e_native_path PATH: PATH as the program under test names it; Wine shows
# the whole file system as drive Z:.
e2e_native_path() {
  if e2e_windows && [ "${1:0:1}" = / ]; then
    echo "Z:${1//\//\\}"
  else
    echo "$1"
  fi
}

# e2e_write_ini FOLDER [SIZE WAY CHANGE]: the settings file for the test.
e2e_write_ini() {
  local folder
  folder=$(e2e_native_path "$1")
  shift
  bash "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/write_ini.sh" "$VARNOSCAPE_INI" "$folder" "$@"
}

# e2e_wait_window TITLE [SECONDS]: prints the id of the first window so titled,
# once it is mapped (input before that would go elsewhere).
e2e_wait_window() {
  local title=$1 seconds=${2:-10} id i
  for i in $(seq 1 $((seconds * 20))); do
    id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.05
  done
  return 1
}

# e2e_open_dialog [TITLE]: starts /c and sets dialog to the id of the
# settings dialog's window once it is up (not in a command substitution,
# which would wait for the program), and client_x, client_y to where its
# client area (549 x 385 at 100 %) starts in that window: Wine draws a
# window's frame itself, inside its X window.
e2e_open_dialog() {
  e2e_start /c
  dialog=$(e2e_wait_window "${1:-Varnoscapeの設定}" 30) ||
    e2e_fail "no settings dialog: $(cat "$E2E_TMP/saver.err")"
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  client_x=$(((WIDTH - 549) / 2))
  client_y=$((HEIGHT - 385 - client_x))
}

# e2e_click X Y: a left click at a point of the dialog's client area. It
# also gives the dialog the keyboard back from any window Wine brought up
# meanwhile (Wine takes no keys sent to a window, only typed ones).
e2e_click() {
  xdotool mousemove --window "$dialog" $(($1 + client_x)) $(($2 + client_y)) click 1
  sleep 0.15
}

# e2e_wait_exit PID [SECONDS]: waits for a process started by e2e_start to
# end; prints its exit status, or fails when it still runs after the time.
e2e_wait_exit() {
  local pid=$1 seconds=${2:-10} i
  for i in $(seq 1 $((seconds * 100))); do
    if [ -s "$E2E_TMP/status.$pid" ]; then
      cat "$E2E_TMP/status.$pid"
      return 0
    fi
    sleep 0.01
  done
  return 1
}

# e2e_still_running PID SECONDS: true when the process lives on that long.
e2e_still_running() {
  sleep "$2"
  kill -0 "$1" 2>/dev/null
}

# e2e_start ARGS...: starts the saver in the background; sets E2E_PID. Its
# exit status lands in $E2E_TMP/status.<pid> (a command substitution cannot
# wait for it).
e2e_start() {
  (
    status=0
    "$E2E_SAVER" "$@" >"$E2E_TMP/saver.out" 2>"$E2E_TMP/saver.err" || status=$?
    echo "$status" >"$E2E_TMP/status.$BASHPID"
  ) &
  E2E_PID=$!
  E2E_PIDS="$E2E_PIDS $E2E_PID"
}

# e2e_saver_pid: the saver process inside the wrapper that e2e_start made
# (to signal it; the wrapper itself would not pass a signal on).
e2e_saver_pid() {
  local i pid
  for i in $(seq 1 500); do
    pid=$(pgrep -P "$E2E_PID" 2>/dev/null | head -n1 || true)
    if [ -n "$pid" ]; then
      echo "$pid"
      return 0
    fi
    sleep 0.01
  done
  return 1
}

# e2e_area_is SHOT CROP WANT: true when the part CROP (WxH+X+Y) of the
# screenshot equals the picture WANT pixel for pixel, or is all black when
# WANT is "black".
e2e_area_is() {
  local shot=$1 crop=$2 want=$3
  if [ "$want" = black ]; then
    [ "$(convert "$shot" -crop "$crop" +repage -format '%[max]' info: 2>/dev/null)" = 0 ]
  else
    [ "$(convert "$shot" -crop "$crop" +repage png:- 2>/dev/null |
      compare -metric AE - "$want" null: 2>&1)" = 0 ]
  fi
}

# e2e_screenshot WINDOW FILE: a screenshot of the window ("root": the whole
# screen) as a PNG file. A test of another display system redefines it.
e2e_screenshot() {
  import -window "$1" "$2" 2>/dev/null
}

# e2e_wait_screen WINDOW SECONDS CROP WANT [CROP WANT...]: takes screenshots
# of the window (see e2e_screenshot) until every part is as wanted (see
# e2e_area_is). The last one stays in $E2E_TMP/shot.png.
e2e_wait_screen() {
  local window=$1 seconds=$2 end ok
  shift 2
  end=$((SECONDS + seconds))
  while [ "$SECONDS" -le "$end" ]; do
    if e2e_screenshot "$window" "$E2E_TMP/shot.png"; then
      ok=yes
      local -a parts=("$@")
      local i
      for ((i = 0; i < ${#parts[@]}; i += 2)); do
        e2e_area_is "$E2E_TMP/shot.png" "${parts[i]}" "${parts[i + 1]}" || {
          ok=""
          break
        }
      done
      [ -n "$ok" ] && return 0
    fi
    sleep 0.1
  done
  return 1
}

# A run of the Windows edition needs that edition built. Without it the
# test is skipped (77, CTest's skip status here), unless E2E_REQUIRE_WINDOWS
# is set: the project's test command builds the edition first and must not
# pass by skipping it.
if e2e_windows && [ ! -f "$E2E_WINDOWS_BUILD/Varnoscape.scr" ]; then
  why="the Windows edition is not built in $E2E_WINDOWS_BUILD (cmake --preset windows && cmake --build --preset windows)"
  [ -n "${E2E_REQUIRE_WINDOWS:-}" ] && e2e_fail "$why"
  echo "SKIP: $why"
  exit 77
fi
