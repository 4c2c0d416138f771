#!/usr/bin/env bash
# Installs what is needed, builds, and starts the saver full screen on the
# project's sample pictures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh" "$root/build"
exec "$root/build/varnoscape" "$@"
