"""The switches for deployment tools on the real program under Wine: /check and /repair with their
exit codes and lines, on a pipe as a deployment tool reads them and on the console of cmd, and the
usage for anything else. Wine's own ADO fails the probe with 3709; the ADO test double answers as
the test asks; the stand-in installer exits with the code the test gives it."""
import json
import os
import pty
import re
import select
import shutil
import subprocess
import time
import unittest
import uuid

from harness import (ARCHS, BITS, STANDIN, ProgramTestCase, delete_registry, installer_name,
                     register_ado_double, scaled, set_registry, standin, wine_env, wine_loader)

ENVIRONMENT = r"HKCU\Environment"
FOLDER = "C:\\Pruvolt"
PROGRAM = FOLDER + "\\pruvolt.exe"
SUCCESS_LINES = ["資料庫正常連線", "不需要安裝 Access Database Engine"]
# The program's machine-wide lock, as platform/win32/SystemCalls.cpp names it.
LOCK_NAME = "Global\\Pruvolt.Instance.6f1d2c84-3b7e-4a59-9e0d-5c2a71b8e413"
USAGE_FIRST_LINE = "用法：pruvolt.exe [/check | /repair | /diagnose [/json]]"


class Switches(ProgramTestCase):
    def setUp(self):
        super().setUp()
        for arch in ARCHS:
            for name in ("PRUVOLT_ADO_DOUBLE_LOG", "PRUVOLT_ADO_DOUBLE_FAIL", "PRUVOLT_STANDIN_EXIT",
                         "PRUVOLT_STANDIN_CHILD", "PRUVOLT_STANDIN_LOG"):
                self.addCleanup(delete_registry, arch, ENVIRONMENT, name)

    def use_double(self, arch, fail=None):
        """ADO's recordset becomes the test double, told to `fail` (see AdoDouble.cpp) or not."""
        register_ado_double(self, arch)
        set_registry(arch, ENVIRONMENT, "PRUVOLT_ADO_DOUBLE_LOG", "C:\\e2e-adodouble\\calls.log")
        if fail is None:
            delete_registry(arch, ENVIRONMENT, "PRUVOLT_ADO_DOUBLE_FAIL")
        else:
            set_registry(arch, ENVIRONMENT, "PRUVOLT_ADO_DOUBLE_FAIL", fail)

    def run_switch(self, run, arguments, driver=None):
        """Runs the program with the arguments, its output on a pipe; (exit code, its lines)."""
        code, classes, output = run.run_to_end(arguments, driver)
        self.assertNotIn("|PruvoltMain|", classes, "a run with arguments made the window")
        self.assertTrue(output == "" or output.endswith("\r\n"), repr(output))
        return code, output.split("\r\n")[:-1]

    def test_check_reports_wines_own_ado_failure_while_the_window_is_open(self):
        for arch in ARCHS:
            with self.subTest(arch=arch):
                run = self.new_run(arch, FOLDER)
                run.start()
                self.assertIsNotNone(run.wait("label", 60000, "錯誤代碼"))
                label = run.label()
                # The window holds the single-instance lock; a check does not ask for it.
                code, lines = self.run_switch(run, "/check", driver=run.second_driver())
                self.assertEqual("\r\n".join(lines), label, "the label's lines")
                number = int(re.match(r"錯誤代碼 \((-?\d+)\)", label).group(1))
                self.assertEqual(code, number & 0xFFFFFFFF)
                if not (BITS == 32 and arch == 64):
                    # Wine's own ADO; under WOW64 the 32-bit program may meet another failure.
                    self.assertEqual(code, 3709)

    def test_check_exit_codes_through_the_ado_double(self):
        rows = [
            (None, 0, SUCCESS_LINES),
            # A negative HRESULT becomes the exit code with the same 32 bits.
            ("open 80004005", 0x80004005, ["錯誤代碼 (-2147467259)", "回報內容：呼叫失敗。"]),
        ]
        for arch in ARCHS:
            for fail, expected_code, expected_lines in rows:
                with self.subTest(arch=arch, fail=fail):
                    self.use_double(arch, fail)
                    run = self.new_run(arch, FOLDER)
                    code, lines = self.run_switch(run, "-CHECK")
                    self.assertEqual((code, lines), (expected_code, expected_lines))
                    self.assertEqual(list(run.unix(run.tmp).iterdir()), [], "a check stages nothing")

    def test_repair_runs_the_installer_from_its_own_folder_waits_for_all_of_it_and_cleans_up(self):
        failure = ["錯誤代碼 (3706)", "回報內容：找不到提供者。"]
        log = "C:\\e2e-log\\standin.log"
        # The installer's exit code; what /repair exits with when the second probe fails too.
        rows = [(1603, 1603), (0, 3706), (3010, 3010)]
        for arch in ARCHS:
            for installer_exit, expected_code in rows:
                with self.subTest(arch=arch, installer_exit=installer_exit):
                    self.use_double(arch, "open 800A0E7A 找不到提供者。")
                    set_registry(arch, ENVIRONMENT, "PRUVOLT_STANDIN_EXIT", str(installer_exit))
                    # The installer hands on to a second process that outlives it.
                    set_registry(arch, ENVIRONMENT, "PRUVOLT_STANDIN_CHILD", "1")
                    set_registry(arch, ENVIRONMENT, "PRUVOLT_STANDIN_LOG", log)
                    run = self.new_run(arch, FOLDER)
                    shutil.rmtree(run.unix(log).parent, ignore_errors=True)
                    run.unix(log).parent.mkdir(parents=True)
                    name = installer_name(arch)
                    # A file of the installer's name waiting in TMP, as anybody may put one there.
                    waiting = run.unix(f"{run.tmp}\\{name}")
                    waiting.write_bytes(STANDIN.read_bytes() + b"waiting")

                    code, lines = self.run_switch(run, "/repair")
                    self.assertEqual(code, expected_code, lines)
                    # Before staging, what the diagnosis finds: Wine has no Jet; and the stand-in,
                    # a 32-bit program, is no 64-bit one under the 64-bit installer's name.
                    findings = [line[1:line.index("]")] for line in lines if line.startswith("[")]
                    self.assertEqual(findings, ["jet-missing"] + (["installer-not-a-program"]
                                                                  if name == "ade64.exe" else []), lines)
                    self.assertTrue(all(line.startswith("[") for line in lines[2:2 + len(findings)]), lines)
                    lines = lines[:2] + lines[2 + len(findings):]
                    staged = re.fullmatch(rf"已將安裝程式 {re.escape(FOLDER)}\\{name} 複製到 "
                                          rf"({re.escape(run.tmp)}\\Pruvolt-[0-9A-F-]{{36}}\\{name})",
                                          lines[2])
                    self.assertIsNotNone(staged, lines)
                    staged = staged.group(1)
                    restart = ["安裝程式要求重新開機，重新開機後安裝才會完成"] if installer_exit == 3010 else []
                    self.assertEqual(lines, failure + lines[2:3] + [
                        f'啟動安裝程式並等候結束："{staged}" /quiet /norestart',
                        f"安裝程式已結束，結束代碼 {installer_exit}",
                    ] + failure + restart)
                    # Waited for: the installer and the process it handed on to had both written
                    # their whole records before the end.
                    record = run.read_launch_log(log=log)
                    self.assertIsNotNone(record, "the installer had not finished when /repair ended")
                    self.assertEqual(record["commandline"], f'"{staged}" /quiet /norestart')
                    self.assertEqual(record["starts"], 1)
                    self.assertIn("child-ended", record, "the installer's second process was not waited for")
                    # It ran in the run's own folder, and kept its temporary files there too:
                    # nothing of the shared TMP or of our current folder is where it looks.
                    own = staged.rsplit("\\", 1)[0]
                    self.assertEqual(record["folder"].rstrip("\\"), own)
                    for variable in ("tmp", "temp", "temppath"):
                        self.assertEqual(record[variable].rstrip("\\"), own + "\\Temp", variable)
                    # Its own folder is gone with the copy; the file waiting in TMP was never
                    # started, and is as it was.
                    self.assertEqual(sorted(p.name for p in run.unix(run.tmp).iterdir()), [name])
                    self.assertEqual(waiting.read_bytes(), STANDIN.read_bytes() + b"waiting")

    def test_an_installer_that_is_no_program_is_flagged_and_never_started(self):
        arch = ARCHS[0]
        self.use_double(arch, "open 800A0E7A 找不到提供者。")
        not_a_program = b"MZ, and then only text\r\n"
        run = self.new_run(arch, FOLDER, installers={"ade.exe": not_a_program, "ade64.exe": not_a_program})
        name = installer_name(arch)
        code, lines = self.run_switch(run, "/repair")
        self.assertTrue(any(line.startswith(f"[installer-not-a-program] 安裝程式 {FOLDER}\\{name} ")
                            for line in lines), lines)
        # It carries no signature: refused before any start, with the reason on the last line.
        self.assertEqual(code, 577, lines)
        self.assertRegex(lines[-1], rf"^不啟動安裝程式 {re.escape(run.tmp)}\\Pruvolt-[0-9A-F-]{{36}}"
                                    rf"\\{name}：")
        self.assertNotIn("%", "\n".join(lines))

    def test_repair_removes_the_folders_its_earlier_runs_left_and_nothing_else(self):
        arch = ARCHS[0]
        self.use_double(arch)
        run = self.new_run(arch, FOLDER)

        def folder():
            return f"{run.tmp}\\Pruvolt-{str(uuid.uuid4()).upper()}"
        # Left by a /repair that was ended from outside, or whose installer outlived the wait.
        leftover = folder()
        self.assertEqual(run.driver.ask(f"folder private {leftover}"), "ok")
        # Of the same name, but open to everyone, or made by another program: not ours.
        others = [folder(), folder()]
        self.assertEqual(run.driver.ask(f"folder open {others[0]}"), "ok")
        run.unix(others[1]).mkdir()
        (run.unix(others[1]) / "ade.exe").write_bytes(b"someone else's")

        # The probe succeeds: nothing is staged, and the leftover goes all the same.
        code, lines = self.run_switch(run, "/repair")
        self.assertEqual((code, lines), (0, SUCCESS_LINES))
        self.assertFalse(run.unix(leftover).exists(), "the leftover folder is still there")
        for other in others:
            self.assertTrue((run.unix(other) / "ade.exe").exists(), f"{other} was touched")

    def test_repair_starts_only_an_installer_signed_by_microsoft_through_a_trusted_root(self):
        # Every other test's installer is the stand-in signed by the test leaf "Microsoft
        # Corporation" under the root each prefix trusts, and runs. These never do.
        reasons = {
            "unsigned": "它沒有有效的數位簽章 (未簽署，或簽署後已被更動)",
            "tampered": "它沒有有效的數位簽章 (未簽署，或簽署後已被更動)",
            # Wine's own check passes these two; the program's look at the chain does not.
            "untrusted-root": "它的數位簽章不是由本機信任的根憑證所發出",
            "partial-chain": "它的數位簽章不是由本機信任的根憑證所發出",
            "other-publisher": "它的數位簽章不是 Microsoft Corporation 的",
        }
        log = "C:\\e2e-log\\standin.log"
        for arch in ARCHS:
            for kind, reason in reasons.items():
                with self.subTest(arch=arch, kind=kind):
                    self.use_double(arch, "open 800A0E7A 找不到提供者。")
                    set_registry(arch, ENVIRONMENT, "PRUVOLT_STANDIN_LOG", log)
                    name = installer_name(arch)
                    run = self.new_run(arch, FOLDER, installers={name: standin(name, kind)})
                    shutil.rmtree(run.unix(log).parent, ignore_errors=True)
                    run.unix(log).parent.mkdir(parents=True)
                    code, lines = self.run_switch(run, "/repair")
                    self.assertEqual(code, 577, lines)
                    self.assertRegex(lines[-1], rf"^不啟動安裝程式 {re.escape(run.tmp)}\\Pruvolt-[0-9A-F-]{{36}}"
                                                rf"\\{name}：{re.escape(reason)}$")
                    self.assertFalse(run.unix(log).exists(), f"the {kind} installer was started")
                    self.assertEqual(list(run.unix(run.tmp).iterdir()), [], "its folder is gone")

    def test_an_elevated_run_refuses_files_others_can_change_before_it_probes(self):
        """Wine runs every process elevated, and reads a file's Unix mode as its DACL: "other"
        write bits are an Everyone entry with modify rights. Each case is undone before the next."""
        log = "C:\\e2e-log\\standin.log"
        for arch in ARCHS:
            name = installer_name(arch)
            cases = [
                (FOLDER, lambda path: os.chmod(path, 0o777), lambda path: os.chmod(path, 0o755)),
                (f"{FOLDER}\\{name}", lambda path: os.chmod(path, 0o666), lambda path: os.chmod(path, 0o644)),
                # A folder that redirects the program's DLLs (Wine does not redirect them, Windows does).
                (PROGRAM + ".local", lambda path: path.mkdir(), lambda path: path.rmdir()),
            ]
            self.use_double(arch)  # a probe that would succeed, were it run
            set_registry(arch, ENVIRONMENT, "PRUVOLT_STANDIN_LOG", log)
            run = self.new_run(arch, FOLDER)
            shutil.rmtree(run.unix(log).parent, ignore_errors=True)
            run.unix(log).parent.mkdir(parents=True)
            calls = run.unix("C:\\e2e-adodouble\\calls.log")
            for path, change, undo in cases:
                change(run.unix(path))
                try:
                    for arguments in ("/check", "/repair", "/diagnose /json"):
                        with self.subTest(arch=arch, path=path, arguments=arguments):
                            calls.unlink(missing_ok=True)
                            code, lines = self.run_switch(run, arguments)
                            self.assertEqual(code, 1625, lines)
                            if arguments == "/diagnose /json":
                                report = json.loads(lines[0])
                                self.assertFalse(report["probe"]["ok"])
                                self.assertEqual(report["findings"][0]["code"], "program-folder-writable")
                                self.assertTrue(report["findings"][0]["text"].startswith(path + " "))
                            else:
                                self.assertEqual(len(lines), 1, lines)
                                self.assertTrue(lines[0].startswith(path + " "), lines)
                                self.assertIn("S-1-1-0" if not path.endswith(".local") else "DLL", lines[0])
                            self.assertFalse(calls.exists(), "the database was opened")
                            self.assertEqual(list(run.unix(run.tmp).iterdir()), [], "something was staged")
                            self.assertFalse(run.unix(log).exists(), "the installer was started")
                finally:
                    undo(run.unix(path))
            # Undone, the same folder is trusted again.
            self.assertEqual(self.run_switch(run, "/check"), (0, SUCCESS_LINES))

    def test_repair_while_the_window_is_open_exits_1618_to_be_retried(self):
        arch = ARCHS[0]
        run = self.new_run(arch, FOLDER)
        run.start()
        self.assertIsNotNone(run.wait("label", 60000, "錯誤代碼"))
        code, lines = self.run_switch(run, "/repair", driver=run.second_driver())
        self.assertEqual((code, lines), (1618, ["另一個 Pruvolt 正在執行 (視窗或 /repair)，本次不修復"]))

    def test_repair_with_the_locks_name_held_by_another_kind_of_object_exits_1618(self):
        # Any account may create an event of that name first: the lock then cannot be made, and
        # the run counts it as held.
        arch = ARCHS[0]
        run = self.new_run(arch, FOLDER)
        holder = run.second_driver()
        self.assertEqual(holder.ask(f"event {LOCK_NAME}"), "ok")
        code, lines = self.run_switch(run, "/repair")
        self.assertEqual((code, lines), (1618, ["另一個 Pruvolt 正在執行 (視窗或 /repair)，本次不修復"]))

    def test_anything_else_writes_the_usage_and_exits_87(self):
        run = self.new_run(ARCHS[0], FOLDER)
        code, lines = self.run_switch(run, "/check /repair")
        self.assertEqual(code, 87)
        self.assertEqual(lines[0], USAGE_FIRST_LINE)

    def test_check_from_cmd_writes_on_its_console(self):
        """cmd in a terminal, as a person at a console runs it: the program borrows cmd's console,
        and the Chinese text arrives whole, whatever the console's code page."""
        arch = ARCHS[0]
        self.new_run(arch, FOLDER)
        text = run_in_terminal(arch, f"start /wait {PROGRAM} /check")
        self.assertEqual(text.splitlines(), ["錯誤代碼 (3709)", "回報內容：", "exit=3709"])


