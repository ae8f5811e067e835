"""The Windows workflow's checks (.github/workflows/windows.yml), run on a hosted Windows runner:
what the runner is and whether Jet 4.0 is on it, then the packaged 32-bit pruvolt.exe as a
deployment script runs it (/check) and as a user sees it (its window, read and clicked by the e2e
driver, tests/e2e/driver.cpp), with the database present, with it gone, and from a folder where the
runner's user may not create files.

    python tests/windows/checks.py runner           ARTIFACTS
    python tests/windows/checks.py jet              ARTIFACTS
    python tests/windows/checks.py unpack           BUILD FOLDER ARTIFACTS
    python tests/windows/checks.py check            PACKAGE ARTIFACTS
    python tests/windows/checks.py window           PACKAGE DRIVER ARTIFACTS
    python tests/windows/checks.py missing-database PACKAGE ARTIFACTS
    python tests/windows/checks.py denied-folder    PACKAGE ARTIFACTS
    python tests/windows/checks.py refused-folder   PACKAGE ARTIFACTS

Each prints what it saw and keeps it in ARTIFACTS/<command>.txt, and exits 1 when something it
requires does not hold. runner, jet and denied-folder require nothing: they record. A step that
stops on its own (a program that outlives its time, a driver that is gone) is recorded as failed in
its log with what stopped it, never lost with the log.
PRUVOLT_CI_LAUNCHER (e.g. "wine") goes before every Windows program started here, for a dry run of
these mechanics on Linux; runner and jet, which read Windows itself, are then skipped.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import traceback
import zipfile
from pathlib import Path

# What the program says when the database opens, one line each (the label shows them after an
# empty line), and the ids of its buttons.
SUCCESS_LINES = ["資料庫正常連線", "不需要安裝 Access Database Engine"]
PROBING_LABEL = "\r\n正在測試連線資料中...\r\n請稍候..."
ERROR_NUMBER = re.compile(r"錯誤代碼 \((-?\d+)\)")
DESCRIPTION_PREFIX = "回報內容："
INSTALL_BUTTON, EXIT_BUTTON = 100, 102
# What a screen reader is told of the label: MSAA's ROLE_SYSTEM_STATICTEXT, UI Automation's Text
# control type, and its LiveSetting Polite.
ROLE_STATIC_TEXT, UIA_TEXT_CONTROL, LIVE_SETTING_POLITE = 0x29, 50020, 1
PACKAGE_FILES = {"pruvolt.exe", "testdb.mdb", "PACKAGING.txt"}

# Jet 4.0's OLE DB provider (CLSID_JOLT40), its ProgID, and ADO's recordset.
JET_CLSID = "{dee35070-506b-11cf-b1aa-00aa00b8de95}"
JET_PROGID = "Microsoft.Jet.OLEDB.4.0"
ADO_PROGID = "ADODB.Recordset"
ACCESS_ODBC_DRIVERS = ["Microsoft Access Driver (*.mdb)",
                       "Microsoft Access Driver (*.mdb, *.accdb)"]

LAUNCHER = os.environ.get("PRUVOLT_CI_LAUNCHER", "").split()
PROGRAM_TIMEOUT = 120  # seconds: a probe takes a second or two; this is for a hang


class Report:
    """Lines for the log and for ARTIFACTS/<name>.txt, and whether everything required held."""

    unfinished = []  # the reports whose step has not written its log yet

    def __init__(self, artifacts, name):
        self.path = Path(artifacts) / f"{name}.txt"
        self.lines = []
        self.failures = []
        Report.unfinished.append(self)

    def __call__(self, line=""):
        print(line, flush=True)
        self.lines.append(line)

    def require(self, holds, what):
        """Records a requirement; a failed one is also a GitHub error annotation."""
        self(f"{'ok' if holds else 'FAILED'}: {what}")
        if not holds:
            self.failures.append(what)
            print(f"::error::{what}", flush=True)
        return holds

    def finish(self):
        if self in Report.unfinished:
            Report.unfinished.remove(self)
        self.path.parent.mkdir(parents=True, exist_ok=True)
        self.path.write_text("\n".join(self.lines) + "\n", encoding="utf-8")
        return 1 if self.failures else 0


def windows_path(path):
    """A path as a Windows program started here names it (Wine maps the Linux root to Z:)."""
    path = Path(path).resolve()
    return "Z:" + str(path).replace("/", "\\") if LAUNCHER else str(path)


def run_check(folder, output, arguments=("/check",)):
    """pruvolt.exe from `folder` with `arguments`, its standard output a file (output="file") or a
    pipe (output="pipe"), started from a folder of no importance: (exit code, lines, stderr)."""
    command = LAUNCHER + [windows_path(Path(folder) / "pruvolt.exe"), *arguments]
    elsewhere = tempfile.mkdtemp(prefix="pruvolt-cwd-")
    if output == "file":
        out_path = Path(elsewhere) / "stdout.txt"
        with open(out_path, "wb") as out:
            done = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.PIPE, cwd=elsewhere, timeout=PROGRAM_TIMEOUT)
        data = out_path.read_bytes()
    else:
        done = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, cwd=elsewhere, timeout=PROGRAM_TIMEOUT)
        data = done.stdout
    shutil.rmtree(elsewhere, ignore_errors=True)
    return done.returncode, data.decode("utf-8", "replace").splitlines(), done.stderr


def show_run(report, title, code, lines, stderr):
    report(f"{title}: exit code {code}")
    for line in lines:
        report(f"  | {line}")
    if stderr.strip():
        report(f"  standard error: {stderr.decode('utf-8', 'replace').strip()[-2000:]}")


# The README's icacls lines ("Where to install it"): SYSTEM and the Administrators with full
# control, Users with read and execute, nothing inherited; the Administrators own everything.
SECURE_FOLDER = [
    ["/inheritance:r", "/grant:r", "*S-1-5-18:(OI)(CI)F", "*S-1-5-32-544:(OI)(CI)F",
     "*S-1-5-32-545:(OI)(CI)RX"],
    ["/setowner", "*S-1-5-32-544", "/T"],
]


def icacls(folder, arguments, report):
    if LAUNCHER or not shutil.which("icacls"):
        report(f"no icacls here: icacls {' '.join(arguments)} not run")
        return False
    done = subprocess.run(["icacls", str(folder), *arguments], capture_output=True, check=False)
    said = (done.stdout + done.stderr).decode("utf-8", "replace").strip()
    report(f"icacls {folder} {' '.join(arguments)}: exit code {done.returncode}: {said}")
    return done.returncode == 0


def secure_folder(folder, report):
    for arguments in SECURE_FOLDER:
        report.require(icacls(folder, arguments, report) or bool(LAUNCHER),
                       "icacls set the folder's rights")
    icacls(folder, [], report)


def copy_package(package, name):
    folder = Path(tempfile.mkdtemp(prefix=f"pruvolt-{name}-")) / "Pruvolt"
    shutil.copytree(package, folder)
    return folder


def listing(folder):
    return ", ".join(sorted(p.name for p in Path(folder).iterdir())) or "(empty)"


# --- the runner ----------------------------------------------------------------------------------

def runner(artifacts):
    report = Report(artifacts, "runner")
    if LAUNCHER:
        report("dry run: the runner is not Windows")
        return report.finish()
    import ctypes
    import platform
    import winreg

    current_version = r"SOFTWARE\Microsoft\Windows NT\CurrentVersion"
    with winreg.OpenKey(winreg.HKEY_LOCAL_MACHINE, current_version) as key:
        def value(name):
            try:
                return winreg.QueryValueEx(key, name)[0]
            except OSError:
                return "(none)"
        report(f"Windows: {value('ProductName')}, build {value('CurrentBuild')}.{value('UBR')}, "
               f"installation type {value('InstallationType')}, {platform.machine()}")
    session = ctypes.c_ulong()
    ctypes.windll.kernel32.ProcessIdToSessionId(os.getpid(), ctypes.byref(session))
    user32 = ctypes.windll.user32
    administrator = bool(ctypes.windll.shell32.IsUserAnAdmin())
    # SM_CXSCREEN and SM_CYSCREEN:
    screen = f"{user32.GetSystemMetrics(0)}x{user32.GetSystemMetrics(1)}"
    report(f"user {os.environ.get('USERNAME')}, administrator: {administrator}, "
           f"session {session.value}, screen {screen}")
    installer = Path(os.environ.get("ProgramFiles(x86)", "")) / "Microsoft Visual Studio/Installer"
    vswhere = installer / "vswhere.exe"
    if vswhere.exists():
        found = subprocess.run([str(vswhere), "-all", "-products", "*", "-format", "json", "-utf8"],
                               capture_output=True, check=False)
        for instance in json.loads(found.stdout.decode("utf-8", "replace") or "[]"):
            report(f"Visual Studio: {instance.get('displayName')} "
                   f"{instance.get('catalog', {}).get('productDisplayVersion')} "
                   f"at {instance.get('installationPath')}")
    report(f"VCPKG_INSTALLATION_ROOT={os.environ.get('VCPKG_INSTALLATION_ROOT')} "
           f"VCPKG_ROOT={os.environ.get('VCPKG_ROOT')}")
    return report.finish()


def jet(artifacts):
    """What the 32-bit side of this Windows has of Jet 4.0, ADO and the Access drivers."""
    report = Report(artifacts, "jet")
    if LAUNCHER:
        report("dry run: no Windows registry here")
        return report.finish()
    import winreg

    def read(path, name="", view=winreg.KEY_WOW64_32KEY):
        try:
            with winreg.OpenKey(winreg.HKEY_LOCAL_MACHINE, path, 0, winreg.KEY_READ | view) as key:
                return winreg.QueryValueEx(key, name)[0]
        except OSError:
            return None

    system32bit = Path(os.environ.get("SystemRoot", r"C:\Windows")) / "SysWOW64"
    files_found = {}
    for name in ("msjetoledb40.dll", "msjet40.dll", "odbcjt32.dll"):
        path = system32bit / name
        files_found[name] = path.exists()
        report(f"{path}: {f'{path.stat().st_size} bytes' if path.exists() else 'missing'}")
    classes = "SOFTWARE\\Classes\\"
    server = read(classes + f"CLSID\\{JET_CLSID}\\InprocServer32")
    named = read(classes + JET_PROGID + "\\CLSID")
    report(f"{JET_PROGID}: the ProgID names {named}; "
           f"32-bit CLSID {JET_CLSID} is served by {server}")
    ado = read(classes + ADO_PROGID + "\\CLSID")
    ado_server = read(classes + f"CLSID\\{ado}\\InprocServer32") if ado else None
    report(f"{ADO_PROGID}: {ado}, 32-bit server {ado_server}")
    for driver in ACCESS_ODBC_DRIVERS:
        installed = read("SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers", driver)
        report(f"32-bit ODBC driver {driver!r}: {installed or 'not registered'}")
    for progid in ("Microsoft.ACE.OLEDB.12.0", "Microsoft.ACE.OLEDB.16.0"):
        registered = read(classes + progid + "\\CLSID")
        report(f"{progid}: {registered or 'not registered'}")
    jet_made_database(report, artifacts)
    if not (files_found["msjetoledb40.dll"] and server):
        # Not a requirement of this step: /check, next, fails on its own. This says why at once.
        print("::warning::Jet 4.0's OLE DB provider is not on this runner's 32-bit side",
              flush=True)
    return report.finish()


# A database that Jet makes itself (ADOX), opened as the program opens testdb.mdb: when /check then
# fails and this opens, the fault is in our file, not in the probe or the runner's Jet.
JET_MADE_DATABASE_SCRIPT = r"""
var path = WScript.Arguments(0);
var connection = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";";
try {
    var catalog = new ActiveXObject("ADOX.Catalog");
    catalog.Create(connection);
    var made = catalog.ActiveConnection;
    made.Execute("CREATE TABLE testdata (id INTEGER)");
    made.Execute("INSERT INTO testdata (id) VALUES (1)");
    made.Close();
    WScript.Echo("made by Jet: " + path);
} catch (e) {
    WScript.Echo("ADOX could not make it: " + e.number + " " + e.description);
    WScript.Quit(1);
}
try {
    var recordset = new ActiveXObject("ADODB.Recordset");
    recordset.Open("select * from testdata", connection);
    WScript.Echo("opened through ADO: first row's id " + recordset.Fields(0).Value);
    recordset.Close();
} catch (e) {
    WScript.Echo("ADO could not open it: " + e.number + " " + e.description);
    WScript.Quit(2);
}
"""


def jet_made_database(report, artifacts):
    cscript = Path(os.environ.get("SystemRoot", r"C:\Windows")) / "SysWOW64" / "cscript.exe"
    folder = Path(tempfile.mkdtemp(prefix="pruvolt-jet-"))
    script = folder / "jetmade.js"
    script.write_text(JET_MADE_DATABASE_SCRIPT, encoding="ascii")
    try:
        done = subprocess.run([str(cscript), "//nologo", "//E:jscript", str(script),
                               str(folder / "jetmade.mdb")], stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=PROGRAM_TIMEOUT)
        output = (done.stdout + done.stderr).decode("mbcs" if os.name == "nt" else "utf-8",
                                                    "replace").strip()
        report(f"a database Jet makes itself (32-bit cscript, ADOX, then ADO): exit code "
               f"{done.returncode}")
        for line in output.splitlines():
            report(f"  | {line}")
    except (OSError, subprocess.TimeoutExpired) as error:
        report(f"a database Jet makes itself: not tried to the end ({error})")
    finally:
        shutil.rmtree(folder, ignore_errors=True)


# --- the package --------------------------------------------------------------------------------

def unpack(build, destination, artifacts):
    """Unpacks the release package made in the build folder, and names the folder it holds in
    GITHUB_ENV as PRUVOLT_PACKAGE for the steps after."""
    report = Report(artifacts, "unpack")
    packages = sorted(Path(build).glob("Pruvolt-*-win32.zip"))
    names = ", ".join(p.name for p in packages)
    if not report.require(len(packages) == 1, f"one release package in {build}: {names}"):
        return report.finish()
    zip_path = packages[0]
    with zipfile.ZipFile(zip_path) as archive:
        archive.extractall(destination)
        tops = {name.split("/")[0] for name in archive.namelist()}
    report(f"{zip_path}: {', '.join(sorted(tops))}")
    if not report.require(len(tops) == 1, "the package holds one folder"):
        return report.finish()
    folder = Path(destination) / tops.pop()
    report.require({p.name for p in folder.iterdir()} == PACKAGE_FILES,
                   f"the folder holds {', '.join(sorted(PACKAGE_FILES))} and nothing else: "
                   f"{listing(folder)}")
    # The runner's steps run elevated, and an elevated run refuses a folder that other accounts
    # may change (README, "Where to install it"): the folder gets the README's rights, as a
    # deployer outside Program Files gives them.
    secure_folder(folder, report)
    if "GITHUB_ENV" in os.environ:
        with open(os.environ["GITHUB_ENV"], "a", encoding="utf-8") as env:
            env.write(f"PRUVOLT_PACKAGE={folder.resolve()}\n")
    return report.finish()


def check(package, artifacts):
    """/check from the package folder: the database opens, through a file and through a pipe."""
    report = Report(artifacts, "check")
    before = listing(package)
    for output in ("file", "pipe"):
        code, lines, stderr = run_check(package, output)
        show_run(report, f"pruvolt.exe /check, standard output to a {output}", code, lines, stderr)
        report.require(code == 0, "exit code 0: the database opened")
        report.require(all(line in lines for line in SUCCESS_LINES), "the two lines of success")
    # Jet makes testdb.ldb while the database is open and removes it when the last user closes it.
    report(f"package folder before: {before}")
    report(f"package folder after:  {listing(package)}")
    # From a folder whose name holds ";", which would end an unquoted value of the connection
    # string: the path reaches the provider whole.
    top = Path(tempfile.mkdtemp(prefix="pruvolt-semicolon-"))
    folder = top / "Tools;Old" / "Pruvolt"
    shutil.copytree(package, folder)
    code, lines, stderr = run_check(folder, "pipe")
    show_run(report, f"pruvolt.exe /check from {folder}", code, lines, stderr)
    report.require(code == 0, "exit code 0 from a folder with ';' in its path")
    shutil.rmtree(top, ignore_errors=True)
    return report.finish()


def missing_database(package, artifacts):
    """/check with testdb.mdb renamed away: an error number as exit code, the engine's words."""
    report = Report(artifacts, "missing-database")
    folder = copy_package(package, "missing-database")
    (folder / "testdb.mdb").rename(folder / "testdb.mdb.away")
    report(f"in {folder}: {listing(folder)}")
    code, lines, stderr = run_check(folder, "file")
    show_run(report, "pruvolt.exe /check", code, lines, stderr)
    report.require(code != 0, "a non-zero exit code")
    number = ERROR_NUMBER.fullmatch(lines[0]) if lines else None
    report.require(number is not None, "the first line gives the error number")
    if number:
        # The deployers' contract (README, "For deployers"): the number's 32 bits, never 0.
        expected = int(number[1]) & 0xFFFFFFFF or 1
        report.require(code == expected, f"the exit code is the error number's 32 bits ({expected})")
    description = next((line[len(DESCRIPTION_PREFIX):] for line in lines
                        if line.startswith(DESCRIPTION_PREFIX)), "")
    report.require(description.strip() != "", f"the engine's error line: {description}")
    shutil.rmtree(folder.parent, ignore_errors=True)
    return report.finish()


