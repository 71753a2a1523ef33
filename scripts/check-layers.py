#!/usr/bin/env python3
"""Checks every #include below src/ against the layers' allowed dependencies.

Usage: check-layers.py SRC_DIR [--stamp FILE]

A file may include files of its own layer and of the layers below it (the
table in docs/ARCHITECTURE.md), and only the outside libraries its layer links.
Every violation is printed as FILE:LINE with the rule it breaks; the exit
status is 1 when there is one. With --stamp, FILE is touched on success, so
the build runs the check again only when a source file changed.
"""

import pathlib
import re
import sys

# Which layer a file belongs to: the longest matching path below src/.
LAYER_OF_PATH = {
    "util/": "util",
    "selection/": "selection",
    "pst/format/": "pst/format",
    # The value types every user of the store library shares (the files
    # directly in pst/ but its facade store.h) sit at its bottom.
    "pst/*": "pst/format",
    "pst/ndb/": "pst/ndb",
    "pst/ltp/": "pst/ltp",
    "pst/messaging/": "pst/messaging",
    "pst/store.h": "pst/messaging",
    "pst/read/": "pst/read",
    "pst/check/": "pst/check",
    "eml/": "eml",
    "conversion/": "conversion",
    "app/": "app",
}

# What each layer may include besides itself (written out, not derived, so the
# table reads as the rule it is).
MAY_USE = {
    "util": set(),
    "selection": {"util"},
    "pst/format": {"util"},
    "pst/ndb": {"pst/format", "util"},
    "pst/ltp": {"pst/ndb", "pst/format", "util"},
    "pst/messaging": {"pst/ltp", "pst/ndb", "pst/format", "util"},
    "pst/read": {"pst/format", "util"},
    "pst/check": {"pst/read", "pst/format", "util"},
    "eml": {"pst/format", "util"},
    "conversion": {"eml", "pst/messaging", "pst/format", "selection", "util"},
    "app": {"conversion", "eml", "pst/messaging", "pst/format", "selection", "util"},
}

# Outside libraries, by the first part of their headers' names, and the layers
# that link them.
LIBRARIES = {
    "Qt": (re.compile(r"Q[A-Za-z]+(/|$)"), {"selection", "app"}),
    "GMime": (re.compile(r"gmime/"), {"eml"}),
    "libical": (re.compile(r"libical/"), {"eml"}),
    "zlib": (re.compile(r"zlib\.h$"), {"pst/format"}),
}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc"}


def layer_of(relative):
    """The layer of a file: named itself, else by its folder (the longest
    match), else by a "folder/*" entry for the files directly in a folder."""
    if relative in LAYER_OF_PATH:
        return LAYER_OF_PATH[relative]
    best = None
    for prefix, layer in LAYER_OF_PATH.items():
        if prefix.endswith("/") and relative.startswith(prefix):
            if best is None or len(prefix) > len(best[0]):
                best = (prefix, layer)
    if best:
        return best[1]
    folder, _, _ = relative.rpartition("/")
    return LAYER_OF_PATH.get(folder + "/*")


def resolve(src, including, name):
    """The included file's path relative to src/, or None for a system header."""
    beside = (including.parent / name).resolve()
    if beside.is_file():
        try:
            return beside.relative_to(src).as_posix()
        except ValueError:
            return None
    if (src / name).is_file():
        return pathlib.PurePosixPath(name).as_posix()
    return None


def check(src):
    src = src.resolve()
    problems = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
            continue
        relative = path.relative_to(src).as_posix()
        layer = layer_of(relative)
        if layer is None:
            problems.append(f"{relative}: belongs to no layer (add its folder to {pathlib.Path(__file__).name})")
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        for number, line in enumerate(text.splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            quote, name = match.groups()
            where = f"{relative}:{number}"
            if quote == "<":
                for library, (pattern, users) in LIBRARIES.items():
                    if pattern.match(name) and layer not in users:
                        problems.append(f"{where}: {layer} may not include <{name}> ({library} is linked by "
                                        f"{', '.join(sorted(users))} only)")
                continue
            target = resolve(src, path, name)
            if target is None:
                problems.append(f'{where}: "{name}" is no file below src/ (system headers take <>)')
                continue
            used = layer_of(target)
            if used is None or used == layer or used in MAY_USE[layer]:
                continue
            allowed = ", ".join(sorted(MAY_USE[layer])) or "nothing else"
            problems.append(f'{where}: {layer} may not include "{name}" ({used}); it may use {allowed}')
    return problems


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--stamp"):
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    src = pathlib.Path(argv[1])
    if not src.is_dir():
        print(f"check-layers: {src} is not a folder", file=sys.stderr)
        return 2
    problems = check(src)
    for problem in problems:
        print(f"{argv[1].rstrip('/')}/{problem}", file=sys.stderr)
    if problems:
        print(f"check-layers: {len(problems)} include(s) break the layers (docs/ARCHITECTURE.md)", file=sys.stderr)
        return 1
    if len(argv) == 4:
        pathlib.Path(argv[3]).touch()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
