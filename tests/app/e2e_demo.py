#!/usr/bin/env python3
"""End to end on the demo installation: the real OrvoDiag.exe under Wine, unattended
("/save", with no display at all) and through its window (the Save button and the real
Save As dialog), with the archives checked by tools of their own: unzip -t, Python's
zipfile, xml.etree, md5sum.

Usage: e2e_demo.py SOURCE_DIR BUILD_DIR [--window]
Runs in the prefix BUILD_DIR/wineprefix-demo, set up afresh by scripts/demo-install, on
the build's private virtual screen (cmake/wine-run-xvfb.sh).
"""

import hashlib
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET
import zipfile
from pathlib import Path

SOURCE, BUILD = Path(sys.argv[1]), Path(sys.argv[2])
WINDOW = "--window" in sys.argv[3:]
PREFIX = BUILD / "wineprefix-demo"
DRIVE_C = PREFIX / "drive_c"
TIME = r"[0-2][0-9]:[0-5][0-9]:[0-5][0-9]"
SECTION_ORDER = ["System", "Applications", "LogFiles", "OtherFiles", "Problems"]
# A text that only each rule's finding on the demo has: the library whose dependency is
# missing, the Lite folder's library of the other machine type, the driver generation
# without its dependency.
DEMO_RULES = {"load test": "Load failed: 0000007E", "machine type": "the folder's programs for",
              "driver test": "UsbDmx12.dll could not be loaded: its dependency WDAPI1200.DLL",
              "registry export": "were left out of"}
# Programs directly in an installation folder whose log files the demo writes; the
# program in a sub-folder (Convert.exe) and the other log are never taken.
DEMO_LOGS = {"Velmora.log", "Viewer.log", "VelmoraLite.log", "Scenira.log"}

failures = []
# The findings of each archive's report, by label.
REPORTED = {}


def check(condition, text):
    if not condition:
        failures.append(text)
        print("FAILED: " + text)
    return condition


