"""Checks the built pruvolt.exe as Windows will see it: what it imports, what its manifest declares,
what its version resource says and which icon images it carries."""
import re
import sys
import unittest
from pathlib import Path

import pefile

PROGRAM = Path(sys.argv.pop(1))
# Windows' own DLLs. Each the program imports (kernel32, user32, gdi32, ole32, oleaut32, msvcrt,
# and advapi32 for the registry that /diagnose reads) is also a KnownDLL, which Windows never loads
# from the program's own folder.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll",
               "advapi32.dll", "comctl32.dll", "shell32.dll", "uxtheme.dll"}
# Words from which Windows guesses that a program without a requested execution level is an
# installer, and asks for elevation.
INSTALLER_WORDS = re.compile(r"install|setup|update|patch", re.IGNORECASE)
# What the program may weigh: 185 KB now, optimised as one whole at the link (206 KB without).
# libstdc++'s own error raising, with the second string implementation that it brings along, would
# add 90 KB.
SIZE_LIMIT = 200 * 1024


class ProgramFile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(str(PROGRAM))

    def resources(self, type_id):
        for entry in self.pe.DIRECTORY_ENTRY_RESOURCE.entries:
            if entry.id == type_id:
                for name in entry.directory.entries:
                    for language in name.directory.entries:
                        data = language.data.struct
                        yield name.id, self.pe.get_data(data.OffsetToData, data.Size)

    def test_imports_only_windows_system_dlls(self):
        imported = {entry.dll.decode().lower() for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertTrue(imported <= SYSTEM_DLLS, f"not a system DLL: {imported - SYSTEM_DLLS}")

    def test_size(self):
        self.assertLessEqual(PROGRAM.stat().st_size, SIZE_LIMIT)

    def test_manifest(self):
        manifests = dict(self.resources(pefile.RESOURCE_TYPE["RT_MANIFEST"]))
        self.assertEqual(list(manifests), [1])
        manifest = manifests[1].decode("utf-8")
        # File virtualization, which lets Jet write its lock file, goes with no requested level.
        self.assertNotIn("requestedExecutionLevel", manifest)
        self.assertIn('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', manifest)
        self.assertRegex(manifest, r"<dpiAware [^>]*>true</dpiAware>")
        self.assertRegex(manifest, r"<dpiAwareness [^>]*>PerMonitorV2, PerMonitor</dpiAwareness>")

    def test_no_word_of_an_installer_in_the_name_or_the_version_resource(self):
        self.assertIsNone(INSTALLER_WORDS.search(PROGRAM.name))
        strings = {}
        for info in self.pe.FileInfo[0]:
            for table in getattr(info, "StringTable", []):
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
        self.assertEqual(strings.get("OriginalFilename"), "pruvolt.exe")
        for key, value in strings.items():
            self.assertIsNone(INSTALLER_WORDS.search(value), f"{key}: {value}")

    def test_icon_set(self):
        groups = dict(self.resources(pefile.RESOURCE_TYPE["RT_GROUP_ICON"]))
        # The lowest id is the program file's icon.
        group = groups[min(groups)]
        count = int.from_bytes(group[4:6], "little")
        images = sorted((group[6 + 14 * i] or 256, int.from_bytes(group[6 + 14 * i + 6:6 + 14 * i + 8], "little"))
                        for i in range(count))
        self.assertEqual(images, [(16, 4), (16, 8), (16, 32), (32, 4), (32, 8), (48, 4), (48, 8)])


if __name__ == "__main__":
    unittest.main()
