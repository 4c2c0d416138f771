#!/usr/bin/env bash
# Preview: /p <id> puts the preview picture inside the given window, at its
# size, and ends when that window goes; /p 0 and /p with garbage end at once.
# editions: linux windows
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 800x600

if e2e_windows; then
  # Our own Windows program makes the parent window, tells its handle, a
  # moment after a child window of another program shows in it (or after 20
  # seconds without one) what child windows another program put into it,
  # and a few seconds later destroys the window. (Wine shows no drawing of
  # a child window whose parent belongs to another program: the picture
  # cannot be looked at here.)
  # (The output files exist before their programs run: a background job
  # opens its redirection only once it is scheduled.)
  : >"$E2E_TMP/host.out"
  bash "$(dirname "$0")/../../scripts/wine-run.sh" "$E2E_WINDOWS_BUILD/e2e-host-window.exe" \
    152 112 20 20 20000 >>"$E2E_TMP/host.out" 2>&1 &
  host_pid=$!
  E2E_PIDS="$E2E_PIDS $host_pid"
  parent=""
  for _ in $(seq 1 200); do
    parent=$(tr -d '\r' <"$E2E_TMP/host.out" | grep -m1 -x '[0-9][0-9]*' || true)
    [ -n "$parent" ] && break
    sleep 0.05
  done
  [ -n "$parent" ] || e2e_fail "no parent window: $(cat "$E2E_TMP/host.out")"
  e2e_start /p "$parent"
  for _ in $(seq 1 600); do
    grep -q '^child' "$E2E_TMP/host.out" && break
    sleep 0.05
  done
  children=$(tr -d '\r' <"$E2E_TMP/host.out" | grep '^child' || true)
  [ "$children" = 'child Varnoscape "Preview Window" 152x112 visible' ] ||
    e2e_fail "the parent holds, of other programs: '$children'"
  e2e_still_running "$E2E_PID" 0.3 || e2e_fail "the preview ended on its own"
  wait "$host_pid" || true
else
  # xev makes a plain window and tells its id.
  : >"$E2E_TMP/xev.out"
  xev -geometry 152x112+20+20 -event structure >>"$E2E_TMP/xev.out" 2>&1 &
  xev_pid=$!
  E2E_PIDS="$E2E_PIDS $xev_pid"
  parent=""
  for _ in $(seq 1 100); do
    parent=$(sed -n 's/^Outer window is \(0x[0-9a-f]*\).*/\1/p' "$E2E_TMP/xev.out" | head -n1)
    [ -n "$parent" ] && break
    sleep 0.05
  done
  [ -n "$parent" ] || e2e_fail "no parent window"
  sleep 0.3

  e2e_start /p $((parent))
  child=""
  for _ in $(seq 1 100); do
    child=$(xwininfo -children -id "$parent" 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) .*152x112+0+0.*/\1/p' | head -n1)
    [ -n "$child" ] && break
    sleep 0.05
  done
  [ -n "$child" ] || e2e_fail "no 152x112 child window at (0,0) inside the parent"
  # The picture is drawn once the child is exposed: wait for it.
  colours=0
  for _ in $(seq 1 50); do
    import -window root -crop 152x112+20+20 +repage "$E2E_TMP/preview.png" 2>/dev/null || continue
    colours=$(convert "$E2E_TMP/preview.png" -format '%k' info:)
    [ "$colours" -gt 20 ] && break
    sleep 0.1
  done
  [ "$colours" -gt 20 ] || e2e_fail "the preview shows only $colours colours"
  e2e_still_running "$E2E_PID" 0.3 || e2e_fail "the preview ended on its own"
  kill "$xev_pid"
fi
status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "the preview lived on after its parent went"
[ "$status" = 0 ] || e2e_fail "status $status after the parent went"

for arg in "/p 0" "/p abc" "/p:999999"; do
  status=0
  timeout 5 "$E2E_SAVER" $arg || status=$?
  [ "$status" = 0 ] || e2e_fail "'$arg' ended with status $status (124 = still running)"
done
echo "PASS"
