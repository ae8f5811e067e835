#!/usr/bin/env bash
# Builds the program and runs it under Wine, in a Wine prefix of the project's own. With a display
# the window opens there; without one, it runs in a virtual X server, and the verdict and a
# screenshot are reported.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-debian.sh >/dev/null

if tools/can-run-32bit.sh; then
  preset=windows
else
  echo "NOTE: this machine runs no 32-bit processes; running the 64-bit build of the same sources."
  preset=windows-x64
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
exec python3 tools/run.py "build/$preset"
