#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time each and
# fails when any of them finds a crash, a leak or a hang.
#
#   bash scripts/fuzz.sh FUZZ_BUILD_DIR SECONDS
#
# The targets are the programs named after fuzz/*.cpp in the build folder
# (configured with CC=clang CXX=clang++ -DVS_FUZZ=ON). Each starts from a
# temporary corpus seeded with the sample pictures (the build's own samples/,
# else build/samples/) and with fuzz/corpus/<target>/ when that exists.
# Inputs that crash are kept in FUZZ_BUILD_DIR/fuzz-artifacts/<target>/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: fuzz.sh FUZZ_BUILD_DIR SECONDS}
seconds=${2:?usage: fuzz.sh FUZZ_BUILD_DIR SECONDS}
build=$(cd "$build" && pwd)

samples=""
for dir in "$build/samples" "$root/build/samples"; do
  if [ -d "$dir" ]; then
    samples=$dir
    break
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vs-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

failed=()
ran=0
for source in "$root"/fuzz/*.cpp; do
  [ -e "$source" ] || continue
  name=$(basename "$source" .cpp)
  program="$build/$name"
  if [ ! -x "$program" ]; then
    echo "fuzz: $name was not built in $build" >&2
    failed+=("$name (not built)")
    continue
  fi
  corpus="$work/$name"
  mkdir -p "$corpus"
  if [ -n "$samples" ]; then
    find "$samples" -type f ! -name '.*' -exec cp {} "$corpus"/ \; 2>/dev/null || true
  fi
  if [ -d "$root/fuzz/corpus/$name" ]; then
    cp -r "$root/fuzz/corpus/$name"/. "$corpus"/
  fi
  artifacts="$build/fuzz-artifacts/$name"
  mkdir -p "$artifacts"
  log="$work/$name.log"
  echo "== $name: ${seconds}s, seeds: $(find "$corpus" -type f | wc -l)"
  status=0
  # Inputs up to 64 KB: small files run many times faster, and every
  # header and run structure fits (larger seeds are read cut to that size).
  # Pictures may legitimately be large: allow a gigabyte picture plus the
  # sanitizer's bookkeeping before calling it out of memory.
  "$program" "$corpus" -max_total_time="$seconds" -max_len=65536 -timeout=30 \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" >"$log" 2>&1 ||
    status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "   executions: ${runs:-?}, exit status: $status"
  ran=$((ran + 1))
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log" >&2
    failed+=("$name")
  fi
done

if [ "$ran" -eq 0 ] && [ "${#failed[@]}" -eq 0 ]; then
  echo "fuzz: no fuzz targets in $root/fuzz" >&2
  exit 1
fi
if [ "${#failed[@]}" -ne 0 ]; then
  echo "fuzz: failed: ${failed[*]} (inputs in $build/fuzz-artifacts/)" >&2
  exit 1
fi
echo "fuzz: all $ran targets ran ${seconds}s without a finding"
