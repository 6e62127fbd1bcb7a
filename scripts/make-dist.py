#!/usr/bin/env python3
"""Packs the built Windows programs of both bitnesses into the zip users install from.

    make-dist.py --win64 build/win64 --win32 build/win32 --out dist

Writes <out>/orbisk-<version>.zip and prints its path. The version is the one CMake
wrote to version.txt of each build tree (from project() in CMakeLists.txt); both trees
must have been built from the same one. Everything lies flat at the top of the zip,
where the file manager looks for pluginst.inf, entries sorted and stamped with one
date (SOURCE_DATE_EPOCH, else the last commit's) so that one tree packs the same
bytes every time. The modules ship without their debugging information and symbols
(the build trees keep them for debugging). Test-only files of bin/ (test_*.exe, the test scanners) and the
console program orbisk-cli.exe are left out: the package is the viewer.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent
TOOL_PREFIX = {"win64": "x86_64-w64-mingw32-", "win32": "i686-w64-mingw32-"}

# Name in the zip, build tree, file in that tree's bin/. The 32-bit host is renamed
# so both hosts can share the one folder the plug-in is installed to.
CONTENTS = [
    ("Orbisk.wlx", "win32", "Orbisk.wlx"),
    ("Orbisk.wlx64", "win64", "Orbisk.wlx64"),
    ("Orbisk.exe", "win64", "Orbisk.exe"),
    ("Orbisk32.exe", "win32", "Orbisk.exe"),
    ("vexlo.dll", "win32", "vexlo.dll"),
    ("vexlo64.dll", "win64", "vexlo64.dll"),
    ("cef.dll", "win32", "cef.dll"),
    ("cef64.dll", "win64", "cef64.dll"),
    ("Graphite.skin", "win64", "Graphite.skin"),
    ("Meadow.skin", "win64", "Meadow.skin"),
]

# The file manager's install file. Its format has no key for a 64-bit file: a 64-bit
# file manager loads the file named by `file` with "64" appended (Orbisk.wlx64),
# which is why both lie side by side in the zip.
PLUGINST = """[plugininstall]
description=Orbisk: a fast image viewer for the lister and the quick view panel
type=wlx
file=Orbisk.wlx
defaultdir=Orbisk
version={version}
"""


class DistError(Exception):
    pass


def ReadVersion(tree):
    path = tree / "version.txt"
    try:
        version = path.read_text().strip()
    except OSError:
        raise DistError(f"{path} is missing: configure that tree first (cmake --preset)")
    if not version:
        raise DistError(f"{path} is empty")
    return version


def Crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def StampSeconds():
    """The one date of the package's files and module headers: SOURCE_DATE_EPOCH, else
    the last commit's, no earlier than 1980 (the first date zip can keep)."""
    seconds = os.environ.get("SOURCE_DATE_EPOCH")
    if seconds is None:
        try:
            seconds = subprocess.run(["git", "-C", str(SOURCE), "log", "-1", "--format=%ct"],
                                     capture_output=True, text=True, check=True).stdout
        except (OSError, subprocess.CalledProcessError):
            seconds = "0"
    try:
        return max(int(seconds.strip() or 0), 315532800)
    except ValueError:
        raise DistError(f"SOURCE_DATE_EPOCH is not a number of seconds: {seconds!r}")


def Stripped(path, tree, scratch, stamp):
    """The module at `path` without debugging information and symbols, its header
    dated `stamp` (strip would write the current time)."""
    out = scratch / f"{tree}-{path.name}"
    strip = TOOL_PREFIX[tree] + "strip"
    try:
        subprocess.run([strip, "--strip-all", "-o", str(out), str(path)], check=True,
                       capture_output=True, text=True,
                       env=dict(os.environ, SOURCE_DATE_EPOCH=str(stamp)))
    except OSError as error:
        raise DistError(f"cannot run {strip} ({error}): scripts/bootstrap installs it")
    except subprocess.CalledProcessError as error:
        raise DistError(f"{strip} failed on {path}: {error.stderr.strip()}")
    return out.read_bytes()


def Entries(trees, version, stamp):
    """Name and bytes of each file of the package."""
    entries = {}
    with tempfile.TemporaryDirectory() as scratch:
        for name, tree, file in CONTENTS:
            path = trees[tree] / "bin" / file
            if not path.is_file():
                raise DistError(f"{path} is missing: build it first "
                                f"(cmake --build --preset {tree})")
            if path.suffix == ".skin":
                entries[name] = path.read_bytes()
            else:
                entries[name] = Stripped(path, tree, Path(scratch), stamp)
    readme = (SOURCE / "resources" / "dist" / "readme.txt").read_text(encoding="utf-8")
    entries["readme.txt"] = Crlf(readme.replace("@VERSION@", version))
    entries["pluginst.inf"] = Crlf(PLUGINST.format(version=version))
    return entries


def WriteZip(path, entries, stamp):
    partial = path.with_name(path.name + ".part")
    with zipfile.ZipFile(partial, "w") as archive:
        for name in sorted(entries):
            info = zipfile.ZipInfo(name, date_time=time.gmtime(stamp)[:6])
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            archive.writestr(info, entries[name], compresslevel=9)
    partial.replace(path)  # never a half-written package under the real name


def Main():
    parser = argparse.ArgumentParser(description="Packs Orbisk for Windows users.")
    parser.add_argument("--win64", type=Path, required=True, help="the win64 build tree")
    parser.add_argument("--win32", type=Path, required=True, help="the win32 build tree")
    parser.add_argument("--out", type=Path, required=True, help="folder of the zip")
    args = parser.parse_args()
    trees = {"win64": args.win64, "win32": args.win32}
    try:
        versions = {tree: ReadVersion(path) for tree, path in trees.items()}
        if versions["win64"] != versions["win32"]:
            raise DistError(f"the trees were configured from different versions: {versions}")
        version = versions["win64"]
        stamp = StampSeconds()
        entries = Entries(trees, version, stamp)
        args.out.mkdir(parents=True, exist_ok=True)
        target = args.out / f"orbisk-{version}.zip"
        WriteZip(target, entries, stamp)
    except (DistError, OSError) as error:
        print(f"make-dist: {error}", file=sys.stderr)
        return 1
    print(target)
    return 0


if __name__ == "__main__":
    sys.exit(Main())
