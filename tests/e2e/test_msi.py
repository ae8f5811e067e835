"""The release's MSI under Wine's Windows Installer, in each prefix, as a deployment tool runs it:
msiexec silent, its exit code read from the process by our driver. An older build of the package
(made by the release script from the same files, with an older version, other notes, and the
engine's installers as a packager adds them) is
installed first, upgraded by the release's own MSI, and then refused as a downgrade; the release is
uninstalled, with Jet's lock file left in its folder, and uninstalled again."""
import json
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
import unittest
from pathlib import Path

from harness import (ARCHS, ARTIFACTS, BITS, BUILD, DATABASE, PROGRAM, STATE, Driver, ProgramTestCase,
                     STANDIN, query_registry, register_ado_double, registry, scaled, windows_to_unix)

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "packaging"))
import release  # noqa: E402  (the release script, for its ProductCode and to build the older package)

OLDER_VERSION = "0.0.1"
MSI_FOLDER = "C:\\e2e-msi"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
INSTALLER = r"HKLM\Software\Classes\Installer"
SUCCESS, UNKNOWN_PRODUCT, FATAL_ERROR = 0, 1605, 1603
DOWNGRADE_MESSAGE = "此電腦已安裝較新版本的 Pruvolt，無法以較舊的版本取代。"
SUCCESS_LINES = ["資料庫正常連線", "不需要安裝 Access Database Engine"]


def project_version():
    cache = (BUILD / "CMakeCache.txt").read_text()
    return re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.*)$", cache, re.M).group(1)


def upgrade_code():
    return ElementTree.parse(release.WXS).getroot().find(release.WIX + "Product").get("UpgradeCode")


def packed(guid):
    """A GUID as Windows Installer names its keys: each of the first three groups reversed, each
    byte of the last two with its digits swapped."""
    digits = guid.strip("{}").replace("-", "")
    return (digits[7::-1] + digits[11:7:-1] + digits[15:11:-1]
            + "".join(digits[i + 1] + digits[i] for i in range(16, 32, 2)))


def launch_conditions(msi):
    """The package's launch conditions and their messages, as msitools reads its table."""
    table = subprocess.run(["msiinfo", "export", str(msi), "LaunchCondition"], check=True,
                           capture_output=True).stdout.decode("utf-8")
    return dict(line.split("\t", 1) for line in table.splitlines()[3:] if "\t" in line)


