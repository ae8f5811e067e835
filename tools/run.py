"""Runs the built program under Wine in the project's own prefix (build/<preset>/run/prefix*).

With a display (DISPLAY set) the window opens there and this returns when the program ends.
Without one, a virtual X server is started; the program runs until its verdict is in the label,
a screenshot is saved, and where it is and what the label says are printed."""
import os
import subprocess
import sys
from pathlib import Path

build = Path(sys.argv[1]).resolve()
os.environ["PRUVOLT_BUILD"] = str(build)
os.environ["PRUVOLT_BITS"] = "32" if build.name == "windows" else "64"
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import harness  # noqa: E402  (after PRUVOLT_BUILD is known)

PROBING = "\r\n正在測試連線資料中...\r\n請稍候..."
arch = harness.ARCHS[0]
harness.STATE = build / "run"
harness.ARTIFACTS = harness.STATE
harness.STATE.mkdir(parents=True, exist_ok=True)
prefix = harness.prefix_dir(arch)


def make_prefix():
    if not (prefix / "system.reg").exists():
        print(f"Making the Wine prefix {prefix} (once) ...")
        prefix.mkdir(parents=True, exist_ok=True)
        harness.run_wine(arch, "wineboot", "-i", timeout=600)
        harness.prepare_prefix(arch)


if os.environ.get("DISPLAY"):
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
    run = harness.Run(arch, "C:\\Pruvolt", tmp=harness.Run.KEEP, installers=())
    try:
        run.start()
        shown = run.wait("shown", 30000)
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