def env():
    return dict(os.environ, WINEPREFIX=str(PREFIX), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")


def run_program(*args, timeout=240):
    command = [str(SOURCE / "cmake" / "wine-run-xvfb.sh"), str(PREFIX), str(BUILD / "bin" / "OrvoDiag.exe"), *args]
    done = subprocess.run(command, env=env(), stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
    lines = done.stdout.decode("utf-8", "replace").replace("\r\n", "\n").splitlines()
    return done.returncode, lines


# "/save" shows no window, so it needs no display: plain wine, DISPLAY unset, no null
# graphics driver.
def run_without_display(*args, timeout=240):
    headless = {k: v for k, v in env().items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    done = subprocess.run(["wine", str(BUILD / "bin" / "OrvoDiag.exe"), *args], env=headless,
                          stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
    lines = done.stdout.decode("utf-8", "replace").replace("\r\n", "\n").splitlines()
    # Wine's desktop process, started by this run, is bound to no display: it goes
    # before the runs on the virtual screen.
    subprocess.run(["wineserver", "-k"], env=env())
    subprocess.run(["wineserver", "-w"], env=env())
    return done.returncode, lines


def temp_folder():
    users = DRIVE_C / "users"
    return users / os.environ.get("USER", "root") / "Temp" if (users / os.environ.get("USER", "root")).exists() \
        else next(users.glob("*/Temp"))


def staging_left():
    return sorted(p.name for p in temp_folder().glob("tmp_Orvo_*"))


def unix_path(windows_path):
    """A path of the demo installation (C:\\...) on the Linux side."""
    assert windows_path[:3].upper() == "C:\\", windows_path
    return DRIVE_C.joinpath(*windows_path[3:].split("\\"))


def kind(name):
    if name == "OrvoDiag.xml":
        return 3
    if name == "Tarvik_UsbBox.txt":
        return 2
    if name.lower().endswith(".reg"):
        return 1
    if name.lower().endswith(".log"):
        return 0
    return -1


def md5(data):
    return hashlib.md5(data).hexdigest()


def check_files(applications):
    """Every recorded file's digest and size against md5sum and the file on disk."""
    checked = 0
    for folder in applications.iter("Folder"):
        info = folder.find("Info")
        # The demo's folders; the program's own folder (on the build tree's drive) is not the demo's.
        main = info.get("MainFolder") or ""
        base = unix_path(main) if main[:3].upper() == "C:\\" else None
        for f in folder.findall("File"):
            if base is None:
                continue
            path = base.joinpath(*[p for p in info.get("SubFolder", "").split("\\") if p], f.get("Name"))
            if not check(path.exists(), f"recorded file {path} exists"):
                continue
            digest = subprocess.run(["md5sum", str(path)], capture_output=True, text=True).stdout.split()[0]
            check(f.get("MD5", "").lower() == digest, f"MD5 of {path}: {f.get('MD5')} != {digest}")
            check(f.get("Size") == str(path.stat().st_size), f"size of {path}")
            checked += 1
    check(checked > 0, "the Applications section records files of the demo")
    names = {f.get("Name") for f in applications.iter("File")}
    check("readme.txt" in names and "Velmora.exe" in names, "the Pro folder's files are recorded")
    check("gobo01.png" not in names and "preview.png" not in names, "images of the libraries folder are left out")
    texts = [t.text or "" for t in applications.iter("Text")]
    check("Loaded correctly." in texts, "a library passed its load test")
    check(any(t.startswith("Load failed: 0000007E") for t in texts) or not (DRIVE_C / "Program Files" /
          "Varnholt Brevik" / "Velmora 6 Pro" / "xerces-c_2_6.dll").exists(),
          "the library with the missing dependency failed its load test with 126")
    labels = [f.find("Info").get("Name") for f in applications.findall("Folder")]
    check("Velmora 6 Pro [64]" in labels and "Velmora 6 Pro [32]" not in labels,
          f"the path registered in both views is listed once, from the 64-bit view: {labels}")


def finding_line(severity, area, text):
    """The line /save prints and the System tab shows for one finding."""
    return f"{severity.capitalize()} ({area}): {text}" if area else f"{severity.capitalize()}: {text}"


def check_problems(root, label):
    """The report's Problems element, last, as Python's parser reads it; gives its lines."""
    problems = root.find("Problems")
    if not check(problems is not None and root[-1] is problems, f"{label}: Problems is the report's last element"):
        return []
    items = list(problems)
    check(all(p.tag == "Problem" for p in items), f"{label}: Problems holds only Problem elements")
    check(problems.get("Count") == str(len(items)), f"{label}: Problems Count {problems.get('Count')} / {len(items)}")
    check(all(p.get("Severity") in ("problem", "warning") and p.get("Area") is not None for p in items),
          f"{label}: every Problem has a severity and an area")
    check(all(p.text and "\n" not in p.text for p in items), f"{label}: every finding is one line of text")
    return [finding_line(p.get("Severity"), p.get("Area"), p.text or "") for p in items]


def check_demo_findings(lines, reported, label):
    """What /save printed after "Scanned at ...": the report's findings, at least three rules."""
    at = next((i for i, line in enumerate(lines) if re.fullmatch("Scanned at " + TIME, line)), None)
    if not check(at is not None and at + 1 < len(lines), f"{label}: a line after Scanned at"):
        return
    heading = re.fullmatch(r"Problems found \((\d+)\)", lines[at + 1])
    if not check(heading is not None, f"{label}: Problems found (N) after Scanned at: {lines[at + 1]!r}"):
        return
    printed = lines[at + 2:at + 2 + int(heading.group(1))]
    check(printed == reported, f"{label}: the printed findings are the report's: {printed} / {reported}")
    expected = dict(DEMO_RULES)
    if not (DRIVE_C / "Program Files" / "Varnholt Brevik" / "Velmora 6 Pro" / "UsbDmx12.dll").exists():
        del expected["driver test"]
    if not all((BUILD / "fixtures" / f"pe{bits}_program.exe").exists() for bits in (32, 64)):
        del expected["machine type"]  # the Lite program is then of the build's own type
    for rule, text in expected.items():
        check(any(text in line for line in printed), f"{label}: the demo's {rule} finding: {printed}")
    check(len(expected) >= 3, f"{label}: the demo gives findings of at least three rules")


def check_archive(path, label):
    """Gives the entry names in archive order."""
    if not check(path.exists(), f"{label}: archive {path} written"):
        return []
    test = subprocess.run(["unzip", "-t", str(path)], capture_output=True, text=True)
    check(test.returncode == 0 and "No errors detected" in test.stdout, f"{label}: unzip -t: {test.stdout[-300:]}")
    with zipfile.ZipFile(path) as archive:
        check(archive.testzip() is None, f"{label}: zipfile CRC check")
        names = archive.namelist()
        kinds = [kind(n) for n in names]
        check(kinds == sorted(kinds) and -1 not in kinds and kinds.count(3) == 1 and kinds[-1] == 3,
              f"{label}: entries in order log files, .reg files, Tarvik_UsbBox.txt, OrvoDiag.xml: {names}")
        report = archive.read("OrvoDiag.xml")
        root = ET.fromstring(report)
        check(root.tag == "Root", f"{label}: report root element")
        sections = [c.tag for c in root]
        present = [s for s in SECTION_ORDER if s in sections]
        check(sections == present and "System" in sections and "LogFiles" in sections,
              f"{label}: report sections in order: {sections}")
        REPORTED[label] = check_problems(root, label)

        logs = [n for n in names if kind(n) == 0]
        listed = [e.get("File") for e in root.iter("LogFile")]
        check(listed == logs, f"{label}: LogFiles section lists the archived logs: {listed} / {logs}")
        for name in logs:
            source = temp_folder() / name
            check(archive.read(name) == source.read_bytes(), f"{label}: {name} byte-identical to the log file")
            check(md5(archive.read(name)) == subprocess.run(["md5sum", str(source)], capture_output=True,
                                                            text=True).stdout.split()[0], f"{label}: md5 {name}")
        applications = root.find("Applications")
        if applications is not None and len(applications):
            check(set(logs) == DEMO_LOGS, f"{label}: the demo's log files are found: {logs}")
            check_files(applications)

        others = [e.get("File") for e in root.iter("OtherFile")]
        check(others == [n for n in names if kind(n) in (1, 2)], f"{label}: OtherFiles lists {others}")
        if "LM_Orvo_64.reg" in names:
            text = archive.read("LM_Orvo_64.reg")
            check(text.startswith(b"\xef\xbb\xbfWindows Registry Editor Version 5.00\r\n\r\n"),
                  f"{label}: .reg header")
            body = text.decode("utf-8-sig")
            for line in ['"InstallPathPro"="C:\\\\Program Files\\\\Varnholt Brevik\\\\Velmora 6 Pro"',
                         '"Universes"=dword:00000002', '"Note"="Shows in \\"C:\\\\Shows\\""']:
                check(line in body, f"{label}: LM_Orvo_64.reg holds {line}")
        if "CU_Orvo.reg" in names:
            body = archive.read("CU_Orvo.reg").decode("utf-8-sig")
            check('\r\n"Welcome"=hex(1):57,00,65,00,6c,00' in body,
                  f"{label}: CU_Orvo.reg keeps the string with a line feed as its bytes")
            check("Last show" not in body, f"{label}: CU_Orvo.reg leaves out the name with a line feed")
        if "Tarvik_UsbBox.txt" in names:
            report_text = archive.read("Tarvik_UsbBox.txt").decode("utf-16")
            check("Found 2 boxes" in report_text, f"{label}: the driver report finds the demo's two boxes")
    return names


def drive(*args, timeout=240):
    helper = BUILD / "fixtures" / "orvo_drive_window.exe"
    return subprocess.run([str(SOURCE / "cmake" / "wine-run-xvfb.sh"), str(PREFIX), str(helper), *args], env=env(),
                          stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)


def start_window(*args):
    return subprocess.Popen([str(SOURCE / "cmake" / "wine-run-xvfb.sh"), str(PREFIX),
                             str(BUILD / "bin" / "OrvoDiag.exe"), *args], env=env(), stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def dump_and_exit(window, label):
    """Every tab's rows, the log selector's items and each log's text; then Exit."""
    try:
        dumped = drive("dump")
        check(dumped.returncode == 0, f"{label}: the window's tabs can be read")
        drive("exit", timeout=120)
        check(window.wait(timeout=60) == 0, f"{label}: the window ends with exit code 0")
    finally:
        if window.poll() is None:
            window.kill()
    return dumped.stdout.decode("utf-8", "replace").replace("\r\n", "\n").split("\n")


def check_opened(scanned, archive, label, *args, drop=False):
    """The archive saved from the scanned window, opened in another one: the same rows."""
    window = start_window(*args)
    name = archive.rsplit("\\", 1)[-1]
    if drop:
        drive("wait", "Scanned at", "180", timeout=240)
        check(drive("drop", archive).returncode == 0, f"{label}: the file is dropped")
    waited = drive("wait", "Opened " + name, "120", timeout=180)
    check(waited.returncode == 0, f"{label}: status Opened {name}")
    opened = dump_and_exit(window, label)
    check(opened[:1] == ["[title] Orvo Diagnostics - " + name], f"{label}: title {opened[:1]}")
    different = [(a, b) for a, b in zip(scanned[1:], opened[1:]) if a != b]
    check(len(scanned) == len(opened) and not different,
          f"{label}: the same rows as the scan ({len(scanned)} / {len(opened)} lines), first difference: "
          f"{different[:1]}")


def main():
    install = subprocess.run([str(SOURCE / "scripts" / "demo-install"), "--build", str(BUILD), str(PREFIX)],
                             capture_output=True, text=True)
    if install.returncode != 0:
        print(install.stderr)
        return 1
    print(install.stderr, end="")
    # The prefix's services must start on the virtual screen of the runs below.
    subprocess.run(["wineserver", "-k"], env=env())
    subprocess.run(["wineserver", "-w"], env=env())

    out = DRIVE_C / "out"
    for old in out.glob("*"):
        old.unlink()
    code, lines = run_without_display("/save", "C:\\out\\demo.zip")
    print("\n".join(lines))
    check(code == 0, f"/save exits 0, not {code}")
    check(lines[:1] == ["Collecting into C:\\out\\demo.zip"], "first line names the archive")
    check(bool(lines) and re.fullmatch("Saved at " + TIME, lines[-1]) is not None, "last line is Saved at")
    for status in ["<<< SCANNING ... >>>", "<<< SCANNING SYSTEM ... >>>", "<<< SAVING DATA ... >>>"]:
        check(status in lines, f"status line {status}")
    check("SKIPPED: a .reg line cannot hold the value name 'Last show\\nopened', key: "
          "'SOFTWARE\\Varnholt Brevik\\Orvo\\6.x\\Settings'" in lines,
          "the value name with a line feed is named on standard output")
    unattended = check_archive(out / "demo.zip", "/save")
    check_demo_findings(lines, REPORTED.get("/save", []), "/save")
    check(staging_left() == [], f"no staging folder after /save: {staging_left()}")

    code, lines = run_program("/bogus")
    check(code == 2 and lines == ["Unknown option: /bogus",
                                  "Usage: OrvoDiag.exe [/save [PATH] | [/open] ARCHIVE] [/?]"],
          f"/bogus: {code} {lines}")
    code, lines = run_program("/save", "C:\\out\\demo.zip\\inside.zip")
    check(code == 2 and len(lines) == 1 and lines[0].startswith("Cannot create the folder C:\\out\\demo.zip\\"),
          f"a folder that cannot be made: {code} {lines}")
    check(staging_left() == [], f"no staging folder after the refused runs: {staging_left()}")

    if WINDOW:
        window = start_window()
        try:
            # Save only after the first scan: the window starts it by itself.
            drive("wait", "Scanned at", "180")
            saved = drive("save", "C:\\out\\window.zip", "180")
            print(saved.stdout.decode("utf-8", "replace"), end="")
            check(saved.returncode == 0, f"saved through the window: {saved.stdout} {saved.stderr}")
        finally:
            scanned = dump_and_exit(window, "window")
        check(scanned[:1] == ["[title] Orvo Diagnostics"] and "[Files]" in scanned, f"scanned window: {scanned[:3]}")
        through_window = check_archive(out / "window.zip", "window")
        check(through_window == unattended, f"the same entries: {through_window} / {unattended}")
        check(REPORTED.get("window") == REPORTED.get("/save"),
              f"the same findings: {REPORTED.get('window')} / {REPORTED.get('/save')}")
        check(staging_left() == [], f"no staging folder after the window: {staging_left()}")

        archive = "C:\\out\\window.zip"
        before = sorted(p.name for p in temp_folder().iterdir())
        check_opened(scanned, archive, "OrvoDiag.exe PATH", archive)
        check_opened(scanned, archive, "/open PATH", "/open", archive)
        check_opened(scanned, archive, "dropped", drop=True)
        check(sorted(p.name for p in temp_folder().iterdir()) == before, "opening wrote nothing to the temp folder")
        check(sorted(p.name for p in out.iterdir()) == ["demo.zip", "window.zip"], "nothing unpacked beside it")

    print(f"{len(failures)} check(s) failed" if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
