#!/usr/bin/env python3
# Holds the include direction between the product folders: checks every quoted #include against layers.txt.
# One single-threaded process, run by ctest (layering_*) or by hand: python3 tests/layering/check_layers.py
"""Check that the product folders include each other only as the layer table allows.

The table (layers.txt) has one row per folder, `folder: allowed, allowed, ...`, listing only the direct
layers below it; "may use" is transitive. An entry is a folder of the table or, for a narrow exception,
a single header file. A folder's own files are always allowed, and the deepest folder of the table owns a
file. A line `(not layered): a, b` names the top-level folders that the check leaves alone (tests, tools).

Exit status: 0 when every include follows the table and no folders include each other in a circle,
1 when something breaks the table (each finding on its own line, `file:line: ...` or `circle: ...`),
2 when the table itself cannot be used.
"""

import argparse
import os
import re
import sys

SOURCE_EXTENSIONS = (".h", ".hh", ".hpp", ".hxx", ".inc", ".ipp", ".c", ".cc", ".cpp", ".cxx")
NOT_LAYERED_KEY = "(not layered)"
INCLUDE_LINE = re.compile(r'^[ \t]*#[ \t]*include[ \t]*"([^"\n]+)"')
MAX_CIRCLES = 100


class TableError(Exception):
    pass


# Comments, and the literals that may hold comment-like text; the literals are kept as they are.
TOKENS = re.compile(r"""//[^\n]*                            # line comment
                      | /\*.*?(?:\*/|\Z)                   # block comment (perhaps unterminated)
                      | \b(?:u8|u|U|L)?R"([^()\\\s]{0,16})\(.*?(?:\)\1"|\Z)  # raw string literal
                      | "(?:\\.|[^"\\\n])*"                 # string literal
                      | '(?:\\.|[^'\\\n])*'                 # character literal""",
                    re.DOTALL | re.VERBOSE)


def strip_comments(text):
    """Returns the text with every comment blanked out (line breaks kept), leaving literals alone."""
    def blank(m):
        token = m.group(0)
        if token.startswith("/"):
            return re.sub(r"[^\n]", " ", token)
        return token
    return TOKENS.sub(blank, text)


def quoted_includes(path):
    """Yields (line number, included text) for each quoted #include of a source file."""
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    for number, line in enumerate(strip_comments(text).split("\n"), 1):
        m = INCLUDE_LINE.match(line)
        if m:
            yield number, m.group(1).strip()


def owner_of(rel_path, folders):
    """The deepest folder of the table that holds rel_path (a root-relative path with '/'), or None."""
    best = None
    for folder in folders:
        if rel_path == folder or rel_path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def normalise_folder(name):
    return name.strip().replace("\\", "/").strip("/")


