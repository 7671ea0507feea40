#!/usr/bin/env python3
# Holds that every Windows-style record of platform/ is declared value-initialised in the product folders.
# One single-threaded process, run by ctest (records_*) or by hand: python3 tests/layering/check_records.py
"""Check that no platform record is declared without an initialiser outside platform/.

The records of platform/ (the structs whose names are written in capitals, as DSBUFFERDESC or MMIOINFO)
carry default member values here, but the real platform's headers declare the same records without any:
a record declared as `DSBUFFERDESC description;` and then filled field by field would hand the real call
whatever the stack held in the fields left unset. So every such variable or member is declared with an
initialiser (`DSBUFFERDESC description{};`, `= {}`, `= MakeRecord()`).

Exit status: 0 when every declaration has its initialiser, 1 when one has not (each on its own line,
`file:line: ...`).
"""

import argparse
import os
import re
import sys

from check_layers import SOURCE_EXTENSIONS, strip_comments

RECORD_DEFINITION = re.compile(r"^[ \t]*(?:typedef[ \t]+)?struct[ \t]+([A-Z][A-Z0-9_]*)[ \t]*(?:[:{]|$)", re.MULTILINE)
SKIPPED_FOLDERS = {"platform", "tests", "build"}


def platform_records(root):
    """The names of the capital-letter records that platform/ defines."""
    names = set()
    for folder, _, files in os.walk(os.path.join(root, "platform")):
        for name in files:
            if name.endswith(SOURCE_EXTENSIONS):
                with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
                    names.update(RECORD_DEFINITION.findall(strip_comments(f.read())))
    return names


def product_files(root):
    for entry in sorted(os.listdir(root)):
        path = os.path.join(root, entry)
        if not os.path.isdir(path) or entry.startswith(".") or entry in SKIPPED_FOLDERS or entry.startswith("build"):
            continue
        for folder, dirs, files in os.walk(path):
            dirs.sort()
            for name in sorted(files):
                if name.endswith(SOURCE_EXTENSIONS):
                    yield os.path.join(folder, name)


def findings(root, records):
    if not records:
        return []
    declaration = re.compile(r"^[ \t]*(?:static[ \t]+|mutable[ \t]+|struct[ \t]+)*(" + "|".join(sorted(records)) +
                             r")[ \t]+([A-Za-z_][A-Za-z0-9_]*)[ \t]*(\[[^\]]*\])?[ \t]*;")
    found = []
    for path in product_files(root):
        with open(path, encoding="utf-8", errors="replace") as f:
            lines = strip_comments(f.read()).split("\n")
        for number, line in enumerate(lines, 1):
            m = declaration.match(line)
            if m:
                rel = os.path.relpath(path, root).replace(os.sep, "/")
                found.append(f"{rel}:{number}: '{m.group(2)}' ({m.group(1)}) is declared without an initialiser")
    return found


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--root", default=os.path.normpath(os.path.join(here, "..", "..")))
    args = parser.parse_args()
    records = platform_records(args.root)
    found = findings(args.root, records)
    for line in found:
        print(line)
    if found:
        print(f"records: FAILED: {len(found)} declaration(s) without an initialiser")
        return 1
    print(f"records: {len(records)} platform records, every declaration outside platform/ initialised")
    return 0


if __name__ == "__main__":
    sys.exit(main())