# The runner's user denied creating files and folders in a folder, and that denial taken back:
# through .NET, which leaves SYNCHRONIZE out of a deny rule (icacls /deny would put it in, and
# then even opening the folder would fail).
ACL_SCRIPT = r"""
param([string] $Folder, [string] $Action)
$ErrorActionPreference = 'Stop'
$me = [Security.Principal.WindowsIdentity]::GetCurrent().User
$rule = [Security.AccessControl.FileSystemAccessRule]::new(
    $me, [Security.AccessControl.FileSystemRights] 'CreateFiles, CreateDirectories',
    [Security.AccessControl.AccessControlType]::Deny)
$acl = Get-Acl -LiteralPath $Folder
if ($Action -eq 'deny') { $acl.AddAccessRule($rule) } else { [void] $acl.RemoveAccessRule($rule) }
Set-Acl -LiteralPath $Folder -AclObject $acl
"""


def set_denial(folder, action, report):
    pwsh = shutil.which("pwsh") or shutil.which("powershell")
    if pwsh is None:
        report(f"no PowerShell here: the folder's rights are left as they are ({action} not done)")
        return False
    script = Path(tempfile.mkdtemp(prefix="pruvolt-acl-")) / "acl.ps1"
    script.write_text(ACL_SCRIPT, encoding="utf-8")
    done = subprocess.run([pwsh, "-NoProfile", "-NonInteractive", "-ExecutionPolicy", "Bypass",
                           "-File", str(script), "-Folder", str(folder), "-Action", action],
                          capture_output=True, check=False)
    said = (done.stdout + done.stderr).decode("utf-8", "replace").strip()
    report(f"{action} create-files for this user: exit code {done.returncode}"
           f"{': ' + said if said else ''}")
    return done.returncode == 0


