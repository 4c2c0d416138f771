#!/usr/bin/env bash
# Installs the Debian packages the project needs, by what they are needed
# for; skips what is already there.
#
#   bash scripts/deps.sh [--check] [GROUP...]
#
#   run       what the programs need at run time beyond the libraries they
#             link (those come with the build group's -dev packages)
#   headless  scripts/run.sh without a display: a virtual screen and a
#             screenshot of it
#   dialog    the settings dialog's folder chooser and link opener (without
#             them the dialog says what to install)
#   build     compiling the Linux edition
#   test      the Linux edition's tests and benchmarks, the package test,
#             the sanitizer and fuzzing builds
#   windows   cross-building the Windows edition and running it under Wine
#
# No group means all of them. With --check nothing is installed: the
# script fails, naming them, when packages are missing.
#
# Every install is without recommends, so a package that another one only
# recommends and that we need is listed here itself.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

check_only=""
if [ "${1:-}" = --check ]; then
  check_only=yes
  shift
fi
groups=("$@")
((${#groups[@]})) || groups=(run headless dialog build test windows)

# group_packages GROUP: prints the group's packages, one a line.
group_packages() {
  case $1 in
    run)
      # Fonts for metafile text, the message box and the dialog's names in
      # other scripts; the .deb depends on the same list, so the two cannot
      # drift apart.
      sed -e 's/#.*//' -e 's/[[:space:]]//g' -e '/^$/d' "$root/packaging/runtime-packages.txt"
      ;;
    headless)
      # xvfb-run needs xauth, which xvfb only recommends; import is
      # ImageMagick's.
      printf '%s\n' xvfb xauth imagemagick
      ;;
    dialog)
      printf '%s\n' zenity xdg-utils
      ;;
    build)
      # The Wayland backend: the client library with wayland-scanner, the
      # protocol descriptions (xdg-shell) and the keymap library; libseccomp
      # for the picture decoder's confinement.
      printf '%s\n' build-essential cmake ninja-build pkg-config \
        libx11-dev libxext-dev libxrandr-dev libxinerama-dev \
        libwayland-dev wayland-protocols libxkbcommon-dev \
        libjpeg62-turbo-dev libgif-dev libwmf-dev libpng-dev libfreetype-dev libfontconfig-dev \
        libwebp-dev libheif-dev libtiff-dev liblcms2-dev libseccomp-dev
      ;;
    test)
      # GoogleTest and Google Benchmark; clang with its sanitizer and fuzzer
      # runtime (only recommended by clang) and clang-format; the X tools
      # that drive and look at the programs under Xvfb; XScreenSaver as a
      # real host; dpkg-shlibdeps and file, which CPack's .deb needs; pgrep.
      # The Wayland tests: a headless sway (what it only recommends, a
      # terminal, a menu and wallpapers, its test setup does not use), grim
      # for screenshots, wtype for keys, swayidle as the idle host, and jq to
      # read sway's window tree. The picture libraries' own tools make the
      # later kinds' test pictures: cwebp, heif-enc, avifenc, tiffcp.
      printf '%s\n' libgtest-dev libbenchmark-dev clang libclang-rt-14-dev clang-format \
        xvfb xauth xdotool x11-utils x11-xserver-utils imagemagick xscreensaver \
        dpkg-dev file procps \
        sway grim wtype swayidle jq \
        webp libheif-examples libavif-bin libtiff-tools
      ;;
    windows)
      # The cross compiler, GoogleTest's sources to build for it, and Wine;
      # Wine's X11 driver loads these X libraries itself, and its package
      # only recommends them. Wine speaks the locale's language only where
      # the locale exists: locales has the sources scripts/wine-run.sh
      # compiles a missing one from. NSIS's makensis builds the installer
      # (its 64-bit stubs come with it, in nsis-common).
      printf '%s\n' g++-mingw-w64-x86-64-posix googletest wine64 locales nsis \
        libxrender1 libxrandr2 libxi6 libxcursor1 libxcomposite1 libxfixes3
      ;;
    *)
      echo "deps.sh: no group '$1' (run, headless, dialog, build, test, windows)" >&2
      return 1
      ;;
  esac
}

packages=()
for group in "${groups[@]}"; do
  list=$(group_packages "$group")
  [ -n "$list" ] || { echo "deps.sh: group $group lists no package" >&2; exit 1; }
  mapfile -t -O "${#packages[@]}" packages <<<"$list"
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    [[ " ${missing[*]} " == *" $p "* ]] || missing+=("$p")
  fi
done

((${#missing[@]})) || exit 0
if [ -n "$check_only" ]; then
  echo "deps.sh: missing packages (${groups[*]}): ${missing[*]}" >&2
  echo "deps.sh: install them with: bash scripts/deps.sh ${groups[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
