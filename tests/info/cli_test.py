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

for failure in failures:
    print(failure, file=sys.stderr)
sys.exit(1 if failures else 0)
