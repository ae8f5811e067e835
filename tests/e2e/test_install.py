"""Staging, the install button, the end timer and the exit button, on the real program under Wine,
with stand-in installers that record how they were started."""
import os
import re
import shutil
import struct
import subprocess
import unittest
import zipfile

from harness import (ADO_DOUBLE_CLSID, ARCHS, BITS, BUILD, CAPTION, SCREEN, STANDIN, ProgramTestCase,
                     delete_registry, delete_registry_key, installer_name, query_registry,
                     register_ado_double, scaled, set_registry, standin)

FILE_SYSTEM_OBJECT = r"HKCR\Scripting.FileSystemObject\CLSID"

ID_INSTALL, ID_EXIT = 100, 102
FAILURE = "錯誤代碼"
INSTALLING = re.compile(r"^驅動程式安裝中，請稍候\.{1,10}$")
LAUNCH_FAILED = ("啟動安裝資料庫驅動程式時發生無法預期錯誤\r\n\r\n"
                 "請您直接選擇 [Orvandel > Pruvolt > 直接安裝資料庫驅動程式] 進行安裝")
VK_RETURN = 13


def foreign_program():
    """A program image for a processor that neither Wine here nor an x86 or x64 Windows runs (ARM64):
    headers only, enough for the loader to read the machine and refuse it."""
    dos = bytearray(64)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 60, 64)
    optional = bytearray(240)  # PE32+
    struct.pack_into("<HxxxxxxxxxxxxxxI", optional, 0, 0x20B, 0x1000)  # magic, entry point
    struct.pack_into("<QII", optional, 24, 0x140000000, 0x1000, 0x200)  # base, alignments
    struct.pack_into("<HH", optional, 48, 6, 0)  # subsystem version
    struct.pack_into("<II", optional, 56, 0x2000, 0x200)  # image size, headers size
    struct.pack_into("<H", optional, 68, 2)  # GUI subsystem
    struct.pack_into("<I", optional, 108, 16)  # data directories
    coff = struct.pack("<HHIIIHH", 0xAA64, 0, 0, 0, 0, len(optional), 0x22)
    image = bytes(dos) + b"PE\0\0" + coff + bytes(optional)
    return image + bytes(0x200 - len(image))


