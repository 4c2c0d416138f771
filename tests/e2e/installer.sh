#!/usr/bin/env bash
# The Windows edition's installer under Wine, in a Wine prefix of the test's
# own: CPack makes it from the Windows build; /S installs without a word into
# %LOCALAPPDATA%\Programs\Varnoscape, makes it the screen saver (remembering
# the one before) and writes the entry of Settings -> Apps; the installed
# saver opens its settings dialog from there, and saving it writes the
# user's settings in %APPDATA%\Varnoscape, not in its writable install
# folder; an update over it keeps the user's choices; the uninstaller, run
# as the entry's QuietUninstallString says, takes away what was installed
# and nothing else (the settings stay), and gives the saver before ours back
# only while ours was still the one. A failed install or uninstall says so
# in its exit code and changes nothing.
# editions: windows
source "$(dirname "$0")/lib/common.bash"
e2e_setup "$1" 1024x768
e2e_windows || e2e_fail "E2E_WINDOWS_BUILD must name the Windows edition's build"
source_root=$(cd "$(dirname "$0")/../.." && pwd)
wine_run="$source_root/scripts/wine-run.sh"

# Without NSIS or Wine the test is skipped (77), unless E2E_REQUIRE_WINDOWS
# is set: the project's test command installs both and must not pass by
# skipping.
missing=()
command -v makensis >/dev/null 2>&1 || missing+=(makensis)
command -v wine64 >/dev/null 2>&1 || command -v wine >/dev/null 2>&1 ||
  [ -x /usr/lib/wine/wine64 ] || missing+=(wine)
