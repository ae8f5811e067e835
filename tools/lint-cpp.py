#!/usr/bin/env python3
"""Compiles every C and C++ file of ours, as the native and the Windows builds compile it, with
clang 19 and warnings of the kinds MSVC's /W4 reports, and fails on any finding: the MSVC build
treats its warnings as errors, and runs only on the Windows workflow.

    tools/lint-cpp.py BUILD_DIR [BUILD_DIR ...]

Each build folder must have been configured with CMAKE_EXPORT_COMPILE_COMMANDS (the presets do).
A MinGW build's files are compiled for --target=i686-w64-windows-gnu (x86_64 for the 64-bit one),
with MinGW-w64's headers and libstdc++, so the Win32 code is read with Windows' 16-bit wchar_t.
"""
import concurrent.futures
import json
import os
import shlex
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
CLANG = {"c": "clang-19", "c++": "clang++-19"}
# The categories of MSVC's level 4: shadowing (C4456-C4459), narrowing (C4244, C4267, C4305),
# signedness (C4018, C4389), unreachable code (C4702), mismatched class/struct (C4099), unused
# names and parameters (C4100, C4101, C4189).
WARNINGS = ["-Wall", "-Wextra", "-Wshadow-all", "-Wimplicit-int-conversion", "-Wfloat-conversion",
            "-Wshorten-64-to-32", "-Wsign-compare", "-Wunreachable-code-aggressive", "-Wunused"]
CXX_ONLY_WARNINGS = ["-Wmismatched-tags"]
# Natively only: libstdc++ 12's own std::stable_sort calls its deprecated get_temporary_buffer,
# which clang 19 reports from inside the system header. The Windows target keeps the warning
# (MSVC's C4996), and the MSVC build reports it itself.
NATIVE_ONLY = ["-Wno-deprecated-declarations"]
# What the build's compiler takes that clang need not see: its outputs and dependency files, GCC's
# link-time optimisation (code generation only; clang knows no fat objects for Windows), and its
# own warning switches, which the list above replaces.
DROPPED_WITH_VALUE = {"-o", "-MT", "-MF", "-MQ"}
DROPPED = {"-c", "-MD", "-MMD", "-flto", "-ffat-lto-objects"}


def ours(path):
    path = Path(path).resolve()
    return ROOT in path.parents and (ROOT / "build") not in path.parents


def target_of(compiler):
    name = Path(compiler).name
    for triple, target in (("i686-w64-mingw32", "i686-w64-windows-gnu"),
                           ("x86_64-w64-mingw32", "x86_64-w64-windows-gnu")):
        if name.startswith(triple):
            return target
    return None


def clang_command(entry):
    words = shlex.split(entry["command"]) if "command" in entry else list(entry["arguments"])
    source = entry["file"]
    language = "c" if source.endswith(".c") else "c++"
    command = [CLANG[language]]
    target = target_of(words[0])
    if target:
        command.append(f"--target={target}")
    skip = False
    for word in words[1:]:
        if skip:
            skip = False
        elif word in DROPPED_WITH_VALUE:
            skip = True
        elif word in DROPPED or word == source or word.startswith("-W"):
            continue
        else:
            command.append(word)
    command += WARNINGS + (CXX_ONLY_WARNINGS if language == "c++" else [])
    command += [] if target else NATIVE_ONLY
    command += ["-fsyntax-only", "-fno-color-diagnostics", source]
    return command, entry["directory"]


def lint(job):
    command, directory = job
    result = subprocess.run(command, cwd=directory, capture_output=True, text=True)
    return command[-1], result.returncode, (result.stdout + result.stderr).strip()


def main(build_dirs):
    if not build_dirs:
        sys.exit(__doc__)
    jobs = []
    for build in build_dirs:
        database = Path(build) / "compile_commands.json"
        if not database.exists():
            sys.exit(f"lint-cpp: {database} is missing: configure {build} with its preset first")
        jobs += [clang_command(e) for e in json.loads(database.read_text())
                 if ours(e["file"]) and e["file"].endswith((".c", ".cpp"))]
    if not jobs:
        sys.exit("lint-cpp: no file of ours in the compile databases")
    findings = 0
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 2) as pool:
        for source, code, output in pool.map(lint, jobs):
            if code != 0 or output:
                findings += 1
                print(f"--- {Path(source).resolve().relative_to(ROOT)}\n{output}")
    print(f"lint-cpp: {len(jobs)} compilations with clang 19, {findings} with findings")
    sys.exit(1 if findings else 0)


if __name__ == "__main__":
    main(sys.argv[1:])
