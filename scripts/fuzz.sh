#!/usr/bin/env bash
# Fuzzes every reader of outside bytes: builds the fuzz targets of tests/fuzz with clang's
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer into build-fuzz/ (only the readers
# and their libraries), then runs each target for SECONDS (default 60), niced, from its seed
# corpus in tests/fuzz/corpus/<target>. Prints per target the executions and any finding; an
# input that crashed, leaked or hung a reader is copied to tests/fuzz/regressions/<target>/,
# which the normal test suite replays. Exits non-zero when a target found something.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# Environment: KIV_FUZZ_JOBS targets at once (default: the number of cores),
#              KIV_FUZZ_BUILD the build folder (default build-fuzz),
#              KIV_FUZZ_NICE the niceness of the build and the runs (default 19).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
shift || true
build=${KIV_FUZZ_BUILD:-$root/build-fuzz}
jobs=${KIV_FUZZ_JOBS:-$(nproc)}
niceness=${KIV_FUZZ_NICE:-19}

# clang and its sanitizer and libFuzzer runtimes (the normal build needs neither).
packages=(clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Some packages are missing. Run this as root, then start again:"
    echo "  apt-get install -y ${missing[*]}"
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -Wno-unknown-warning-option"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DKIV_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
nice -n "$niceness" cmake --build "$build" --target fuzz_targets -j "$(nproc)"

if [ $# -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < "$build/fuzz/targets.txt"
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
runs="$build/fuzz/runs"
mkdir -p "$runs"

run_target() {
  local t=$1
  local work="$runs/$t"
  rm -rf "$work/artifacts"
  mkdir -p "$work/corpus" "$work/artifacts"
  # New inputs go to the work corpus; the seeds in the source tree stay as they are.
  nice -n "$niceness" "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    "$work/corpus" "$root/tests/fuzz/corpus/$t" > "$work/log" 2>&1 || true
}

running=0
for t in "${targets[@]}"; do
  if [ ! -x "$build/fuzz/fuzz_$t" ]; then
    echo "no fuzz target named $t" >&2
    exit 2
  fi
  run_target "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

found=0
printf '%-12s %12s %8s  %s\n' target executions "exec/s" result
for t in "${targets[@]}"; do
  work="$runs/$t"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log" | tail -1)
  result="clean"
  shopt -s nullglob
  artifacts=("$work"/artifacts/*)
  shopt -u nullglob
  if [ ${#artifacts[@]} -gt 0 ]; then
    found=1
    mkdir -p "$root/tests/fuzz/regressions/$t"
    kept=()
    for a in "${artifacts[@]}"; do
      cp "$a" "$root/tests/fuzz/regressions/$t/"
      kept+=("tests/fuzz/regressions/$t/$(basename "$a")")
    done
    result="FOUND ${kept[*]} (log: $work/log)"
  elif ! grep -q '^stat::number_of_executed_units' "$work/log"; then
    found=1
    result="did not finish (log: $work/log)"
  fi
  printf '%-12s %12s %8s  %s\n' "$t" "${execs:-?}" "${rate:-?}" "$result"
done
exit $found
