#!/usr/bin/env bash
# The settings dialog in a Wayland session: /c opens a window with the
# program's app_id, titled "Varnoscapeの設定" in Japanese and "Varnoscape
# Settings" in English; while it is open a second /c or /s ends at once with
# status 0; Escape closes it, status 0, the settings file byte for byte as
# it was. A preview (/p), which needs an X window to live in, ends at once
# with a non-zero status and says why.
# editions: wayland
source "$(dirname "$0")/lib/wayland.bash"
wl_setup "$1"

pics="$E2E_TMP/pics"
mkdir -p "$pics"
cp "$E2E_SAMPLES/landscape.bmp" "$pics/a.bmp"
e2e_write_ini "$pics" 1 1 1
cp "$VARNOSCAPE_INI" "$E2E_TMP/before.ini"

for lang in ja_JP.UTF-8:'Varnoscapeの設定' en_US.UTF-8:'Varnoscape Settings'; do
  IFS=: read -r language title <<<"$lang"
  LANG=$language e2e_start /c
  dialog=$(wl_wait_window "$title" 20) ||
    e2e_fail "$language: no focused window titled '$title' (status $(cat "$E2E_TMP/status.$E2E_PID" 2>/dev/null || echo "none: still running"))"
  app_id=$(wl_window_field "$dialog" app_id)
  [ "$app_id" = varnoscape ] || e2e_fail "$language: the dialog's app_id is '$app_id'"

  for switch in /c /s; do
    status=0
    LANG=$language timeout 10 "$E2E_SAVER" "$switch" 2>"$E2E_TMP/second.err" || status=$?
    [ "$status" = 0 ] ||
      e2e_fail "$language: a second copy ($switch) ended with status $status: $(cat "$E2E_TMP/second.err")"
  done
  wl_ended "$E2E_PID" && e2e_fail "$language: the dialog ended with a second copy"
  [ "$(wl_window "$title")" = "$dialog" ] || e2e_fail "$language: the dialog went with a second copy"
  # The second copies took nothing from it: the keyboard is still there.
  [ "$(wl_window_field "$dialog" focused)" = true ] || e2e_fail "$language: the dialog lost the keyboard"

  wl_key Escape
  status=$(e2e_wait_exit "$E2E_PID" 5) || e2e_fail "$language: Escape did not close the dialog"
  [ "$status" = 0 ] || e2e_fail "$language: status $status after Escape"
  cmp "$VARNOSCAPE_INI" "$E2E_TMP/before.ini" >&2 || e2e_fail "$language: Escape changed the settings file"
done

# A preview has nothing to live in here: it ends at once (timeout's 124
# would say it waited), by itself (not by a signal), not with 0, and not in
# silence.
status=0
timeout 10 "$E2E_SAVER" /p 123 2>"$E2E_TMP/preview.err" || status=$?
[ "$status" -gt 0 ] && [ "$status" -lt 124 ] ||
  e2e_fail "/p 123 ended with status $status: $(cat "$E2E_TMP/preview.err")"
grep -qE '^varnoscape: [^ ]' "$E2E_TMP/preview.err" && ! grep -q 'varnoscape: varnoscape:' "$E2E_TMP/preview.err" ||
  e2e_fail "/p 123 should say why, once, after the program's name: '$(cat "$E2E_TMP/preview.err")'"
echo "PASS"
