"""/diagnose and the /repair that it can stop, on the real 32-bit program under Wine. The test
writes registrations into the registry views of the prefix (in the 64-bit prefix each into its own
view, which Wine keeps apart as Windows 7 and later do: CLSID and SOFTWARE\\ODBC per view, the
ProgIDs under Classes shared) and puts stand-in DLL files where they name, or leaves them out.
Nothing is ever loaded from them: the diagnosis only asks whether they are there. Wine's prefixes
have no Jet, no Access driver and no Office of their own; its own ADO fails the probe."""
import json
import unittest

from harness import (ARCHS, ARTIFACTS, BITS, ProgramTestCase, delete_registry,
                     delete_registry_key, set_registry, windows_to_unix)

FOLDER = "C:\\Pruvolt"
JET_CLSID = "{dee35070-506b-11cf-b1aa-00aa00b8de95}"
ACE_CLSID = "{3BE786A2-0366-4F5C-9434-25CF162E475E}"
ODBC = r"SOFTWARE\ODBC\ODBCINST.INI"
MDB_DRIVER = "Microsoft Access Driver (*.mdb)"
ACCDB_DRIVER = "Microsoft Access Driver (*.mdb, *.accdb)"
JET_FILE = r"C:\windows\syswow64\msjetoledb40.dll"
ACE_FILE = r"C:\Program Files\Common Files\Microsoft Shared\OFFICE16\ACEOLEDB.DLL"
# In the 64-bit System32, which a 32-bit process reaches only as Sysnative.
ACCDB_DRIVER_FILE = r"C:\windows\system32\e2e-aceodbc.dll"


