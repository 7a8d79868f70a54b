#!/usr/bin/env python3
"""Decodes a driver report written on the real clock as UTF-16 and checks its lines:
one installation, two boxes through the first driver generation, none through the
second."""
import os
import sys


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def main():
    folder = sys.argv[1]
    raw = open(os.path.join(folder, "Tarvik_UsbBox.txt"), "rb").read()
    install = open(os.path.join(folder, "Tarvik_UsbBox.install.txt"), encoding="utf-8").read()
    if not raw.startswith(b"\xff\xfe"):
        fail("no UTF-16 little-endian byte order mark")
    text = raw.decode("utf-16")
    if "\r" in text:
        fail("a carriage return in the report")
    if not text.endswith("\n"):
        fail("the report does not end with a line feed")
    lines = text[:-1].split("\n")

    eq, hy = "=" * 40, "-" * 40
    head = [eq, f"TESTING '{install}\\TarvikUSB.dll'", eq, hy,
            f"Try accessing Tarvik USB Boxes using '{install}\\UsbDmx.dll'", hy,
            "Constructing the LowLevelDriver", "Initializing the LowLevelDriver", "Driver version : 261",
            "Running a timed scan. Trying to open boxes for 2000 ms",
            "\t - A box was found, trying to find another", "\t - A box was found, trying to find another"]
    if lines[:len(head)] != head:
        fail(f"unexpected start: {lines[:len(head)]!r}")

    found = lines.index("Found 2 boxes")
    boxes = ["Found 2 boxes", "Getting information from all found boxes",
             "  * Box 0, ID = 7", "  * Box name : 'Stage Left'", "  * Box firmware version : 2.3", "",
             "  * Box suggested universes : A = 1, B = 2",
             "  * Box 1, ID = 3", "  * Box name : 'Booth'", "  * Box firmware version : 10.0", "",
             "  * Unknown User Data Format", "Closing all found boxes", "Uninitializing the LowLevelDriver",
             "Destroying the LowLevelDriver", hy, hy,
             f"Try accessing Tarvik USB Boxes using '{install}\\UsbDmx12.dll'", hy,
             "Constructing the LowLevelDriver", "Initializing the LowLevelDriver", "Driver version : 0",
             "Running a timed scan. Trying to open boxes for 2000 ms"]
    if lines[found:found + len(boxes)] != boxes:
        fail(f"unexpected box section: {lines[found:found + len(boxes)]!r}")

    for first, last in ((len(head), found), (found + len(boxes), lines.index("Found 0 boxes"))):
        pairs = lines[first:last]
        if len(pairs) % 2 or not 16 <= len(pairs) <= 44:
            fail(f"{len(pairs)} search lines where about 20 pairs were expected")
        for i in range(0, len(pairs), 2):
            if pairs[i:i + 2] != ["\t - Call ( 55, 0, 0 ) returned NO_DEVICE",
                                  "\t - No box found, sleeping a short while"]:
                fail(f"unexpected search lines {pairs[i:i + 2]!r}")

    tail = ["Found 0 boxes", "Getting information from all found boxes", "Closing all found boxes",
            "Uninitializing the LowLevelDriver", "Destroying the LowLevelDriver", hy]
    if lines[-len(tail):] != tail:
        fail(f"unexpected end: {lines[-len(tail):]!r}")
    print(f"report OK: {len(lines)} lines")
    return 0


if __name__ == "__main__":
    sys.exit(main())
