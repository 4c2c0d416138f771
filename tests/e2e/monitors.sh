#!/usr/bin/env bash
# Several monitors: the saver covers the whole root in black and draws the
# relief on the primary monitor (the first when none is primary), at that
# monitor's size, pixel for pixel as the render tool draws it; a new primary
# monitor is followed at the next picture. Then the same on a server without
# RandR, where only Xinerama tells the monitors.
#
# E2E_SHOTS=<folder> keeps the two-monitor screenshot there.
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 1440x600

pics="$E2E_TMP/pics"
mkdir -p "$pics"
cp "$E2E_SAMPLES/landscape.bmp" "$pics/"
e2e_write_ini "$pics" 1 0 0
for size in 800x600 640x480; do
  "$E2E_RENDER" --screen $size --size full --way dots "$pics/landscape.bmp" "$E2E_TMP/$size.png" ||
    e2e_fail "render tool failed"
done

# Two monitors side by side, of different sizes, neither of them primary.
xrandr --setmonitor LEFT 800/203x600/152+0+0 screen >/dev/null
xrandr --setmonitor RIGHT 640/162x480/122+800+0 none >/dev/null
[ "$(xrandr --listmonitors | head -n1)" = "Monitors: 2" ] ||
  e2e_fail "Xvfb did not take the monitors: $(xrandr --listmonitors)"

VARNOSCAPE_PACE=0 e2e_start /s
e2e_wait_window Varnoscape_Main 10 >/dev/null || e2e_fail "no saver window"
e2e_wait_screen root 10 800x600+0+0 "$E2E_TMP/800x600.png" 640x600+800+0 black ||
  e2e_fail "the first monitor does not show the relief at 800x600 with the rest black"
[ -n "${E2E_SHOTS:-}" ] && cp "$E2E_TMP/shot.png" "$E2E_SHOTS/two-monitors.png"

# The right-hand monitor becomes the primary one while the saver runs.
xrandr --delmonitor RIGHT >/dev/null
xrandr --setmonitor '*RIGHT' 640/162x480/122+800+0 none >/dev/null
e2e_wait_screen root 10 640x480+800+0 "$E2E_TMP/640x480.png" 800x600+0+0 black 640x120+800+480 black ||
  e2e_fail "the relief did not move to the new primary monitor at 640x480"
xdotool key space
status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "a key press did not end the saver"
[ "$status" = 0 ] || e2e_fail "status $status after a key press"

# Xinerama without RandR: the first head (640x480) inside an 800x600 root.
e2e_xvfb DISPLAY -screen 0 640x480x24 -screen 1 800x600x24 +xinerama -extension RANDR
VARNOSCAPE_PACE=0 e2e_start /s
e2e_wait_window Varnoscape_Main 10 >/dev/null || e2e_fail "no saver window under Xinerama"
e2e_wait_screen root 10 640x480+0+0 "$E2E_TMP/640x480.png" 160x600+640+0 black 640x120+0+480 black ||
  e2e_fail "under Xinerama the first head does not show the relief at 640x480 with the rest black"
xdotool key space
status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "a key press did not end the saver under Xinerama"
[ "$status" = 0 ] || e2e_fail "status $status after a key press under Xinerama"
echo "PASS"
