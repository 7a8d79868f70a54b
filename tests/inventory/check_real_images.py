#!/usr/bin/env python3
"""Reads back the records of the real-image scan (real_images.txt: one line per file,
tab-separated: path below the folder, version, platform, size, date, digest, detail
lines) and compares every fact with independent readers: python3-pefile for the
version resource and the machine type, md5sum for the digest, the file system for the
size and the UTC date.

An image whose version resource comes in several languages must carry the version and
strings of one of its entries (which one the platform takes depends on its settings);
an image with a version resource must have a version.

Usage: check_real_images.py ARTIFACT_DIR"""
import os
import subprocess
import sys
import time

try:
    import pefile
except ImportError:
    # Debian's python3-pefile belongs to the system's interpreter.
    if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    sys.exit("check_real_images: python3-pefile is missing (scripts/setup installs it)")

MACHINES = {0x014C: "x86", 0x8664: "x64", 0x0200: "Intel Itanium"}
LINES = [("ProductName", "Product Name    : "), ("ProductVersion", "Product Version : "),
         ("FileDescription", "Description     : "), ("CompanyName", "Company         : "),
         ("LegalCopyright", "Copyright       : "), ("InternalName", "Internal Name   : ")]


def version_text(ms, ls):
    major, minor, build, revision = ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF
    dated = (build // 100) % 256 >= 8 and 1 <= build % 100 <= 12 and 1 <= revision // 1000 <= 31
    return ("%d.%d.%04d.%05d" if dated else "%d.%d.%d.%d") % (major, minor, build, revision)


def entry_facts(pe, entry):
    """(version, detail lines) of one version entry, read by pefile."""
    for name in ("VS_VERSIONINFO", "VS_FIXEDFILEINFO", "FileInfo"):
        setattr(pe, name, [])
    pe.parse_version_information(entry.data.struct)
    version = ""
    if pe.VS_FIXEDFILEINFO:
        fixed = pe.VS_FIXEDFILEINFO[0]
        version = version_text(fixed.FileVersionMS, fixed.FileVersionLS)
    translation, tables = None, {}
    for info in (pe.FileInfo[0] if pe.FileInfo else []):
        for var in getattr(info, "Var", []):
            words = var.entry.get(b"Translation", "").split()
            if translation is None and len(words) >= 2:
                translation = "%04x%04x" % (int(words[0], 16), int(words[1], 16))
        for table in getattr(info, "StringTable", []):
            tables.setdefault(table.LangID.decode().lower(), table.entries)
    strings = tables.get(translation, {}) if translation else {}
    lines = []
    for name, label in LINES:
        if name.encode() in strings:
            lines.append(label + strings[name.encode()].decode("utf-8", "replace").split("\0")[0])
    return version, lines


def expected_facts(path):
    """(platform, [(version, lines) per version entry]) by pefile; no platform for a
    file that is not an image."""
    try:
        pe = pefile.PE(path, fast_load=True)
    except pefile.PEFormatError:
        return "", []
    platform = MACHINES.get(pe.FILE_HEADER.Machine, "")
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    entries = []
    for kind in getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None) and pe.DIRECTORY_ENTRY_RESOURCE.entries or []:
        if kind.id != pefile.RESOURCE_TYPE["RT_VERSION"]:
            continue
        for name in kind.directory.entries:
            if name.id == 1:
                entries += [entry_facts(pe, language) for language in name.directory.entries]
    return platform, entries


def main():
    root = sys.argv[1]
    with open(os.path.join(root, "real_images.txt"), encoding="utf-8") as f:
        records = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    paths = [os.path.join(root, "real_images", *r[0].strip("\\").split("\\")) for r in records]
    digests = {}
    for start in range(0, len(paths), 500):
        out = subprocess.run(["md5sum", "--"] + paths[start:start + 500], check=True, capture_output=True,
                             text=True).stdout
        for line in out.splitlines():
            digest, name = line.split(None, 1)
            digests[name.lstrip("*")] = digest.upper()
    failures, versions, several = [], 0, 0
    for record, path in zip(records, paths):
        name, version, platform, size, date, digest, lines = *record[:6], record[6:]
        expected_platform, entries = expected_facts(path)
        stat = os.stat(path)
        expected = {"platform": expected_platform, "size": str(stat.st_size),
                    "date": time.strftime("%d-%m-%Y %H:%M", time.gmtime(stat.st_mtime)), "digest": digests[path]}
        found = {"platform": platform, "size": size, "date": date, "digest": digest}
        for key in expected:
            if found[key] != expected[key]:
                failures.append("%s: %s %r, expected %r" % (name, key, found[key], expected[key]))
        if entries and (version, lines) not in entries:
            failures.append("%s: version %r with %r is none of its %d entries, e.g. %r"
                            % (name, version, lines, len(entries), entries[0]))
        if not entries and (version or lines):
            failures.append("%s: version %r without a version resource" % (name, version))
        versions += 1 if version else 0
        several += 1 if len({e for e in map(lambda e: (e[0], tuple(e[1])), entries)}) > 1 else 0
    if len(records) < 200:
        failures.append("only %d files scanned" % len(records))
    for failure in failures:
        print("FAIL:", failure)
    print("%d files, %d with a version, %d with entries that differ by language; %d failures"
          % (len(records), versions, several, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
