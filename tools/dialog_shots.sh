#!/usr/bin/env bash
# Screenshots of the settings dialog at 100, 150 and 200 % in Japanese and
# in English, of the Linux edition and (given its build) the Windows one,
# for looking at:
#   bash tools/dialog_shots.sh BUILD-DIR OUT-DIR [WINDOWS-BUILD-DIR]
# Each is OUT-DIR/<edition>-<lang>-<percent>.png, the dialog's window alone.
set -euo pipefail
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
windows=${3:+$(cd "$3" && pwd)}
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$tmp"' EXIT

Xvfb :97 -noreset -nolisten tcp -screen 0 1920x1200x24 >/dev/null 2>&1 &
export DISPLAY=:97
sleep 1
mkdir -p "$tmp/pics"
cp "$build/samples/"*.jpg "$build/samples/"*.bmp "$tmp/pics/"
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)

for edition in linux ${windows:+windows}; do
  for percent in 100 150 200; do
    dpi=$((percent * 96 / 100))
    if [ "$edition" = windows ]; then
      export WINEPREFIX="$windows/wine-prefix-shots"
      bash "$root/scripts/wine-run.sh" --prepare "$windows"
      "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
      bash "$root/scripts/wine-run.sh" --end "$windows"
      folder="Z:${tmp//\//\\}\\pics"
      run=(bash "$root/scripts/wine-run.sh" "$windows/Varnoscape.scr" /c)
    else
      echo "Xft.dpi: $dpi" | xrdb -nocpp -merge
      folder="$tmp/pics"
      run=("$build/varnoscape" /c)
    fi
    for lang in ja_JP.UTF-8 en_US.UTF-8; do
      bash "$root/scripts/write_ini.sh" "$tmp/v.ini" "$folder"
      ini=$tmp/v.ini
      [ "$edition" = windows ] && ini="Z:${tmp//\//\\}\\v.ini"
      LANG=$lang VARNOSCAPE_INI=$ini "${run[@]}" >/dev/null 2>&1 &
      pid=$!
      title='Varnoscapeの設定'
      [ "$lang" = en_US.UTF-8 ] && title='Varnoscape Settings'
      id=""
      for _ in $(seq 1 200); do
        id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n1 || true)
        [ -n "$id" ] && break
        sleep 0.1
      done
      [ -n "$id" ] || { echo "no dialog: $edition $lang $percent %" >&2; exit 1; }
      sleep 1.5
      # The first name clicked, so the list and the preview show something.
      # (Wine's window holds its frame: the client area is at its bottom,
      # centred.)
      eval "$(xdotool getwindowgeometry --shell "$id")"
      client_w=$(((549 * percent + 50) / 100)) client_h=$(((385 * percent + 50) / 100))
      left=$(((WIDTH - client_w) / 2))
      top=$((HEIGHT - client_h - left))
      xdotool mousemove --window "$id" $((left + 30 * percent / 100)) $((top + 85 * percent / 100)) click 1
      sleep 1.5
      # From the screen: Wine draws into a child of the window it names.
      import -window root -crop "${WIDTH}x$HEIGHT+$X+$Y" +repage "$out/$edition-${lang%%_*}-$percent.png"
      echo "$edition-${lang%%_*}-$percent.png: ${WIDTH}x$HEIGHT"
      xdotool key Escape
      sleep 0.5
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    done
    [ "$edition" = windows ] && bash "$root/scripts/wine-run.sh" --end "$windows"
  done
done
