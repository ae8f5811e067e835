#!/usr/bin/env python3
"""Runs a command in an emulated x86-64 virtual machine that boots Debian 12's own kernel on this
machine's own files, for kernels that run no 32-bit processes (built or booted without 32-bit
emulation): there 32-bit Wine cannot start, and the 32-bit program we ship can only be run in such
a machine, whose kernel runs them.

    vm32.py prepare                       install QEMU, fetch the kernel, build the initramfs (once)
    vm32.py run [--share DIR]... [--cwd DIR] [--memory MB] -- COMMAND [ARG]...

The machine is QEMU without KVM (pure emulation, two virtual processors). Its root is this
machine's "/", shared read-only over virtio-9p, under an overlay whose upper layer is in the
machine's memory: what the command writes is gone when the machine powers off, except in the
folders named with --share, which are shared writable at their own paths. The command runs as root
in a plain shell with this process's working folder (or --cwd) and the environment variables
listed in PASSED_ENVIRONMENT; its output is streamed here while it runs, and its exit code becomes
this script's. The kernel and initramfs are kept in build/vm32/ and made once.

Measured on a 2-core machine: boot to the command 6-19 s; a process start about 40 ms (10-20 times
native); power-off 1-2 s. See the README for what the test suite costs there.
"""
import argparse
import gzip
import io
import os
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
STORE = ROOT / "build" / "vm32"
QEMU = "qemu-system-x86_64"
# The modules the initramfs loads, with what they depend on (resolved from the modules themselves).
MODULES = ("virtio_pci", "9pnet_virtio", "9p", "overlay")
PASSED_ENVIRONMENT = ("CI", "LANG", "LC_ALL", "TERM", "CTEST_OUTPUT_ON_FAILURE",
                      "CTEST_PARALLEL_LEVEL")
PASSED_PREFIXES = ("PRUVOLT_",)
# Guest memory: the 32-bit end-to-end suite leaves about 2 GB in the overlay (prefixes, outputs).
DEFAULT_MEMORY_MB = 6144

INIT = r"""#!/bin/busybox sh
# The machine's first process: mounts this machine's files under an overlay, runs the job in a
# chroot there, records its exit code and powers off.
/bin/busybox mkdir -p /proc /sys /dev /lower /rw /newroot
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for module in $(cat /modules/order); do
  insmod "/modules/$module.ko" || echo "vm32: insmod $module failed"
done
msize=512000
mount -t 9p -o trans=virtio,version=9p2000.L,cache=loose,msize=$msize,ro hostroot /lower ||
  { echo "vm32: no root"; poweroff -f; }
mount -t tmpfs -o size=90% tmpfs /rw
mkdir -p /rw/upper /rw/work
mount -t overlay overlay -o lowerdir=/lower,upperdir=/rw/upper,workdir=/rw/work /newroot
# The writable shares, at their own paths: "tag path" a line.
mkdir -p /job
mount -t 9p -o trans=virtio,version=9p2000.L,cache=none,msize=$msize job /job
while read -r tag path; do
  mkdir -p "/newroot$path"
  mount -t 9p -o trans=virtio,version=9p2000.L,cache=none,msize=$msize "$tag" "/newroot$path"
done < /job/shares
mount -t proc proc /newroot/proc
mount -t sysfs sysfs /newroot/sys
mount -t devtmpfs devtmpfs /newroot/dev
mkdir -p /newroot/dev/shm /newroot/dev/pts
mount -t tmpfs tmpfs /newroot/dev/shm
mount -t devpts devpts /newroot/dev/pts
# What a booted system's init makes: bash's process substitution needs /dev/fd.
ln -sf /proc/self/fd /newroot/dev/fd
ln -sf /proc/self/fd/0 /newroot/dev/stdin
ln -sf /proc/self/fd/1 /newroot/dev/stdout
ln -sf /proc/self/fd/2 /newroot/dev/stderr
mount -t tmpfs tmpfs /newroot/run
mkdir -p /newroot/run/lock /newroot/run/user
# The host's X servers and Wine servers show through the overlay, and are not here.
rm -rf /newroot/tmp/.X11-unix /newroot/tmp/.X*-lock /newroot/tmp/.wine-*
mkdir -p /newroot/job
mount --bind /job /newroot/job
echo "vm32: running the job"
chroot /newroot /bin/bash /job/job.sh > /job/output 2>&1 < /dev/null
echo $? > /job/exit-code
sync
poweroff -f
"""


def log(message):
    print(f"vm32: {message}", flush=True)


# --- prepare: QEMU, the kernel and the initramfs ------------------------------------------------

