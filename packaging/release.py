#!/usr/bin/env python3
"""Writes Pruvolt's release, the same to the byte from the same commit and toolchain: the ZIP, the
per-machine MSI, a build-info file naming the toolchain, and SHA256SUMS over the three.

    release.py --program pruvolt.exe --database testdb.mdb --notes PACKAGING.txt
               [--installers FOLDER] --version 1.0.0 --epoch SECONDS --out FOLDER [--msi-only]

Every time in the release is --epoch (SOURCE_DATE_EPOCH, the commit's time), in UTC; entries go in
a fixed order with fixed modes and no owner. The MSI is built by wixl from pruvolt.wxs beside this
script, and then mended with msibuild where wixl 0.101 falls short; its ProductCode follows from
the version, its package code from its own content.
"""
import argparse
import datetime
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import uuid
import xml.etree.ElementTree as ElementTree
import zipfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
WXS = HERE / "pruvolt.wxs"
ICON = HERE.parent / "assets" / "pruvolt.ico"
WIX = "{http://schemas.microsoft.com/wix/2006/wi}"
# The condition that wixl writes for MajorUpgrade's DowngradeErrorMessage.
DOWNGRADE_CONDITION = "NOT WIX_DOWNGRADE_DETECTED"
# The Debian packages whose versions make the release what it is.
TOOLCHAIN = [
    "gcc-mingw-w64-i686-win32", "g++-mingw-w64-i686-win32", "gcc-mingw-w64-base",
    "binutils-mingw-w64-i686", "mingw-w64-i686-dev", "mingw-w64-common", "libstb-dev",
    "cmake", "ninja-build", "wixl", "msitools", "libmsi0", "libgcab-1.0-0", "python3", "zlib1g",
]


def product_code(upgrade_code, version):
    """One ProductCode for each version, the same in every build of it."""
    return str(uuid.uuid5(uuid.UUID(upgrade_code), "ProductCode " + version)).upper()


def write_zip(path, top, files, epoch):
    """The files in one folder `top` (named by the entries' paths alone), sorted by name, each
    stamped `epoch` in UTC, mode 644, made on Unix, with no extra fields: nothing of the builder's
    machine."""
    stamp = max(datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc),
                datetime.datetime(1980, 1, 1, tzinfo=datetime.timezone.utc))
    date_time = stamp.timetuple()[:6]
    with zipfile.ZipFile(path, "w") as archive:
        for name in sorted(files):
            entry = zipfile.ZipInfo(f"{top}/{name}", date_time)
            entry.create_system = 3
            entry.external_attr = 0o100644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(entry, files[name].read_bytes(), compresslevel=9)


# --- the MSI's summary information, in its compound file ------------------------------------

