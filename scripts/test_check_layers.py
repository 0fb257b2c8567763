#!/usr/bin/env python3
"""Tests of scripts/check-layers.py on small trees: each way two folders can tangle is
seen, and a tree in layers passes."""

import os
import runpy
import tempfile
import types
import unittest

# The checker's file name has a hyphen, so it is run as a script and its names kept.
check_layers = types.SimpleNamespace(
    **runpy.run_path(os.path.join(os.path.dirname(os.path.abspath(__file__)), "check-layers.py"))
)

# A tree in layers: the core stands on a room of its own and on the engine, and a front
# end on the core.
LAYERED = {
    "engine/plot/Plot.h": "#pragma once\n#include <vector>\n",
    "core/messages/Messages.h": '#include "Plot.h"\n',
    "core/Run.cpp": '#include "Messages.h"\n#include "Plot.h"\n#include "Run.h"\n',
    "core/Run.h": "",
    "batch/Main.cpp": '#include "Run.h"\n',
    "ui/Window.h": "",
}


class CheckLayers(unittest.TestCase):
    def problems(self, changes):
        files = dict(LAYERED, **changes)
        with tempfile.TemporaryDirectory() as root:
            for path, text in files.items():
                os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
                with open(os.path.join(root, path), "w", encoding="utf-8") as f:
                    f.write(text)
            return check_layers.problems(root)

    def test_a_tree_in_layers_passes(self):
        self.assertEqual(self.problems({}), [])

    def test_an_include_up_or_across_is_refused_with_its_line(self):
        cases = {
            "engine/model/Up.cpp": ("\n#include \"Run.h\"\n", "engine/model/Up.cpp:2: includes core/Run.h"),
            "core/messages/Up.cpp": ('#include "Run.h"\n', "core/messages/Up.cpp:1: includes core/Run.h"),
            "batch/Across.cpp": ('#include "Window.h"\n', "batch/Across.cpp:1: includes ui/Window.h"),
        }
        for path, (text, expected) in cases.items():
            with self.subTest(path=path):
                found = self.problems({path: text})
                self.assertEqual(len(found), 1, found)
                self.assertTrue(found[0].startswith(expected), found)

    def test_a_folder_without_a_layer_and_two_headers_of_one_name_are_refused(self):
        found = self.problems({"core/newroom/Thing.cpp": "", "batch/Plot.h": ""})
        self.assertTrue(any("core/newroom has no layer" in p for p in found), found)
        self.assertTrue(any(p.startswith("Plot.h: several files") for p in found), found)

    def test_two_programs_may_each_have_a_main(self):
        self.assertEqual(self.problems({"app/main.cpp": "", "batch/main.cpp": ""}), [])


if __name__ == "__main__":
    unittest.main()