class Msi(ProgramTestCase):
    @classmethod
    def setUpClass(cls):
        cls.version = project_version()
        cls.current = BUILD / f"Pruvolt-{cls.version}-win32.msi"
        if not cls.current.exists():
            raise AssertionError(f"{cls.current} is not there: build the package target first")
        # The older build: the same program and database, other notes, an older version.
        older = STATE / "msi-older"
        shutil.rmtree(older, ignore_errors=True)
        older.mkdir(parents=True)
        (older / "PACKAGING.txt").write_text("an older build\n")
        # A packager's build, with the engine's installers (stand-ins), which the upgrade then removes.
        for name in ("ade.exe", "ade64.exe"):
            (older / name).write_bytes(STANDIN.read_bytes() + name.encode())
        subprocess.run([sys.executable, str(release.__file__), "--program", str(PROGRAM),
                        "--database", str(DATABASE), "--notes", str(older / "PACKAGING.txt"),
                        "--installers", str(older),
                        "--version", OLDER_VERSION, "--epoch", "1600000000", "--out", str(older),
                        "--msi-only"], check=True, stdout=subprocess.DEVNULL)
        cls.older = older / f"Pruvolt-{OLDER_VERSION}-win32.msi"
        cls.codes = {version: "{" + release.product_code(upgrade_code(), version) + "}"
                     for version in (OLDER_VERSION, cls.version)}

    def run_to_end(self, driver, command_line, timeout=120):
        """Runs a command line, its output on a pipe, to its end: (exit code, its output)."""
        timeout_ms = int(scaled(timeout) * 1000)
        answer = driver.ask(f"runpipe {timeout_ms} {command_line}", timeout_ms)
        self.assertTrue(answer.startswith("ok "), answer)
        code, _, output = re.fullmatch(r'ok (\d+) ("(?:[^"\\]|\\.)*") (.*)', answer).groups()
        return int(code), json.loads(output)

    def msiexec(self, driver, arch, step, *arguments):
        """msiexec with the arguments, silent, with a verbose log kept as an artefact: its exit code."""
        log = f"{MSI_FOLDER}\\{step}.log"
        code, _ = self.run_to_end(driver, f"msiexec.exe {' '.join(arguments)} /qn /l*v {log}", timeout=300)
        unix_log = windows_to_unix(arch, log)
        if unix_log.exists():
            shutil.copy(unix_log, ARTIFACTS / f"msi-prefix{arch}-{step}.log")
        return code

    def registered_version(self, arch, version):
        """The version that Programs and Features shows for this version's ProductCode; None when
        the product is not registered."""
        return query_registry(arch, rf"{UNINSTALL}\{self.codes[version]}", "DisplayVersion")

    def test_install_upgrade_downgrade_and_uninstall(self):
        for arch in ARCHS:
            with self.subTest(arch=arch):
                self.install_upgrade_downgrade_and_uninstall(arch)

    def install_upgrade_downgrade_and_uninstall(self, arch):
        driver = Driver(arch)
        self.addCleanup(driver.close)
        # The 32-bit package goes where Windows puts 32-bit programs.
        folder = "C:\\Program Files (x86)\\Pruvolt" if BITS == 32 and arch == 64 else "C:\\Program Files\\Pruvolt"
        installed = windows_to_unix(arch, folder)
        # What an earlier run that failed may have left.
        for code in self.codes.values():
            self.run_to_end(driver, f"msiexec.exe /x {code} /qn", timeout=300)
        shutil.rmtree(installed, ignore_errors=True)
        packages = windows_to_unix(arch, MSI_FOLDER)
        shutil.rmtree(packages, ignore_errors=True)
        packages.mkdir(parents=True)
        shutil.copy(self.older, packages / "older.msi")
        shutil.copy(self.current, packages / "current.msi")
        ARTIFACTS.mkdir(parents=True, exist_ok=True)

        self.assertEqual(self.msiexec(driver, arch, "install-older", "/i", f"{MSI_FOLDER}\\older.msi"), SUCCESS)
        self.assertEqual(sorted(path.name for path in installed.iterdir()),
                         ["PACKAGING.txt", "ade.exe", "ade64.exe", "pruvolt.exe", "testdb.mdb"])
        self.assertEqual((installed / "PACKAGING.txt").read_text(), "an older build\n")
        self.assertEqual((installed / "ade64.exe").read_bytes(), STANDIN.read_bytes() + b"ade64.exe")
        self.assertEqual(self.registered_version(arch, OLDER_VERSION), OLDER_VERSION)

        # The release replaces the older build: its files, one product registered.
        self.assertEqual(self.msiexec(driver, arch, "upgrade", "/i", f"{MSI_FOLDER}\\current.msi"), SUCCESS)
        self.assertEqual(self.registered_version(arch, self.version), self.version)
        self.assertIsNone(self.registered_version(arch, OLDER_VERSION), "the older build is still registered")
        self.assertEqual(sorted(path.name for path in installed.iterdir()),
                         ["PACKAGING.txt", "pruvolt.exe", "testdb.mdb"])
        for name, built in (("pruvolt.exe", PROGRAM), ("testdb.mdb", DATABASE),
                            ("PACKAGING.txt", SOURCE / "packaging" / "PACKAGING.txt")):
            self.assertEqual((installed / name).read_bytes(), built.read_bytes(), name)
        related = rf"{INSTALLER}\UpgradeCodes\{packed(upgrade_code())}"
        # The products of this UpgradeCode, as values with no data: the release's only.
        self.assertNotEqual(registry(arch, "query", related, packed(self.codes[self.version])), "none")
        self.assertEqual(registry(arch, "query", related, packed(self.codes[OLDER_VERSION])), "none")
        entry = rf"{UNINSTALL}\{self.codes[self.version]}"
        self.assertEqual(query_registry(arch, entry, "DisplayName"), "Pruvolt")
        for name in ("NoModify", "NoRepair"):
            self.assertIsNotNone(query_registry(arch, entry, name), name)
        # Programs and Features shows the icon that Windows Installer keeps of the product.
        icon = query_registry(arch, rf"{INSTALLER}\Products\{packed(self.codes[self.version])}", "ProductIcon")
        self.assertIsNotNone(icon, "no icon for Programs and Features")
        self.assertEqual(windows_to_unix(arch, icon).read_bytes(), (SOURCE / "assets" / "pruvolt.ico").read_bytes())

        # The installed program runs: its probe, through the ADO double, opens the database.
        register_ado_double(self, arch)
        self.assertEqual(self.run_to_end(driver, f'"{folder}\\pruvolt.exe" /check'),
                         (0, "".join(line + "\r\n" for line in SUCCESS_LINES)))

        # An older build does not replace a newer one.
        self.assertEqual(self.msiexec(driver, arch, "downgrade", "/i", f"{MSI_FOLDER}\\older.msi"), FATAL_ERROR)
        self.assertEqual(self.registered_version(arch, self.version), self.version)
        self.assertIsNone(self.registered_version(arch, OLDER_VERSION))
        self.assertEqual((installed / "pruvolt.exe").read_bytes(), PROGRAM.read_bytes())
        # The refusal's message: Windows writes it to the log; Wine's msiexec, silent, does not write
        # a launch condition's message anywhere, so here it is read from the package.
        self.assertIn(DOWNGRADE_MESSAGE, launch_conditions(self.older).get("NOT WIX_DOWNGRADE_DETECTED", ""))

        # Jet's lock file, as a shared open of the database leaves it, goes with the program.
        (installed / "testdb.ldb").write_bytes(bytes(64))
        self.assertEqual(self.msiexec(driver, arch, "uninstall", "/x", self.codes[self.version]), SUCCESS)
        self.assertFalse(installed.exists(), f"left behind: {list(installed.iterdir()) if installed.exists() else ''}")
        self.assertTrue(installed.parent.exists())
        self.assertIsNone(self.registered_version(arch, self.version))
        self.assertEqual(self.msiexec(driver, arch, "uninstall-again", "/x", self.codes[self.version]),
                         UNKNOWN_PRODUCT)


if __name__ == "__main__":
    unittest.main()
