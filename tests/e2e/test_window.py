"""The window and the probe, on the real program under Wine: layout, the probe's verdict with
Wine's own ADO, the exit button, a second copy, and a screenshot."""
import importlib.util
import os
import unittest
from pathlib import Path

from harness import ARCHS, CAPTION, SCREEN, ProgramTestCase, change_prefix

ID_INSTALL, ID_EXIT = 100, 102
PROBING_TEXT = "\r\n正在測試連線資料中...\r\n請稍候..."
WM_APP = 0x8000
WM_DPICHANGED = 0x02E0
ROOT = Path(__file__).resolve().parents[2]
LOGO = ROOT / "assets" / "logo.jpg"
# JPEG decoders round the inverse transform and the colour conversion each their own way: the
# program's and libjpeg differ by at most 2 levels on the logo, the system's and libjpeg by none.
LOGO_TOLERANCE = 3


def decode_with_libjpeg(path):
    """The JPEG as libjpeg decodes it (through ImageMagick, as the assets' own check decodes it):
    (width, height, pixel), where pixel(x, y) is an (r, g, b) triple."""
    found = importlib.util.spec_from_file_location("make_assets", ROOT / "tools" / "make-assets.py")
    make_assets = importlib.util.module_from_spec(found)
    found.loader.exec_module(make_assets)
    width, height, rgb = make_assets.decode_jpeg(str(path))
    return width, height, lambda x, y: tuple(rgb[(y * width + x) * 3:(y * width + x) * 3 + 3])


