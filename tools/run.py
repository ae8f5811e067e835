"""Runs the built program under Wine in the project's own prefix (build/<preset>/run/prefix*).

    run.py BUILD          here, with this machine's Wine
    run.py --vm BUILD     in an emulated machine (tools/vm32.py), for kernels that run no 32-bit
                          processes; the prefix and the screenshot stay in BUILD/run

With a display (DISPLAY set, and not in the emulated machine) the window opens there and this
returns when the program ends. Without one, a virtual X server is started; the program runs until
its verdict is in the label, a screenshot is saved, and where it is, what the label says and how
long each step took are printed."""
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
args = sys.argv[1:]
in_vm = args[:1] == ["--vm"]
build = Path(args[-1]).resolve()

if in_vm:
    sys.path.insert(0, str(ROOT / "tools"))
    import vm32  # noqa: E402
    # Processes start 10-20 times slower in the emulated machine: every wait is given that much more.
    os.environ.setdefault("PRUVOLT_TIME_FACTOR", "15")
    print("Running the 32-bit program in an emulated machine; this takes a few minutes "
          "(the first time longer: the Wine prefix is made once).", flush=True)
    started = time.time()
    code = vm32.run(["python3", str(Path(__file__).resolve()), str(build)], shares=[build / "run"])
    print(f"In all: {time.time() - started:.0f} s.")
    sys.exit(code)

os.environ["PRUVOLT_BUILD"] = str(build)
os.environ["PRUVOLT_BITS"] = "32" if build.name == "windows" else "64"
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import harness  # noqa: E402  (after PRUVOLT_BUILD is known)

PROBING = "\r\n正在測試連線資料中...\r\n請稍候..."
arch = harness.ARCHS[0]
harness.STATE = build / "run"
harness.ARTIFACTS = harness.STATE
harness.STATE.mkdir(parents=True, exist_ok=True)
prefix = harness.prefix_dir(arch)


def make_prefix():
    # Marked ready only once made whole and saved: a run stopped while making it leaves a prefix
    # that looks made but is not, and it is made again.
    ready = prefix / ".pruvolt-ready"
    if ready.exists():
        return
    print(f"Making the Wine prefix {prefix} (once) ...", flush=True)
    started = time.time()
    shutil.rmtree(prefix, ignore_errors=True)
    prefix.mkdir(parents=True)
    harness.boot_new_prefix(arch)
    harness.prepare_prefix(arch)
    harness.close_registry_drivers()
    # The server writes the registry out when it ends.
    subprocess.run([harness.WINESERVER, "-w"], env=harness.wine_env(arch), check=False,
                   timeout=harness.scaled(120))
    ready.touch()
    print(f"Wine prefix made in {time.time() - started:.0f} s.", flush=True)


if os.environ.get("DISPLAY") and not os.environ.get("PRUVOLT_IN_VM"):
    (harness.STATE / "display").write_text(os.environ["DISPLAY"])
    make_prefix()
    print(f"Running {harness.PROGRAM} on {os.environ['DISPLAY']} ...")
    result = subprocess.run([harness.wine_loader(arch), str(harness.PROGRAM)], env=harness.wine_env(arch),
                            cwd=harness.PROGRAM.parent)
    sys.exit(result.returncode)

# No display: a virtual one, and a report.
xvfb = harness.start_virtual_display()
try:
    make_prefix()
    print(f"Starting {harness.PROGRAM.name} ({os.environ['PRUVOLT_BITS']}-bit) ...", flush=True)
    run = harness.Run(arch, "C:\\Pruvolt", tmp=harness.Run.KEEP, installers=())
    try:
        run.start()
        shown = run.wait("shown", 30000)
        if shown is None:
            # A Wine process now and then hangs while it starts (the suite starts its driver again
            # for the same reason): once, the program is ended and started again.
            print("The window was not shown in time; the program is started once more.", flush=True)
            run.driver.ask("kill")
            run.start()
            shown = run.wait("shown", 30000)
        if shown is None:
            sys.exit("The program's window was never shown.")
        verdict = run.wait("labelchange", 120000, PROBING)
        label = run.label()
        run.screenshot("screenshot")
        print(f"Window shown after {shown} ms; verdict after {verdict} ms.")
        print("Label:")
        for line in label.split("\r\n"):
            print(f"  {line}")
        print(f"Screenshot: {harness.ARTIFACTS / 'screenshot.png'}")
    finally:
        run.close()
finally:
    subprocess.run([harness.WINESERVER, "-k"], env=harness.wine_env(arch), check=False)
    (harness.STATE / "display").unlink(missing_ok=True)
    xvfb.terminate()