def denied_folder(package, artifacts):
    """/check from a copy of the package in a folder where this user may not create files: what
    Jet does without the right to make its lock file. Recorded; nothing is required of it."""
    report = Report(artifacts, "denied-folder")
    folder = copy_package(package, "denied-folder")
    report(f"in {folder}: {listing(folder)}")
    denied = set_denial(folder, "deny", report)
    try:
        if shutil.which("icacls") and not LAUNCHER:
            acl = subprocess.run(["icacls", str(folder)], capture_output=True, check=False)
            report(acl.stdout.decode("utf-8", "replace").strip())
        try:
            with open(folder / "probe.tmp", "x"):
                pass
            report("a file could be created there: the folder is NOT denied")
        except PermissionError as error:
            report(f"creating a file there fails, as meant: {error}")
        code, lines, stderr = run_check(folder, "file")
        show_run(report, "pruvolt.exe /check in the denied folder", code, lines, stderr)
        report(f"the folder after: {listing(folder)}")
        report(f"outcome: {'the database opened' if code == 0 else 'the probe failed'}"
               f"{'' if denied else ' (but the folder was never denied)'}")
    finally:
        if denied:
            set_denial(folder, "allow", report)
        shutil.rmtree(folder.parent, ignore_errors=True)
    report.finish()
    return 0


