#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given as $1 with extra
# CMake options after it): the programs, their tests and benchmarks, which
# need `bash scripts/deps.sh build test`. The tests and benchmarks are named
# on every run, so that a folder that scripts/run.sh configured without them
# (-DVS_TESTS=OFF -DVS_BENCH=OFF, given after these) gets them back.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVS_WERROR=ON \
  -DVS_TESTS=ON -DVS_BENCH=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
