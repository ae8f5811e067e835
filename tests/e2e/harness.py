"""The end-to-end harness: a virtual X server, Wine prefixes of the suite's own, and a session
that runs the real pruvolt.exe in a program folder of the test's choosing and observes it through
our driver (a Win32 console program running inside Wine beside it).

Used as a module by the test files, and from the command line by CTest's fixtures:
    harness.py setup     start the X server and make fresh 32-bit and 64-bit prefixes
    harness.py cleanup   stop the prefixes' servers and the X server
    harness.py run PROGRAM [ARGUMENT...]
                         run a console program of this build in the prefix of its own bitness,
                         print what it wrote, and exit with its exit code (CTest's emulator for the
                         unit tests built for Windows)
"""
import atexit
import ctypes
import json
import os
import queue
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

BUILD = Path(os.environ.get("PRUVOLT_BUILD", Path(__file__).resolve().parents[2] / "build" / "windows"))
STATE = BUILD / "e2e"
ARTIFACTS = STATE / "artifacts"
PROGRAM = BUILD / "app" / "pruvolt.exe"
DATABASE = BUILD / "app" / "testdb.mdb"
DRIVER = BUILD / "tests" / "e2e" / "pvdriver.exe"
STANDIN = BUILD / "tests" / "e2e" / "standin.exe"
ADO_DOUBLE_DLL = BUILD / "tests" / "e2e" / "adodouble.dll"
ADO_DOUBLE_FOLDER = "C:\\e2e-adodouble"
ADO_DOUBLE_CLSID = "{5C943FD8-026F-43E1-BC7A-FA575E92CAB8}"
# The prefixes this build runs in: the 32-bit program in a 32-bit prefix and, under WOW64, in a
# 64-bit one; the 64-bit test flavour (for machines that run no 32-bit processes) in a 64-bit one.
BITS = int(os.environ.get("PRUVOLT_BITS", "32"))
ARCHS = (32, 64) if BITS == 32 else (64,)
SCREEN = (1280, 1024)
WINESERVER = "/usr/lib/wine/wineserver64" if Path("/usr/lib/wine/wineserver64").exists() else "wineserver"
CAPTION = "Pruvolt & Installer"
TWIPS = 15
# Every time-out of the suite is multiplied by this: 1 on a machine that runs Wine natively; the
# test command sets it for an emulated machine (tools/vm32.py), where each process starts 10-20
# times slower. A slow machine makes the suite slower, never red.
TIME_FACTOR = float(os.environ.get("PRUVOLT_TIME_FACTOR", "1"))


def scaled(seconds):
    """A time-out in seconds, scaled for this machine."""
    return seconds * TIME_FACTOR


def prefix_dir(arch):
    return STATE / f"prefix{arch}"


def wine_env(arch):
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": str(prefix_dir(arch)),
        "WINEARCH": "win32" if arch == 32 else "win64",
        "WINEDEBUG": "-all",
        # No Mono or Gecko: the program needs neither, and their installers would ask.
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "LANG": "zh_TW.UTF-8",
        "LC_ALL": "zh_TW.UTF-8",
    })
    display_file = STATE / "display"
    if display_file.exists():
        env["DISPLAY"] = display_file.read_text().strip()
    return env


def wine_loader(arch):
    """Debian's loaders: the 32-bit one starts 32-bit programs (and the prefix's 32-bit tools)."""
    return "/usr/lib/wine/wine" if arch == 32 or BITS == 32 else "/usr/lib/wine/wine64"


def run_wine(arch, *args, check=True, timeout=180):
    timeout = scaled(timeout)
    # Output goes to a file, not a pipe: the services Wine starts outlive the call and would hold
    # a pipe open.
    with tempfile.TemporaryFile() as output:
        result = subprocess.run([wine_loader(arch), *args], env=wine_env(arch), timeout=timeout,
                                stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT)
        output.seek(0)
        result.stdout = output.read().decode("utf-8", "replace")
    if check and result.returncode != 0:
        raise RuntimeError(f"wine {' '.join(args)} failed ({result.returncode}): {result.stdout[-2000:]}")
    return result