def refused_folder(package, artifacts):
    """/check and /diagnose /json, elevated, from a copy of the package whose folder Users may
    modify: refused with 1625 before the probe, the finding program-folder-writable; with the
    README's rights set again, the database opens."""
    report = Report(artifacts, "refused-folder")
    folder = copy_package(package, "refused-folder")
    try:
        if not icacls(folder, ["/grant", "*S-1-5-32-545:(OI)(CI)M"], report):
            report("the folder's rights cannot be changed here: nothing to check")
            return report.finish()
        icacls(folder, [], report)
        code, lines, stderr = run_check(folder, "file")
        show_run(report, "pruvolt.exe /check in a folder Users may modify", code, lines, stderr)
        report.require(code == 1625, "exit code 1625: the folder is refused")
        # The folder as the program names it: the path it was started by.
        report.require(bool(lines) and lines[0].lower().startswith(windows_path(folder).lower() + " ")
                       and "S-1-5-32-545" in lines[0], "the line names the folder and the Users group")
        code, lines, stderr = run_check(folder, "file", ("/diagnose", "/json"))
        show_run(report, "pruvolt.exe /diagnose /json", code, lines, stderr)
        findings = json.loads(lines[0]).get("findings", []) if lines else []
        report.require(code == 1625 and bool(findings) and
                       findings[0].get("code") == "program-folder-writable",
                       "the first finding is program-folder-writable")
        secure_folder(folder, report)
        code, lines, stderr = run_check(folder, "file")
        show_run(report, "pruvolt.exe /check with the README's rights", code, lines, stderr)
        report.require(code == 0, "exit code 0: the folder is trusted again and the database opens")
    finally:
        shutil.rmtree(folder.parent, ignore_errors=True)
    return report.finish()


