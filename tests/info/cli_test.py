#!/usr/bin/env python3
"""`orbisk info` as a user runs it: the text and HTML forms, the exit status and the
message for a file without image information.

    cli_test.py <tests/data folder> <scratch folder> [<emulator>] <orbisk program>
"""
import os
import re
import subprocess
import sys

data, work = sys.argv[1:3]
program = sys.argv[3:]
failures = []


def run(expected_status, *args):
    done = subprocess.run([*program, *args], capture_output=True)
    if done.returncode != expected_status:
        failures.append(f"orbisk {' '.join(args)}: status {done.returncode}, "
                        f"expected {expected_status}\n{done.stderr.decode()}")
    return done.stdout.decode(), done.stderr.decode()


def expect(text, pattern, what):
    if not re.search(pattern, text, re.S):
        failures.append(f"{what}: no match for {pattern!r} in\n{text}")


out, _ = run(0, "info", f"{data}/info/camera-le.jpg")
expect(out, r"\ACommon Info\r\nFile path\t[^\r\n]*camera-le\.jpg\r\n", "text form")
expect(out, r"\r\nEXIF\r\n.*\r\nExposure Time\t1/250\r\n", "text form")
expect(out, r"\r\n\Z", "text form")
out, _ = run(0, "info", "--html", f"{data}/info/iptc.jpg")
expect(out, r"\A<html>\r\n<head>\r\n", "HTML form")
expect(out, r"<p>Keywords\talpha</p>\r\n<p>Keywords \(2\)\tbeta</p>\r\n", "HTML form")
expect(out, r"</body>\r\n</html>\r\n\Z", "HTML form")

# Not a picture: the file's facts are printed, the reason goes to standard error.
notes = os.path.join(work, "notes.txt")
with open(notes, "w") as f:
    f.write("plain text")
out, err = run(1, "info", f"{data}/info/iptc.jpg", notes)
expect(out, r"\ACommon Info\r\n.*\r\nFile Info\r\nFile type\t", "a picture and a text file")
expect(err, r"notes\.txt: \S", "the reason")
out, err = run(1, "info", os.path.join(work, "missing.jpg"))
expect(err, r"missing\.jpg: \S", "a missing file")
out, err = run(2, "info")
expect(err, r"usage: orbisk info", "usage")

# convert: the format from the extension or --format, options by their value names.
picture = f"{data}/win/two-resolutions.tif"
png = os.path.join(work, "converted.png")
run(0, "convert", picture, png)
with open(png, "rb") as f:
    if f.read(8) != b"\x89PNG\r\n\x1a\n":
        failures.append("convert: the output is not a PNG file")
out, _ = run(0, "info", png)
expect(out, r"Dimension\t64 x 48 pixels", "the converted picture")
expect(out, r"Color depth\t24 bpp", "the converted picture")
indexed = os.path.join(work, "indexed.img")
run(0, "convert", "--format", "png", "--option", "Pt_PNG=8 (Indexed)", picture, indexed)
out, _ = run(0, "info", indexed)
expect(out, r"Color depth\t8 bpp", "an option from its label")
_, err = run(2, "convert", "--option", "Quality_JPG=101", picture, png)
expect(err, r"Quality_JPG takes a number from 1 to 100", "an option out of its range")
_, err = run(2, "convert", "--option", "Nothing=1", picture, png)
expect(err, r"unknown option", "an unknown option")
# Several pictures into a folder; one that cannot be read fails alone.
folder = os.path.join(work, "converted")
os.makedirs(folder, exist_ok=True)
_, err = run(1, "convert", "--to", "jpg", picture, notes, png, folder)
expect(err, r"notes\.txt: \S", "a file that is no picture")
for name in ("two-resolutions.jpg", "converted.jpg"):
    if not os.path.isfile(os.path.join(folder, name)):
        failures.append(f"convert into a folder: {name} is missing")
if os.path.exists(os.path.join(folder, "notes.jpg")):
    failures.append("convert into a folder: a failed picture left a file")

for failure in failures:
    print(failure, file=sys.stderr)
sys.exit(1 if failures else 0)
