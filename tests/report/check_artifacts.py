#!/usr/bin/env python3
"""Reads back what the report tests wrote, with tools that share no code with
the program: every archive through `unzip -t` and Python's zipfile (entries in
order, byte-identical to their sources, CRCs), every report through xmllint and
ElementTree (the expected tree, UTF-8, no declaration)."""

import os
import subprocess
import sys
import xml.etree.ElementTree as ET
import zipfile

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def check_archive(artifacts, name):
    path = os.path.join(artifacts, name)
    listing = os.path.join(artifacts, name + ".list")
    expected = []
    with open(listing, encoding="utf-8") as f:
        for line in f.read().splitlines():
            entry, method, copy = line.split("\t")
            expected.append((entry, int(method), os.path.join(artifacts, copy)))

    result = subprocess.run(["unzip", "-t", path], capture_output=True, text=True)
    check(result.returncode == 0 and "No errors detected" in result.stdout,
          f"{name}: unzip -t failed:\n{result.stdout}{result.stderr}")

    with zipfile.ZipFile(path) as archive:
        check(archive.testzip() is None, f"{name}: zipfile finds a bad CRC")
        infos = archive.infolist()
        check([i.filename for i in infos] == [e[0] for e in expected],
              f"{name}: entries {[i.filename for i in infos]} != {[e[0] for e in expected]}")
        for info, (entry, method, copy) in zip(infos, expected):
            with open(copy, "rb") as f:
                source = f.read()
            data = archive.read(info)
            check(data == source, f"{name}: {entry} differs from its source ({len(data)} vs {len(source)} bytes)")
            check(info.compress_type == method, f"{name}: {entry} method {info.compress_type} != {method}")
            check(info.create_version == 23 and info.create_system == 11,
                  f"{name}: {entry} made by {info.create_system}/{info.create_version}")
            check(info.flag_bits & 0x0808 == 0, f"{name}: {entry} flags {info.flag_bits:#x}")
    print(f"ok {name}: {len(expected)} entries")


def canonical(element):
    text = element.text or ""
    return (element.tag, sorted(element.attrib.items()), text, [canonical(c) for c in element])


def check_report(artifacts, name, expected):
    path = os.path.join(artifacts, name)
    result = subprocess.run(["xmllint", "--noout", path], capture_output=True, text=True)
    check(result.returncode == 0, f"{name}: xmllint: {result.stderr}")
    with open(path, "rb") as f:
        raw = f.read()
    body = raw[3:] if raw.startswith(b"\xef\xbb\xbf") else raw
    check(not body.lstrip().startswith(b"<?xml"), f"{name}: the builder added a declaration")
    try:
        body.decode("utf-8")
    except UnicodeDecodeError as error:
        check(False, f"{name}: not UTF-8: {error}")
    tree = ET.parse(path).getroot()
    check(canonical(tree) == expected, f"{name}: tree\n{canonical(tree)}\n!= expected\n{expected}")
    print(f"ok {name}")


def main():
    artifacts = sys.argv[1]
    archives = sorted(n for n in os.listdir(artifacts) if n.endswith(".zip") and n.startswith("zip_"))
    wanted = {"zip_fields.zip", "zip_names.zip", "zip_held.zip", "zip_large.zip"}
    check(wanted <= set(archives), f"missing archives: {sorted(wanted - set(archives))}")
    for name in archives:
        check_archive(artifacts, name)

    # The report the builder test saves: quote marks arrive as their entity texts,
    # SetNodeText's text as it went in (the control character as U+FFFD).
    report = (
        "Root", [], "", [
            ("System", [("Count", "-1"), ("Name", "Windows 10 \u00c4\u20ac &quot;Pro&quot; it&apos;s"),
                        ("wow64", "True")], "", [
                ("Adapter", [], "a<b & &quot;c&quot;", []),
                ("Note", [], "raw \"q\" 'a' \ufffd <&>", []),
            ]),
            ("Applications", [], "", []),
        ])
    # ElementTree folds the CDATA section into the text after "Note": the tree
    # keeps it as the System element's tail text, which canonical() ignores, so
    # the section is checked on the raw bytes.
    check_report(artifacts, "report_builder.xml", report)
    with open(os.path.join(artifacts, "report_builder.xml"), "rb") as f:
        check(b"<![CDATA[*-[CDATA]]>" in f.read(), "report_builder.xml: CDATA section missing")

    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