# --- the window ---------------------------------------------------------------------------------

class Driver:
    """The e2e driver: one command a line in, one answer a line out, both UTF-8."""

    def __init__(self, program):
        self.process = subprocess.Popen(LAUNCHER + [str(Path(program).resolve())],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)

    def ask(self, line):
        self.process.stdin.write((line + "\n").encode("utf-8"))
        self.process.stdin.flush()
        answer = self.process.stdout.readline().decode("utf-8", "replace").rstrip("\r\n")
        if not answer:
            raise RuntimeError(f"the driver gave no answer to {line!r} "
                               f"(exit {self.process.poll()})")
        return answer

    def close(self):
        if self.process.poll() is None:
            try:
                self.ask("quit")
            except (RuntimeError, OSError):
                pass
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()


def window(package, driver_program, artifacts):
    """The program started as a user starts it: its label must give the verdict of success, be
    told to screen readers as static text named by its text in a polite live region, and announce
    the verdict; its exit button must end it."""
    report = Report(artifacts, "window")
    shots = Path(artifacts)
    shots.mkdir(parents=True, exist_ok=True)
    driver = Driver(driver_program)
    ended = False
    try:
        driver.ask("hello")  # any first line: the driver is up once it answers
        # A screen reader's out-of-context WinEvent hook, set before the program starts.
        report.require(driver.ask("listen") == "ok", "the driver listens for live regions' changes")
        started = driver.ask(f'start "{windows_path(Path(package) / "pruvolt.exe")}"')
        if not report.require(started.startswith("ok "), f"pruvolt.exe started: {started}"):
            return report.finish()
        report(f"window shown after (ms): {driver.ask('wait shown 30000')}")
        # The driver's protocol is one line a command: the line breaks travel escaped.
        probing = PROBING_LABEL.replace("\r", "\\r").replace("\n", "\\n")
        verdict = driver.ask("wait labelchange 60000 " + probing)
        report(f"verdict in the label after (ms): {verdict}")
        described = driver.ask("describe")
        state = json.loads(described[3:]) if described.startswith("ok ") else {}
        (shots / "window.json").write_text(json.dumps(state, ensure_ascii=False, indent=1),
                                           encoding="utf-8")
        controls = state.get("controls", [])
        label = next((c["text"] for c in controls if c["class"] == "PruvoltLabel"), "")
        report(f"label: {label!r}")
        buttons = {c["id"]: c for c in controls if c["id"] in (INSTALL_BUTTON, EXIT_BUTTON)}
        report("buttons: " + ", ".join(f"{i} {b['text']!r} {'shown' if b['visible'] else 'hidden'}"
                                        for i, b in sorted(buttons.items())))
        report.require(all(line in label for line in SUCCESS_LINES),
                       f"the label reads {' / '.join(SUCCESS_LINES)}")
        report.require(EXIT_BUTTON in buttons and buttons[EXIT_BUTTON]["visible"]
                       and not (INSTALL_BUTTON in buttons and buttons[INSTALL_BUTTON]["visible"]),
                       "only the exit button is offered")
        # The label as screen readers see it (MSAA and UI Automation), and what they heard.
        seen = driver.ask("uia")
        report(f"the label to screen readers: {seen}")
        seen = json.loads(seen[3:]) if seen.startswith("ok ") else {}
        uia = seen.get("uia") or {}
        report.require(seen.get("role") == ROLE_STATIC_TEXT and seen.get("name") == label,
                       "MSAA: static text, named by the label's text")
        report.require(uia.get("controlType") == UIA_TEXT_CONTROL and uia.get("name") == label,
                       "UI Automation: a Text control, named by the label's text")
        report.require(uia.get("liveSetting") == LIVE_SETTING_POLITE, "UI Automation: LiveSetting Polite")
        heard = driver.ask("wait announced 10000 2")
        announcements = driver.ask("announcements")
        report(f"announced: {announcements}")
        names = [name for _, name, _ in json.loads(announcements[3:])] if announcements.startswith("ok ") else []
        report.require(heard.startswith("ok ") and len(names) == 2 and names[-1] == label,
                       "two live regions' changes announced, the probing text and the verdict")
        # Above any console of the runner's, then the window and the whole screen.
        report(f"topmost: {driver.ask('topmost')}")
        report(f"screenshot: {driver.ask('screenshot ' + windows_path(shots / 'window.bmp'))}")
        report(f"desktop: {driver.ask('desktop ' + windows_path(shots / 'desktop.bmp'))}")
        report(f"click {EXIT_BUTTON}: {driver.ask(f'click {EXIT_BUTTON}')}")
        exit_answer = driver.ask("wait exit 10000")
        ended = exit_answer.startswith("ok ")
        report.require(ended, f"the exit button ended the program: {exit_answer}")
        if ended:
            report(f"its exit code: {exit_answer.split()[2]}")
    finally:
        if not ended:
            try:
                driver.ask(f"desktop {windows_path(shots / 'desktop-at-failure.bmp')}")
                driver.ask("kill")
            except (RuntimeError, OSError) as error:
                report(f"the driver is gone: {error}")
        driver.close()
    return report.finish()


RECORDING_STEPS = {"runner", "jet", "denied-folder"}


def main(argv):
    # The runner's console code page cannot write Chinese; the log reads UTF-8.
    sys.stdout.reconfigure(encoding="utf-8")
    commands = {
        "runner": (runner, 1), "jet": (jet, 1), "unpack": (unpack, 3), "check": (check, 2),
        "window": (window, 3), "missing-database": (missing_database, 2),
        "denied-folder": (denied_folder, 2), "refused-folder": (refused_folder, 2),
    }
    if len(argv) < 2 or argv[1] not in commands or len(argv) - 2 != commands[argv[1]][1]:
        print(__doc__, file=sys.stderr)
        return 2
    function, _ = commands[argv[1]]
    try:
        return function(*argv[2:])
    except Exception as error:  # a time-out, a driver that is gone, anything else: recorded
        stopped = f"the step stopped: {type(error).__name__}: {error}"
        reports = Report.unfinished or [Report(argv[-1], argv[1])]
        for report in list(reports):
            report.require(False, stopped)
            report.finish()
        traceback.print_exc()
        # The steps that only record fail no run: the build after them must still run.
        return 0 if argv[1] in RECORDING_STEPS else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
