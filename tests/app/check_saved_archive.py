#!/usr/bin/env python3
"""Reads back the archive that the save wrote through the real Save As dialog:
unzip -t, Python's zipfile, and an XML parser on the report."""
import os
import subprocess
import sys
import xml.etree.ElementTree as ET
import zipfile

path = os.path.join(sys.argv[1], "saved_through_dialog.zip")
failures = []

result = subprocess.run(["unzip", "-t", path], capture_output=True, text=True)
if result.returncode != 0:
    failures.append("unzip -t failed:\n" + result.stdout + result.stderr)

with zipfile.ZipFile(path) as archive:
    bad = archive.testzip()
    if bad is not None:
        failures.append("zipfile: bad entry " + bad)
    names = archive.namelist()
    if names != ["Viewer.log", "OrvoDiag.xml"]:
        failures.append("entries %r" % names)
    else:
        if archive.read("Viewer.log") != b"log through the dialog\r\n":
            failures.append("Viewer.log differs from its source")
        root = ET.fromstring(archive.read("OrvoDiag.xml"))
        if root.tag != "Root":
            failures.append("report root is %r" % root.tag)
        children = [child.tag for child in root]
        if children != ["System", "LogFiles"]:
            failures.append("report sections %r" % children)

for failure in failures:
    print("FAIL:", failure)
if failures:
    sys.exit(1)
print("OK:", path, "passes unzip -t and zipfile; OrvoDiag.xml parses with root Root")
