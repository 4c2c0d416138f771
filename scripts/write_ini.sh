#!/usr/bin/env bash
# Writes a settings file in code page 932 for the given picture folder.
#   bash scripts/write_ini.sh OUT.ini FOLDER [SIZE WAY CHANGE]
# SIZE 0 own size / 1 full screen, WAY 0 dots / 1 lines, CHANGE 0 in name
# order / 1 random; all kinds enabled.
set -euo pipefail
out=$1 folder=$2 size=${3:-0} way=${4:-0} change=${5:-0}
printf '[Section]\r\n画像ﾁｪﾝｼﾞ= %s\r\n画像のｻｲｽﾞ= %s\r\n画像のﾌｫﾙﾀﾞ=%s\r\n画像種類_0= 1\r\n画像種類_1= 1\r\n画像種類_2= 1\r\n画像種類_3= 1\r\n描画方法= %s\r\n' \
  "$change" "$size" "$folder" "$way" | iconv -f UTF-8 -t CP932 >"$out"