def read_table(table_path, root):
    """Returns (rows, not_layered): rows maps each folder, in table order, to its list of entries."""
    rows = {}
    row_lines = {}
    not_layered = []
    errors = []
    with open(table_path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for number, raw in enumerate(lines, 1):
        line = raw.split("#", 1)[0].strip()
        if not line:
            continue
        where = f"{table_path}:{number}"
        if ":" not in line:
            errors.append(f"{where}: expected 'folder: allowed, ...', got '{line}'")
            continue
        key, rest = line.split(":", 1)
        entries = [normalise_folder(e) for e in rest.split(",")]
        entries = [e for e in entries if e and e != "-"]
        if key.strip() == NOT_LAYERED_KEY:
            not_layered.extend(entries)
            continue
        folder = normalise_folder(key)
        if not folder:
            errors.append(f"{where}: a row without a folder")
            continue
        if folder in rows:
            errors.append(f"{where}: folder '{folder}' already has a row (line {row_lines[folder]})")
            continue
        if not os.path.isdir(os.path.join(root, folder)):
            errors.append(f"{where}: folder '{folder}' does not exist under {root}")
        rows[folder] = entries
        row_lines[folder] = number

    for folder, entries in rows.items():
        where = f"{table_path}:{row_lines[folder]}"
        for entry in entries:
            if entry in rows:
                continue
            if owner_of(entry, rows) is not None and os.path.isfile(os.path.join(root, entry)):
                continue  # a single header of another folder
            errors.append(f"{where}: '{entry}' in the row of '{folder}' is neither a folder of the table "
                          f"nor a file in one")
    for folder in not_layered:
        if folder in rows:
            errors.append(f"{table_path}: '{folder}' has a row and is also listed as {NOT_LAYERED_KEY}")

    # The table itself must point one way; otherwise its closure would allow a circle.
    graph = {f: set() for f in rows}
    for folder, entries in rows.items():
        for entry in entries:
            target = entry if entry in rows else owner_of(entry, rows)
            if target is not None and target != folder:
                graph[folder].add(target)
    for cycle in find_circles(list(rows), graph):
        errors.append(f"{table_path}: the table allows a circle: {' -> '.join(cycle)}")
    if errors:
        raise TableError("\n".join(errors))
    return rows, not_layered


def closures(rows):
    """Maps each folder to (folders it may include, single headers it may include), transitively."""
    memo = {}

    def visit(folder):
        if folder in memo:
            return memo[folder]
        folders, headers = set(), set()
        memo[folder] = (folders, headers)  # the table has no circle, so this is never read half-built
        for entry in rows[folder]:
            if entry in rows:
                folders.add(entry)
                below_folders, below_headers = visit(entry)
                folders |= below_folders
                headers |= below_headers
            else:
                headers.add(entry)
        return memo[folder]

    for folder in rows:
        visit(folder)
    return memo


def find_circles(order, graph):
    """Every elementary circle of graph, each starting at its earliest node in order."""
    index = {node: i for i, node in enumerate(order)}
    circles = []
    for start in order:
        stack = [(start, [start])]
        while stack and len(circles) < MAX_CIRCLES:
            node, path = stack.pop()
            for nxt in sorted(graph.get(node, ()), key=lambda x: index[x], reverse=True):
                if nxt == start:
                    circles.append(path + [start])
                elif index[nxt] > index[start] and nxt not in path:
                    stack.append((nxt, path + [nxt]))
    circles.sort(key=lambda c: [index[n] for n in c])
    return circles


def source_files(root, folder, rows):
    """The source files that folder owns (files of a deeper folder of the table belong to it), sorted."""
    found = []
    for dirpath, dirnames, filenames in os.walk(os.path.join(root, folder)):
        dirnames[:] = sorted(d for d in dirnames if not d.startswith("."))
        for name in sorted(filenames):
            if not name.endswith(SOURCE_EXTENSIONS):
                continue
            rel = os.path.relpath(os.path.join(dirpath, name), root).replace(os.sep, "/")
            if owner_of(rel, rows) == folder:
                found.append(rel)
    return found


def holds_sources(path):
    for dirpath, dirnames, filenames in os.walk(path):
        dirnames[:] = [d for d in dirnames if not d.startswith(".")]
        if any(name.endswith(SOURCE_EXTENSIONS) for name in filenames):
            return True
    return False


def unlisted_folders(root, rows, not_layered):
    """Top-level folders with sources that neither have a row nor are listed as not layered.

    Build trees (a CMakeCache.txt at their top) and hidden folders are skipped."""
    known_tops = {f.split("/", 1)[0] for f in rows} | {f.split("/", 1)[0] for f in not_layered}
    found = []
    for name in sorted(os.listdir(root)):
        path = os.path.join(root, name)
        if name.startswith(".") or name in known_tops or not os.path.isdir(path):
            continue
        if os.path.isfile(os.path.join(path, "CMakeCache.txt")):
            continue
        if holds_sources(path):
            found.append(name)
    return found


def resolve(root, including_file, included):
    """Where a quoted include lands, as the compiler looks: beside the including file, then at the root.

    Returns a root-relative path with '/', a path starting with '../' when it lies outside the root, or
    None when no such file exists."""
    root_abs = os.path.abspath(root)
    for base in (os.path.dirname(os.path.join(root_abs, including_file)), root_abs):
        candidate = os.path.normpath(os.path.join(base, included))
        if os.path.isfile(candidate):
            return os.path.relpath(candidate, root_abs).replace(os.sep, "/")
    return None


def check(root, rows, not_layered):
    """Returns (findings, summary counts): findings are the lines to print, in a stable order."""
    allowed = closures(rows)
    order = list(rows)
    file_findings = []
    edges = {}  # (folder, folder) -> first 'file:line' that makes the edge
    files = includes = 0
    for folder in order:
        may_folders, may_headers = allowed[folder]
        for rel in source_files(root, folder, rows):
            files += 1
            for line, included in quoted_includes(os.path.join(root, rel)):
                includes += 1
                target = resolve(root, rel, included)
                if target is None:
                    file_findings.append((rel, line, f"{rel}:{line}: folder '{folder}' includes '{included}', "
                                                     f"which does not exist in the tree"))
                    continue
                target_folder = owner_of(target, rows)
                if target_folder is None or target_folder == folder:
                    continue
                edges.setdefault((folder, target_folder), f"{rel}:{line}")
                if target_folder in may_folders or target in may_headers:
                    continue
                file_findings.append((rel, line, f"{rel}:{line}: folder '{folder}' includes '{target}' "
                                                 f"(folder '{target_folder}'), which its row does not allow"))

    findings = [text for _, _, text in sorted(file_findings)]
    for name in unlisted_folders(root, rows, not_layered):
        findings.append(f"{name}: folder '{name}' holds sources but has no row in the table "
                        f"(add one, or list it under '{NOT_LAYERED_KEY}')")
    include_findings = len(findings)

    graph = {f: set() for f in order}
    for a, b in edges:
        graph[a].add(b)
    circles = find_circles(order, graph)
    for circle in circles:
        findings.append("circle: " + " -> ".join(circle))
        for a, b in zip(circle, circle[1:]):
            findings.append(f"  {edges[(a, b)]}: '{a}' includes '{b}'")
    return findings, {"files": files, "includes": includes, "folders": len(order),
                      "findings": include_findings, "circles": len(circles)}


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Check the product folders' includes against the layer table.")
    parser.add_argument("--root", default=os.path.normpath(os.path.join(here, "..", "..")),
                        help="the repository root (default: two folders above this script)")
    parser.add_argument("--table", default=os.path.join(here, "layers.txt"),
                        help="the layer table (default: layers.txt beside this script)")
    args = parser.parse_args(argv)

    try:
        rows, not_layered = read_table(args.table, args.root)
    except (TableError, OSError) as e:
        print(f"layering: the table cannot be used:\n{e}", file=sys.stderr)
        return 2

    findings, counts = check(args.root, rows, not_layered)
    if findings:
        for line in findings:
            print(line)
        print(f"layering: FAILED: {counts['findings']} finding(s), {counts['circles']} circle(s) "
              f"in {counts['files']} files")
        return 1
    print(f"layering: {counts['files']} files, {counts['includes']} quoted includes, {counts['folders']} folders: "
          f"every include follows the table, no circles")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
