#!/usr/bin/env python3
"""Reads the export tables of the fake driver libraries with objdump: each must export
exactly one name, the driver's decorated entry point, and nothing else."""
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


def main():
    objdump, paths = sys.argv[1], sys.argv[2:]
    failed = False
    for path in paths:
        names = exported_names(objdump, path)
        if names != [ENTRY]:
            print(f"{path}: exports {names}, expected exactly [{ENTRY!r}]")
            failed = True
        else:
            print(f"{path}: {ENTRY}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
