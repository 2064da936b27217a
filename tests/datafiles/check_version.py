#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Checks that the documents name the project's version: every "Lumora X.Y[.Z]" in the
manual pages, the manual's HTML pages and the README, the package name in the README,
the newest release in the AppStream metainfo and the newest entry of the Debian change
log. "X.Y" is the version as the windows show it.

Usage: check_version.py VERSION SOURCE_FOLDER
Prints one line per mismatch and exits 1 when there is any, or when a document names no
version at all.
"""

import glob
import os
import re
import sys

# What each kind of document calls the version, with the files it is looked for in.
MENTIONS = [
    (re.compile(r"\bLumora (\d+\.\d+(?:\.\d+)?)\b"),
     ["docs/*.1", "docs/manual/*.html", "README.md"]),
    (re.compile(r"\blumora_(\d+\.\d+\.\d+)_"), ["README.md"]),
]
# Documents whose first match is their newest version, which must be the full one.
NEWEST = [
    (re.compile(r'<release version="([^"]+)"'), "data/io.github.lumora.Lumora.metainfo.xml"),
    (re.compile(r"^lumora \(([^)]+)\)", re.MULTILINE), "data/debian/changelog"),
]


def main(argv):
    if len(argv) != 3:
        print("usage: check_version.py VERSION SOURCE_FOLDER", file=sys.stderr)
        return 2
    version, root = argv[1], argv[2]
    short = ".".join(version.split(".")[:2])
    problems = []
    named = set()
    for pattern, globs in MENTIONS:
        for wildcard in globs:
            for path in sorted(glob.glob(os.path.join(root, wildcard))):
                text = open(path, encoding="utf-8").read()
                for match in pattern.finditer(text):
                    named.add(path)
                    if match.group(1) not in (version, short):
                        line = text.count("\n", 0, match.start()) + 1
                        problems.append(f"{os.path.relpath(path, root)}:{line}: "
                                        f"{match.group(0)!r}, not version {version}")
    for pattern, name in NEWEST:
        path = os.path.join(root, name)
        match = pattern.search(open(path, encoding="utf-8").read())
        named.add(path)
        if match is None or match.group(1) != version:
            found = match.group(1) if match else "nothing"
            problems.append(f"{name}: the newest version is {found}, not {version}")
    for wildcard in ("docs/*.1", "docs/manual/index.html", "README.md"):
        for path in glob.glob(os.path.join(root, wildcard)):
            if path not in named:
                problems.append(f"{os.path.relpath(path, root)}: names no version")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
