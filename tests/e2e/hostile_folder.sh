#!/usr/bin/env bash
# A folder such as a hostile or unlucky user may have: FIFOs, sockets and
# devices named like pictures, link loops, an unreadable file, a file that
# vanishes after the listing, a truncated picture. The saver, run as an
# ordinary user, shows the good pictures, skips the rest without waiting,
# and a key ends it at once at any moment. Names that are not UTF-8 or that
# code page 932 cannot hold are shown like any other.
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 640x480
command -v setpriv >/dev/null || e2e_fail "setpriv (util-linux) is missing"

# Everything the ordinary user needs must be readable by it.
chmod 755 "$E2E_TMP"
run_as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
E2E_SAVER_REAL=$E2E_SAVER
E2E_SAVER=run_as_nobody_saver
run_as_nobody_saver() { run_as_nobody "$E2E_SAVER_REAL" "$@"; }
run_as_nobody test -x "$E2E_SAVER_REAL" || e2e_fail "nobody cannot run $E2E_SAVER_REAL"

pics="$E2E_TMP/pics"
mkdir -p "$pics"
cp "$E2E_SAMPLES/landscape.bmp" "$pics/a_good.bmp"
cp "$E2E_SAMPLES/rings.gif" "$pics/m_good.gif"
mkfifo "$pics/b_fifo.bmp"
perl -MIO::Socket::UNIX -e 'IO::Socket::UNIX->new(Type => SOCK_STREAM(), Local => $ARGV[0], Listen => 1) or die' "$pics/c_socket.jpg"
ln -s /dev/zero "$pics/d_zero.jpg"
ln -s /dev/urandom "$pics/e_random.gif"
ln -s f_loop2.bmp "$pics/f_loop1.bmp"
ln -s f_loop1.bmp "$pics/f_loop2.bmp"
cp "$E2E_SAMPLES/landscape.jpg" "$pics/g_secret.jpg"
chmod 600 "$pics/g_secret.jpg"
cp "$E2E_SAMPLES/portrait.jpg" "$pics/h_vanishing.jpg"
head -c 3000 "$E2E_SAMPLES/landscape.jpg" >"$pics/i_truncated.jpg"
chmod 755 "$pics"
e2e_write_ini "$pics" 1 0 0
chmod 644 "$VARNOSCAPE_INI"

# shows PICTURE SECONDS: the screen equals the render tool's relief of the
# picture at some moment within the time.
shows() {
  "$E2E_RENDER" --screen 640x480 --size full --way dots "$1" "$E2E_TMP/expected.png" ||
    e2e_fail "render tool failed"
  for _ in $(seq 1 $(($2 * 10))); do
    import -window root "$E2E_TMP/shot.png"
    [ "$(compare -metric AE "$E2E_TMP/shot.png" "$E2E_TMP/expected.png" null: 2>&1)" = 0 ] &&
      return 0
    sleep 0.1
  done
  return 1
}

cp "$pics/m_good.gif" "$E2E_TMP/m_good.gif"
VARNOSCAPE_PACE=0 e2e_start /s
e2e_wait_window Varnoscape_Main 10 >/dev/null || e2e_fail "no saver window: $(cat "$E2E_TMP/saver.err")"
rm "$pics/h_vanishing.jpg"  # listed at the start, gone when its turn comes
# The last picture comes after every hostile entry (about a second each, no
# picture paced): none of them may stop the slide show.
shows "$E2E_TMP/m_good.gif" 20 || e2e_fail "the slide show never got past the hostile entries"
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the saver ended: $(cat "$E2E_TMP/saver.err")"
# The bound catches a saver stuck on an entry (the decoder's limit is 5 s),
# not a slow one: key-to-exit times are figures of bench/saver_timing.sh.
t0=$(date +%s%N)
xdotool key space
status=$(e2e_wait_exit "$E2E_PID" 10) || e2e_fail "a key did not end the saver"
took=$((($(date +%s%N) - t0) / 1000000))
[ "$status" = 0 ] || e2e_fail "status $status"
[ "$took" -lt 3000 ] || e2e_fail "the key took $took ms to end the saver"
echo "hostile folder: a round without harm, key to exit $took ms"

# Names: one not UTF-8, one with a character code page 932 lacks. Each
# alone in its folder must be shown, equal to the render tool's relief.
for name in $'\xff\xfe_latin1.bmp' '한국_hangul.bmp'; do
  rm -rf "$pics" && mkdir -p "$pics" && chmod 755 "$pics"
  cp "$E2E_SAMPLES/landscape.bmp" "$pics/$name"
  VARNOSCAPE_PACE=0 e2e_start /s
  e2e_wait_window Varnoscape_Main 10 >/dev/null || e2e_fail "no saver window"
  shows "$pics/$name" 4 || e2e_fail "the picture named $(printf %q "$name") was not shown"
  xdotool key space
  e2e_wait_exit "$E2E_PID" 5 >/dev/null || e2e_fail "no end"
done

# A settings file that cannot be read (a FIFO, a folder, no permission)
# still gives the no-pictures box at once, and says why on standard error.
for kind in fifo folder unreadable; do
  rm -rf "$VARNOSCAPE_INI"
  case $kind in
    fifo) mkfifo "$VARNOSCAPE_INI" ;;
    folder) mkdir "$VARNOSCAPE_INI" ;;
    unreadable) e2e_write_ini "$pics" && chmod 600 "$VARNOSCAPE_INI" ;;
  esac
  e2e_start /s
  box=$(e2e_wait_window "Varnoscape \\(Saver Screen\\)" 5) ||
    e2e_fail "no message box with a settings file that is a $kind"
  grep -q "cannot read the settings file $VARNOSCAPE_INI" "$E2E_TMP/saver.err" ||
    e2e_fail "no reason on standard error for a $kind: $(cat "$E2E_TMP/saver.err")"
  xdotool key --window "$box" Return
  e2e_wait_exit "$E2E_PID" 5 >/dev/null || e2e_fail "no end after OK"
done
echo "PASS"