def stream_offsets(data, name):
    """The file offset of each byte of the stream `name` in a compound file (the MSI's container)."""
    def u16(at):
        return struct.unpack_from("<H", data, at)[0]

    def u32(at):
        return struct.unpack_from("<I", data, at)[0]
    sector_size, mini_size, cutoff = 1 << u16(0x1E), 1 << u16(0x20), u32(0x38)
    fat_sectors = [u32(0x4C + 4 * i) for i in range(109)][:u32(0x2C)]
    difat = u32(0x44)
    while difat < 0xFFFFFFFA and len(fat_sectors) < u32(0x2C):
        at = (difat + 1) * sector_size
        fat_sectors += [u32(at + 4 * i) for i in range(sector_size // 4 - 1)]
        difat = u32(at + sector_size - 4)
    fat = []
    for sector in fat_sectors[:u32(0x2C)]:
        fat += struct.unpack_from(f"<{sector_size // 4}I", data, (sector + 1) * sector_size)

    def chain(start, table):
        while start < 0xFFFFFFFA:
            yield start
            start = table[start]

    def sector_bytes(start):
        return [(sector + 1) * sector_size + i for sector in chain(start, fat) for i in range(sector_size)]
    directory = bytes(data[at] for at in sector_bytes(u32(0x30)))
    entries = []
    for at in range(0, len(directory), 128):
        length = struct.unpack_from("<H", directory, at + 64)[0]
        entries.append((directory[at:at + max(length - 2, 0)].decode("utf-16-le"),
                        struct.unpack_from("<I", directory, at + 116)[0],
                        struct.unpack_from("<I", directory, at + 120)[0]))
    found = [entry for entry in entries if entry[0] == name]
    if not found:
        raise RuntimeError(f"no stream {name!r} in the package")
    _, start, size = found[0]
    if size >= cutoff:
        return sector_bytes(start)[:size]
    mini_stream = sector_bytes(entries[0][1])
    minifat_bytes = bytes(data[at] for at in sector_bytes(u32(0x3C)))
    minifat = struct.unpack(f"<{len(minifat_bytes) // 4}I", minifat_bytes)
    return [mini_stream[sector * mini_size + i] for sector in chain(start, minifat)
            for i in range(mini_size)][:size]


def set_summary(path, strings, filetimes):
    """Sets properties of the MSI's summary information in place: `strings` (id -> text, each as
    long as the one it replaces) and `filetimes` (id -> seconds since 1970, UTC)."""
    data = bytearray(path.read_bytes())
    offsets = stream_offsets(data, "\x05SummaryInformation")
    stream = bytearray(data[at] for at in offsets)
    section = struct.unpack_from("<I", stream, 44)[0]
    count = struct.unpack_from("<I", stream, section + 4)[0]
    for i in range(count):
        pid, offset = struct.unpack_from("<II", stream, section + 8 + 8 * i)
        at = section + offset
        kind = struct.unpack_from("<I", stream, at)[0]
        if pid in strings and kind == 30:  # VT_LPSTR: its length with the NUL, then its bytes
            old_length = struct.unpack_from("<I", stream, at + 4)[0]
            new = strings[pid].encode("ascii") + b"\0"
            if len(new) != old_length:
                raise RuntimeError(f"summary property {pid}: {len(new)} bytes for {old_length}")
            stream[at + 8:at + 8 + old_length] = new
        elif pid in filetimes and kind == 64:  # VT_FILETIME: 100 ns since 1601
            stream[at + 4:at + 12] = struct.pack("<Q", (filetimes[pid] + 11644473600) * 10_000_000)
    for at, value in zip(offsets, stream):
        data[at] = value
    path.write_bytes(bytes(data))


PID_TEMPLATE, PID_REVISION, PID_CREATED, PID_SAVED = 7, 9, 12, 13


def msibuild(msi, *arguments):
    subprocess.run(["msibuild", str(msi), *arguments], check=True)


def write_msi(path, files, version, epoch, work):
    """Builds the MSI in the folder `work`, where wixl finds the files by their plain names."""
    product = ElementTree.parse(WXS).getroot().find(WIX + "Product")
    code = product_code(product.get("UpgradeCode"), version)
    for name, source in {**files, "pruvolt.ico": ICON}.items():
        shutil.copyfile(source, work / name)
        # The cabinet keeps each file's time and attributes.
        os.chmod(work / name, 0o644)
        os.utime(work / name, (epoch, epoch))
    shutil.copyfile(WXS, work / WXS.name)
    defines = ["-D", f"Version={version}", "-D", f"ProductCode={code}"]
    if "ade.exe" in files:
        defines += ["-D", "Installers=1"]
    msi = work / "package.msi"
    subprocess.run(["wixl", "--arch", "x86", *defines, "-o", msi.name, WXS.name], cwd=work, check=True)

    # What wixl 0.101 leaves out. The code page first: the texts below are stored in it.
    (work / "_ForceCodepage.idt").write_text(f"\n\n{product.get('Codepage')}\t_ForceCodepage\n")
    msibuild(msi, "-i", str(work / "_ForceCodepage.idt"))
    messages = {condition.text.strip(): condition.get("Message")
                for condition in product.findall(WIX + "Condition")}
    messages[DOWNGRADE_CONDITION] = product.find(WIX + "MajorUpgrade").get("DowngradeErrorMessage")
    queries = [f"UPDATE `LaunchCondition` SET `Description` = '{text}' WHERE `Condition` = '{condition}'"
               for condition, text in messages.items()]
    # Jet's lock file, which Windows Installer did not install and would otherwise leave, with the
    # folder, behind: removed on uninstall (InstallMode 2) with the database's component.
    queries.append("INSERT INTO `RemoveFile` (`FileKey`, `Component_`, `FileName`, `DirProperty`, "
                   "`InstallMode`) VALUES ('LockFile', 'Database', 'testdb.ldb', 'INSTALLFOLDER', 2)")
    for query in queries:
        msibuild(msi, "-q", query)

    # The summary's dates are the epoch's; its template names the product's language; its package
    # code, drawn at random by wixl, is made from the package's content with a fixed one in its place.
    language = product.get("Language")
    summary = {PID_TEMPLATE: f"Intel;{language}", PID_REVISION: "{" + "0" * 8 + "-0000" * 3 + "-" + "0" * 12 + "}"}
    set_summary(msi, summary, {PID_CREATED: epoch, PID_SAVED: epoch})
    package_code = uuid.uuid5(uuid.UUID(product.get("UpgradeCode")),
                              "PackageCode " + hashlib.sha256(msi.read_bytes()).hexdigest())
    set_summary(msi, {PID_REVISION: "{" + str(package_code).upper() + "}"}, {})
    shutil.move(msi, path)
    return code


def debian_versions(packages):
    lines = []
    for package in packages:
        # A package of two architectures (zlib1g, with Wine's i386 side) names each of its versions.
        result = subprocess.run(["dpkg-query", "-W", "-f=${Version}\n", package],
                                capture_output=True, text=True)
        versions = sorted(set(result.stdout.split())) if result.returncode == 0 else []
        lines.append(f"  {package} {', '.join(versions) or '(not installed)'}")
    return lines


def source_commit():
    """The commit the sources are, marked when the tree differs from it."""
    def git(*arguments):
        result = subprocess.run(["git", "-C", str(HERE), *arguments], capture_output=True, text=True)
        return result.stdout.strip() if result.returncode == 0 else ""
    commit = git("rev-parse", "HEAD") or "(not a git clone)"
    if git("status", "--porcelain", "--untracked-files=no"):
        commit += " (with changes not committed)"
    return commit


def sha256(path):
    return hashlib.sha256(path.read_bytes()).hexdigest()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--program", type=Path, required=True)
    parser.add_argument("--database", type=Path, required=True)
    parser.add_argument("--notes", type=Path, required=True)
    parser.add_argument("--installers", type=Path, help="the folder with ade.exe and ade64.exe")
    parser.add_argument("--version", required=True)
    parser.add_argument("--epoch", type=int, default=os.environ.get("SOURCE_DATE_EPOCH"))
    parser.add_argument("--out", type=Path, required=True)
    parser.add_argument("--msi-only", action="store_true", help="the MSI and nothing else")
    args = parser.parse_args()
    if args.epoch is None:
        parser.error("--epoch or SOURCE_DATE_EPOCH is needed")

    files = {"pruvolt.exe": args.program, "testdb.mdb": args.database, "PACKAGING.txt": args.notes}
    if args.installers:
        for name in ("ade.exe", "ade64.exe"):
            if not (args.installers / name).is_file():
                parser.error(f"{args.installers / name} is not there")
            files[name] = args.installers / name
    name = f"Pruvolt-{args.version}-win32"
    args.out.mkdir(parents=True, exist_ok=True)
    msi = args.out / f"{name}.msi"
    with tempfile.TemporaryDirectory() as work:
        code = write_msi(msi, files, args.version, int(args.epoch), Path(work))
    print(f"{msi} (ProductCode {{{code}}})")
    if args.msi_only:
        return

    package = args.out / f"{name}.zip"
    write_zip(package, name, files, int(args.epoch))
    print(package)

    when = datetime.datetime.fromtimestamp(int(args.epoch), datetime.timezone.utc)
    info = args.out / f"{name}-buildinfo.txt"
    info.write_text("\n".join([
        f"Pruvolt {args.version}, 32-bit Windows",
        f"commit: {source_commit()}",
        f"SOURCE_DATE_EPOCH: {args.epoch} ({when:%Y-%m-%d %H:%M:%S} UTC)",
        f"ProductCode: {{{code}}}",
        f"pruvolt.exe SHA-256: {sha256(args.program)}",
        f"built on: Debian {Path('/etc/debian_version').read_text().strip() if Path('/etc/debian_version').exists() else '(unknown)'}",
        "toolchain (Debian package versions):",
        *debian_versions(TOOLCHAIN),
    ]) + "\n")
    print(info)
    (args.out / "SHA256SUMS").write_text("".join(f"{sha256(path)}  {path.name}\n"
                                                 for path in sorted((package, msi, info))))
    print(args.out / "SHA256SUMS")


if __name__ == "__main__":
    sys.exit(main())
