"""The emulated machine's route (tools/vm32.py) from outside, on any machine: the run command's
route there starts the 32-bit program, which shows Wine's ADO failure, and leaves a screenshot.
Where the kernel runs no 32-bit processes, the whole suite takes this route too."""
import os
import subprocess
import sys
import unittest

from harness import BITS, BUILD



@unittest.skipUnless(BITS == 32, "the route runs the 32-bit program")
class EmulatedMachineRoute(unittest.TestCase):
    def test_the_program_runs_and_reports_its_label(self):
        tools = os.path.join(os.path.dirname(__file__), "..", "..", "tools")
        screenshot = BUILD / "run" / "screenshot.png"
        screenshot.unlink(missing_ok=True)
        result = subprocess.run([sys.executable, os.path.join(tools, "run.py"), "--vm", str(BUILD)],
                                stdin=subprocess.DEVNULL, capture_output=True, text=True)
        print(result.stdout[-4000:], result.stderr[-2000:], sep="\n")
        self.assertEqual(result.returncode, 0, "the run in the emulated machine failed")
        lines = result.stdout.splitlines()
        label = lines[lines.index("Label:") + 1:lines.index("Label:") + 3]
        # Wine's ADO refuses the connection string; the label says so in the program's words.
        self.assertEqual(label, ["  錯誤代碼 (3709)", "  回報內容："])
        self.assertIn(f"Screenshot: {screenshot}", lines)
        self.assertTrue(screenshot.exists())
        # The window as the program drew it: 270 x 246 of client area inside Wine's frame.
        size = subprocess.run(["identify", "-format", "%w %h", str(screenshot)], capture_output=True,
                              text=True, check=True).stdout.split()
        width, height = map(int, size)
        self.assertGreater(width, 270)
        self.assertGreater(height, 246)


if __name__ == "__main__":
    unittest.main()