class WindowAndProbe(ProgramTestCase):
    def test_elevated_with_a_folder_others_can_change_shows_why_and_offers_only_exit(self):
        # Wine runs every process elevated; mode 777 reads as an Everyone entry with modify rights.
        run = self.new_run(ARCHS[0], "C:\\Pruvolt")
        os.chmod(run.unix("C:\\Pruvolt"), 0o777)
        run.start()
        self.assertIsNotNone(run.wait("shown", 30000), "the window never appeared")
        self.assertIsNotNone(run.wait("label", 30000, "C:\\Pruvolt 可由其他帳戶 (S-1-1-0) 更改"), run.label())
        state = run.describe()
        buttons = {c["id"]: c["visible"] for c in state["controls"] if c["class"] == "Button"}
        self.assertEqual(buttons, {ID_INSTALL: False, ID_EXIT: True})
        run.screenshot("window-folder-refused")
        self.assertFalse(run.unix(run.tmp).exists() and any(run.unix(run.tmp).iterdir()), "something was staged")
        run.click(ID_EXIT)
        self.assertIsNotNone(run.wait("exit", 5000))

    def test_window_probe_and_layout(self):
        run = self.new_run(ARCHS[0], "C:\\Pruvolt")
        run.start()
        self.assertIsNotNone(run.wait("shown", 30000), "the window never appeared")
        self.assertIsNotNone(run.wait("label", 60000, "錯誤代碼"), "no verdict in the label")
        state = run.describe()

        self.assertEqual(state["caption"], CAPTION)
        client = state["client"]
        self.assertEqual(client[2:], [270, 246])
        # Centred: (screen - window) / 2, rounded to the pixel.
        window = state["window"]
        self.assertAlmostEqual(window[0], (SCREEN[0] - window[2]) / 2, delta=1)
        self.assertAlmostEqual(window[1], (SCREEN[1] - window[3]) / 2, delta=1)

        # Wine's ADO refuses a connection string given straight to Recordset.Open; its error has
        # no description, and the system has no message text for the number.
        label = run.label()
        self.assertRegex(label, r"^錯誤代碼 \(-?\d+\)\r\n回報內容：")
        self.assertEqual(label, "錯誤代碼 (3709)\r\n回報內容：")

        install = run.control(state, "Button", ID_INSTALL)
        exit_ = run.control(state, "Button", ID_EXIT)
        self.assertEqual((install["text"], install["visible"], install["rect"]),
                         ("安裝資料庫驅動程式", True, [14, 172, 241, 27]))
        self.assertEqual((exit_["text"], exit_["visible"], exit_["rect"]),
                         ("結束程式", True, [14, 206, 241, 27]))
        strip = [c for c in state["controls"] if c["class"] == "PruvoltPicture" and c["depth"] == 1]
        logo, frame = strip[0], strip[1]
        self.assertEqual((logo["rect"], logo["visible"]), ([88, 16, 92, 91], True))
        self.assertEqual((frame["rect"], frame["visible"]), ([-10, 178, 350, 15], False))
        self.assertEqual(state["focus"], ID_INSTALL, "the focus starts on the install button")

        width, height, pixel = run.screenshot("window-failure")
        # Client-area pixels: the window's frame lies around them.
        ox, oy = client[0] - window[0], client[1] - window[1]
        at = lambda x, y: pixel(ox + x, oy + y)  # noqa: E731
        self.assertEqual(at(4, 4), (255, 255, 255), "white background")
        self.assertEqual(at(262, 100), (255, 255, 255), "white background right of the label")
        # The logo, unscaled at its place: every pixel above the label's box as libjpeg decodes
        # the picture, within the decoders' rounding.
        logo_width, logo_height, expected = decode_with_libjpeg(LOGO)
        self.assertEqual((logo_width, logo_height), (92, 91))
        off = []
        for y in range(104 - 16):
            for x in range(logo_width):
                seen = at(88 + x, 16 + y)
                if max(abs(a - b) for a, b in zip(seen, expected(x, y))) > LOGO_TOLERANCE:
                    off.append((x, y, seen, expected(x, y)))
        self.assertEqual(off[:5], [], f"{len(off)} of the logo's pixels differ from libjpeg's")
        # The logo's last three rows lie in the label's box, under the top of the first line of the
        # failure text ("錯誤代碼 (3709)"): there the label is drawn, text and all.
        ink = [x for x in range(88, 88 + logo_width) for y in range(104, 107) if max(at(x, y)) < 128]
        self.assertTrue(ink, "the label's first line is covered by the logo")
        for top in (172, 206):
            # The button's left border, across its slot.
            border = [at(x, top + 13) for x in range(13, 18)]
            self.assertTrue(any(max(p) < 200 for p in border), f"a button's border at y {top}")
        self.assertEqual(at(16, 202), (255, 255, 255), "white between the two slots")

    def test_screen_readers_hear_each_new_text_of_the_label_once(self):
        run = self.new_run(ARCHS[0], "C:\\Pruvolt")
        # An out-of-context WinEvent hook, as a screen reader sets one, before the program starts.
        self.assertEqual(run.driver.ask("listen"), "ok")
        run.start()
        self.assertIsNotNone(run.wait("announced", 60000, 2), "the verdict was not announced")
        verdict = run.label()
        self.assertTrue(verdict.startswith("錯誤代碼 ("), verdict)
        # Each as its accessible object was named when the listener asked for it: the probing
        # text's name may already be the verdict when the probe was quicker than the question.
        names = [name for _, name, _ in run.announcements()]
        self.assertEqual(len(names), 2, names)
        self.assertIn(names[0], (PROBING_TEXT, verdict))
        self.assertEqual(names[1], verdict)
        self.assertEqual(run.accessible()["name"], verdict, "the label's accessible name")

        # Ten seconds of animation, the label rewritten at every tick of 30 ms: its status is
        # announced once, when it first appears.
        run.click(ID_INSTALL)
        self.assertIsNotNone(run.wait("announced", 20000, 3), "the installation's status was not announced")
        self.assertIsNotNone(run.wait("exit", 30000), "the program did not end after the launch")
        names = [name for _, name, _ in run.announcements()]
        self.assertEqual(len(names), 3, names)
        self.assertTrue(names[2].startswith("驅動程式安裝中，請稍候."), names[2])

    def test_at_144_dpi_the_design_is_laid_out_for_the_density(self):
        # 150 %: every place and size is twips x 144 / 1440, rounded to the pixel.
        change_prefix(self, ARCHS[0], [(r"HKCU\Control Panel\Desktop", "LogPixels", "144", "REG_DWORD")])
        run = self.new_run(ARCHS[0], "C:\\Pruvolt")
        run.start()
        self.assertIsNotNone(run.wait("label", 60000, "錯誤代碼"), "no verdict in the label")
        state = run.describe()
        client, window = state["client"], state["window"]
        self.assertEqual(client[2:], [405, 369])
        self.assertAlmostEqual(window[0], (SCREEN[0] - window[2]) / 2, delta=1)
        self.assertEqual(run.control(state, "Button", ID_INSTALL)["rect"], [21, 258, 362, 41])
        self.assertEqual(run.control(state, "Button", ID_EXIT)["rect"], [21, 309, 362, 41])
        self.assertEqual(run.control(state, "PruvoltLabel")["rect"], [9, 156, 383, 92])
        pictures = [c for c in state["controls"] if c["class"] == "PruvoltPicture"]
        self.assertEqual([c["rect"] for c in pictures],
                         [[132, 24, 138, 137], [-15, 267, 525, 23], [1, 2, 522, 20], [3, 0, 122, 20]])

        _, _, pixel = run.screenshot("window-144dpi")
        at = lambda x, y: pixel(client[0] - window[0] + x, client[1] - window[1] + y)  # noqa: E731
        # The logo drawn at 1.5 times its size: the cylinder's widest row spans 1.5 times the
        # picture's own span, within a pixel of smoothing on either side.
        logo_width, logo_height, expected = decode_with_libjpeg(LOGO)

        def span(row):
            inked = [x for x, p in enumerate(row) if min(p) < 200]
            return inked[-1] - inked[0] + 1 if inked else 0
        picture = max(span([expected(x, y) for x in range(logo_width)]) for y in range(logo_height))
        drawn = max(span([at(132 + x, 24 + y) for x in range(138)]) for y in range(137 - 5))
        self.assertAlmostEqual(drawn, picture * 1.5, delta=2)

        # The logic's twips, converted at this density only by the platform: out of sight at
        # -20000 twips is -2000 pixels, and the highlight steps 200 twips, 20 pixels, a tick.
        run.click(ID_INSTALL)
        self.assertIsNotNone(run.wait("offscreen", 20000), "the window was not moved out of sight")
        self.assertEqual(run.describe()["window"][0], -2000)
        self.assertEqual(run.driver.ask("moveto 100 100"), "ok")
        self.assertIsNotNone(run.wait("ticks", 10000, 2), "the animation does not run")
        _, _, pixel = run.screenshot("window-144dpi-installing")
        state = run.describe()
        client, window = state["client"], state["window"]
        strip = [pixel(client[0] - window[0] + x, client[1] - window[1] + 278) for x in range(0, 405, 15)]
        self.assertTrue(all(p[2] > 150 and p[0] < 120 for p in strip), f"a blue bar across the window: {strip}")
        # From its first place, 30 twips, and from the wrap to minus its width, 1215 twips, both
        # rounded away from zero: 3, -122 or 19 pixels, and 20 more at each step.
        flash = [c for c in state["controls"] if c["class"] == "PruvoltPicture" and c["depth"] == 3][0]
        self.assertIn(flash["rect"][0] % 20, (3, 18, 19), flash["rect"])

    def test_high_contrast_scheme_light_text_on_the_dark_window(self):
        # A high-contrast scheme as Windows sets one: the window-background colour black, the
        # window text white, the buttons alike; no visual style over it.
        colours = r"HKCU\Control Panel\Colors"
        change_prefix(self, ARCHS[0], [
            (colours, "Window", "0 0 0", "REG_SZ"), (colours, "WindowText", "255 255 255", "REG_SZ"),
            (colours, "ButtonFace", "0 0 0", "REG_SZ"), (colours, "ButtonText", "255 255 255", "REG_SZ"),
            (r"HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager", "ThemeActive", "0",
             "REG_SZ")])
        run = self.new_run(ARCHS[0], "C:\\Pruvolt")
        run.start()
        self.assertIsNotNone(run.wait("label", 60000, "錯誤代碼"), "no verdict in the label")
        state = run.describe()
        client, window = state["client"], state["window"]
        _, _, pixel = run.screenshot("window-high-contrast")
        at = lambda x, y: pixel(client[0] - window[0] + x, client[1] - window[1] + y)  # noqa: E731
        for x, y in ((4, 4), (262, 100), (16, 202)):
            self.assertEqual(at(x, y), (0, 0, 0), f"the window's background at {x},{y}")
        # The label's box: its own background is the window's, its text light on it.
        box = [at(x, y) for y in range(104, 104 + 61) for x in range(6, 6 + 255)]
        light = [p for p in box if min(p) > 200]
        dark = [p for p in box if max(p) < 40]
        self.assertGreater(len(light), 100, "no light text in the label")
        self.assertGreater(len(dark), len(box) * 3 // 4, "the label's box is not dark")

    def test_exit_button_ends_at_once_and_no_posted_message_can_crash_the_program(self):
        run = self.new_run(ARCHS[0], "C:\\Pruvolt")
        run.start()
        self.assertIsNotNone(run.wait("label", 60000, "錯誤代碼"))
        # Any program of the session may post any message with any number in it: WM_APP + 1, and
        # WM_DPICHANGED, whose lParam Windows makes a pointer, with an lParam that points nowhere,
        # are handled in turn before the click and change nothing.
        for message in (WM_APP + 1, WM_APP + 2, WM_DPICHANGED):
            run.post(message, 0, 16)
        run.click(ID_EXIT)
        ended = run.wait("exit", 5000)
        self.assertIsNotNone(ended, "the exit button did not end the program")
        self.assertEqual(ended[1], 0)

    def test_close_box_ends_the_program(self):
        run = self.new_run(ARCHS[0], "C:\\Pruvolt")
        run.start()
        self.assertIsNotNone(run.wait("label", 60000, "錯誤代碼"))
        self.assertEqual(run.driver.ask("close"), "ok")
        ended = run.wait("exit", 5000)
        self.assertIsNotNone(ended, "closing the window did not end the program")
        self.assertEqual(ended[1], 0)

    def test_second_copy_ends_without_a_window(self):
        run = self.new_run(ARCHS[0], "C:\\Pruvolt")
        run.start()
        self.assertIsNotNone(run.wait("shown", 30000))
        second = run.second_driver()
        run.start(second)
        ended = run.wait("exit", 10000, driver=second)
        self.assertIsNotNone(ended, "the second copy kept running")
        self.assertFalse(ended[2], "the second copy showed a window")
        # The first copy is untouched.
        self.assertTrue(run.describe()["visible"])

    def test_keyboard_escape_does_nothing_and_space_clicks_the_focused_button(self):
        run = self.new_run(ARCHS[0], "C:\\Pruvolt")
        run.start()
        self.assertIsNotNone(run.wait("label", 60000, "錯誤代碼"))
        self.assertEqual(run.driver.ask("key 27"), "ok")  # Escape
        self.assertEqual(run.driver.ask("key 9"), "ok")  # Tab: on to the exit button
        # The keys are handled in order: the focus moving on shows that Escape was handled, and
        # that the program was still there to handle the Tab after it.
        self.assertIsNotNone(run.wait("focus", 10000, ID_EXIT), "Tab did not move the focus")
        self.assertIsNone(run.wait("exit", 0), "Escape ended the program")
        self.assertEqual(run.driver.ask("key 32"), "ok")  # Space
        self.assertIsNotNone(run.wait("exit", 5000), "Space on the exit button did not end it")


if __name__ == "__main__":
    unittest.main()