def apt_install(packages):
    missing = [p for p in packages
               if subprocess.run(["dpkg-query", "-W", "-f=${Status}", p], capture_output=True,
                                 text=True).stdout.find("install ok installed") < 0]
    if not missing:
        return
    log(f"installing {' '.join(missing)}")
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(sudo + ["apt-get", "update", "-q"], check=True, env=env, stdout=subprocess.DEVNULL)
    subprocess.run(sudo + ["apt-get", "install", "-y", "-q", "--no-install-recommends", *missing],
                   check=True, env=env, stdout=subprocess.DEVNULL)


def kernel_package():
    """The kernel package that Debian's linux-image-amd64 stands for (linux-image-6.1.0-N-amd64)."""
    out = subprocess.run(["apt-cache", "depends", "linux-image-amd64"], capture_output=True,
                         text=True, check=True).stdout
    for line in out.splitlines():
        line = line.strip()
        if line.startswith("Depends: linux-image-"):
            return line.split(": ", 1)[1]
    raise RuntimeError("apt-cache names no kernel package for linux-image-amd64")


def modinfo(path):
    """A kernel module's .modinfo section as a dict."""
    data = path.read_bytes()
    section_offset = struct.unpack_from("<Q", data, 0x28)[0]
    entry_size, count, names_index = struct.unpack_from("<HHH", data, 0x3A)
    sections = [struct.unpack_from("<IIQQQQIIQQ", data, section_offset + i * entry_size)
                for i in range(count)]
    names = sections[names_index]

    def name(offset):
        start = names[4] + offset
        return data[start:data.index(b"\0", start)].decode()
    for section in sections:
        if name(section[0]) == ".modinfo":
            raw = data[section[4]:section[4] + section[5]]
            return dict(item.decode().split("=", 1) for item in raw.split(b"\0") if b"=" in item)
    return {}


def module_order(module_root):
    """The modules to load, each after those it depends on."""
    files = {p.name[:-3].replace("-", "_"): p for p in module_root.rglob("*.ko")}
    order = []

    def visit(name):
        name = name.replace("-", "_")
        if name in order:
            return
        if name not in files:
            raise RuntimeError(f"kernel module {name} not found")
        for dependency in filter(None, modinfo(files[name]).get("depends", "").split(",")):
            visit(dependency)
        order.append(name)
    for name in MODULES:
        visit(name)
    return [(name, files[name]) for name in order]


def cpio_newc(entries):
    """An uncompressed newc archive of (path, mode, data or link target) entries."""
    out = io.BytesIO()
    for number, (path, mode, data) in enumerate(list(entries) + [("TRAILER!!!", 0, b"")], 1):
        name = path.encode() + b"\0"
        header = "070701" + "".join(f"{v:08X}" for v in (
            number, mode, 0, 0, 1, 0, len(data), 0, 0, 0, 0, len(name), 0))
        out.write(header.encode() + name)
        out.write(b"\0" * (-(110 + len(name)) % 4))
        out.write(data)
        out.write(b"\0" * (-len(data) % 4))
    return out.getvalue()


def prepare():
    """Installs QEMU and makes the kernel and initramfs, once; returns (kernel, initramfs)."""
    apt_install(["qemu-system-x86"])
    kernel = STORE / "vmlinuz"
    initramfs = STORE / "initramfs.img"
    if kernel.exists() and initramfs.exists():
        return kernel, initramfs
    started = time.time()
    STORE.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=STORE) as work:
        work = Path(work)
        package = kernel_package()
        log(f"fetching {package} and busybox-static (apt-get download; nothing is installed)")
        # apt's download user cannot write into root-owned build folders: download as we are.
        subprocess.run(["apt-get", "download", "-q", "-o", "APT::Sandbox::User=root", package,
                        "busybox-static"], cwd=work, check=True, stdout=subprocess.DEVNULL)
        unpacked = work / "x"
        for deb in work.glob("*.deb"):
            subprocess.run(["dpkg-deb", "-x", str(deb), str(unpacked)], check=True)
        module_root = next((unpacked / "lib" / "modules").iterdir())
        modules = module_order(module_root)
        entries = [("bin", 0o40755, b""), ("modules", 0o40755, b""),
                   ("bin/busybox", 0o100755, (unpacked / "bin" / "busybox").read_bytes()),
                   ("init", 0o100755, INIT.encode()),
                   ("modules/order", 0o100644, "\n".join(n for n, _ in modules).encode() + b"\n")]
        entries += [(f"modules/{name}.ko", 0o100644, path.read_bytes()) for name, path in modules]
        initramfs.write_bytes(gzip.compress(cpio_newc(entries), 6))
        shutil.copy(next((unpacked / "boot").glob("vmlinuz-*")), kernel)
    log(f"kernel and initramfs ready in {time.time() - started:.0f} s ({package})")
    return kernel, initramfs


