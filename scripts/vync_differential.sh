#!/bin/sh
# A long differential run of the C compiler against the host's C compiler: random programs in
# units of twelve, compiled by vync, built by gputils and run in gpsim.
#   scripts/vync_differential.sh [UNITS] [SEED]      (defaults: 2000 units, a seed from the clock)
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
units=${1:-2000}
seed=${2:-$(date +%s)}
echo "seed $seed, $units units"
VYNC_DIFF_UNITS=$units VYNC_DIFF_SEED=$seed VYNC_KEEP=${VYNC_KEEP:-} \
  "$here/build/tests/vync_tests" --gtest_filter='VyncDifferential.*'
