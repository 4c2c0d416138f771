#!/usr/bin/env bash
# The settings dialog draws every name in its own letters: in a folder of
# 0.jpg, ά.jpg, έ.jpg, 가.jpg and 힣.jpg, the letters its Japanese font
# lacks come from installed fonts that have them: the first letters of the
# four names are no box (as fonts draw a glyph they lack) and all look
# different (a missing glyph draws one box for each). In English, the
# Windows edition's folder label draws the backslashes of its path as
# backslashes (not as the yen signs of a Japanese font). With
# E2E_KEEP_SHOTS naming a folder, the screenshots are kept there.
# editions: linux windows
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 1024x768

# The fonts come with the run group; without them the names would be boxes.
bash "$(dirname "$0")/../../scripts/deps.sh" --check run ||
  e2e_fail "the fonts the dialog falls back on are not installed (bash scripts/deps.sh run)"

pics="$E2E_TMP/pics"
mkdir -p "$pics"
for name in 0 ά έ 가 힣; do cp "$E2E_SAMPLES/landscape.jpg" "$pics/$name.jpg"; done
e2e_write_ini "$pics"

# shot FILE: the dialog's client area, from the screen (Wine draws into a
# child of the window it names).
shot() {
  import -window root -crop "549x385+$((X + client_x))+$((Y + client_y))" +repage "$1" 2>/dev/null
}

# pixels FILE CROP: "x y #RRGGBB" for each pixel of that crop of the file.
pixels() {
  convert "$1" -crop "$2" +repage -depth 8 txt:- |
    sed -n 's/^\([0-9]*\),\([0-9]*\):.*\(#[0-9A-F]\{6\}\).*/\1 \2 \3/p'
}

# keep FILE: a copy in $E2E_KEEP_SHOTS, when it names a folder, to look at.
keep() {
  [ -z "${E2E_KEEP_SHOTS:-}" ] || cp "$1" "$E2E_KEEP_SHOTS/$(e2e_windows && echo windows || echo linux)-$(basename "$1")"
}

close_dialog() {
  xdotool key Escape
  status=$(e2e_wait_exit "$E2E_PID" 10) || e2e_fail "the dialog did not close after Escape"
  [ "$status" = 0 ] || e2e_fail "status $status after Escape"
}