class Staging(ProgramTestCase):
    def check_staged(self, arch, tmp):
        run = self.new_run(arch, "C:\\Pruvolt", tmp=tmp)
        run.start()
        self.assertIsNotNone(run.wait("label", 60000, FAILURE))
        name = installer_name(arch)
        # Staging follows the verdict inside the same handler.
        self.assertTrue(run.wait_copy(f"{tmp}\\{name}", f"C:\\Pruvolt\\{name}"),
                        f"{name} was not staged byte for byte")
        other = "ade.exe" if name == "ade64.exe" else "ade64.exe"
        self.assertFalse(run.unix(f"{tmp}\\{other}").exists())
        return run

    def test_stages_the_installer_that_matches_the_prefix(self):
        for arch in ARCHS:
            with self.subTest(prefix=arch):
                self.check_staged(arch, "C:\\e2e-tmp")

    @unittest.skipUnless(BITS == 32 and 64 in ARCHS, "only the 32-bit program runs under WOW64")
    def test_wow64_stages_the_64_bit_installer(self):
        self.check_staged(64, "C:\\e2e-tmp")

    def test_tmp_with_blanks_and_characters_outside_the_ansi_code_page(self):
        # Chinese is in the prefix's ANSI code page (950), Korean is not.
        tmp = "C:\\暫存 資料夾\\김민준 a b"
        run = self.check_staged(ARCHS[0], tmp)
        run.click(ID_INSTALL)
        staged = f"{tmp}\\{installer_name(ARCHS[0])}"
        log = run.wait_launch_log(staged)
        self.assertIsNotNone(log, "the staged installer was not started")
        # Started by its exact path, quoted: the blanks do not split it.
        self.assertEqual(log["commandline"], f'"{staged}" /passive')

    def test_without_tmp_stages_into_the_system_temp_folder_and_launches_from_there(self):
        arch = ARCHS[0]
        run = self.new_run(arch, "C:\\Pruvolt", tmp=None)
        answer = run.driver.ask("temppath")
        self.assertTrue(answer.startswith("ok "), answer)
        folder = answer[3:].rstrip("\\")
        name = installer_name(arch)
        staged = f"{folder}\\{name}"
        for old in (run.unix(staged), run.unix(staged + ".log")):
            old.unlink(missing_ok=True)
        run.start()
        self.assertIsNotNone(run.wait("label", 60000, FAILURE))
        self.assertTrue(run.wait_copy(staged, f"C:\\Pruvolt\\{name}"), f"{name} was not staged in {folder}")
        run.click(ID_INSTALL)
        self.assertIsNotNone(run.wait_launch_log(staged), "the staged installer was not started")

    def test_a_full_disk_is_reported_as_such_and_leaves_no_half_copy(self):
        # TMP on a volume too small for the installer: the copy stops part-way.
        arch = ARCHS[0]
        name = installer_name(arch)
        tmp = "C:\\e2e-full"
        run = self.new_run(arch, "C:\\Pruvolt", tmp=tmp,
                           installers={name: STANDIN.read_bytes() + bytes(1024 * 1024)})
        volume = run.unix(tmp)
        if os.geteuid() != 0:
            self.skipTest("mounting a small tmpfs needs root here")
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=300k", "tmpfs", str(volume)],
                                 capture_output=True, text=True)
        if mounted.returncode != 0:
            self.skipTest(f"no small tmpfs on this machine: {mounted.stderr.strip()}")
        self.addCleanup(subprocess.run, ["umount", "-l", str(volume)], check=False)
        run.start()
        # ERROR_DISK_FULL as an HRESULT; the description is the system's text for it.
        self.assertIsNotNone(run.wait("label", 60000, "錯誤代碼 (-2147024784)\r\n回報內容："),
                             f"not reported as a full disk: {run.label()!r}")
        self.assertEqual(list(volume.iterdir()), [], "the half copy was left behind")
        # The install button then says what failed: the copy, and why.
        run.click(ID_INSTALL)
        self.assertIsNotNone(run.wait("msgbox", 20000), "no message box")
        self.assertTrue(run.msgbox()["prompt"].startswith(
            f"無法將安裝程式 C:\\Pruvolt\\{name} 複製到 {tmp}\\{name}\r\n錯誤代碼 (-2147024784)\r\n"),
            run.msgbox())
        self.assertEqual(run.driver.ask("dismiss"), "ok")
        ended = run.wait("exit", 10000)
        self.assertIsNotNone(ended, "the program did not end after the message")
        self.assertEqual(ended[1], 1)

    def test_without_the_file_system_object_the_installer_is_staged_and_started(self):
        # As on a PC hardened by unregistering the scripting runtime: its ProgID names no class.
        arch = ARCHS[0]
        clsid = query_registry(arch, FILE_SYSTEM_OBJECT)
        self.assertIsNotNone(clsid, "the prefix has no Scripting.FileSystemObject to take away")
        delete_registry_key(arch, FILE_SYSTEM_OBJECT)
        self.addCleanup(set_registry, arch, FILE_SYSTEM_OBJECT, None, clsid)
        run = self.check_staged(arch, "C:\\e2e-tmp")
        self.assertTrue(run.label().startswith(FAILURE + " (3709)"), run.label())
        run.click(ID_INSTALL)
        staged = f"C:\\e2e-tmp\\{installer_name(arch)}"
        self.assertIsNotNone(run.wait_launch_log(staged), f"not started; a box: {run.msgbox()}")
        # And the diagnosis names what is missing.
        _, _, output = run.run_to_end("/diagnose", run.second_driver())
        self.assertIn("[filesystemobject-missing] ", output)


