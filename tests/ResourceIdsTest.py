#!/usr/bin/env python3
"""Every resource of the library is compiled from its own script and linked into one
module, where two resources of one type and number silently become one. The ids of
each type in resources/ResourceIds.h must therefore differ.

    ResourceIdsTest.py <resources folder>
"""
import re
import sys

ids = {}
failures = []
with open(f"{sys.argv[1]}/ResourceIds.h") as header:
    for name, number in re.findall(r"^#define (ID[DBRI]_\w+) (\d+)", header.read(), re.M):
        kind = name[:3]  # IDD dialogs, IDB bitmaps, IDR data, IDI icons
        other = ids.setdefault((kind, number), name)
        if other != name:
            failures.append(f"{name} and {other} are both {kind} {number}")
for failure in failures:
    print(failure, file=sys.stderr)
sys.exit(1 if failures else 0)
