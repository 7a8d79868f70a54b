#!/usr/bin/env python3
"""Parses the report that the log files section test saved and checks the section."""
import os
import sys
import xml.etree.ElementTree as ET

path = os.path.join(sys.argv[1], "logfiles_section.xml")
root = ET.parse(path).getroot()
assert root.tag == "Root", root.tag
sections = root.findall("LogFiles")
assert len(sections) == 1, sections
section = sections[0]
assert list(section.attrib.items()) == [("Version", "1"), ("Count", "2")], section.attrib
files = [e.get("File") for e in section]
assert [e.tag for e in section] == ["LogFile", "LogFile"], [e.tag for e in section]
assert files == ["Viewer.log", "Caf\u00e9 & <Co>.log"], files
print("LogFiles section parsed:", files)
