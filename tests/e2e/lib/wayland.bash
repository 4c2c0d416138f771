# Shared helpers of the Wayland end-to-end tests: a headless sway of the
# test's own (and no X server at all), and looking at it, typing into it and
# adding outputs to it. The programs under test find sway through
# WAYLAND_DISPLAY in sway's own XDG_RUNTIME_DIR.
# Usage: source this file, then `wl_setup <build-dir> [WxH]`.
#
# Everything of common.bash is there too: e2e_start, e2e_wait_exit,
# e2e_write_ini, e2e_fail, e2e_area_is, and e2e_wait_screen, which here
# takes an output's name ("root": all outputs) for its window.

# Wayland tests run the Linux build only.
unset E2E_WINDOWS_BUILD
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"

# wl_missing_tools: the tools these tests need that are not installed.
wl_missing_tools() {
  local tool missing=()
  for tool in sway swaymsg grim wtype swayidle jq setpriv convert compare; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
  done
  echo "${missing[*]}"
}

# Without sway and its tools the tests are skipped (77), unless
# E2E_REQUIRE_WAYLAND is set: the project's test command installs them and
# must not pass by skipping.
wl_missing=$(wl_missing_tools)
if [ -n "$wl_missing" ]; then
  why="missing $wl_missing (bash scripts/deps.sh test)"
  [ -n "${E2E_REQUIRE_WAYLAND:-}" ] && e2e_fail "$why"
  echo "SKIP: $why"
  exit 77
fi

wl_cleanup() {
  e2e_cleanup
  # sway's own clients (swaybg) end with it; the folder goes once it has.
  if [ -n "${WL_SWAY_PID:-}" ]; then
    kill "$WL_SWAY_PID" 2>/dev/null || true
    for _ in $(seq 1 100); do
      kill -0 "$WL_SWAY_PID" 2>/dev/null || break
      sleep 0.02
    done
    kill -KILL "$WL_SWAY_PID" 2>/dev/null || true
  fi
  [ -n "${WL_RUNTIME:-}" ] && rm -rf "$WL_RUNTIME"
  return 0
}

# wl_setup BUILD-DIR [WxH]: a scratch folder and a headless sway with one
# output, HEADLESS-1 of that size (1024x768 by default), black; this shell's
# environment points at it (WAYLAND_DISPLAY, XDG_RUNTIME_DIR, SWAYSOCK; no
# DISPLAY).
wl_setup() {
  local size=${2:-1024x768}
  e2e_scratch "$1"
  trap wl_cleanup EXIT
  unset DISPLAY WAYLAND_DISPLAY WAYLAND_SOCKET SWAYSOCK VARNOSCAPE_BACKEND
  # sway refuses to run as root: then it runs as nobody, in a runtime folder
  # of nobody's that holds its sockets, its settings and its log. Root's
  # programs may still use the sockets.
  WL_RUNTIME=$(mktemp -d)
  local as_user=()
  if [ "$(id -u)" = 0 ]; then
    chown nobody:nogroup "$WL_RUNTIME"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  fi
  chmod 700 "$WL_RUNTIME"
  # No bar, no borders, no Xwayland, a black background: a screenshot shows
  # nothing but the clients' surfaces.
  cat >"$WL_RUNTIME/config" <<EOF
output HEADLESS-1 resolution $size position 0 0
output * bg #000000 solid_color
default_border none
default_floating_border none
focus_follows_mouse no
xwayland disable
EOF
  "${as_user[@]}" env -i PATH=/usr/bin:/bin HOME=/nonexistent XDG_RUNTIME_DIR="$WL_RUNTIME" \
    WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$WL_RUNTIME/config" >"$E2E_TMP/sway.log" 2>&1 &
  WL_SWAY_PID=$!
  disown "$WL_SWAY_PID"  # its end is ours, not news
  export XDG_RUNTIME_DIR=$WL_RUNTIME
  local socket="" ipc="" path
  for _ in $(seq 1 200); do
    kill -0 "$WL_SWAY_PID" 2>/dev/null || break
    for path in "$WL_RUNTIME"/wayland-[0-9]*; do
      [ -S "$path" ] && socket=${path##*/}
    done
    for path in "$WL_RUNTIME"/sway-ipc.*.sock; do
      [ -S "$path" ] && ipc=$path
    done
    if [ -n "$socket" ] && [ -n "$ipc" ] &&
      [ "$(SWAYSOCK=$ipc wl_output_rect HEADLESS-1 2>/dev/null)" = "0 0 ${size/x/ }" ]; then
      break
    fi
    socket=""
    sleep 0.05
  done
  [ -n "$socket" ] || e2e_fail "sway did not start: $(tail -n 20 "$E2E_TMP/sway.log")"
  export WAYLAND_DISPLAY=$socket SWAYSOCK=$ipc
  # A seat has a keyboard all the time, as a desktop's has. Without one, each
  # wtype would bring the seat's keyboard with its own keys, and a client
  # asks for the keyboard only once told it is there: too late for the press.
  wtype -s 86400000 >/dev/null 2>&1 &
  E2E_SERVERS="$E2E_SERVERS $!"
  for _ in $(seq 1 200); do
    swaymsg -r -t get_inputs 2>/dev/null | jq -e 'any(.[]; .type == "keyboard")' >/dev/null && break
    sleep 0.05
  done
  swaymsg -r -t get_inputs | jq -e 'any(.[]; .type == "keyboard")' >/dev/null ||
    e2e_fail "no keyboard on sway's seat"
}

# wl_output_rect NAME: prints the output's "X Y WIDTH HEIGHT" in the layout.
wl_output_rect() {
  swaymsg -r -t get_outputs |
    jq -r --arg n "$1" '.[] | select(.name == $n and .active) | "\(.rect.x) \(.rect.y) \(.rect.width) \(.rect.height)"'
}

# wl_add_output WxH X Y: a further headless output of that size at that
# place in the layout; prints its name.
wl_add_output() {
  local size=$1 x=$2 y=$3 before name
  before=$(swaymsg -r -t get_outputs | jq -r '.[].name')
  swaymsg create_output >/dev/null || e2e_fail "swaymsg create_output failed"
  for _ in $(seq 1 100); do
    name=$(swaymsg -r -t get_outputs | jq -r '.[].name' | grep -vxF "$before" | head -n1 || true)
    [ -n "$name" ] && break
    sleep 0.05
  done
  [ -n "$name" ] || e2e_fail "no new output after create_output"
  swaymsg output "$name" resolution "$size" position "$x" "$y" >/dev/null ||
    e2e_fail "could not set up output $name"
  for _ in $(seq 1 100); do
    [ "$(wl_output_rect "$name")" = "$x $y ${size/x/ }" ] && break
    sleep 0.05
  done
  [ "$(wl_output_rect "$name")" = "$x $y ${size/x/ }" ] ||
    e2e_fail "output $name is not ${size} at $x,$y: $(wl_output_rect "$name")"
  echo "$name"
}

# e2e_screenshot OUTPUT FILE: a screenshot of one output ("root": all of
# them) as an RGB PNG; grim's may carry an alpha channel, which a comparison
# with a picture of ours would count.
e2e_screenshot() {
  local args=()
  [ "$1" = root ] || args=(-o "$1")
  grim "${args[@]}" "$2.grim.png" 2>/dev/null &&
    convert "$2.grim.png" -alpha off "png24:$2" 2>/dev/null
}

# wl_window TITLE: prints the sway tree's node id of a mapped window with that
# title (and nothing when there is none).
wl_window() {
  swaymsg -r -t get_tree |
    jq -r --arg t "$1" '[.. | objects | select((.type == "con" or .type == "floating_con")
      and .name == $t and .pid != null and .visible)][0].id // empty'
}

