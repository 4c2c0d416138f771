#!/usr/bin/env bash
# Installs what is needed, builds both editions, and runs every test: unit
# tests, the end-to-end tests of the real binaries under Xvfb (the Windows
# edition under Wine) and under a headless sway, the Windows edition's unit
# tests under Wine, the unit tests again under
# AddressSanitizer/UndefinedBehaviorSanitizer, and the fuzz targets for a
# bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# Every group: the tests need the run-time packages too.
bash scripts/deps.sh

echo "== build"
bash scripts/build.sh "$root/build"
echo "== build the Windows edition"
cmake --preset windows >/dev/null
cmake --build --preset windows
echo "== the Windows edition's installer and ZIP"
(cd "$root/build-windows" && cpack)
echo "== unit and end-to-end tests (both editions end to end)"
# The Windows edition was just built and sway and its tools installed: the
# end-to-end tests of that edition and of the Wayland backend must run, not
# skip for want of them.
export E2E_REQUIRE_WAYLAND=1
E2E_REQUIRE_WINDOWS=1 ctest --test-dir "$root/build" --output-on-failure -j2
echo "== the Windows edition's unit tests under Wine"
ctest --preset windows

echo "== unit tests under ASan/UBSan"
bash scripts/build.sh "$root/build-asan" -DVS_SANITIZE=ON -DVS_BENCH=OFF
ctest --test-dir "$root/build-asan" --output-on-failure -j2 -L unit
echo "== the Linux edition end to end under ASan/UBSan"
# Among them the dialog pressed again and again while it lists a very large
# folder: a use-after-free there shows only under the sanitizers.
ctest --test-dir "$root/build-asan" --output-on-failure -j2 -L e2e -E '^e2e_windows_'

if [ -d fuzz ] && ls fuzz/*.cpp >/dev/null 2>&1; then
  echo "== fuzz targets (bounded)"
  CC=clang CXX=clang++ bash scripts/build.sh "$root/build-fuzz" -DVS_FUZZ=ON -DVS_TESTS=OFF -DVS_BENCH=OFF
  bash scripts/fuzz.sh "$root/build-fuzz" "${VS_FUZZ_SECONDS:-20}"
fi
echo "== all tests passed"
