#!/usr/bin/env python3
"""Reads the export tables of the fake driver libraries with objdump: each must export
exactly one name, the driver's decorated entry point, and nothing else. In a 32-bit
library the entry point must also clean its 16 bytes of arguments off the stack, as
the decorated name's calling convention demands."""
import re
import subprocess
import sys

ENTRY = "?Dmxbox@@YGKKEHPAX@Z"


def exported_names(objdump, path):
    out = subprocess.run([objdump, "-p", path], check=True, capture_output=True, text=True).stdout
    lines = out.splitlines()
    try:
        start = lines.index("[Ordinal/Name Pointer] Table") + 1
    except ValueError:
        return []
    names = []
    for line in lines[start:]:
        if not line.strip():
            break
        names.append(line.split("]", 1)[1].strip())
    return names


def returns_of_entry_point(objdump, path, headers):
    """The return instructions of the exported function of a 32-bit library."""
    base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", headers, re.M).group(1), 16)
    rva = int(re.search(r"\[\s*0\] \+base\[\s*1\] ([0-9a-fA-F]+) Export RVA", headers).group(1), 16)
    start = base + rva
    out = subprocess.run([objdump, "-d", f"--start-address={start:#x}", f"--stop-address={start + 0x4000:#x}", path],
                         check=True, capture_output=True, text=True).stdout
    returns, symbols = [], 0
    for line in out.splitlines():
        if re.match(r"^[0-9a-f]+ <.*>:$", line):
            symbols += 1
            if symbols > 1:
                break
        elif "\tret" in line:
            returns.append(line.split("\t")[-1].strip())
    return returns


def main():
    objdump, paths = sys.argv[1], sys.argv[2:]
    failed = False
    for path in paths:
        names = exported_names(objdump, path)
        if names != [ENTRY]:
            print(f"{path}: exports {names}, expected exactly [{ENTRY!r}]")
            failed = True
            continue
        headers = subprocess.run([objdump, "-p", path], check=True, capture_output=True, text=True).stdout
        if "file format pei-i386" in headers:
            returns = returns_of_entry_point(objdump, path, headers)
            if not returns or any(r.replace(" ", "") != "ret$0x10" for r in returns):
                print(f"{path}: the entry point returns with {returns}, expected ret $0x10 (stdcall)")
                failed = True
                continue
        print(f"{path}: {ENTRY}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