def run_in_terminal(arch, command, timeout=120):
    """Runs `cmd /v:on /c command & echo exit=!errorlevel!` in Wine with a terminal for its console;
    what the terminal showed up to that last line, without control sequences, one line break a line."""
    controller, terminal = pty.openpty()
    process = subprocess.Popen([wine_loader(arch), "cmd", "/v:on", "/c",
                                command + " & echo exit=!errorlevel!"],
                               env=wine_env(arch), stdin=terminal, stdout=terminal,
                               stderr=terminal, start_new_session=True)
    os.close(terminal)
    shown = ""
    deadline = time.time() + scaled(timeout)
    try:
        # Read until cmd's own last line is complete: Wine's services may keep the terminal open.
        data = b""
        while not re.search(r"exit=\d+\r*\n", shown) and time.time() < deadline:
            ready, _, _ = select.select([controller], [], [], max(0.0, deadline - time.time()))
            if not ready:
                break
            try:
                data += os.read(controller, 4096)
            except OSError:  # the terminal is closed: everything on it has ended
                break
            shown = re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", data.decode("utf-8", "replace"))
    finally:
        if process.poll() is None:
            process.kill()
        process.wait()
        os.close(controller)
    return re.sub(r"\r+\n", "\n", shown)


if __name__ == "__main__":
    unittest.main()
