#!/usr/bin/env python3
"""Counts, for each output format, the source files that name it outside the places
that are its own: its recorder, its writer and the module that carries the writer's
library, the readers of the same format as an input, the language packages' functions
that offer it to their users, and the message catalogues (tests, documentation and
checks aside). Adding or wiring an output goes through the registry's rows, so each
format stays within LIMIT such files; one more means a front end or a planning unit
has started to switch on the format.

Prints each format's count and files; exits with 1 when one is over LIMIT, or when
an own place listed below is not in the tree.
Standard library only. Usage: scripts/check-formats.py [repository root]
"""

import os
import re
import sys

LIMIT = 5
SOURCE_SUFFIXES = (".h", ".cpp", ".py", ".R")

# How each format is named in code, comments and texts.
FORMATS = {
    "NetCDF": re.compile(r"[Nn]et[Cc][Dd][Ff]|NETCDF"),
    "GeoTIFF": re.compile(r"GeoTIFF|GeoTiff|\b(?:TIFF?|tiff?)\b|\bTif(?![a-z])|(?<=[a-z])Tif(?![a-z])"),
    "ESRI ASCII grid": re.compile(
        r"(?:ASCII|ascii) grid|AsciiGrid|\.asc\b|\basc\b|\bAsc(?![a-z])|(?<=[a-z])Asc(?![a-z])"),
    "GIF": re.compile(r"\b(?:GIF|gif)\b|giflib|\bGif(?![a-z])|(?<=[a-z])Gif(?![a-z])"),
    "PNG": re.compile(r"\b(?:PNG|png)\b|\bPng(?![a-z])|(?<=[a-z])Png(?![a-z])"),
}

# Folders that are not the program: tests, documentation, checks and tooling.
ASIDE_FOLDERS = ("tests/", "r/glebix/tests/", "docs/", "bench/", "fuzz/", "scripts/", "packaging/")

# The places that are a format's own, by the reason they are (a path, or a folder
# ending in '/'); every format may be named there.
OWN_PLACES = {
    "message catalogues": ["core/messages/", "core/gis/GisMessages.h", "core/gis/GisMessages.cpp"],
    "recorders": [
        "recorders/AscRecorder.cpp", "recorders/TifRecorder.cpp", "recorders/NetcdfRecorder.cpp",
        "recorders/SnapshotRecorder.cpp", "recorders/AnimationRecorder.cpp",
    ],
    "writers": [
        "core/gis/NetcdfStack.h", "core/gis/NetcdfStack.cpp", "core/NetcdfRecording.h", "core/NetcdfRecording.cpp",
        "core/gis/GeoTiffGrids.h", "core/gis/GeoTiffGrids.cpp", "core/GridOutputs.h", "core/GridOutputs.cpp",
        "core/SessionWriters.h", "core/SessionWriters.cpp", "core/SnapshotNames.h", "core/SnapshotNames.cpp",
        "core/AnimationLook.h", "core/AnimationLook.cpp", "render/",
        # the windows' own pictures
        "ui/Affichage.h", "ui/Affichage.cpp", "ui/AfficheCase.h", "ui/AfficheCase.cpp", "ui/ExportDialog.h",
        "ui/ExportDialog.cpp",
    ],
    "modules carrying a writer's library": [
        "core/files/GisModule.h", "core/files/PictureModule.h", "core/gis/GisLoader.cpp",
        "core/gis/GisModuleEntry.cpp", "core/gis/GdalSession.h", "core/gis/GdalSession.cpp",
    ],
    "readers of the format as an input": [
        "core/gis/RasterInput.h", "core/gis/RasterInput.cpp", "core/gis/Georeference.h", "core/gis/Georeference.cpp",
        "core/gis/GridLayers.h", "core/Warnings.h", "core/Warnings.cpp", "core/analysis/GridObservations.cpp",
        "engine/",
    ],
    "language packages' user functions": [
        "python/glebix/", "python/src/Module.cpp", "python/src/SimulationHandle.h", "python/src/SimulationHandle.cpp",
        "python/src/Sensitivity.cpp", "r/glebix/R/", "r/glebix/src/RInit.cpp", "r/glebix/src/RSimulation.cpp",
        "r/glebix/src/RSensitivity.cpp",
    ],
}


def is_own(path):
    return any(path == place or (place.endswith("/") and path.startswith(place))
               for places in OWN_PLACES.values() for place in places)


def source_files(root):
    found = []
    for here, folders, names in os.walk(root):
        folders[:] = [f for f in folders if not f.startswith(".") and f != "build"]
        for name in names:
            if name.endswith(SOURCE_SUFFIXES):
                found.append(os.path.relpath(os.path.join(here, name), root))
    return sorted(p for p in found if not p.startswith(ASIDE_FOLDERS))


def naming(root):
    """For each format, the files outside its own places that name it."""
    files = [p for p in source_files(root) if not is_own(p)]
    texts = {}
    for path in files:
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            texts[path] = f.read()
    return {fmt: [p for p in files if pattern.search(texts[p])] for fmt, pattern in FORMATS.items()}


def missing_places(root):
    """The own places that name nothing in the tree: a file renamed or removed."""
    return [place for places in OWN_PLACES.values() for place in places
            if not os.path.exists(os.path.join(root, place))]


def main(argv):
    root = next((a for a in argv[1:] if not a.startswith("--")), ".")
    over = False
    for place in missing_places(root):
        print(f"{place}: listed among the formats' own places, but not in the tree")
        over = True
    for fmt, files in naming(root).items():
        mark = "" if len(files) <= LIMIT else f"  over {LIMIT}"
        over = over or bool(mark)
        print(f"{fmt}: {len(files)} files{mark}" + (f": {', '.join(files)}" if files else ""))
    return 1 if over else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
