#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-sanitize/ and runs the whole test suite there; any report of either fails its test.
# The build is heavy: it runs niced. Prints how long the build and the tests took.
#
#   scripts/sanitize.sh [CTEST ARGUMENTS...]
# Environment: KIV_SANITIZE_BUILD the build folder (default build-sanitize).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KIV_SANITIZE_BUILD:-$root/build-sanitize}

# The compiler of the normal build; its sanitizer runtimes come with it.
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null

# Test discovery runs the test programs during the build, so the options hold from here on.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

start=$(date +%s)
nice -n 19 cmake --build "$build" -j "$(nproc)"
built=$(date +%s)
echo "sanitizer build: $((built - start)) s"

export QT_QPA_PLATFORM=offscreen
cd "$build"
status=0
nice -n 19 ctest --output-on-failure -j "$(nproc)" --timeout 1200 "$@" || status=$?
echo "sanitizer build: $((built - start)) s, tests: $(($(date +%s) - built)) s"
exit $status