class InstallButton(ProgramTestCase):
    def test_install_launches_moves_out_of_sight_and_ends_after_the_end_timer(self):
        arch = ARCHS[0]
        tmp = "C:\\e2e-tmp"
        run = self.new_run(arch, "C:\\Pruvolt", tmp=tmp)
        run.start()
        self.assertIsNotNone(run.wait("label", 60000, FAILURE))
        staged = f"{tmp}\\{installer_name(arch)}"
        self.assertTrue(run.wait_copy(staged, f"C:\\Pruvolt\\{installer_name(arch)}"))

        # A double click: the second click is queued behind the first, and reaches the program
        # while the first one's handler processes events.
        run.click(ID_INSTALL)
        run.click(ID_INSTALL)
        self.assertIsNotNone(run.wait("label", 10000, "驅動程式安裝中，請稍候"))
        # The end timer starts right after the window has moved out of sight.
        offscreen = run.wait("offscreen", 20000)
        self.assertIsNotNone(offscreen, "the window was not moved out of sight")
        log = run.wait_launch_log(staged)
        self.assertIsNotNone(log, "the installer was not started")
        self.assertEqual(log["commandline"], f'"{staged}" /passive')

        state = run.describe()
        self.assertTrue(state["visible"], "moved, not hidden")
        self.assertEqual(state["window"][:2], [round(-20000 / 15), 0])
        self.assertRegex(run.label(), INSTALLING)
        buttons = [c for c in state["controls"] if c["class"] == "Button"]
        self.assertTrue(all(not b["visible"] for b in buttons), "both buttons hidden")
        frame = [c for c in state["controls"] if c["class"] == "PruvoltPicture" and c["depth"] == 1][1]
        self.assertTrue(frame["visible"], "the progress strip is shown")

        # Brought back into sight for a picture of the running strip.
        self.assertEqual(run.driver.ask("moveto 100 100"), "ok")
        # Each tick processes pending events after it moves the highlight: two moves seen, and
        # the strip has been painted where it now stands.
        self.assertIsNotNone(run.wait("ticks", 10000, 2), "the animation does not run")
        width, height, pixel = run.screenshot("window-installing")
        state = run.describe()
        ox, oy = state["client"][0] - state["window"][0], state["client"][1] - state["window"][1]
        strip = [pixel(ox + x, oy + 185) for x in range(0, 270, 10)]
        self.assertTrue(all(p[2] > 150 and p[0] < 120 for p in strip), f"a blue bar across the window: {strip}")

        ended = run.wait("exit", 40000)
        self.assertIsNotNone(ended, "the program did not end after the installer started")
        self.assertEqual(ended[1], 0)
        # The end timer's 10 s, from the move out of sight (just before the timer starts) to the
        # end, both on the driver's clock. Tolerance: the driver sees the move up to one poll of
        # its own late (-0.5 s: the program checks the copy's signature meanwhile, and on a loaded
        # or emulated machine the driver's polls come later, scaled), and such a machine delivers
        # the tick late (+5 s, scaled).
        end_after = (ended[0] - offscreen) / 1000.0
        print(f"\n  out of sight to end {end_after * 1000:.0f} ms")
        self.assertGreaterEqual(end_after, 10 - scaled(0.5))
        self.assertLessEqual(end_after, 10 + scaled(5))
        self.assertEqual(run.read_launch_log(staged)["starts"], 1, "one installer, for two clicks")

    def test_missing_installer_is_reported_and_a_stale_copy_is_never_started(self):
        # A copy left in TMP by an earlier run, or put there by anybody: nothing was copied in
        # this run, so nothing is started.
        name = installer_name(ARCHS[0])
        run = self.new_run(ARCHS[0], "C:\\Pruvolt", tmp="C:\\e2e-tmp", installers=())
        stale = f"C:\\e2e-tmp\\{name}"
        run.unix(stale).write_bytes(STANDIN.read_bytes() + b"stale")
        run.start()
        self.assertIsNotNone(run.wait("label", 60000, FAILURE))
        label_before = run.label()
        run.click(ID_INSTALL)
        self.assertIsNotNone(run.wait("msgbox", 20000), "no message box")
        box = run.msgbox()
        self.assertEqual(box["title"], CAPTION)
        # The file that is missing, where the user can put it.
        self.assertEqual(box["prompt"], f"找不到預設的C:\\Pruvolt\\{name}安裝程式")
        state = run.describe()
        window = state["window"]
        # Back in the centre, the strip hidden, both buttons still hidden.
        self.assertAlmostEqual(window[0], (SCREEN[0] - window[2]) / 2, delta=1)
        self.assertAlmostEqual(window[1], (SCREEN[1] - window[3]) / 2, delta=1)
        self.assertTrue(all(not c["visible"] for c in state["controls"] if c["class"] == "Button"))
        frame = [c for c in state["controls"] if c["class"] == "PruvoltPicture" and c["depth"] == 1][1]
        self.assertFalse(frame["visible"])
        label = run.label()
        self.assertTrue(label == label_before or INSTALLING.match(label), label)

        self.assertEqual(run.driver.ask("dismiss"), "ok")
        ended = run.wait("exit", 10000)
        self.assertIsNotNone(ended, "the program did not end after the message")
        self.assertEqual(ended[1], 2, "a failure, as ERROR_FILE_NOT_FOUND")
        self.assertIsNone(run.read_launch_log(stale), "the stale copy was started")

    def test_a_copy_swapped_after_the_staging_is_never_started(self):
        # Replaced by a rename over it from outside Windows' sharing rules (here: Linux, under
        # Wine), between the copy at load and the click.
        arch = ARCHS[0]
        name = installer_name(arch)
        run = self.new_run(arch, "C:\\Pruvolt", tmp="C:\\e2e-tmp")
        run.start()
        self.assertIsNotNone(run.wait("label", 60000, FAILURE))
        staged = f"C:\\e2e-tmp\\{name}"
        self.assertTrue(run.wait_copy(staged, f"C:\\Pruvolt\\{name}"))
        # Written, closed and held from then on: no Windows program may write it.
        self.assertIsNotNone(run.wait("held", 10000, staged), "the staged copy is not held")
        swapped = run.unix("C:\\e2e-tmp\\swapped.exe")
        swapped.write_bytes(STANDIN.read_bytes() + b"swapped")
        os.replace(swapped, run.unix(staged))
        run.click(ID_INSTALL)
        self.assertIsNotNone(run.wait("msgbox", 20000), "the changed copy was not reported")
        self.assertEqual(run.msgbox()["prompt"], LAUNCH_FAILED)
        self.assertEqual(run.driver.ask("dismiss"), "ok")
        ended = run.wait("exit", 10000)
        self.assertIsNotNone(ended, "the program did not end after the message")
        self.assertEqual(ended[1], 1)
        self.assertIsNone(run.read_launch_log(staged), "the swapped file was started")

    def test_an_installer_not_signed_by_microsoft_through_a_trusted_root_is_never_started(self):
        # Every other test's installer is the stand-in signed by the test leaf "Microsoft
        # Corporation" under the root each prefix trusts; Wine's own check passes this one too.
        arch = ARCHS[0]
        name = installer_name(arch)
        run = self.new_run(arch, "C:\\Pruvolt", tmp="C:\\e2e-tmp",
                           installers={name: standin(name, "untrusted-root")})
        run.start()
        self.assertIsNotNone(run.wait("label", 60000, FAILURE))
        staged = f"C:\\e2e-tmp\\{name}"
        self.assertTrue(run.wait_copy(staged, f"C:\\Pruvolt\\{name}"))
        run.click(ID_INSTALL)
        self.assertIsNotNone(run.wait("msgbox", 20000), "the refused installer was not reported")
        self.assertEqual(run.msgbox()["prompt"], LAUNCH_FAILED)
        self.assertEqual(run.driver.ask("dismiss"), "ok")
        ended = run.wait("exit", 10000)
        self.assertIsNotNone(ended, "the program did not end after the message")
        self.assertEqual(ended[1], 1)
        self.assertIsNone(run.read_launch_log(staged), "the installer was started")

    def test_launch_failure_is_reported_and_enter_dismisses_it_while_the_animation_runs(self):
        # Neither attempt can start a program built for another processor: the command line
        # fails, and so does the shell, which says so in its result.
        tmp = "C:\\e2e-tmp"
        run = self.new_run(ARCHS[0], "C:\\Pruvolt", tmp=tmp,
                           installers={"ade.exe": foreign_program(), "ade64.exe": foreign_program()})
        run.start()
        self.assertIsNotNone(run.wait("label", 60000, FAILURE))
        name = installer_name(ARCHS[0])
        self.assertTrue(run.wait_copy(f"{tmp}\\{name}", f"C:\\Pruvolt\\{name}"))
        run.click(ID_INSTALL)
        # The end timer starts right after the window has moved out of sight.
        offscreen = run.wait("offscreen", 20000)
        self.assertIsNotNone(offscreen, "the window was not moved out of sight")
        box_shown = run.wait("msgbox", 20000)
        self.assertIsNotNone(box_shown, "the failed launch was not reported")
        box = run.msgbox()
        self.assertEqual((box["title"], box["prompt"]), (CAPTION, LAUNCH_FAILED))
        # The end timer's 10 s from the move out of sight, and 2 s more, pass with the box open: it
        # stays until it is dismissed (the time is the program's own, not the machine's).
        self.assertIsNone(run.wait("exit", max(0, 12000 - (box_shown - offscreen)), scale=False),
                          "the end timer ended the program under the open box")
        self.assertIsNotNone(run.msgbox(), "the box went by itself")
        # The animation runs on under the box, and its ticks process events. Enter arrives right
        # behind a tick, whose processing takes it from the queue: it still belongs to the box.
        label = run.label()
        self.assertIsNotNone(run.wait("labelchange", 5000, label), "no tick under the box")
        self.assertEqual(run.driver.ask(f"tickkey {VK_RETURN}"), "ok")
        ended = run.wait("exit", 20000)
        self.assertIsNotNone(ended, "Enter did not dismiss the box")
        self.assertEqual(ended[1], 1, "a launch that could not be made is a failure")

    def test_exit_ends_at_once_and_leaves_the_staged_installer(self):
        run = self.new_run(ARCHS[0], "C:\\Pruvolt", tmp="C:\\e2e-tmp")
        run.start()
        self.assertIsNotNone(run.wait("label", 60000, FAILURE))
        name = installer_name(ARCHS[0])
        self.assertTrue(run.wait_copy(f"C:\\e2e-tmp\\{name}", f"C:\\Pruvolt\\{name}"))
        staged = run.unix(f"C:\\e2e-tmp\\{name}")
        run.click(ID_EXIT)
        self.assertIsNotNone(run.wait("exit", 5000))
        self.assertTrue(staged.exists(), "the staged installer is left in TMP")
        self.assertFalse(run.unix(f"C:\\e2e-tmp\\{name}.log").exists(), "nothing was started")


