"""The probe at the COM boundary: the real program meets a test double of ADO's recordset
(adodouble.dll), registered in the prefix in place of Wine's ADO, which records what Open is given
and answers as the test asks. What the program hands to ADO on each Windows version, and its verdict
and staging for a success and for each kind of failure."""
import time
import unittest

from harness import (ADO_DOUBLE_FOLDER, ARCHS, ProgramTestCase, delete_registry, installer_name,
                     register_ado_double, scaled, set_registry, set_windows_version, wait_for_file,
                     windows_to_unix)

ID_INSTALL, ID_EXIT = 100, 102
DOUBLE_LOG = ADO_DOUBLE_FOLDER + "\\calls.log"
ENVIRONMENT = r"HKCU\Environment"

SOURCE = "select * from testdata"
ODBC = "Driver={Microsoft Access Driver (*.mdb, *.accdb)};DBQ="
JET = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source="
SUCCESS = "\r\n資料庫正常連線\r\n不需要安裝 Access Database Engine"
VT_BSTR = "8"
VK_SPACE = 32
RELEASE = ADO_DOUBLE_FOLDER + "\\release"


class ProbeAtTheComBoundary(ProgramTestCase):
    def setUp(self):
        super().setUp()
        for arch in ARCHS:
            register_ado_double(self, arch)
            self.addCleanup(set_windows_version, arch, None)
            for name in ("PRUVOLT_ADO_DOUBLE_LOG", "PRUVOLT_ADO_DOUBLE_FAIL", "PRUVOLT_ADO_DOUBLE_WAIT"):
                self.addCleanup(delete_registry, arch, ENVIRONMENT, name)

    def start(self, arch, folder="C:\\Pruvolt", version=None, fail=None):
        """Starts the program with Wine at `version` and the double told to `fail` (see
        AdoDouble.cpp), and waits for the probe's verdict."""
        # One program at a time: a second copy would end at once.
        for earlier in self.runs:
            earlier.close()
        set_windows_version(arch, version)
        log = windows_to_unix(arch, DOUBLE_LOG)
        log.unlink(missing_ok=True)
        # Both reach the program's process as TMP does: from the prefix's registry, read when the
        # driver starts.
        set_registry(arch, ENVIRONMENT, "PRUVOLT_ADO_DOUBLE_LOG", DOUBLE_LOG)
        if fail is None:
            delete_registry(arch, ENVIRONMENT, "PRUVOLT_ADO_DOUBLE_FAIL")
        else:
            set_registry(arch, ENVIRONMENT, "PRUVOLT_ADO_DOUBLE_FAIL", fail)
        run = self.new_run(arch, folder)
        run.start()
        verdict = run.wait("label", 60000, SUCCESS if fail is None else "錯誤代碼")
        self.assertIsNotNone(verdict, f"no verdict in the label: {run.label()!r}")
        return run

    def calls(self, arch):
        """The double's log: one (event, {field: value}) for each object created and Open called."""
        log = windows_to_unix(arch, DOUBLE_LOG)
        self.assertTrue(log.exists(), "the program never reached the double")
        calls = []
        for line in log.read_text(encoding="utf-8").splitlines():
            event, *fields = line.split("\t")
            calls.append((event, dict(field.split("=", 1) for field in fields)))
        return calls

    def single_open(self, arch):
        calls = self.calls(arch)
        self.assertEqual([event for event, _ in calls], ["create", "open"])
        return calls[0][1], calls[1][1]

    def buttons(self, run, install_visible):
        """The buttons once the handler has set them, polled: the label changes first."""
        deadline = time.time() + scaled(10)
        while True:
            state = run.describe()
            install = run.control(state, "Button", ID_INSTALL)
            if install["visible"] == install_visible or time.time() > deadline:
                return install, run.control(state, "Button", ID_EXIT)
            time.sleep(0.05)


    def test_connection_string_for_each_windows_version(self):
        for arch in ARCHS:
            rows = [
                # Wine's setting, the version text the program builds, the connection's start
                ("win7", "2.6.1", ODBC),
                ("win10", "2.10.0", JET),
                ("winxp64", "2.5.2", JET) if arch == 64 else ("winxp", "2.5.1", JET),
            ]
            for version, text, start in rows:
                with self.subTest(arch=arch, version=version):
                    self.start(arch, version=version)
                    created, opened = self.single_open(arch)
                    # Read in the program's process, as the program reads it.
                    self.assertEqual(created["windows"], text)
                    self.assertEqual(opened["call"], "1")
                    self.assertEqual((opened["source.vt"], opened["source"]), (VT_BSTR, SOURCE))
                    self.assertEqual((opened["connection.vt"], opened["connection"]),
                                     (VT_BSTR, start + "C:\\Pruvolt\\testdb.mdb;"))
                    # adOpenUnspecified, adLockUnspecified, adCmdUnspecified.
                    self.assertEqual((opened["cursorType"], opened["lockType"], opened["options"]),
                                     ("-1", "-1", "-1"))

    def test_program_folder_with_blanks_and_chinese_reaches_ado_unchanged(self):
        folder = "C:\\Program Files\\測試 工具"
        for arch in ARCHS:
            with self.subTest(arch=arch):
                self.start(arch, folder=folder, version="win10")
                _, opened = self.single_open(arch)
                self.assertEqual(opened["connection"], JET + folder + "\\testdb.mdb;")

    def test_success_hides_the_install_button_and_stages_nothing(self):
        for arch in ARCHS:
            with self.subTest(arch=arch):
                run = self.start(arch)
                self.assertEqual(run.label(), SUCCESS)
                install, exit_ = self.buttons(run, install_visible=False)
                self.assertFalse(install["visible"], "the install button is still shown")
                self.assertEqual((exit_["visible"], exit_["rect"]), (True, [14, 206, 241, 27]))
                run.screenshot(f"window-success-{arch}")
                self.single_open(arch)
                # Nothing is staged: the load handler has returned once the exit button, clicked
                # now, ends the program (the click waits for the handler, or ends it where it
                # processes events last), and TMP is still empty then.
                run.click(ID_EXIT)
                self.assertIsNotNone(run.wait("exit", 5000))
                self.assertEqual(list(run.unix(run.tmp).iterdir()), [])

    def test_each_failure_reports_its_number_and_description_and_stages_the_installer(self):
        rows = [
            # What the double does; the label's number and description; the calls it saw.
            # An ADO error: FACILITY_CONTROL, its description in the COM error info.
            ("open 800A0E7A 找不到提供者。可能未正確安裝。",
             "3706", "找不到提供者。可能未正確安裝。", ["create", "open"]),
            # Another HRESULT, with no error info: the system's text for it. This is Wine's zh-TW
            # message for E_FAIL ("Call failed."); Windows words it otherwise.
            ("open 80004005", "-2147467259", "呼叫失敗。", ["create", "open"]),
            # The class factory refuses the object, with a description: Open never runs.
            ("create 80070005 無法建立 Recordset 物件",
             "-2147024891", "無法建立 Recordset 物件", ["create"]),
        ]
        for arch in ARCHS:
            for fail, number, description, events in rows:
                with self.subTest(arch=arch, fail=fail):
                    run = self.start(arch, fail=fail)
                    self.assertEqual(run.label(), f"錯誤代碼 ({number})\r\n回報內容：{description}")
                    self.assertEqual([event for event, _ in self.calls(arch)], events)
                    install, exit_ = self.buttons(run, install_visible=True)
                    self.assertEqual((install["visible"], install["rect"]), (True, [14, 172, 241, 27]))
                    self.assertEqual((exit_["visible"], exit_["rect"]), (True, [14, 206, 241, 27]))
                    name = installer_name(arch)
                    self.assertTrue(run.wait_copy(f"{run.tmp}\\{name}", f"{run.folder}\\{name}"),
                                    f"{name} was not staged in TMP byte for byte")
                    self.assertEqual(sorted(p.name for p in run.unix(run.tmp).iterdir()), [name])

    def test_space_during_a_slow_probe_starts_the_installation_once_the_staging_is_done(self):
        # The first probe after a start can take seconds. Space on the focused install button
        # meanwhile is queued, and reaches the program before the staging has run.
        arch = ARCHS[0]
        release = windows_to_unix(arch, RELEASE)
        release.unlink(missing_ok=True)
        self.addCleanup(release.unlink, missing_ok=True)
        set_registry(arch, ENVIRONMENT, "PRUVOLT_ADO_DOUBLE_WAIT", RELEASE)
        log = windows_to_unix(arch, DOUBLE_LOG)
        log.unlink(missing_ok=True)
        set_registry(arch, ENVIRONMENT, "PRUVOLT_ADO_DOUBLE_LOG", DOUBLE_LOG)
        set_registry(arch, ENVIRONMENT, "PRUVOLT_ADO_DOUBLE_FAIL", "open 800A0E7A 找不到提供者。")
        run = self.new_run(arch, "C:\\Pruvolt")
        run.start()
        # The double has logged its Open: the probe now blocks the program's thread.
        opened = wait_for_file(log, lambda: log.exists() and "open\t" in log.read_text("utf-8"), 60)
        self.assertTrue(opened, "the probe never reached the double")
        self.assertEqual(run.driver.ask(f"key {VK_SPACE}"), "ok")
        release.touch()
        staged = f"{run.tmp}\\{installer_name(arch)}"
        launch = run.wait_launch_log(staged)
        self.assertIsNotNone(launch, f"no installer started; a box: {run.msgbox()}")
        self.assertEqual(launch["commandline"], f'"{staged}" /passive')
        ended = run.wait("exit", 40000)
        self.assertIsNotNone(ended)
        self.assertEqual(ended[1], 0)

if __name__ == "__main__":
    unittest.main()
