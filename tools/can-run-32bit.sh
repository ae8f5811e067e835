#!/usr/bin/env bash
# Exits 0 when this machine can run 32-bit Wine, that is when its kernel runs 32-bit processes
# (some kernels are built or booted without 32-bit emulation: ia32_emulation=off).
/usr/lib/wine/wine --version >/dev/null 2>&1
