#!/usr/bin/env python3
"""Reads back the archive saved after a scan of a registered installation folder: the
report's sections in order, the "Applications" tree, and every recorded file's size and
MD5 against the file system and md5sum."""
import os
import subprocess
import sys
import xml.etree.ElementTree as ET
import zipfile

artifacts = sys.argv[1]
install = os.path.join(artifacts, "installed_files")
failures = []

with zipfile.ZipFile(os.path.join(artifacts, "installed_files.zip")) as archive:
    if archive.testzip() is not None:
        failures.append("zipfile: a bad entry")
    root = ET.fromstring(archive.read("OrvoDiag.xml"))

sections = [child.tag for child in root]
if sections != ["System", "Applications", "LogFiles", "OtherFiles", "Problems"]:
    failures.append("report sections %r" % sections)
else:
    problems = root.find("Problems")
    if problems.get("Count") != str(len(problems)) or any(
            p.tag != "Problem" or p.get("Severity") not in ("problem", "warning") for p in problems):
        failures.append("Problems element %r" % ET.tostring(problems)[:300])

folders = root.find("Applications").findall("Folder")
labels = [f.find("Info").get("Name") for f in folders]
if len(labels) != 2 or labels[0] != "Orvo Diag" or not labels[1].startswith("Velmora 6 Pro ["):
    failures.append("top folders %r" % labels)
else:
    pro = folders[1]
    if pro.get("Options") != "6" or pro.find("Info").get("SubFolder") != "":
        failures.append("Pro folder attributes %r" % pro.attrib)
    own = folders[0]
    if own.get("Options") != "14" or own.findall("Folder"):
        failures.append("own folder is not flat: %r" % own.attrib)

    def tree(folder):
        """(sub-folder names, file names with their info lines) of one Folder element."""
        subs = {f.find("Info").get("Name"): tree(f) for f in folder.findall("Folder")}
        files = {f.get("Name"): [t.text or "" for t in f.findall("Info/Text")] for f in folder.findall("File")}
        return subs, files

    subs, files = tree(pro)
    if sorted(subs) != ["Drivers", "docs"]:
        failures.append("sub-folders %r" % sorted(subs))
    if sorted(files, key=str.lower) != ["Orvo.ini", "SkarvelReader.dll", "Viewer.exe"]:
        failures.append("files %r" % sorted(files))
    elif files["Orvo.ini"] != ["[Main]", "Language=de"] or files["SkarvelReader.dll"][-1] != "Loaded correctly.":
        failures.append("detail lines %r" % files)
    if subs.get("docs", ({}, {}))[1].get("readme.txt") != []:
        failures.append("docs\\readme.txt is recorded without content in a program folder")

    checked = 0
    for folder in pro.iter("Folder"):
        info = folder.find("Info")
        for record in folder.findall("File"):
            relative = os.path.join(*(info.get("SubFolder").split("\\") + [record.get("Name")])) \
                if info.get("SubFolder") else record.get("Name")
            path = os.path.join(install, relative)
            digest = subprocess.run(["md5sum", path], capture_output=True, text=True).stdout.split()[0]
            if record.get("MD5") != digest.upper():
                failures.append("%s: MD5 %s, md5sum %s" % (relative, record.get("MD5"), digest))
            if record.get("Size") != str(os.path.getsize(path)):
                failures.append("%s: size %s" % (relative, record.get("Size")))
            if list(record.attrib) != ["Name", "Version", "Date", "Size", "MT", "MD5"]:
                failures.append("%s: attributes %r" % (relative, list(record.attrib)))
            checked += 1
    if checked != 5:
        failures.append("%d files checked, 5 expected" % checked)

for failure in failures:
    print("FAIL:", failure)
if failures:
    sys.exit(1)
print("OK: the Applications section agrees with the folder, md5sum and the file system")