# wl_wait_window TITLE [SECONDS]: prints the node id of the window so titled
# once it is shown and has the keyboard (a key typed before would go
# elsewhere). Gives up early once the program e2e_start started has ended.
wl_wait_window() {
  local title=$1 seconds=${2:-10} id
  for _ in $(seq 1 $((seconds * 10))); do
    [ -n "${E2E_PID:-}" ] && wl_ended "$E2E_PID" && return 1
    id=$(wl_window "$title")
    if [ -n "$id" ] && [ "$(wl_window_field "$id" focused)" = true ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# wl_window_field ID FIELD: a field of the tree's node (app_id, name, ...).
wl_window_field() {
  swaymsg -r -t get_tree | jq -r --argjson id "$1" --arg f "$2" '.. | objects | select(.id? == $id) | .[$f]'
}

# wl_key KEY...: presses and releases each key (an XKB name: Return,
# Escape, space, a).
wl_key() {
  local key
  for key in "$@"; do
    wtype -k "$key" || e2e_fail "wtype -k $key failed"
  done
}

# wl_descendants PID: the processes below PID, children first.
wl_descendants() {
  local child
  for child in $(pgrep -P "$1" 2>/dev/null || true); do
    echo "$child"
    wl_descendants "$child"
  done
}

# wl_ended PID: true once a process started by e2e_start has ended (its
# status is then in $E2E_TMP/status.PID).
wl_ended() {
  [ -s "$E2E_TMP/status.$1" ]
}

# wl_one_picture SAMPLE SIZE WAY: a picture folder of that one sample
# ($pics), the settings file for it (SIZE 0 own / 1 full, WAY 0 dots /
# 1 lines, in name order) and the render tool's relief of it at the first
# output's size in $E2E_TMP/expected.png: what the saver must show there.
wl_one_picture() {
  local sample=$1 size=$2 way=$3
  pics="$E2E_TMP/pics"
  mkdir -p "$pics"
  cp "$E2E_SAMPLES/$sample" "$pics/"
  e2e_write_ini "$pics" "$size" "$way" 0
  "$E2E_RENDER" --screen 1024x768 --size "$( ((size)) && echo full || echo own)" \
    --way "$( ((way)) && echo lines || echo dots)" "$pics/$sample" "$E2E_TMP/expected.png" ||
    e2e_fail "render tool failed"
}

# wl_background COLOUR OUTPUT: gives the output a plain background of that
# colour ("#rrggbb") and waits until it shows, so that a surface meant to
# cover the output is seen to cover it all.
wl_background() {
  local colour=$1 output=$2 rect
  read -r -a rect <<<"$(wl_output_rect "$output")"
  [ ${#rect[@]} = 4 ] || e2e_fail "no output $output"
  swaymsg output "$output" bg "$colour" solid_color >/dev/null || e2e_fail "could not colour $output"
  convert -size "${rect[2]}x${rect[3]}" "xc:$colour" "png24:$E2E_TMP/bg-$output.png"
  e2e_wait_screen "$output" 10 "${rect[2]}x${rect[3]}+0+0" "$E2E_TMP/bg-$output.png" ||
    e2e_fail "output $output did not turn $colour"
}
