#!/usr/bin/env bash
# Sets everything up, builds, and runs every test; exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen
cd "$root/build"
ctest --output-on-failure -j "$(nproc)" --timeout 600
