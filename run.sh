#!/usr/bin/env bash
# Sets everything up, builds, and starts the IDE on the example project.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/setup.sh"
stage="$root/build/stage"
example="$stage/examples/blink/blink.pjt"
if [ -f "$example" ]; then
  exec "$stage/bin/kiv" "$example" "$@"
fi
exec "$stage/bin/kiv" "$@"