class UnexpectedError(ProgramTestCase):
    """An error outside every trap: the file-system object answers no FileExists. Its ProgID names
    the ADO test double's class for the test (put back after it), whose dispatch knows no names;
    the double fails the probe, so that the installation is offered."""

    PROGID = r"HKCR\Scripting.FileSystemObject"
    E_NOTIMPL = -2147467263  # the double's answer to GetIDsOfNames

    def test_is_reported_and_ends_the_program_with_a_failure_code(self):
        for arch in ARCHS:
            with self.subTest(prefix=arch):
                register_ado_double(self, arch)
                set_registry(arch, r"HKCU\Environment", "PRUVOLT_ADO_DOUBLE_FAIL", "open 800A0E7A 找不到提供者。")
                self.addCleanup(delete_registry, arch, r"HKCU\Environment", "PRUVOLT_ADO_DOUBLE_FAIL")
                clsid = query_registry(arch, self.PROGID + r"\CLSID")
                self.assertIsNotNone(clsid, "the prefix has no Scripting.FileSystemObject")
                set_registry(arch, self.PROGID + r"\CLSID", None, ADO_DOUBLE_CLSID)
                try:
                    self.check_report(arch)
                finally:
                    set_registry(arch, self.PROGID + r"\CLSID", None, clsid)

    def check_report(self, arch):
        run = self.new_run(arch, "C:\\Pruvolt", tmp="C:\\e2e-tmp")
        run.start()
        # At start the staging's trap answers it: its report replaces the probe's.
        report = f"錯誤代碼 ({self.E_NOTIMPL})\r\n回報內容："
        self.assertIsNotNone(run.wait("label", 60000, report), run.label())
        # The install click runs the same test outside any trap.
        run.click(ID_INSTALL)
        self.assertIsNotNone(run.wait("msgbox", 20000), "no report")
        box = run.msgbox()
        self.assertEqual(box["title"], CAPTION)
        self.assertTrue(box["prompt"].startswith(f"執行階段錯誤 ({self.E_NOTIMPL})\r\n\r\n"),
                        box["prompt"])
        # Nothing runs under the report: the animation that the click started never ticks.
        self.assertIsNone(run.wait("labelchange", 500, run.label()), "a tick ran under the report")
        self.assertEqual(run.driver.ask("dismiss"), "ok")
        ended = run.wait("exit", 10000)
        self.assertIsNotNone(ended, "the program did not end after the report")
        self.assertNotEqual(ended[1], 0)


class ReleasePackage(ProgramTestCase):
    def test_the_package_unpacks_to_a_folder_the_program_runs_from(self):
        packages = sorted(BUILD.glob("Pruvolt-*.zip"))
        self.assertTrue(packages, "no package: build the 'package' target first")
        arch = ARCHS[0]
        run = self.new_run(arch, "C:\\Unpacked", installers=())
        root = run.unix("C:\\Unpacked")
        shutil.rmtree(root)
        root.mkdir()
        with zipfile.ZipFile(packages[-1]) as package:
            names = package.namelist()
            folder = names[0].split("/")[0]
            self.assertEqual(sorted(n.split("/", 1)[1] for n in names),
                             ["PACKAGING.txt", "pruvolt.exe", "testdb.mdb"])
            package.extractall(root)
        run.folder = f"C:\\Unpacked\\{folder}"
        run.start()
        self.assertIsNotNone(run.wait("shown", 30000))
        self.assertIsNotNone(run.wait("label", 60000, FAILURE))


if __name__ == "__main__":
    unittest.main()