_registry_drivers = {}


def prefix_driver(arch):
    """Our driver for the prefix's own set-up (the registry, the trusted roots): one process for
    each prefix, kept for this process's life."""
    driver = _registry_drivers.get(arch)
    if driver is None or driver.process.poll() is not None:
        driver = _registry_drivers[arch] = Driver(arch)
    return driver


def registry(arch, *fields):
    """One registry operation through our driver (see driver.cpp), instead of one reg.exe start for
    each value. The driver has the program's bitness, so in a 64-bit prefix HKLM, HKCR and HKCU are
    the 32-bit program's view; HKLM32 and HKLM64 name HKEY_LOCAL_MACHINE in the 32-bit and the
    64-bit view."""
    return prefix_driver(arch).ask("\t".join(["reg", *fields]))


def set_registry(arch, key, name, value, kind="REG_SZ"):
    """None names the key's default value."""
    answer = registry(arch, "set", key, name or "", kind, value)
    if answer != "ok":
        raise RuntimeError(f"setting {key}\\{name} failed: {answer}")


def delete_registry(arch, key, name):
    registry(arch, "delete", key, name or "")


def delete_registry_key(arch, key):
    """The key with everything under it; nothing when it is not there."""
    registry(arch, "deletekey", key)


def query_registry(arch, key, name=None):
    """A value's data, or None when the value is not there."""
    answer = registry(arch, "query", key, name or "")
    return answer[3:] if answer.startswith("ok ") else None


def close_registry_drivers():
    for driver in _registry_drivers.values():
        driver.close()
    _registry_drivers.clear()


atexit.register(close_registry_drivers)


def set_windows_version(arch, version):
    """The Windows version Wine reports to the processes started after this ("win7", "win10",
    "winxp", "winxp64", as winecfg names them); None for Wine's default."""
    if version is None:
        delete_registry(arch, r"HKCU\Software\Wine", "Version")
    else:
        set_registry(arch, r"HKCU\Software\Wine", "Version", version)


