#!/usr/bin/env python3
"""Reads the System sections that system_tests saved and checks them independently:
the exact tree of the hand-built and the empty model, and the rules every real scan
must keep (hardware address text, length and encoded bytes agree; addresses parse)."""

import base64
import ipaddress
import os
import sys
import xml.etree.ElementTree as ET

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def tree(element):
    """(tag, attributes in document order, text, children) of an element."""
    return (element.tag, list(element.attrib.items()), element.text or "", [tree(c) for c in element])


def ip(address, family, host=""):
    return ("IPaddress", [("IP", address), ("Family", family), ("HostName", host)], "", [])


def adapter(index, friendly, description, txt, length, cdata, type_text, val, uni, any_, multi):
    return ("Adapter", [("Index", index)], "", [
        ("Friendly", [], friendly, []),
        ("Description", [], description, []),
        ("Address", [("Txt", txt), ("Length", length)], cdata, []),
        ("Type", [("Val", val)], type_text, []),
        ("IPaddresses", [], "", [("UniCast", [], "", uni), ("AnyCast", [], "", any_),
                                 ("MultiCast", [], "", multi)]),
    ])


def os_part(version, s_date, i_date, arch, wow64, name):
    return ("OS", [], "", [
        ("Version", [], version, []),
        ("InstallDate", [("sDate", s_date), ("iDate", i_date)], "", []),
        ("Env", [("Architecture", arch), ("wow64", wow64), ("ComputerName", name)], "", []),
    ])


SAMPLE = ("Root", [], "", [("System", [], "", [
    os_part("Windows 10 (10.0  build 19045)", "02-10-2096 07:06:40", "-294967296", "x64", "True", "DESK-07"),
    ("Adapters", [], "", [
        adapter("3", "Ethernet", "Intel(R) Ethernet <I219-V> & Co", "00-1A-2B-3C-4D-5E", "6", "ABorPE1e",
                "ETHERNET_CSMACD", "6",
                [ip("192.168.1.10", "2", "desk-07.example"), ip("fe80::1", "23")],
                [ip("192.168.1.255", "2")],
                [ip("ff02::1", "23"), ip("224.0.0.1", "2")]),
        adapter("5", "Wi-Fi", "Wireless 'N' adapter", "FF", "1", "-w[[", "IEEE80211", "71", [], [], []),
        adapter("7", "Lab", "USB NIC", "FB-FF", "2", "*-8[", "ETHERNET_CSMACD", "6",
                [ip("fd00::2", "23")], [ip("10.0.0.1", "2")], []),
    ]),
])])

EMPTY = ("Root", [], "", [("System", [], "", [os_part("", "", "0", "", "False", ""), ("Adapters", [], "", [])])])


def decode(text):
    """The report's encoding back to bytes: its alphabet mapped onto standard Base64."""
    return base64.b64decode(text.translate(str.maketrans("*-[", "+/=")))


def check_real(root):
    check(root.tag == "Root" and [c.tag for c in root] == ["System"], "real: Root holds one System")
    system = root.find("System")
    check([c.tag for c in system] == ["OS", "Adapters"], "real: System holds OS, Adapters")
    os_element = system.find("OS")
    check([c.tag for c in os_element] == ["Version", "InstallDate", "Env"], "real: OS children")
    check(os_element.find("Version").text.startswith("Windows "), "real: version text")
    date = os_element.find("InstallDate")
    check(list(date.attrib) == ["sDate", "iDate"], "real: InstallDate attributes in order")
    int(date.get("iDate"))
    env = os_element.find("Env")
    check(list(env.attrib) == ["Architecture", "wow64", "ComputerName"], "real: Env attributes in order")
    check(env.get("wow64") in ("True", "False"), "real: wow64 is a boolean text")
    adapters = system.find("Adapters").findall("Adapter")
    check(len(adapters) >= 1, "real: at least one adapter")
    indexes = [int(a.get("Index")) for a in adapters]
    check(indexes == sorted(set(indexes)) and indexes[0] >= 1, f"real: indexes ascend from 1: {indexes}")
    for a in adapters:
        check([c.tag for c in a] == ["Friendly", "Description", "Address", "Type", "IPaddresses"],
              "real: adapter children")
        address = a.find("Address")
        txt, length = address.get("Txt"), int(address.get("Length"))
        raw = bytes(int(part, 16) for part in txt.split("-")) if txt else b""
        check(len(raw) == length, f"real: Txt {txt} has Length {length} bytes")
        check(decode(address.text or "") == raw, f"real: encoded bytes of {txt}")
        type_element = a.find("Type")
        check((type_element.get("Val"), type_element.text) in (("6", "ETHERNET_CSMACD"), ("71", "IEEE80211")),
              "real: kept adapters are wired or wireless")
        lists = a.find("IPaddresses")
        check([c.tag for c in lists] == ["UniCast", "AnyCast", "MultiCast"], "real: three address lists")
        for entry in lists.iter("IPaddress"):
            check(list(entry.attrib) == ["IP", "Family", "HostName"], "real: IPaddress attributes in order")
            parsed = ipaddress.ip_address(entry.get("IP").split("%")[0])
            check(entry.get("Family") == ("2" if parsed.version == 4 else "23"),
                  f"real: family of {entry.get('IP')}")


def main():
    folder = sys.argv[1]
    for name, expected in (("system_sample.xml", SAMPLE), ("system_empty.xml", EMPTY)):
        actual = tree(ET.parse(os.path.join(folder, name)).getroot())
        check(actual == expected, f"{name}: tree differs:\n{actual}\nexpected\n{expected}")
    check_real(ET.parse(os.path.join(folder, "system_real.xml")).getroot())
    for failure in failures:
        print("FAIL:", failure)
    print(f"system report checks: {len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
