#!/usr/bin/env python3
"""Checks that the source folders form layers: a folder includes only its own files
and those of folders on a lower layer, so no two folders include each other.

The layers, from the bottom, are LAYERS below; folders on one layer (the front ends)
include none of each other. An include names a header alone (each folder is on the
include path), so it is matched to the one source file of that name; two headers of one
name are refused, since an include could not tell them apart. A source folder
missing from LAYERS is refused too: a new folder takes its place in the table first.

Prints one line per problem and exits with 1 when there is one; standard library only.
Usage: scripts/check-layers.py [repository root]
"""

import os
import re
import sys

# From the bottom: the engine's platform, the plot and its settings, the inputs read onto it, the
# equations that the model's plain and fast forms share, its fast passes, the model, its state
# file, the core's rooms, the core, what stands on it, the command line's own planning, the
# recorders of a run's outputs, the front ends, and the programs and checks that link them.
LAYERS = [
    ["engine/platform"],
    ["engine/plot"],
    ["engine/inputs"],
    ["engine/model/equations"],
    ["engine/model/fast"],
    ["engine/model"],
    ["engine/state"],
    ["core/calibration"],
    ["core/messages"],
    ["core/files"],
    ["core/settings"],
    ["core/gis"],
    ["core"],
    ["core/analysis"],
    ["render"],
    ["invocation"],
    ["recorders"],
    ["batch", "ui", "python/src", "r/glebix/src"],
    ["app", "bench", "fuzz"],
]
SOURCE_SUFFIXES = (".h", ".cpp")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of():
    return {folder: level for level, folders in enumerate(LAYERS) for folder in folders}


def source_files(root):
    """Every C++ file under the top folders of LAYERS, by its path from `root`."""
    tops = sorted({folder.split("/")[0] for folders in LAYERS for folder in folders})
    found = []
    for top in tops:
        for here, _, names in os.walk(os.path.join(root, top)):
            found += [os.path.relpath(os.path.join(here, n), root) for n in names if n.endswith(SOURCE_SUFFIXES)]
    return sorted(found)


def problems(root):
    levels = layer_of()
    files = source_files(root)
    out = []
    by_name = {}
    for path in files:
        by_name.setdefault(os.path.basename(path), []).append(path)
    for name, paths in sorted(by_name.items()):
        if name.endswith(".h") and len(paths) > 1:
            out.append(f"{name}: several files of this name ({', '.join(paths)})")
    for path in files:
        folder = os.path.dirname(path)
        if folder not in levels:
            out.append(f"{path}: its folder {folder} has no layer in scripts/check-layers.py")
            continue
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for number, line in enumerate(text.splitlines(), start=1):
            match = INCLUDE.match(line)
            if not match:
                continue
            targets = by_name.get(os.path.basename(match.group(1)), [])
            if len(targets) != 1:
                continue  # a system header, or a name refused above
            other = os.path.dirname(targets[0])
            if other == folder or other not in levels:
                continue
            if levels[other] >= levels[folder]:
                out.append(f"{path}:{number}: includes {targets[0]}, which is not on a lower layer than {folder}")
    return out


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    found = problems(root)
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
