#!/usr/bin/env python3
"""Compares the digests that inventory_tests wrote with those of md5sum.

Usage: check_md5sum.py ARTIFACT_DIR
The list file md5_digests.txt holds one "DIGEST  FILE" line per generated file.
"""
import os
import re
import subprocess
import sys


def main():
    root = sys.argv[1]
    listing = os.path.join(root, "md5_digests.txt")
    with open(listing, encoding="ascii") as f:
        lines = [line.split() for line in f if line.strip()]
    if not lines:
        print("no digests listed in", listing)
        return 1
    failures = 0
    for digest, name in lines:
        path = os.path.join(root, name)
        expected = subprocess.run(["md5sum", path], check=True, capture_output=True, text=True).stdout.split()[0]
        if not re.fullmatch(r"[0-9A-F]{32}", digest):
            print(f"{name}: {digest} is not 32 upper-case hexadecimal digits")
            failures += 1
        elif digest.lower() != expected:
            print(f"{name}: program {digest}, md5sum {expected}")
            failures += 1
        else:
            print(f"{name}: {os.path.getsize(path)} bytes, {digest} matches md5sum")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
