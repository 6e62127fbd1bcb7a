#!/usr/bin/env python3
"""Packs the win64 and win32 trees with scripts/make-dist.py into a temporary folder
and checks the zip as a user's file manager meets it: the files, the install file,
the exports and machine types of both bitnesses, and the version in every module.

    DistTest.py <source folder> <win64 tree> <win32 tree>

Exits 77 (skipped) when the win32 tree has not been built.
"""
import configparser
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

SOURCE, WIN64, WIN32 = (Path(arg).resolve() for arg in sys.argv[1:4])
SKIPPED = 77

FILES = ["Graphite.skin", "Meadow.skin", "Orbisk.exe", "Orbisk.wlx", "Orbisk.wlx64",
         "Orbisk32.exe", "cef.dll", "cef64.dll", "pluginst.inf", "readme.txt", "vexlo.dll",
         "vexlo64.dll"]
MACHINE = {"i686": 0x14C, "x86_64": 0x8664}
BITNESS = {"Orbisk.wlx": "i686", "Orbisk32.exe": "i686", "vexlo.dll": "i686", "cef.dll": "i686",
           "Orbisk.wlx64": "x86_64", "Orbisk.exe": "x86_64", "vexlo64.dll": "x86_64",
           "cef64.dll": "x86_64"}
LISTER_ENTRIES = {"ListLoad", "ListLoadW", "ListLoadNext", "ListLoadNextW", "ListCloseWindow",
                  "ListSendCommand", "ListGetDetectString", "ListSetDefaultParams",
                  "ListGetPreviewBitmap", "ListGetPreviewBitmapW"}


def Exports(path, bitness):
    dump = subprocess.run([f"{bitness}-w64-mingw32-objdump", "-p", str(path)],
                          capture_output=True, text=True, check=True).stdout
    table = dump.partition("[Ordinal/Name Pointer] Table")[2].split("\n\n")[0]
    return set(re.findall(r"^\s*\[\s*\d+\]\s+(\S+)$", table, re.M))


def VersionBlock(data):
    """(file version, {string name: value}) of the module's VS_VERSION_INFO."""
    start = data.find("VS_VERSION_INFO\0".encode("utf-16-le")) - 6
    if start < 0:
        return None, {}

    def Node(pos):  # key, value bytes and children of one block
        length, valueLength, isText = struct.unpack_from("<HHH", data, pos)
        keyEnd = data.index(b"\0\0", pos + 6)  # a key of UTF-16 units: an even offset
        while (keyEnd - pos) % 2:
            keyEnd = data.index(b"\0\0", keyEnd + 1)
        if length < keyEnd - pos:
            raise ValueError(f"version block at {pos} is shorter than its key")
        key = data[pos + 6:keyEnd].decode("utf-16-le")
        value = (keyEnd + 2 + 3) & ~3
        child = (value + valueLength * (2 if isText else 1) + 3) & ~3
        children = []
        while child < pos + length:
            children.append(Node(child))
            child = (child + struct.unpack_from("<H", data, child)[0] + 3) & ~3
        return key, data[value:value + valueLength * (2 if isText else 1)], children

    _, fixed, children = Node(start)
    signature, _, major_minor, patch_build = struct.unpack_from("<4I", fixed)
    version = None if signature != 0xFEEF04BD else (
        f"{major_minor >> 16}.{major_minor & 0xFFFF}.{patch_build >> 16}")
    strings = {key: value.decode("utf-16-le").rstrip("\0")
               for name, _, tables in children if name == "StringFileInfo"
               for _, _, entries in tables for key, value, _ in entries}
    return version, strings


class DistTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.version = re.search(r"project\(Orbisk VERSION (\S+)",
                                (SOURCE / "CMakeLists.txt").read_text())[1]
        cls.zips = []
        for out in ("a", "b"):
            subprocess.run([sys.executable, str(SOURCE / "scripts" / "make-dist.py"),
                            "--win64", str(WIN64), "--win32", str(WIN32), "--out",
                            f"{cls.folder.name}/{out}"], check=True, stdout=subprocess.DEVNULL)
            cls.zips.append(Path(cls.folder.name, out, f"orbisk-{cls.version}.zip"))
        zipfile.ZipFile(cls.zips[0]).extractall(f"{cls.folder.name}/files")
        cls.files = Path(cls.folder.name, "files")

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def testTheZipHoldsTheShippedFilesFlatSortedAndPacksTheSameTwice(self):
        names = zipfile.ZipFile(self.zips[0]).namelist()
        self.assertEqual(names, FILES)
        self.assertEqual(self.zips[0].read_bytes(), self.zips[1].read_bytes())

    def testTheInstallFileNamesTheListerPluginInItsFolder(self):
        for text in ("pluginst.inf", "readme.txt"):
            raw = (self.files / text).read_bytes()
            self.assertEqual(raw.count(b"\n"), raw.count(b"\r\n"), f"{text} is not CRLF")
        inf = configparser.ConfigParser()
        inf.read(self.files / "pluginst.inf")
        self.assertEqual(inf.sections(), ["plugininstall"])
        values = dict(inf["plugininstall"])
        self.assertTrue(values.pop("description"))
        self.assertEqual(values, {"type": "wlx", "file": "Orbisk.wlx", "defaultdir": "Orbisk",
                                  "version": self.version})
        self.assertIn(values["file"] + "64", FILES)  # what a 64-bit file manager loads

    def testBothBitnessesExportTheSameUndecoratedNames(self):
        for narrow, wide in (("Orbisk.wlx", "Orbisk.wlx64"), ("vexlo.dll", "vexlo64.dll"),
                             ("cef.dll", "cef64.dll")):
            names = Exports(self.files / narrow, "i686")
            self.assertTrue(names, narrow)
            self.assertEqual(names, Exports(self.files / wide, "x86_64"), narrow)
            self.assertFalse([name for name in names if "@" in name], narrow)
        self.assertLessEqual(LISTER_ENTRIES, Exports(self.files / "Orbisk.wlx", "i686"))

    def testEveryModuleIsOfItsMachineAndCarriesTheVersion(self):
        for name, bitness in BITNESS.items():
            data = (self.files / name).read_bytes()
            header = struct.unpack_from("<I", data, 0x3C)[0]
            self.assertEqual(data[header:header + 4], b"PE\0\0", name)
            self.assertEqual(struct.unpack_from("<H", data, header + 4)[0], MACHINE[bitness],
                             name)
            version, strings = VersionBlock(data)
            self.assertEqual(version, self.version, name)
            self.assertEqual(strings.get("FileVersion"), self.version, name)
            self.assertEqual(strings.get("ProductVersion"), self.version, name)
            self.assertEqual(strings.get("ProductName"), "Orbisk", name)
            self.assertTrue(strings.get("FileDescription"), name)
            self.assertIn(strings.get("OriginalFilename"), (name, name.replace("32", "")), name)


if __name__ == "__main__":
    if not (WIN32 / "bin" / "Orbisk.wlx").is_file():
        print(f"SKIP: the win32 tree {WIN32} is not built (cmake --build --preset win32)")
        sys.exit(SKIPPED)
    unittest.main(argv=sys.argv[:1])
