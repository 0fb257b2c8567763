#!/usr/bin/env python3
"""Tests of scripts/check-formats.py: each way a format is named in code is seen, words
that merely hold its letters are not, and a format named in too many files fails."""

import os
import runpy
import tempfile
import types
import unittest

check_formats = types.SimpleNamespace(
    **runpy.run_path(os.path.join(os.path.dirname(os.path.abspath(__file__)), "check-formats.py"))
)


def names(text):
    return sorted(fmt for fmt, pattern in check_formats.FORMATS.items() if pattern.search(text))


class Naming(unittest.TestCase):
    def test_options_files_identifiers_and_prose_name_their_format(self):
        cases = {
            '{"--tif-every", "K"}': ["GeoTIFF"],
            "MakeTifRecorder(context)": ["GeoTIFF"],
            "bool IsSteppedTif(": ["GeoTIFF"],
            "stack_.Open(path) // a NetCDF file": ["NetCDF"],
            "WriteNetcdfNow(": ["NetCDF"],
            'Output("--asc"),': ["ESRI ASCII grid"],
            "core::DensityAsc(plot)": ["ESRI ASCII grid"],
            "ReadAsciiGrid(bytes)": ["ESRI ASCII grid"],
            "render::IndicesFigurePng(text)": ["PNG"],
            '"map-00010.png"': ["PNG"],
            "GifAnimation gif;": ["GIF"],
        }
        for text, expected in cases.items():
            with self.subTest(text=text):
                self.assertEqual(names(text), expected)

    def test_words_that_hold_the_letters_name_nothing(self):
        for text in ("numbers in ascending order", "justify the certificate", "Tiffany", "TifuTypo", "gifted"):
            with self.subTest(text=text):
                self.assertEqual(names(text), [])


class Counting(unittest.TestCase):
    def count(self, files):
        with tempfile.TemporaryDirectory() as root:
            for path, text in files.items():
                os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
                with open(os.path.join(root, path), "w", encoding="utf-8") as f:
                    f.write(text)
            return check_formats.naming(root)["NetCDF"]

    def test_own_places_tests_and_docs_are_left_out(self):
        files = {
            "recorders/NetcdfRecorder.cpp": "NetCDF",
            "core/messages/MessageCatalogue.cpp": "NetCDF",
            "python/glebix/_simulation.py": "netcdf",
            "tests/core/test_x.cpp": "NetCDF",
            "docs/outputs.md": "NetCDF",
            "build/core/x.cpp": "NetCDF",
            "core/OutputRegistry.cpp": '{"--netcdf"}',
        }
        self.assertEqual(self.count(files), ["core/OutputRegistry.cpp"])

    def test_a_format_switched_on_in_more_files_than_the_limit_is_seen(self):
        files = {f"batch/Unit{k}.cpp": "if (kind == \"netcdf\")" for k in range(check_formats.LIMIT + 1)}
        self.assertEqual(len(self.count(files)), check_formats.LIMIT + 1)


if __name__ == "__main__":
    unittest.main()