# 1. The list, at 24,80 (169 x 212) in the client area: a click on its
# first row ("0.jpg") marks it in the selection's dark blue, which tells
# where the rows lie and how tall they are. The four other names follow.
e2e_open_dialog 'Varnoscapeの設定'
row_top="" row_height=""
for _ in $(seq 1 40); do
  xdotool mousemove --window "$dialog" $((client_x + 64)) $((client_y + 88)) click 1
  sleep 0.5
  shot "$E2E_TMP/list.png"
  # (The focus rectangle's dots lie over its top and bottom line.)
  read -r row_top row_height < <(pixels "$E2E_TMP/list.png" "40x208+27+82" |
    awk '$3 == "#000080" && !($2 in row) { row[$2] = 1; if (first == "") first = $2; n++ }
         END { print first, n }') || true
  [ -n "$row_top" ] && ((row_height >= 10)) && break
done
[ -n "$row_top" ] && ((row_height >= 10)) || e2e_fail "no row was selected in the list"

# Each name's first letter: the cell of one line's height from the text's
# start, as a string of its pixels. Every cell has dark ink, its first
# glyph (its first run of inked columns) is not a rectangle's outline, as
# fonts draw a glyph they lack, and no two cells are alike.
declare -a cells
for row in 1 2 3 4; do
  crop="$((row_height + 2))x$row_height+26+$((82 + row_top + row * row_height))"
  cells[row]=$(pixels "$E2E_TMP/list.png" "$crop" | awk '{ printf "%s", $3 }')
  verdict=$(pixels "$E2E_TMP/list.png" "$crop" | awk '
    $3 ~ /^#[0-7]/ { ink[$1, $2] = 1; column[$1] = 1; n++ }
    END {
      if (n < 4) { print "no letter"; exit }
      for (left = 0; !(left in column); left++) {}
      for (right = left; (right + 1) in column; right++) {}
      top = -1
      for (y = 0; y < 200; y++) for (x = left; x <= right; x++) if ((x, y) in ink) {
        if (top < 0) top = y
        bottom = y
      }
      # The share of each side of its box that is inked.
      sides = 0
      for (x = left; x <= right; x++) sides += ((x, top) in ink) + ((x, bottom) in ink)
      across = sides / (2 * (right - left + 1))
      sides = 0
      for (y = top; y <= bottom; y++) sides += ((left, y) in ink) + ((right, y) in ink)
      down = sides / (2 * (bottom - top + 1))
      print (across >= 0.75 && down >= 0.75) ? "a box" : "a letter"
    }')
  [ "$verdict" = "a letter" ] ||
    e2e_fail "row $row of the list begins with $verdict (the listing or the fallback font failed)"
done
for a in 1 2 3 4; do
  for b in $(seq $((a + 1)) 4); do
    [ "${cells[a]}" != "${cells[b]}" ] ||
      e2e_fail "rows $a and $b of the list begin alike: a letter drawn as the font's box"
  done
done
keep "$E2E_TMP/list.png"
close_dialog

# 2. English, Windows edition: the folder label (at 24,296, 285 x 33, its
# text 2 pixels inside the border) starts "Z:\". Its ink's first line splits
# into "Z", ":" and the separator by blank columns; a backslash leans from
# the upper left to the lower right, a yen sign stands upright. The tests'
# Wine prefix is a Japanese system, whose message font is a Japanese one; an
# English system's is Wine's own Tahoma: a prefix of its own without that
# setting.
if e2e_windows; then
  e2e_end_wine_session
  WINEPREFIX="$(cd "$E2E_WINDOWS_BUILD" && pwd)/wine-prefix-english"
  export WINEPREFIX
  bash "$(dirname "$0")/../../scripts/wine-run.sh" --prepare "$E2E_WINDOWS_BUILD"
  "$(command -v wine64 || echo /usr/lib/wine/wine64)" reg delete \
    'HKCU\Control Panel\Desktop\WindowMetrics' /v MessageFont /f >/dev/null 2>&1 || true
  bash "$(dirname "$0")/../../scripts/wine-run.sh" --end "$E2E_WINDOWS_BUILD"
  LANG=en_US.UTF-8 e2e_open_dialog 'Varnoscape Settings'
  sleep 1
  shot "$E2E_TMP/label.png"
  verdict=$(pixels "$E2E_TMP/label.png" "200x29+26+298" | awk '
    $3 ~ /^#[0-7]/ { ink[$1, $2] = 1; if (!($2 in row)) row[$2] = 1 }
    END {
      # The first line: from the first row with ink to the next without.
      for (y = 0; y < 29 && !(y in row); y++) {}
      top = y
      for (; y < 29 && (y in row); y++) {}
      bottom = y - 1
      # Runs of columns with ink in that line; the third is the separator.
      runs = 0; inside = 0
      for (x = 0; x < 200; x++) {
        has = 0
        for (y = top; y <= bottom; y++) if ((x, y) in ink) has = 1
        if (has && !inside) { runs++; start[runs] = x }
        if (!has && inside) end[runs] = x - 1
        inside = has
      }
      if (inside) end[runs] = 199
      if (runs < 3) { print "no separator"; exit }
      # Its leftmost ink, row by row, moves only right: a backslash (the
      # next letter may touch its foot, but lies right of it). A yen sign
      # comes back left at its bars.
      seen = ""; previous = -1; rise = 0; back = 0
      for (y = top; y <= bottom; y++) {
        for (x = start[3]; x <= end[3] && !((x, y) in ink); x++) {}
        if (x > end[3]) continue
        if (previous >= 0 && x < previous) back = 1
        if (previous >= 0 && x > previous) rise += x - previous
        previous = x; seen = seen " " x - start[3]
      }
      print (!back && rise >= 2) ? "backslash" : "upright (its left side at" seen ")"
    }')
  [ "$verdict" = backslash ] || e2e_fail "the English folder label draws its separator $verdict"
  keep "$E2E_TMP/label.png"
  close_dialog
fi
echo PASS
