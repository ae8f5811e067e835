#!/usr/bin/env bash
# Builds the 32-bit program and runs it under Wine, in a Wine prefix of the project's own. With a
# display the window opens there; without one, it runs in a virtual X server, and the verdict and a
# screenshot are reported. Where the kernel runs no 32-bit processes (or PRUVOLT_VM32=1 asks for
# it), the program runs in an emulated machine (tools/vm32.py) and is reported the same way.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-debian.sh >/dev/null

cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)"
if tools/can-run-32bit.sh && [ "${PRUVOLT_VM32:-0}" = 0 ]; then
  exec python3 tools/run.py build/windows
fi
echo "NOTE: this machine runs no 32-bit processes (or PRUVOLT_VM32 is set): the program runs in an emulated machine${DISPLAY:+, not on $DISPLAY}."
exec python3 tools/run.py --vm build/windows
