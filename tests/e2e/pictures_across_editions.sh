#!/usr/bin/env bash
# The two editions decode the same pictures to the same pixels: every sample
# of the Linux build is loaded by each edition's own loader (the Linux
# decoder process with its libraries; the Windows edition's WIC and GDI under
# Wine), both results are compared, and every malformed sample must fail on
# both with the same reason.
#
#   E2E_WINDOWS_BUILD=<windows-build> bash tests/e2e/pictures_across_editions.sh <linux-build>
#
# What "the same" means per kind:
# - BMP and GIF: equal, pixel for pixel (our own decoder; palette colours).
# - PNG and TIFF: equal, pixel for pixel. Besides the samples, PNGs and
#   TIFFs of every variant are made here from a sample by ImageMagick: 16-bit
#   with transparency, palette, interlaced, grey, LZW, a turned TIFF. The
#   editions decode them with different libraries (libpng and libtiff; WIC),
#   but lay transparency over black and round 16-bit samples by one rule.
# - WebP, HEIF and AVIF (made here by cwebp, heif-enc and avifenc): where the
#   Windows system has no decoder for the kind (Wine has none), its reason
#   must name the extension to install, and the picture is not compared;
#   elsewhere lossless WebP must be equal, HEIF and AVIF as close as JPEG.
# - JPEG: on average within 1 level, at most 2% of the pixels off by more
#   than 8 levels and 0.1% by more than 32. The editions decode with
#   different libraries (libjpeg-turbo; the system's WIC), which reconstruct
#   subsampled colour differently: pictures without subsampled colour (grey,
#   CMYK here) come out equal, colour photos differ on sharp colour edges
#   (there by up to 70 levels). A wrong colour space, orientation or row
#   would move the mean and the counts far more.
# - WMF: the same size, at most 3% of the pixels off by more than 32 levels.
#   libwmf and GDI fill shapes by different rules: GDI leaves a rectangle's
#   right and bottom edge to the pen (the white paper shows there when the
#   pen is null), and draws ellipses round where libwmf draws polygons. So
#   one-pixel seams and shape edges differ; the inside of every shape is the
#   same colour.
# editions: windows
source "$(dirname "$0")/lib/common.bash"
[ $# -eq 1 ] && e2e_windows || e2e_fail "usage: E2E_WINDOWS_BUILD=<windows-build> pictures_across_editions.sh <linux-build>"
linux=$(cd "$1" && pwd)
windows=$E2E_WINDOWS_BUILD
tool="$linux/decode-pictures"
tool_exe="$windows/decode-pictures.exe"
samples="$linux/samples"
[ -x "$tool" ] || e2e_fail "no $tool: build the Linux edition"
[ -d "$samples/bad" ] || e2e_fail "no samples in $samples (build the 'samples' target)"
[ -f "$tool_exe" ] ||
  e2e_fail "no $tool_exe: build the Windows edition (cmake --preset windows && cmake --build --preset windows)"
windows=$(cd "$windows" && pwd)
wine_run="$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run.sh"
# WIC and GDI need no display: no X server here.
E2E_TMP=$(mktemp -d)
trap 'rm -rf "$E2E_TMP"' EXIT

# Variants of one sample in the later kinds, made by ImageMagick and the
# libraries' own tools.
made="$E2E_TMP/made"
mkdir -p "$made"
source_bmp="$samples/landscape.bmp"
[ -f "$source_bmp" ] || e2e_fail "no $source_bmp"
for maker in convert tiffset cwebp heif-enc avifenc; do
  command -v "$maker" >/dev/null || e2e_fail "$maker is missing: bash scripts/deps.sh test"
done
fade=(\( -size 640x480 gradient:white-black \) -alpha off -compose CopyOpacity -composite)
{
  convert "$source_bmp" "$made/plain.png" &&
    convert "$source_bmp" "${fade[@]}" -depth 16 "PNG64:$made/rgba16.png" &&
    convert "$source_bmp" -depth 16 "PNG48:$made/rgb16.png" &&
    convert "$source_bmp" -colorspace Gray -depth 16 "$made/grey16.png" &&
    convert "$source_bmp" "${fade[@]}" "PNG32:$made/rgba8.png" &&
    convert "$source_bmp" -colors 200 "PNG8:$made/palette.png" &&
    convert "$source_bmp" -interlace PNG "$made/interlaced.png" &&
    convert "$source_bmp" -compress lzw "$made/lzw.tif" &&
    convert "$source_bmp" "${fade[@]}" -depth 16 -compress lzw "$made/rgba16.tif" &&
    convert "$source_bmp" -compress lzw "$made/turned.tif" &&
    tiffset -s 274 6 "$made/turned.tif" &&
    cwebp -quiet -lossless "$made/plain.png" -o "$made/lossless.webp" &&
    heif-enc -q 90 "$made/plain.png" -o "$made/photo.heic" &&
    avifenc -s 10 "$made/plain.png" "$made/photo.avif"
} >/dev/null 2>&1 || e2e_fail "the libraries' tools could not make the later kinds' variants"

pictures=()
for pic in "$samples"/*.* "$samples"/bad/* "$made"/*; do
  [ -f "$pic" ] && pictures+=("$pic")
done
mkdir -p "$E2E_TMP/linux" "$E2E_TMP/windows"
"$tool" "$E2E_TMP/linux" "${pictures[@]}" >"$E2E_TMP/linux.txt" 2>"$E2E_TMP/linux.err" ||
  e2e_fail "the Linux edition's loader failed: $(cat "$E2E_TMP/linux.err")"
windows_pictures=()
for pic in "${pictures[@]}"; do windows_pictures+=("Z:$pic"); done
bash "$wine_run" "$tool_exe" "Z:$E2E_TMP/windows" "${windows_pictures[@]}" \
  >"$E2E_TMP/windows.txt" 2>"$E2E_TMP/windows.err" ||
  e2e_fail "the Windows edition's loader failed: $(cat "$E2E_TMP/windows.err")"
tr -d '\r' <"$E2E_TMP/windows.txt" >"$E2E_TMP/windows.lines"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# answer FILE N: the rest of the n-th picture's line ("ok WxH", "failed ...").
answer() {
  awk -v n="$2" '$1 == n { $1 = ""; sub(/^ /, ""); print; exit }' "$1"
}

# The larger of two numbers; a count as a percentage of a total.
worst() { awk -v a="$1" -v b="$2" 'BEGIN { print (a + 0 > b + 0 ? a : b) }'; }
percent() { awk -v n="$1" -v t="$2" 'BEGIN { printf "%.3f", 100 * n / t }'; }

declare -A count max_diff worst_mean worst_over8 worst_over32
n=0
for pic in "${pictures[@]}"; do
  n=$((n + 1))
  name=${pic#"$samples"/}
  name=${name#"$E2E_TMP"/}
  kind=${pic##*.}
  case $kind in
    tiff) kind=tif ;;
    jpeg) kind=jpg ;;
    heif) kind=heic ;;
  esac
  on_linux=$(answer "$E2E_TMP/linux.txt" "$n")
  on_windows=$(answer "$E2E_TMP/windows.lines" "$n")
  case $name in
    bad/*)
      [[ $on_linux == failed* ]] || fail "$name: the Linux edition says '$on_linux'"
      [ "$on_windows" = "$on_linux" ] ||
        fail "$name: Linux '$on_linux', Windows '$on_windows'"
      kind=bad
      ;;
    *)
      [[ $on_linux == ok* ]] || fail "$name: the Linux edition says '$on_linux'"
      if [[ $kind =~ ^(webp|heic|avif)$ && $on_windows == "failed no decoder for "*" pictures on this system (install "*" from the Microsoft Store)" ]]; then
        echo "$name: no decoder on this Windows system: ${on_windows#failed }"
        count[undecodable]=$((${count[undecodable]:-0} + 1))
        continue
      fi
      if [ "$on_windows" != "$on_linux" ]; then
        fail "$name: Linux '$on_linux', Windows '$on_windows'"
        continue
      fi
      [[ $on_linux == ok* ]] || continue
      # "<w>x<h> max <d> mean <m> over8 <n> over32 <n>"
      read -r size _ d _ mean _ over8 _ over32 < <("$tool" --compare "$E2E_TMP/linux/$n.bmp" "$E2E_TMP/windows/$n.bmp")
      if [ "$size" = size ]; then
        fail "$name: the pictures differ in size"
        continue
      fi
      pixels=$((${size%x*} * ${size#*x}))
      echo "$name: max $d mean $mean over8 $over8 over32 $over32 of $pixels"
      case $kind in
        bmp | gif | png | tif | webp)
          [ "$d" -eq 0 ] || fail "$name: differs by up to $d (must be equal)"
          ;;
        jpg | heic | avif)
          awk -v m="$mean" 'BEGIN { exit !(m <= 1) }' ||
            fail "$name: differs by $mean on average (at most 1)"
          [ $((over8 * 50)) -le "$pixels" ] ||
            fail "$name: $over8 of $pixels pixels differ by more than 8 (at most 2%)"
          [ $((over32 * 1000)) -le "$pixels" ] ||
            fail "$name: $over32 of $pixels pixels differ by more than 32 (at most 0.1%)"
          ;;
        wmf)
          [ $((over32 * 100)) -le $((pixels * 3)) ] ||
            fail "$name: $over32 of $pixels pixels differ by more than 32 (at most 3%)"
          ;;
      esac
      max_diff[$kind]=$((${max_diff[$kind]:-0} > d ? ${max_diff[$kind]:-0} : d))
      worst_mean[$kind]=$(worst "${worst_mean[$kind]:-0}" "$mean")
      worst_over8[$kind]=$(worst "${worst_over8[$kind]:-0}" "$(percent "$over8" "$pixels")")
      worst_over32[$kind]=$(worst "${worst_over32[$kind]:-0}" "$(percent "$over32" "$pixels")")
      ;;
  esac
  count[$kind]=$(( ${count[$kind]:-0} + 1 ))
done

for kind in bmp gif jpg wmf png tif bad; do
  [ "${count[$kind]:-0}" -gt 0 ] || fail "no .$kind samples compared"
done
# The measures, per kind: the largest difference of one channel anywhere,
# the worst picture's mean difference, and the worst picture's share of
# pixels off by more than 8 and more than 32 levels.
for kind in bmp gif jpg wmf png tif; do
  printf '%s: %d pictures, max %d, mean <= %s, over 8: <= %s%%, over 32: <= %s%%\n' "$kind" \
    "${count[$kind]:-0}" "${max_diff[$kind]:-0}" "${worst_mean[$kind]:-0}" \
    "${worst_over8[$kind]:-0}" "${worst_over32[$kind]:-0}"
done
echo "malformed: ${count[bad]:-0} files, each failing on both editions with the same reason"
[ "${count[undecodable]:-0}" -eq 0 ] ||
  echo "not compared: ${count[undecodable]} files of kinds the Windows system has no decoder for"
if [ "$failures" -ne 0 ]; then
  echo "pictures_across_editions: $failures failure(s)" >&2
  exit 1
fi
echo "pictures_across_editions: all passed"
