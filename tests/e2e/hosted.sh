#!/usr/bin/env bash
# Under a screen-saver host (XScreenSaver and the like) that hands us a
# window, by $XSCREENSAVER_WINDOW (hex or decimal), -window-id, --window-id
# or --root: the relief appears in that window at its size, pixel for pixel
# as the render tool draws it; no window of ours comes up and nothing is
# grabbed (keys still reach another client's window and do not end us); a
# resized window is followed at the next picture; SIGTERM ends us at once.
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 640x480

pics="$E2E_TMP/pics"
mkdir -p "$pics"
cp "$E2E_SAMPLES/landscape.bmp" "$pics/"
e2e_write_ini "$pics" 1 0 0
for size in 640x480 320x240 400x300 300x200 360x270 256x192; do
  "$E2E_RENDER" --screen $size --size full --way dots "$pics/landscape.bmp" "$E2E_TMP/$size.png" ||
    e2e_fail "render tool failed"
done

# host NAME WIDTH HEIGHT [X Y]: a plain window of another client; sets
# NAME_id (its id) and NAME_out (the file where it lists the keys it gets).
host() {
  local name=$1 out="$E2E_TMP/$1.out" id="" i
  shift
  # The file exists before the window's program runs: a background job opens
  # its redirection only once it is scheduled, maybe after the first look.
  : >"$out"
  "$E2E_BUILD/e2e-host-window" "$@" >>"$out" 2>&1 &
  E2E_PIDS="$E2E_PIDS $!"
  printf -v "${name}_pid" '%s' $!
  for i in $(seq 1 250); do
    id=$(head -n1 "$out")
    [ -n "$id" ] && break
    sleep 0.02
  done
  [ -n "$id" ] || e2e_fail "no host window: $(cat "$out")"
  printf -v "${name}_id" '%s' "$id"
  printf -v "${name}_out" '%s' "$out"
}

# Another program, off screen, that should keep getting its keys.
host other 20 20 -40 -40

for variant in env-hex env-decimal -window-id --window-id --root; do
  size=640x480
  [ "$variant" = --root ] || {
    case $variant in
      env-hex) size=320x240 ;;
      env-decimal) size=400x300 ;;
      -window-id) size=300x200 ;;
      --window-id) size=360x270 ;;
    esac
    host window ${size%x*} ${size#*x} 50 50
  }
  case $variant in
    # XScreenSaver 6 sets the variable and adds --root.
    env-hex) XSCREENSAVER_WINDOW=$window_id VARNOSCAPE_PACE=0 e2e_start --root ;;
    env-decimal) XSCREENSAVER_WINDOW=$((window_id)) VARNOSCAPE_PACE=0 e2e_start ;;
    -window-id) VARNOSCAPE_PACE=0 e2e_start -window-id "$window_id" ;;
    --window-id) VARNOSCAPE_PACE=0 e2e_start --window-id $((window_id)) ;;
    --root) VARNOSCAPE_PACE=0 e2e_start --root ;;
  esac
  target=$window_id
  [ "$variant" = --root ] && target=root

  e2e_wait_screen "$target" 10 "$size+0+0" "$E2E_TMP/$size.png" ||
    e2e_fail "$variant: the window never showed the relief at $size: $(cat "$E2E_TMP/saver.err")"
  for search in "--name ^Varnoscape_Main\$" "--class ^varnoscape\$"; do
    # shellcheck disable=SC2086
    if xdotool search --onlyvisible $search >/dev/null 2>&1; then
      e2e_fail "$variant: a window of ours is on the screen ($search)"
    fi
  done

  # No grab: a key goes to the window that has the focus, and is not ours.
  keys=$(grep -c '^key' "$other_out" || true)
  xdotool windowfocus --sync "$other_id"
  xdotool key a
  for _ in $(seq 1 250); do
    [ "$(grep -c '^key' "$other_out" || true)" -gt "$keys" ] && break
    sleep 0.02
  done
  [ "$(grep -c '^key' "$other_out" || true)" -gt "$keys" ] ||
    e2e_fail "$variant: a key did not reach another program's window (a grab?)"
  kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "$variant: the saver ended on input"

  if [ "$variant" != --root ]; then
    xdotool windowsize "$window_id" 256 192
    e2e_wait_screen "$window_id" 10 256x192+0+0 "$E2E_TMP/256x192.png" ||
      e2e_fail "$variant: the resized window never showed the relief at 256x192"
  fi

  # How fast SIGTERM ends us is a figure of bench/saver_timing.sh; here the
  # bound only catches a saver that does not end.
  saver=$(e2e_saver_pid) || e2e_fail "$variant: no saver process"
  start=$(date +%s%N)
  kill -TERM "$saver"
  status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "$variant: SIGTERM did not end the saver within 5 s"
  elapsed_ms=$((($(date +%s%N) - start) / 1000000))
  [ "$status" = 143 ] || e2e_fail "$variant: status $status after SIGTERM"
  if [ "$variant" != --root ]; then
    kill "$window_pid"
    wait "$window_pid" 2>/dev/null || true
  fi
  echo "$variant: ok (SIGTERM: $elapsed_ms ms)"
done
echo "PASS"
