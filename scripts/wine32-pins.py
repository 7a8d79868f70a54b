#!/usr/bin/python3
"""Writes an apt preferences file that lets 32-bit Wine be installed beside the
64-bit one, and prints the packages to install.

Multi-Arch "same" libraries must have equal versions on both architectures. When
the mirror's security index for i386 cannot be downloaded, apt sees no i386 twin
of an amd64 library installed at a security version, and `wine32:i386` cannot be
resolved. The pins computed here from today's indexes (no version is written into
this script) settle both architectures of every such library on the i386
candidate's version, and every other installed package built from the same source
on the build of that same source version.

Usage: wine32-pins.py PREFERENCES_FILE   (prints the install targets, one a line)
Run with Debian's own Python (/usr/bin/python3): it needs python3-apt.
"""
import sys

import apt_pkg

PRIORITY = 1001
# Recommended by libwine and worth having for 32-bit programs (windows, fonts, sound
# stay optional); the large GL stacks are left out.
SKIPPED_TWINS = {"libgl1", "libosmesa6", "libvulkan1", "libgl1-mesa-dri", "libsdl2-2.0-0",
                 "fonts-liberation", "fonts-wine", "gstreamer1.0-plugins-good",
                 "libasound2-plugins", "libv4l-0"}


def installed(cache, name, arch):
    try:
        pkg = cache[name, arch]
    except KeyError:
        return None
    return pkg.current_ver


def candidate(depcache, cache, name, arch):
    try:
        return depcache.get_candidate_ver(cache[name, arch])
    except KeyError:
        return None


def source_of(records, version):
    records.lookup(version.file_list[0])
    return (records.source_pkg or version.parent_pkg.name, records.source_ver or version.ver_str)


def dependency_closure(cache, depcache, roots):
    """Every i386 package the roots need through Depends and Pre-Depends (the first
    alternative that has a candidate)."""
    seen, pending = {}, list(roots)
    while pending:
        name, arch = pending.pop()
        if (name, arch) in seen:
            continue
        version = candidate(depcache, cache, name, arch)
        if version is None:
            continue
        seen[name, arch] = version
        for kind in ("Depends", "PreDepends"):
            for group in version.depends_list.get(kind, []):
                for dep in group:
                    target = dep.target_pkg
                    if target.architecture not in ("i386", "all", "amd64"):
                        continue
                    if candidate(depcache, cache, target.name, target.architecture) is not None:
                        pending.append((target.name, target.architecture))
                        break
    return seen


def recommended_twins(cache, depcache):
    """i386 twins of libwine's recommended libraries that are installed for amd64."""
    version = installed(cache, "libwine", "amd64") or candidate(depcache, cache, "libwine", "amd64")
    twins = []
    if version is None:
        return twins
    for group in version.depends_list.get("Recommends", []):
        name = group[0].target_pkg.name
        if name in SKIPPED_TWINS or installed(cache, name, "amd64") is None:
            continue
        if candidate(depcache, cache, name, "i386") is not None:
            twins.append(name)
    return twins


def pins(cache, depcache, records, closure):
    result = {}
    sources = {}
    for (name, arch), version in closure.items():
        if arch != "i386" or version.multi_arch != version.MULTI_ARCH_SAME:
            continue
        if installed(cache, name, "amd64") is None:
            continue
        result[name] = version.ver_str
        source, source_version = source_of(records, version)
        sources[source] = source_version
    # Installed siblings from the same sources follow to the same source version.
    for pkg in cache.packages:
        current = pkg.current_ver
        if current is None or pkg.name in result or pkg.architecture not in ("amd64", "all"):
            continue
        source, _ = source_of(records, current)
        if source not in sources:
            continue
        for version in pkg.version_list:
            if source_of(records, version) == (source, sources[source]):
                result[pkg.name] = version.ver_str
                break
    return result


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    apt_pkg.init()
    cache = apt_pkg.Cache(None)
    depcache = apt_pkg.DepCache(cache)
    records = apt_pkg.PackageRecords(cache)
    twins = recommended_twins(cache, depcache)
    roots = [("wine32", "i386")] + [(name, "i386") for name in twins]
    closure = dependency_closure(cache, depcache, roots)
    if ("wine32", "i386") not in closure:
        sys.exit("wine32:i386 has no candidate")
    with open(sys.argv[1], "w") as out:
        for name, version in sorted(pins(cache, depcache, records, closure).items()):
            out.write(f"Package: {name}:any\nPin: version {version}\nPin-Priority: {PRIORITY}\n\n")
    for name, _ in roots:
        print(f"{name}:i386")


if __name__ == "__main__":
    main()