if ((${#missing[@]})); then
  why="missing ${missing[*]} (bash scripts/deps.sh windows)"
  [ -n "${E2E_REQUIRE_WINDOWS:-}" ] && e2e_fail "$why"
  echo "SKIP: $why"
  exit 77
fi

# --- The installer, as `cpack` makes it in the build folder -------------------
out="$E2E_TMP/out"
cpack --config "$E2E_WINDOWS_BUILD/CPackConfig.cmake" -G NSIS -B "$out" >"$E2E_TMP/cpack.log" 2>&1 ||
  e2e_fail "cpack -G NSIS failed: $(tail -n 30 "$E2E_TMP/cpack.log")"
setups=("$out"/Varnoscape-*-setup.exe)
[ -f "${setups[0]}" ] && [ ${#setups[@]} -eq 1 ] ||
  e2e_fail "want one Varnoscape-*-setup.exe, got: $(ls "$out")"
setup=${setups[0]}
version=${setup##*/Varnoscape-}
version=${version%-setup.exe}
echo "installer: $(basename "$setup"), $(stat -c %s "$setup") bytes"

# --- A Wine prefix of the test's own ------------------------------------------
# The test's cleanup ends its server (the Wine session it ends is WINEPREFIX's)
# and removes it with the scratch folder.
export WINEPREFIX="$E2E_TMP/wine-prefix"
bash "$wine_run" --prepare "$out"

# in_prefix PROGRAM ARGS...: runs a program of the prefix (a Windows name, or
# a builtin such as reg) or the installer. wine-run.sh keeps what it makes for
# a run (the locale Wine needs) in the working folder: the scratch one, never
# the installed folder.
in_prefix() {
  (cd "$out" && bash "$wine_run" "$@")
}

# read_key KEY: the key's values into the array "values" (name -> "TYPE
# DATA"); fails when the key is not there.
declare -A values
read_key() {
  local listing line name rest
  values=()
  listing=$(in_prefix reg query "$1" 2>/dev/null | tr -d '\r') || return 1
  while IFS= read -r line; do
    [[ "$line" == "    "* ]] || continue
    line=${line#    }
    name=${line%%    *}
    rest=${line#*    }
    values[$name]="${rest%%    *} ${rest#*    }"
  done <<<"$listing"
}

# value_is KEY NAME WANT: the value is WANT ("TYPE DATA"), or absent for "".
value_is() {
  local got=""
  read_key "$1" && got=${values[$2]:-}
  [ "$got" = "$3" ] || e2e_fail "$1\\$2 is '$got', want '$3'"
}

# windows_folder VARIABLE: the Windows name an environment variable holds.
windows_folder() {
  in_prefix cmd /c echo "%$1%" | tr -d '\r'
}

run_timed() {
  local start status=0
  start=$(date +%s%N)
  "$@" || status=$?
  elapsed_ms=$((($(date +%s%N) - start) / 1000000))
  return $status
}

desktop='HKCU\Control Panel\Desktop'
entry='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnoscape'
own_key='HKCU\Software\Varnoscape'
other_saver='C:\windows\system32\other saver.scr'

local_appdata=$(windows_folder LOCALAPPDATA)
appdata=$(windows_folder APPDATA)
[[ "$local_appdata" == C:\\* && "$appdata" == C:\\* ]] ||
  e2e_fail "no per-user folders in the prefix: '$local_appdata', '$appdata'"
dir="$local_appdata\\Programs\\Varnoscape"
dir_unix=$(in_prefix winepath -u "$dir" | tr -d '\r')
settings_unix=$(in_prefix winepath -u "$appdata\\Varnoscape" | tr -d '\r')
[ -n "$dir_unix" ] && [ -n "$settings_unix" ] || e2e_fail "winepath gave no Unix names"

# The user's own: another saver, and a settings file in the per-user place,
# which stays as it is until the user saves the settings (and then as saved).
in_prefix reg add "$desktop" /v SCRNSAVE.EXE /t REG_SZ /d "$other_saver" /f >/dev/null
mkdir -p "$settings_unix"
printf '[Section]\r\n画像のﾌｫﾙﾀﾞ=C:\\pictures\r\n' | iconv -f UTF-8 -t CP932 >"$settings_unix/Varnoscape.ini"
cp "$settings_unix/Varnoscape.ini" "$E2E_TMP/settings.ini"
settings_untouched() {
  cmp -s "$settings_unix/Varnoscape.ini" "$E2E_TMP/settings.ini" &&
    [ "$(ls -A "$settings_unix")" = Varnoscape.ini ] ||
    e2e_fail "$1 changed the settings folder: $(ls -A "$settings_unix")"
}

# names FILE...: the names sorted, on one line.
names() {
  printf '%s\n' "$@" | LC_ALL=C sort | tr '\n' ' '
}

# folder_holds FILE...: the installed folder holds those files and no other.
folder_holds() {
  local -a present=()
  [ -d "$dir_unix" ] && mapfile -t present < <(ls -A "$dir_unix")
  [ "$(names ${present[@]+"${present[@]}"})" = "$(names "$@")" ]
}

# installed_as_wanted SAVER [USER-FILE]: the files (and the user's, when
# named), the entry, and SCRNSAVE.EXE as SAVER ("TYPE DATA").
installed_as_wanted() {
  folder_holds LICENSE README.md Uninstall.exe Varnoscape.scr ${2:+"$2"} ||
    e2e_fail "the installed folder holds: $(ls -A "$dir_unix" | tr '\n' ' ')"
  cmp -s "$dir_unix/Varnoscape.scr" "$E2E_WINDOWS_BUILD/Varnoscape.scr" || e2e_fail "Varnoscape.scr differs from the build's"
  cmp -s "$dir_unix/README.md" "$source_root/README.md" || e2e_fail "README.md differs from the source's"
  cmp -s "$dir_unix/LICENSE" "$source_root/LICENSE" || e2e_fail "LICENSE differs from the source's"
  local bytes=0 name
  for name in Varnoscape.scr README.md LICENSE Uninstall.exe; do
    bytes=$((bytes + $(stat -c %s "$dir_unix/$name")))
  done
  read_key "$entry" || e2e_fail "no $entry"
  local -A want=(
    [DisplayName]="REG_SZ Varnoscape"
    [DisplayVersion]="REG_SZ $version"
    [Publisher]="REG_SZ Varnoscape"
    [DisplayIcon]="REG_SZ $dir\\Varnoscape.scr"
    [InstallLocation]="REG_SZ $dir"
    [EstimatedSize]="REG_DWORD $(printf '0x%x' $(((bytes + 1023) / 1024)))"
    [UninstallString]="REG_SZ \"$dir\\Uninstall.exe\""
    [QuietUninstallString]="REG_SZ \"$dir\\Uninstall.exe\" /S _?=$dir"
    [NoModify]="REG_DWORD 0x1"
    [NoRepair]="REG_DWORD 0x1"
  )
  for name in "${!want[@]}"; do
    [ "${values[$name]:-}" = "${want[$name]}" ] ||
      e2e_fail "the entry's $name is '${values[$name]:-}', want '${want[$name]}'"
  done
  [ ${#values[@]} -eq ${#want[@]} ] || e2e_fail "the entry holds more: ${!values[*]}"
  value_is "$desktop" SCRNSAVE.EXE "$1"
}

# install WHAT: the installer, silently; it must work.
install() {
  run_timed in_prefix "$setup" /S || e2e_fail "$1: the silent install exited with $?"
  echo "$1: ${elapsed_ms} ms"
}

# uninstall WHAT [USER-FILE]: the entry's QuietUninstallString, as Windows
# runs it (the folder's name holds no blank here); it must work. Uninstall.exe
# goes a moment after it has ended, and the folder with it unless the user's
# file is there.
uninstall() {
  read_key "$entry" || e2e_fail "$1: no entry to uninstall with"
  local command=${values[QuietUninstallString]#REG_SZ }
  [[ "$command" =~ ^\"([^\"]+)\"\ (.*)$ ]] || e2e_fail "QuietUninstallString '$command'"
  local program=${BASH_REMATCH[1]} args
  read -ra args <<<"${BASH_REMATCH[2]}"
  run_timed in_prefix "$program" "${args[@]}" || e2e_fail "$1: the silent uninstall exited with $?"
  echo "$1: ${elapsed_ms} ms"
  for _ in $(seq 1 100); do
    folder_holds ${2:+"$2"} && break
    sleep 0.1
  done
  folder_holds ${2:+"$2"} || e2e_fail "$1: the installed folder holds: $(ls -A "$dir_unix" | tr '\n' ' ')"
  read_key "$entry" && e2e_fail "$1: the entry is still there"
  read_key "$own_key" && e2e_fail "$1: $own_key is still there: ${!values[*]}"
  settings_untouched "$1"
}

# 1. Where the folder should go there is a file: the install fails, saying
#    so in its exit code, and leaves the registry alone.
mkdir -p "$(dirname "$dir_unix")"
echo "not a folder" >"$dir_unix"
status=0
in_prefix "$setup" /S || status=$?
[ "$status" -ne 0 ] || e2e_fail "an install that cannot write its folder exited with 0"
read_key "$entry" && e2e_fail "a failed install wrote the entry"
value_is "$desktop" SCRNSAVE.EXE "REG_SZ $other_saver"
rm "$dir_unix"

# 2. The install: ours is the saver, the one before it remembered.
install "silent install"
installed_as_wanted "REG_SZ $dir\\Varnoscape.scr"
value_is "$own_key" PreviousScreenSaver "REG_SZ $other_saver"
settings_untouched "the install"

# 3. The installed saver runs from there. While it does, its uninstaller
#    fails, saying so, and changes nothing.
cat >"$E2E_TMP/installed-scr" <<EOF
#!/usr/bin/env bash
cd "$out" && exec env -u VARNOSCAPE_INI bash "$wine_run" "$dir\\Varnoscape.scr" "\$@"
EOF
chmod +x "$E2E_TMP/installed-scr"
E2E_SAVER="$E2E_TMP/installed-scr"
e2e_open_dialog
status=0
in_prefix "$dir\\Uninstall.exe" /S "_?=$dir" || status=$?
[ "$status" -ne 0 ] || e2e_fail "the uninstaller exited with 0 while the saver ran"
installed_as_wanted "REG_SZ $dir\\Varnoscape.scr"
e2e_click 520 250  # the window's empty background
xdotool key Escape
status=$(e2e_wait_exit "$E2E_PID" 10) || e2e_fail "the settings dialog did not close"
[ "$status" = 0 ] || e2e_fail "the installed saver's dialog ended with $status"
settings_untouched "the dialog closed with Escape"

# 3b. Saved with "設定", the installed saver's settings go to the per-user
#     place, though its own folder is writable: the uninstaller leaves them
#     there and a new install finds them. Nothing goes beside it.
e2e_open_dialog
e2e_click 386 330  # 設定
status=$(e2e_wait_exit "$E2E_PID" 10) ||
  e2e_fail "the settings dialog did not close on 設定: $(cat "$E2E_TMP/saver.err")"
[ "$status" = 0 ] || e2e_fail "the installed saver's saved dialog ended with $status"
installed_as_wanted "REG_SZ $dir\\Varnoscape.scr"
iconv -f CP932 -t UTF-8 "$settings_unix/Varnoscape.ini" | grep -q '^描画方法=' ||
  e2e_fail "the save did not reach $appdata\\Varnoscape\\Varnoscape.ini: $(iconv -f CP932 -t UTF-8 "$settings_unix/Varnoscape.ini")"
# From here on the saved file is the user's, which no install or uninstall
# may change.
cp "$settings_unix/Varnoscape.ini" "$E2E_TMP/settings.ini"
settings_untouched "the save"

# 4. An update keeps ours the saver, and the one before it as remembered.
install "silent update"
installed_as_wanted "REG_SZ $dir\\Varnoscape.scr"
value_is "$own_key" PreviousScreenSaver "REG_SZ $other_saver"

# 5. The uninstall: all gone, the saver before ours back.
uninstall "silent uninstall"
[ ! -e "$dir_unix" ] || e2e_fail "the installed folder is still there"
value_is "$desktop" SCRNSAVE.EXE "REG_SZ $other_saver"

# 6. Installed again; the user then picks another saver and keeps a file of
#    their own beside the program (say the settings file of a portable copy,
#    which the installed one does not read). An update keeps both, and the
#    uninstall leaves both.
install "install again"
chosen='C:\windows\system32\chosen.scr'
in_prefix reg add "$desktop" /v SCRNSAVE.EXE /t REG_SZ /d "$chosen" /f >/dev/null
printf '[Section]\r\n描画方法= 1\r\n' | iconv -f UTF-8 -t CP932 >"$dir_unix/Varnoscape.ini"
cp "$dir_unix/Varnoscape.ini" "$E2E_TMP/beside.ini"
install "update over another saver"
installed_as_wanted "REG_SZ $chosen" Varnoscape.ini
cmp -s "$dir_unix/Varnoscape.ini" "$E2E_TMP/beside.ini" || e2e_fail "the update changed the user's file"
uninstall "uninstall under another saver" Varnoscape.ini
cmp -s "$dir_unix/Varnoscape.ini" "$E2E_TMP/beside.ini" || e2e_fail "the uninstall changed the user's file"
value_is "$desktop" SCRNSAVE.EXE "REG_SZ $chosen"
echo "PASS"