def restart_server(arch):
    """Stops the prefix's server and every process in it, and starts it again: some settings (the
    system colours) are read when the server's first process starts, not after."""
    close_registry_drivers()
    env = wine_env(arch)
    for flag in ("-k", "-w"):
        subprocess.run([WINESERVER, flag], env=env, check=False, timeout=scaled(60),
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([WINESERVER, "-p"], env=env, check=True, timeout=scaled(60),
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def change_prefix(case, arch, settings):
    """Sets registry values, (key, name, value, kind) each, in the prefix shared by the suite and
    restarts its server, until the test case ends: then the values are put back as they were, and
    the server restarted again."""
    originals = [(key, name, query_registry(arch, key, name), kind) for key, name, _, kind in settings]

    def restore():
        for key, name, value, kind in originals:
            if value is None:
                delete_registry(arch, key, name)
            else:
                set_registry(arch, key, name, value, kind)
        restart_server(arch)
    case.addCleanup(restore)
    for key, name, value, kind in settings:
        set_registry(arch, key, name, value, kind)
    restart_server(arch)


def windows_to_unix(arch, path):
    """C:\\a\\b -> the file in the prefix's drive_c."""
    assert path[1:3] == ":\\", path
    return prefix_dir(arch) / "drive_c" / path[3:].replace("\\", "/")


def installer_name(arch):
    """The installer the program stages in a prefix: only a 32-bit program in a 64-bit prefix runs
    under WOW64."""
    return "ade64.exe" if BITS == 32 and arch == 64 else "ade.exe"


_libc = ctypes.CDLL(None, use_errno=True)
_IN_MODIFY, _IN_CLOSE_WRITE, _IN_MOVED_TO, _IN_CREATE = 0x2, 0x8, 0x80, 0x100


def wait_for_file(path, is_complete, timeout):
    """True once is_complete() holds for a file, checked again at each change the kernel reports in
    its folder (inotify): written, closed, created or moved in; False when the scaled time-out
    passes first. The watch is set before the first check, so no change goes unseen."""
    fd = _libc.inotify_init1(os.O_CLOEXEC | os.O_NONBLOCK)
    if fd < 0:
        raise OSError(ctypes.get_errno(), "inotify_init1")
    try:
        mask = _IN_MODIFY | _IN_CLOSE_WRITE | _IN_MOVED_TO | _IN_CREATE
        if _libc.inotify_add_watch(fd, os.fsencode(path.parent), mask) < 0:
            raise OSError(ctypes.get_errno(), f"inotify_add_watch {path.parent}")
        deadline = time.time() + scaled(timeout)
        while not is_complete():
            remaining = deadline - time.time()
            if remaining <= 0:
                return False
            if select.select([fd], [], [], remaining)[0]:
                os.read(fd, 65536)
        return True
    finally:
        os.close(fd)


def register_ado_double(case, arch):
    """Our test double of ADO's recordset (adodouble.dll) becomes the class behind
    "adodb.recordset" until the test case ends.

    Registered in HKCR (Wine's COM does not read HKCU\\Software\\Classes), through our driver, which
    has the program's bitness: in a 64-bit prefix a 32-bit program reads the 32-bit view."""
    unix_dll = windows_to_unix(arch, ADO_DOUBLE_FOLDER + "\\adodouble.dll")
    unix_dll.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy(ADO_DOUBLE_DLL, unix_dll)
    server = rf"HKCR\CLSID\{ADO_DOUBLE_CLSID}\InprocServer32"
    set_registry(arch, server, None, ADO_DOUBLE_FOLDER + "\\adodouble.dll")
    set_registry(arch, server, "ThreadingModel", "Apartment")
    case.addCleanup(delete_registry_key, arch, rf"HKCR\CLSID\{ADO_DOUBLE_CLSID}")

    progid_clsid = r"HKCR\ADODB.Recordset\CLSID"
    original = query_registry(arch, progid_clsid)
    set_registry(arch, progid_clsid, None, ADO_DOUBLE_CLSID)
    if original is None:
        case.addCleanup(delete_registry, arch, progid_clsid, None)
    else:
        case.addCleanup(set_registry, arch, progid_clsid, None, original)


# --- signed stand-ins ----------------------------------------------------------------------
# The program starts only an installer signed by Microsoft Corporation through a chain that ends in
# a root the machine trusts. The suite makes its own: a test root that each prefix trusts (in the
# local machine's Root store), a second root that none does, and leaves under them, all with
# openssl; osslsigncode signs the stand-in with them.

SIGNING = STATE / "signing"
PUBLISHER = "/C=US/ST=Washington/L=Redmond/O=Microsoft Corporation/CN=Microsoft Corporation"
# What each kind of stand-in is signed with: the leaf whose chain file (the leaf and the
# certificates above it, as the signature carries them) signs it, or None for none.
SIGNERS = {
    "microsoft": "microsoft",
    "untrusted-root": "microsoft-untrusted",
    "other-publisher": "other",
    # Issued by an intermediate that the signature leaves out: the chain stops short of any root.
    "partial-chain": "microsoft-partial",
    "unsigned": None,
}
LEAF_EXTENSIONS = """[leaf]
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid
[intermediate]
basicConstraints=critical,CA:TRUE
keyUsage=critical,keyCertSign,cRLSign
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid
"""


def _openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def _issue(name, subject, issuer, extensions):
    _openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", subject,
             "-keyout", str(SIGNING / f"{name}.key"), "-out", str(SIGNING / f"{name}.csr"))
    _openssl("x509", "-req", "-in", str(SIGNING / f"{name}.csr"), "-days", "3650",
             "-CA", str(SIGNING / f"{issuer}.pem"), "-CAkey", str(SIGNING / f"{issuer}.key"),
             "-set_serial", str(int.from_bytes(os.urandom(8), "big")),
             "-extfile", str(SIGNING / "leaf.cnf"), "-extensions", extensions,
             "-out", str(SIGNING / f"{name}.pem"))


def make_signing_material():
    """The two roots, an intermediate under the trusted one and the four leaves, made fresh for
    the suite."""
    shutil.rmtree(SIGNING, ignore_errors=True)
    SIGNING.mkdir(parents=True)
    (SIGNING / "leaf.cnf").write_text(LEAF_EXTENSIONS)
    for root, name in (("root", "Pruvolt Test Root"), ("untrusted-root", "Pruvolt Untrusted Root")):
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650", "-subj", f"/CN={name}",
                 "-keyout", str(SIGNING / f"{root}.key"), "-out", str(SIGNING / f"{root}.pem"),
                 "-addext", "basicConstraints=critical,CA:TRUE",
                 "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    _openssl("x509", "-in", str(SIGNING / "root.pem"), "-outform", "DER", "-out", str(SIGNING / "root.der"))
    _issue("intermediate", "/CN=Pruvolt Test Intermediate", "root", "intermediate")
    for leaf, subject, issuer in (("microsoft", PUBLISHER, "root"),
                                  ("microsoft-untrusted", PUBLISHER, "untrusted-root"),
                                  ("other", "/C=US/O=Contoso Ltd/CN=Contoso Ltd", "root"),
                                  ("microsoft-partial", PUBLISHER, "intermediate")):
        _issue(leaf, subject, issuer, "leaf")
        # The leaf and its root; the partial chain's leaf alone.
        above = "" if issuer == "intermediate" else (SIGNING / f"{issuer}.pem").read_text()
        (SIGNING / f"{leaf}-chain.pem").write_text((SIGNING / f"{leaf}.pem").read_text() + above)


def trust_test_root(arch):
    """The prefix's local machine trusts the suite's test root, as an administrator adds a root."""
    root = "C:\\e2e-root.der"
    shutil.copy(SIGNING / "root.der", windows_to_unix(arch, root))
    answer = prefix_driver(arch).ask(f"trustroot {root}")
    if answer != "ok":
        raise RuntimeError(f"the test root was not added: {answer}")


def standin(name, kind="microsoft"):
    """The stand-in installer as the file `name` beside the program: the stand-in with its name
    after the image (so that a staged copy shows which installer it came from), signed as `kind`
    says (SIGNERS), or, as "tampered", signed by Microsoft's test leaf with one byte changed after."""
    cached = SIGNING / f"{kind}-{name}"
    if cached.exists():
        return cached.read_bytes()
    if kind == "tampered":
        content = bytearray(standin(name))
        content[len(content) // 2] ^= 0x01
        cached.write_bytes(content)
        return bytes(content)
    unsigned = SIGNING / f"unsigned-{name}"
    unsigned.write_bytes(STANDIN.read_bytes() + name.encode())
    leaf = SIGNERS[kind]
    if leaf is not None:
        subprocess.run(["osslsigncode", "sign", "-certs", str(SIGNING / f"{leaf}-chain.pem"),
                        "-key", str(SIGNING / f"{leaf}.key"), "-h", "sha256", "-n", "Pruvolt stand-in",
                        "-in", str(unsigned), "-out", str(cached)],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    return cached.read_bytes()


# --- fixtures ------------------------------------------------------------------------------

def free_display():
    for number in range(87, 140):
        if not Path(f"/tmp/.X11-unix/X{number}").exists() and not Path(f"/tmp/.X{number}-lock").exists():
            return number
    raise RuntimeError("no free X display number")


def start_virtual_display():
    """Starts a virtual X server on a free display, records it in STATE/display for wine_env, and
    returns its process once it accepts connections."""
    STATE.mkdir(parents=True, exist_ok=True)
    number = free_display()
    xvfb = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
                             "-nolisten", "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    deadline = time.time() + scaled(20)
    while not Path(f"/tmp/.X11-unix/X{number}").exists():
        if time.time() > deadline or xvfb.poll() is not None:
            xvfb.kill()
            raise RuntimeError("the virtual X server did not start")
        time.sleep(0.05)
    (STATE / "display").write_text(f":{number}")
    return xvfb


def setup():
    STATE.mkdir(parents=True, exist_ok=True)
    ARTIFACTS.mkdir(parents=True, exist_ok=True)
    cleanup()
    xvfb = start_virtual_display()
    (STATE / "xvfb.pid").write_text(str(xvfb.pid))
    make_signing_material()
    for arch in ARCHS:
        shutil.rmtree(prefix_dir(arch), ignore_errors=True)
        started = time.time()
        prefix_dir(arch).mkdir(parents=True)
        # The server stays up for the whole suite: every test starts faster.
        subprocess.run([WINESERVER, "-p"], env=wine_env(arch), check=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # One after the other: a 64-bit prefix made while a 32-bit one is being made, side by
        # side, came out without its kernel32 on the emulated machine.
        boot_new_prefix(arch)
        prepare_prefix(arch)
        trust_test_root(arch)
        print(f"prefix{arch}: ready in {time.time() - started:.1f} s")
    print(f"display {(STATE / 'display').read_text()}, screen {SCREEN[0]}x{SCREEN[1]}")


def wineboots(arch):
    """The processes of a wineboot of this prefix that still run (their environment names it)."""
    wanted = f"WINEPREFIX={prefix_dir(arch)}".encode()
    pids = []
    for entry in Path("/proc").iterdir():
        try:
            if (entry.name.isdigit() and b"wineboot" in (entry / "cmdline").read_bytes()
                    and wanted in (entry / "environ").read_bytes().split(b"\0")):
                pids.append(int(entry.name))
        except OSError:  # ended meanwhile, or not ours to read
            continue
    return pids


def boot_new_prefix(arch):
    """Makes a new prefix's files. Wine's loader waits a fixed five minutes for a new prefix's first
    boot: on a machine slow enough (the emulated one, under load) it gives up and the command fails
    (a DLL not found, exit 53) while wineboot goes on making the files. Then that wineboot is waited
    for to its end, and the prefix is booted again, which must succeed."""
    if run_wine(arch, "wineboot", "-i", check=False, timeout=900).returncode == 0:
        return
    deadline = time.time() + scaled(900)
    for pid in wineboots(arch):
        try:
            process = os.pidfd_open(pid)
        except ProcessLookupError:  # ended meanwhile
            continue
        try:
            # A process's descriptor becomes readable when the process has ended.
            if not select.select([process], [], [], max(0, deadline - time.time()))[0]:
                raise RuntimeError(f"the first boot of prefix{arch} did not end")
        finally:
            os.close(process)
    print(f"prefix{arch}: its first boot outlived Wine's own wait; booted again", flush=True)
    run_wine(arch, "wineboot", timeout=600)


def prepare_prefix(arch):
    # There is no window manager in the virtual X server: Wine draws the frames itself, and does
    # not wait for a window manager to confirm that a window moved out of sight was withdrawn
    # (without this, every move off the screen stalls for two seconds).
    set_registry(arch, r"HKCU\Software\Wine\X11 Driver", "Decorated", "N")
    set_registry(arch, r"HKCU\Software\Wine\X11 Driver", "Managed", "N")
    # The fonts of a Traditional Chinese Windows are not here: the Chinese characters are drawn
    # from Debian's WenQuanYi font, linked to the fonts the window asks for, as Windows links its own.
    link = "wqy-microhei.ttc,WenQuanYi Micro Hei"
    for face in ("Arial", "Tahoma", "Microsoft Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2",
                 "Segoe UI", "Liberation Sans"):
        set_registry(arch, r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink",
                     face, link, "REG_MULTI_SZ")


def cleanup():
    for arch in (32, 64):
        if prefix_dir(arch).exists():
            subprocess.run([WINESERVER, "-k"], env=wine_env(arch), check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    pid_file = STATE / "xvfb.pid"
    if pid_file.exists():
        try:
            os.killpg(int(pid_file.read_text()), signal.SIGTERM)
        except (ProcessLookupError, ValueError, PermissionError):
            pass
        pid_file.unlink()
    display_file = STATE / "display"
    if display_file.exists():
        display_file.unlink()


# --- a run of the program ------------------------------------------------------------------

class Driver:
    """Our driver inside Wine: one command a line in, one answer a line out."""

    # What any command may take beyond the time it waits for by its own count: a driver that has
    # not answered by then is stuck, and the test fails with what Wine said instead of hanging.
    GRACE = 60

    def __init__(self, arch):
        # A Wine process now and then dies or hangs while it starts (seen about once in a dozen
        # suite runs, before the driver had read a line): the driver is started again once.
        # Nothing of the program under test has happened yet at that point.
        for attempt in (1, 2):
            # What Wine says on the driver's standard error is kept for the report of a failure.
            self.errors = tempfile.TemporaryFile()
            self.process = subprocess.Popen([wine_loader(arch), str(DRIVER)], env=wine_env(arch),
                                            stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                            stderr=self.errors, encoding="utf-8", errors="replace",
                                            bufsize=1)
            self.answers = queue.Queue()
            self.reader = threading.Thread(target=self._read_answers, daemon=True)
            self.reader.start()
            try:
                self.ask("hello")
                return
            except (RuntimeError, BrokenPipeError):
                self.close()
                if attempt == 2:
                    raise

    def _read_answers(self):
        # Every line, then "" at the end of the output: an answer is taken with a time limit.
        for line in self.process.stdout:
            self.answers.put(line)
        self.answers.put("")

    def ask(self, line, waits_ms=0):
        """The driver's answer to one command; `waits_ms`: how long the command itself may wait."""
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()
        try:
            answer = self.answers.get(timeout=scaled(self.GRACE) + waits_ms / 1000).strip()
            stuck = ""
        except queue.Empty:
            answer, stuck = "", f"stuck: no answer in time, its processes then: {self.processes()}; "
            self.process.kill()
            self.process.wait()
        if not answer:
            self.errors.seek(0)
            said = self.errors.read().decode("utf-8", "replace")[-3000:]
            raise RuntimeError(f"the driver gave no answer to {line!r} ({stuck}exit "
                               f"{self.process.poll()}); Wine said: {said}")
        return answer

    def processes(self):
        """The driver's process and those below it (what Wine started for it), as ps shows them."""
        try:
            listing = subprocess.run(["ps", "-e", "-o", "pid=,ppid=,stat=,args="], capture_output=True,
                                     text=True, errors="replace").stdout
        except OSError as error:  # a machine without ps: the failure is still reported
            return [f"(no process list: {error})"]
        rows = [line.split(None, 3) for line in listing.splitlines() if len(line.split(None, 3)) == 4]
        tree, found = {self.process.pid}, True
        while found:
            found = False
            for pid, ppid, _, _ in rows:
                if int(ppid) in tree and int(pid) not in tree:
                    tree.add(int(pid))
                    found = True
        return [f"{pid} {stat} {args}" for pid, _, stat, args in rows if int(pid) in tree]

    def close(self):
        if self.process.poll() is None:
            try:
                self.process.stdin.write("quit\n")
                self.process.stdin.close()
                self.process.wait(timeout=10)
            except (BrokenPipeError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait()
        # Its output once read to the end (a process that Wine started may still hold it open).
        self.reader.join(timeout=scaled(5))
        if not self.reader.is_alive():
            self.process.stdout.close()
        self.errors.close()


class Run:
    """One start of pruvolt.exe from a program folder of its own, with TMP set for it."""

    KEEP = object()  # for tmp: leave the prefix's own TMP as it is

    def __init__(self, arch, folder, tmp="C:\\e2e-tmp", installers=("ade.exe", "ade64.exe"),
                 database=True):
        self.arch = arch
        self.folder = folder
        self.tmp = tmp
        unix_folder = windows_to_unix(arch, folder)
        shutil.rmtree(unix_folder, ignore_errors=True)
        unix_folder.mkdir(parents=True)
        shutil.copy(PROGRAM, unix_folder / "pruvolt.exe")
        if database and DATABASE.exists():
            shutil.copy(DATABASE, unix_folder / "testdb.mdb")
        for name in installers:
            # The stand-in signed as Microsoft's through the trusted test root, carrying its own
            # name. A mapping gives the files' bytes instead.
            content = installers[name] if isinstance(installers, dict) else standin(name)
            (unix_folder / name).write_bytes(content)
        # Wine gives its processes TMP from the prefix's registry, not from the Linux environment.
        if tmp is Run.KEEP:
            pass
        elif tmp is None:
            delete_registry(arch, r"HKCU\Environment", "TMP")
        else:
            set_registry(arch, r"HKCU\Environment", "TMP", tmp, "REG_EXPAND_SZ")
            unix_tmp = windows_to_unix(arch, tmp)
            shutil.rmtree(unix_tmp, ignore_errors=True)
            unix_tmp.mkdir(parents=True)
        self.driver = Driver(arch)
        self.drivers = [self.driver]

    def wait_copy(self, windows_path, source_windows_path, timeout=10):
        """True once the file holds exactly what the source holds; False after the time-out.
        A copy's file exists before it is filled: its existence says nothing."""
        path, expected = self.unix(windows_path), self.unix(source_windows_path).read_bytes()
        return wait_for_file(path, lambda: path.exists() and path.read_bytes() == expected, timeout)

    def read_launch_log(self, windows_exe=None, log=None):
        """What a stand-in installer recorded of its starts, once it has written all of its last
        record (commandline, folder, started in Unix ms; "started" is written last), from
        "<windows_exe>.log" or the Windows path `log`; None if it has not. The last start's fields,
        and "starts", how many there were."""
        path = self.unix(log or windows_exe + ".log")
        if not path.exists():
            return None
        text = path.read_text("utf-8", "replace")
        if not text.endswith("\n") or "\nstarted=" not in text:
            return None
        entries = dict(line.split("=", 1) for line in text.splitlines() if "=" in line)
        entries["started"] = int(entries["started"]) / 1000.0
        entries["starts"] = text.count("commandline=")
        return entries

    def wait_launch_log(self, windows_exe=None, timeout=20, log=None):
        """The stand-in's whole record of its start; None if it was not started in time."""
        path = self.unix(log or windows_exe + ".log")
        wait_for_file(path, lambda: self.read_launch_log(windows_exe, log) is not None, timeout)
        return self.read_launch_log(windows_exe, log)

    def unix(self, windows_path):
        return windows_to_unix(self.arch, windows_path)

    def start(self, driver=None):
        driver = driver or self.driver
        answer = driver.ask(f'start "{self.folder}\\pruvolt.exe"')
        assert answer.startswith("ok "), answer
        return int(answer.split()[1])

    def run_to_end(self, arguments, driver=None):
        """Runs the program with the arguments, its output on a pipe, and waits for its end:
        (exit code, the classes of the top-level windows it had as "|class|" names, its output)."""
        timeout_ms = int(scaled(120) * 1000)
        answer = (driver or self.driver).ask(f'runpipe {timeout_ms} "{self.folder}\\pruvolt.exe" {arguments}',
                                             timeout_ms)
        assert answer.startswith("ok "), answer
        code, classes, output = re.fullmatch(r'ok (\d+) ("(?:[^"\\]|\\.)*") (.*)', answer).groups()
        return int(code), json.loads(classes), json.loads(output)

    def second_driver(self):
        driver = Driver(self.arch)
        self.drivers.append(driver)
        return driver

    def wait(self, what, timeout_ms, text="", driver=None, scale=True):
        """Milliseconds since start when reached; None on time-out (scaled for this machine, unless
        the wait is to show that something does not happen within a time of the program's own).
        For "exit": (ms, code, saw a window)."""
        escaped = str(text).replace("\r", "\\r").replace("\n", "\\n")
        timeout_ms = int(scaled(timeout_ms) if scale else timeout_ms)
        answer = (driver or self.driver).ask(f"wait {what} {timeout_ms} {escaped}".rstrip(), timeout_ms)
        if answer == "timeout":
            return None
        parts = answer.split()
        assert parts[0] == "ok", answer
        if what == "exit":
            return int(parts[1]), int(parts[2]), parts[3] == "window"
        return int(parts[1])

    def describe(self):
        answer = self.driver.ask("describe")
        assert answer.startswith("ok "), answer
        return json.loads(answer[3:])

    def control(self, state, cls, id_=None, text=None):
        for c in state["controls"]:
            if c["class"] == cls and (id_ is None or c["id"] == id_) and (text is None or c["text"] == text):
                return c
        raise AssertionError(f"no control {cls} {id_} {text} in {state}")

    def label(self):
        return self.control(self.describe(), "PruvoltLabel")["text"]

    def announcements(self):
        """The live regions' changes the program announced since it started, as the driver's
        listener heard them (see "listen"): [ms since start, accessible name, role] each."""
        answer = self.driver.ask("announcements")
        assert answer.startswith("ok "), answer
        return json.loads(answer[3:])

    def accessible(self):
        """The label's accessible name and role, as a screen reader's MSAA client reads them."""
        answer = self.driver.ask("accessible")
        assert answer.startswith("ok "), answer
        return json.loads(answer[3:])

    def click(self, control_id):
        assert self.driver.ask(f"click {control_id}") == "ok"

    def post(self, message, wparam=0, lparam=0):
        """Posts a message to the main window, as any program of the session may."""
        assert self.driver.ask(f"post {message} {wparam} {lparam}") == "ok"

    def msgbox(self):
        answer = self.driver.ask("msgbox")
        return None if answer == "none" else json.loads(answer[3:])

    def screenshot(self, name):
        """Saves the window as build/windows/e2e/artifacts/<name>.png; returns (width, height, pixels)."""
        bmp_windows = "C:\\e2e-shot.bmp"
        bmp = self.unix(bmp_windows)
        assert self.driver.ask(f"screenshot {bmp_windows}") == "ok"
        ARTIFACTS.mkdir(parents=True, exist_ok=True)
        png = ARTIFACTS / f"{name}.png"
        convert = "/usr/bin/convert" if Path("/usr/bin/convert").exists() else "convert"
        subprocess.run([convert, str(bmp), str(png)], check=True)
        return read_bmp(bmp)

    def close(self):
        for driver in self.drivers:
            try:
                driver.ask("kill")
            except Exception:  # the driver may be gone already
                pass
            driver.close()


def read_bmp(path):
    """A 24-bit bottom-up BMP as (width, height, pixel(x, y) -> (r, g, b))."""
    data = Path(path).read_bytes()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) // 4 * 4

    def pixel(x, y):
        i = offset + (height - 1 - y) * stride + x * 3
        b, g, r = data[i], data[i + 1], data[i + 2]
        return r, g, b
    return width, height, pixel


class ProgramTestCase(unittest.TestCase):
    """Closes every run a test made, whatever happened."""

    def setUp(self):
        self.runs = []

    def tearDown(self):
        for run in self.runs:
            run.close()

    def new_run(self, *args, **kwargs):
        run = Run(*args, **kwargs)
        self.runs.append(run)
        return run


def run(program, *arguments):
    # Through a file, as every Wine run of the suite: a service that Wine starts on the program's
    # behalf would keep a pipe to CTest open after the program has ended.
    result = run_wine(ARCHS[0], program, *arguments, check=False, timeout=1200)
    sys.stdout.write(result.stdout)
    sys.stdout.flush()
    sys.exit(result.returncode)


if __name__ == "__main__":
    if sys.argv[1] == "run":
        run(*sys.argv[2:])
    {"setup": setup, "cleanup": cleanup}[sys.argv[1]]()
