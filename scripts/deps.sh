#!/usr/bin/env bash
# Installs the Debian packages the project needs; skips what is already there.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

# What the programs need at run time beyond the libraries they link; the
# .deb depends on the same list.
mapfile -t runtime < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' -e '/^$/d' "$root/packaging/runtime-packages.txt")
((${#runtime[@]})) || { echo "deps.sh: no packages in $root/packaging/runtime-packages.txt" >&2; exit 1; }

packages=(
  build-essential cmake ninja-build pkg-config git
  libx11-dev libxext-dev libxrandr-dev libxinerama-dev
  libjpeg62-turbo-dev libgif-dev libwmf-dev libpng-dev libfreetype-dev libfontconfig-dev
  "${runtime[@]}"
  libgtest-dev libbenchmark-dev clang libclang-rt-14-dev clang-format
  xvfb xauth xdotool x11-utils x11-xserver-utils imagemagick zenity xdg-utils xscreensaver
  dpkg-dev file procps
  # The Windows edition: the cross compiler, GoogleTest's sources to build
  # for it, and Wine to run it; Wine's X11 driver loads these X libraries
  # itself, and its package only recommends them.
  g++-mingw-w64-x86-64-posix googletest wine64
  libxrender1 libxrandr2 libxi6 libxcursor1 libxcomposite1 libxfixes3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