class Diagnose(ProgramTestCase):
    def register(self, arch, root_key, values):
        """Writes (key below root_key, name, data[, kind]) values; the whole of root_key goes again
        when the test ends."""
        self.addCleanup(delete_registry_key, arch, root_key)
        for key, name, data, *kind in values:
            set_registry(arch, f"{root_key}\\{key}" if key else root_key, name, data, *kind)

    def register_provider(self, arch, view, prog_id, clsid, file, kind="REG_SZ"):
        self.register(arch, rf"HKLM{view}\SOFTWARE\Classes\{prog_id}", [("CLSID", None, clsid)])
        self.register(arch, rf"HKLM{view}\SOFTWARE\Classes\CLSID\{clsid}",
                      [("InprocServer32", None, file, kind)])

    def register_driver(self, arch, view, name, file):
        drivers = rf"HKLM{view}\{ODBC}\ODBC Drivers"
        set_registry(arch, drivers, name, "Installed")
        self.addCleanup(delete_registry, arch, drivers, name)
        self.register(arch, rf"HKLM{view}\{ODBC}\{name}", [(None, "Driver", file)])

    def stand_in_file(self, arch, path):
        unix = windows_to_unix(arch, path)
        unix.parent.mkdir(parents=True, exist_ok=True)
        unix.write_bytes(b"stand-in")
        self.addCleanup(unix.unlink)

    def diagnose(self, arch, save_as=None):
        """/check, /diagnose and /diagnose /json in one program folder: (the check's exit code and
        lines, the diagnosis's exit code and lines, the JSON's exit code and object)."""
        run = self.new_run(arch, FOLDER)
        check_code, _, check = run.run_to_end("/check")
        code, _, human = run.run_to_end("/diagnose")
        json_code, _, text = run.run_to_end("/diagnose /json")
        if save_as:
            ARTIFACTS.mkdir(parents=True, exist_ok=True)
            (ARTIFACTS / f"{save_as}.txt").write_text(human, "utf-8")
            (ARTIFACTS / f"{save_as}.json").write_text(text, "utf-8")
        self.assertTrue(text.isascii() and text.endswith("}\r\n") and text.count("\n") == 1, text)
        return (check_code, check.splitlines()), (code, human.splitlines()), (json_code, json.loads(text))

    @unittest.skipUnless(BITS == 32, "the 32-bit program under WOW64")
    def test_both_views_of_a_64_bit_prefix_with_the_engine_of_the_other_bitness(self):
        arch = 64
        self.register_provider(arch, 32, "Microsoft.Jet.OLEDB.4.0", JET_CLSID, JET_FILE)
        self.stand_in_file(arch, JET_FILE)
        # As the 64-bit engine's installer writes it: the 32-bit program must expand it to the
        # 64-bit Common Files, which its own CommonProgramFiles does not name.
        self.register_provider(arch, 64, "Microsoft.ACE.OLEDB.16.0", ACE_CLSID,
                               r"%CommonProgramFiles%\Microsoft Shared\OFFICE16\ACEOLEDB.DLL",
                               "REG_EXPAND_SZ")
        self.stand_in_file(arch, ACE_FILE)
        self.register_driver(arch, 64, ACCDB_DRIVER, ACCDB_DRIVER_FILE)
        self.stand_in_file(arch, ACCDB_DRIVER_FILE)
        self.register_driver(arch, 32, MDB_DRIVER, r"C:\windows\system32\odbcjt32.dll")
        self.register(arch, r"HKLM64\SOFTWARE\Microsoft\Office\ClickToRun", [
            ("Configuration", "VersionToReport", "16.0.17928.20156"),
            ("Configuration", "Platform", "x64")])

        (check_code, check), (code, lines), (json_code, report) = self.diagnose(arch, "diagnose-wow64")

        self.assertEqual((code, json_code), (check_code, check_code), "the probe's exit code")
        self.assertEqual(lines[:len(check)], check, "the probe's lines come first")
        self.assertEqual(report["probe"]["number"] & 0xFFFFFFFF, check_code)
        self.assertEqual((report["probe"]["ok"], report["probe"]["bits"]), (False, 32))
        self.assertTrue(report["windows"]["is64"])
        self.assertCountEqual(report["oledb"], [
            {"name": "Microsoft.Jet.OLEDB.4.0", "bits": 32, "file": JET_FILE, "fileExists": True},
            {"name": "Microsoft.ACE.OLEDB.16.0", "bits": 64, "file": ACE_FILE, "fileExists": True}])
        self.assertCountEqual(report["odbc"], [
            {"name": MDB_DRIVER, "bits": 32, "file": r"C:\windows\system32\odbcjt32.dll", "fileExists": False},
            {"name": ACCDB_DRIVER, "bits": 64, "file": ACCDB_DRIVER_FILE, "fileExists": True}])
        self.assertEqual(report["office"], [{"kind": "clicktorun", "version": "16.0.17928.20156", "bits": 64}])
        self.assertEqual(report["installer"], {"file": FOLDER + "\\ade64.exe", "bits": 64, "present": True})
        # The suite's stand-in installer is a 32-bit program: under ade64.exe's name, no 64-bit one.
        self.assertEqual([f["code"] for f in report["findings"]],
                         ["engine-other-bitness", "engine-other-bitness", "registered-file-missing",
                          "installer-not-a-program"])
        # The same findings, word for word, as the lines end with them.
        self.assertEqual(lines[-4:], [f"[{f['code']}] {f['text']}" for f in report["findings"]])
        self.assertIn(f"  Microsoft.ACE.OLEDB.16.0：{ACE_FILE} (檔案存在)", lines)

    @unittest.skipUnless(32 in ARCHS, "a 32-bit prefix")
    def test_a_32_bit_prefix_has_one_view(self):
        arch = 32
        self.register_provider(arch, 32, "Microsoft.Jet.OLEDB.4.0", JET_CLSID, r"C:\windows\system32\msjetoledb40.dll")
        _, (_, lines), (_, report) = self.diagnose(arch)
        self.assertFalse(report["windows"]["is64"])
        self.assertEqual(report["oledb"], [{"name": "Microsoft.Jet.OLEDB.4.0", "bits": 32,
                                            "file": r"C:\windows\system32\msjetoledb40.dll",
                                            "fileExists": False}])
        self.assertEqual(report["installer"], {"file": FOLDER + "\\ade.exe", "bits": 32, "present": True})
        self.assertNotIn("OLE DB 提供者 (64 位元登錄檢視)：", lines)

    @unittest.skipUnless(BITS == 32, "the 32-bit program under WOW64")
    def test_repair_does_not_start_the_64_bit_installer_beside_32_bit_office(self):
        arch = 64
        self.register(arch, r"HKLM32\SOFTWARE\Microsoft\Office\16.0", [
            (r"Access\InstallRoot", "Path", r"C:\Program Files (x86)\Microsoft Office\root\Office16")])
        run = self.new_run(arch, FOLDER)
        code, _, output = run.run_to_end("/repair")
        lines = output.splitlines()
        self.assertEqual(code, 1633)
        self.assertIn("[installer-blocked-by-office] 已安裝 32 位元的 Office", "\n".join(lines))
        self.assertEqual(lines[-1], "不啟動安裝程式 ade64.exe：它與已安裝的 Office 位元不同；"
                                    "請改安裝 32 位元的 Access Database Engine")
        self.assertEqual(list(run.unix(run.tmp).iterdir()), [], "nothing staged")


if __name__ == "__main__":
    unittest.main()