# --- run ----------------------------------------------------------------------------------------

def job_script(command, cwd):
    lines = ["#!/bin/bash", "export HOME=/root USER=root LOGNAME=root",
             "export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
             "export PRUVOLT_IN_VM=1"]
    for name, value in sorted(os.environ.items()):
        if name in PASSED_ENVIRONMENT or name.startswith(PASSED_PREFIXES):
            lines.append(f"export {name}={shlex.quote(value)}")
    lines += ['echo "vm32: the machine is up, $(cut -d" " -f1 /proc/uptime) s after its boot"',
              f"cd {shlex.quote(str(cwd))} || exit 125", "exec " + shlex.join(command)]
    return "\n".join(lines) + "\n"


def follow(path, stop):
    """Copies what the job writes to `path` to standard output until `stop` is set."""
    position = 0
    while True:
        stopped = stop.is_set()
        if path.exists():
            with open(path, "rb") as source:
                source.seek(position)
                chunk = source.read()
            if chunk:
                position += len(chunk)
                sys.stdout.buffer.write(chunk)
                sys.stdout.buffer.flush()
        if stopped:
            return
        stop.wait(0.5)


def run(command, shares=(), cwd=None, memory_mb=DEFAULT_MEMORY_MB):
    kernel, initramfs = prepare()
    cwd = Path(cwd or os.getcwd()).resolve()
    shares = [Path(s).resolve() for s in shares]
    for share in shares:
        share.mkdir(parents=True, exist_ok=True)
    STORE.mkdir(parents=True, exist_ok=True)
    job = Path(tempfile.mkdtemp(prefix="job-", dir=STORE))
    try:
        (job / "job.sh").write_text(job_script(command, cwd))
        (job / "shares").write_text("".join(f"share{i} {s}\n" for i, s in enumerate(shares)))
        args = [QEMU, "-accel", "tcg,thread=multi", "-smp", "2", "-m", str(memory_mb),
                # qemu64, not max: with SMAP offered, TCG's return to 32-bit user code faults.
                "-cpu", "qemu64", "-nodefaults", "-display", "none", "-no-reboot",
                "-serial", f"file:{job / 'console'}",
                "-kernel", str(kernel), "-initrd", str(initramfs),
                # No Spectre or Meltdown defences in an emulated machine: they only cost time.
                "-append", "console=ttyS0 quiet panic=-1 mitigations=off",
                "-fsdev", "local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap",
                "-device", "virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot",
                "-fsdev", f"local,id=job,path={job},security_model=none",
                "-device", "virtio-9p-pci,fsdev=job,mount_tag=job"]
        for i, share in enumerate(shares):
            args += ["-fsdev", f"local,id=share{i},path={share},security_model=none,multidevs=remap",
                     "-device", f"virtio-9p-pci,fsdev=share{i},mount_tag=share{i}"]
        log(f"booting an emulated x86-64 machine ({memory_mb} MB, 2 processors, no KVM) "
            f"to run: {shlex.join(command)}")
        started = time.time()
        stop = threading.Event()
        follower = threading.Thread(target=follow, args=(job / "output", stop), daemon=True)
        follower.start()
        try:
            qemu = subprocess.run(args, stdin=subprocess.DEVNULL)
        finally:
            stop.set()
            follower.join()
        exit_file = job / "exit-code"
        if not exit_file.exists():
            console = (job / "console").read_text("utf-8", "replace")[-3000:]
            log(f"the machine stopped before the job ended (QEMU exit {qemu.returncode}); "
                f"its console said:\n{console}")
            return 125
        code = int(exit_file.read_text().strip() or 125)
        log(f"job ended with exit code {code}; the machine ran {time.time() - started:.0f} s")
        return code
    finally:
        shutil.rmtree(job, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="action", required=True)
    sub.add_parser("prepare")
    run_parser = sub.add_parser("run")
    run_parser.add_argument("--share", action="append", default=[],
                            help="a folder shared writable, at its own path")
    run_parser.add_argument("--cwd", help="the job's working folder (default: this one)")
    run_parser.add_argument("--memory", type=int, default=DEFAULT_MEMORY_MB, help="MB")
    run_parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    if args.action == "prepare":
        prepare()
        return 0
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("run needs a command")
    return run(command, args.share, args.cwd, args.memory)


if __name__ == "__main__":
    sys.exit(main())
