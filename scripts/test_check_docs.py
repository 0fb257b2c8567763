#!/usr/bin/env python3
"""Tests of scripts/check-docs.py on small trees: it must see what it is there to see."""

import os
import runpy
import sys
import tempfile
import types
import unittest

# The checker's file name has a hyphen, so it is run as a script and its names kept.
check_docs = types.SimpleNamespace(
    **runpy.run_path(os.path.join(os.path.dirname(os.path.abspath(__file__)), "check-docs.py"))
)

SETTINGS_SOURCE = """
    visit(SettingRow{"Survival", K::Real, R::AtSetUp, N, "survival", "probabilité de survie"}, sp.Survival);
    visit(SettingRow{"DispersalFirst", K::Flag, R::EveryStep, N, "step order", "la dispersion précède la survie"},
          sp.DispersalFirst);
    visit(SettingRow{"EnvInitMode", K::Mode, R, N, "initial environment", "milieu initial", 0, 2}, in.EnvInitMode);
    visit(SettingRow{"ResponseOptimum", K::RealValue, R::AtSetUp, N, "response", "centre"}, sp.ResponseOptimum);
    visit(SettingRow{"ShowDensityMap", K::Flag, R::WhenWritten, W, "display", "carte"}, ru.ShowDensityMap);
    visit(SettingRow{"ChartCellX", K::Whole, R::AtSetUp, SettingSetter::ByName, "chart",
                     "ligne de la case suivie par la trace", 1, GridSide},
          ru.ChartCellX);
"""

SETTINGS_HEADER = """
inline constexpr std::int32_t EnvModeRandom = 1;
struct SpeciesSettings {
    std::string Survival = "0.4";                   // survival probability per step
    bool DispersalFirst = false;                    // dispersal before survival
    double ResponseOptimum = 0;
};
struct InitialSettings {
    std::int32_t EnvInitMode = EnvModeRandom;    // 0 file, 1 random, 2 homogeneous
    std::string EnvFilePath;                     // initial environment file
    std::string ChartCellX = "8";
};
"""

OUTPUTS_SOURCE = """
    static constexpr Rgb classColours[9] = {
        {255, 255, 255},  // white
        {192, 192, 192}, {128, 128, 128}, {0, 0, 255}, {0, 128, 0},
        {255, 255, 0}, {128, 0, 128}, {255, 0, 0}, {0, 0, 0},
    };
    return c < 0 ? Rgb{255, 0, 255} : classColours[c];
"""


class Parsing(unittest.TestCase):
    def test_setting_names_of_every_entry_kind_also_when_wrapped(self):
        self.assertEqual(
            check_docs.setting_names(SETTINGS_SOURCE),
            ["Survival", "DispersalFirst", "EnvInitMode", "ResponseOptimum", "ChartCellX"],
        )

    def test_setting_defaults_as_the_table_writes_them(self):
        self.assertEqual(
            check_docs.setting_defaults(SETTINGS_HEADER),
            {
                "Survival": "0.4",
                "DispersalFirst": "off",
                "ResponseOptimum": "0",
                "EnvInitMode": "1",
                "EnvFilePath": "empty",
                "ChartCellX": "8",
            },
        )

    def test_class_colours_with_the_negative_colour(self):
        colours = check_docs.class_colours(OUTPUTS_SOURCE)
        self.assertEqual(len(colours), 10)
        self.assertEqual(colours[1], "#c0c0c0")
        self.assertEqual(colours[-1], "#ff00ff")

    def test_slugs_as_github_makes_them(self):
        cases = {
            "1. Purpose and patterns": "1-purpose-and-patterns",
            "7.7 Rounding, guards and precision": "77-rounding-guards-and-precision",
            "The density map (La parcelle)": "the-density-map-la-parcelle",
            "Speed of the time step": "speed-of-the-time-step",
            "`glebix-batch` options": "glebix-batch-options",
            "Paramètres de la simulation": "paramètres-de-la-simulation",
            "50 × 50 cells": "50--50-cells",
        }
        for heading, expected in cases.items():
            self.assertEqual(check_docs.slug(heading), expected, heading)

    def test_repeated_headings_are_numbered_and_code_is_skipped(self):
        text = "# A\n## Notes\n```sh\n# not a heading\n```\n## Notes\n"
        self.assertEqual(check_docs.anchors(text), {"a", "notes", "notes-1"})

    def test_links_outside_code_only(self):
        text = (
            "See [the guide](docs/guide.md#x) and ![map](a.png).\n"
            "`[not](a link)` and\n```\n[nor](this.md)\n```\n"
            '[ref]: other.md\n<img src="pic.svg" width="10">\n'
        )
        self.assertEqual(
            check_docs.links(text),
            [(1, "docs/guide.md#x"), (1, "a.png"), (6, "other.md"), (7, "pic.svg")],
        )

    def test_formulas_that_markdown_would_damage(self):
        text = (
            "Sound: $\\operatorname{rnd}(x)$ and $$\\frac{a}{b} \\qquad c$$, a price in `$5`.\n"
            "Eaten: $A = \\{1\\}$ and\n$$x \\, y$$\n"
            "Cut: $a +\nb$ ends here.\n"
        )
        problems = check_docs.math_problems(text)
        self.assertEqual([n for n, _ in problems], [2, 3, 4])
        self.assertIn("\\{", problems[0][1])
        self.assertIn("\\,", problems[1][1])
        self.assertIn("coupée", problems[2][1])


class Blocks(unittest.TestCase):
    PAGE = (
        "Text\n<!-- runnable -->\n```sh\nglebix-batch --version\n```\n"
        "<!-- runnable: continues -->\n~~~bash\nls\n~~~\n"
        "<!-- not runnable: needs a display -->\n```sh\nglebix\n```\n"
        "<!--sample: a file's contents-->\n```\n1 2 3\n```\n"
    )

    def test_markers_notes_and_code_of_every_block(self):
        blocks = check_docs.code_blocks(self.PAGE)
        self.assertEqual(
            [(b["line"], b["language"], b["marker"], b["note"]) for b in blocks],
            [
                (3, "sh", "runnable", ""),
                (7, "bash", "runnable", "continues"),
                (11, "sh", "not runnable", "needs a display"),
                (15, "", "sample", "a file's contents"),
            ],
        )
        self.assertEqual(blocks[0]["code"], "glebix-batch --version\n")
        self.assertEqual(check_docs.block_problems(self.PAGE), [])

    def test_blocks_the_checker_refuses(self):
        cases = {
            "unmarked": ("Text\n```sh\nls\n```\n", "sans <!-- runnable -->"),
            "marker not just before": ("<!-- runnable -->\n\n```sh\nls\n```\n", "sans <!-- runnable -->"),
            "no reason": ("<!-- not runnable -->\n```sh\nls\n```\n", "sans raison"),
            "unknown language": ("<!-- runnable -->\n```text\nls\n```\n", "« text »"),
            "unknown note": ("<!-- runnable: later -->\n```sh\nls\n```\n", "« later »"),
            "continues nothing": (
                "<!-- runnable -->\n```r\nx <- 1\n```\n<!-- runnable: continues -->\n```python\nx\n```\n",
                "sans bloc exécutable en python",
            ),
        }
        for name, (page, expected) in cases.items():
            problems = check_docs.block_problems(page)
            self.assertEqual(len(problems), 1, name)
            self.assertIn(expected, problems[0][1], name)

    def test_a_fence_inside_a_longer_fence_is_code(self):
        page = "<!-- sample: markdown -->\n````md\n```sh\nls\n```\n````\n"
        self.assertEqual(len(check_docs.code_blocks(page)), 1)
        self.assertEqual(check_docs.block_problems(page), [])


class Tree(unittest.TestCase):
    """A small tree that passes, then one fault at a time."""

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name
        for d in ("docs", "core", "engine", "engine/plot", "engine/model"):
            os.mkdir(os.path.join(self.root, d))
        self.write("engine/plot/SettingsRegistry.h", SETTINGS_SOURCE * 2)
        self.write("engine/model/Outputs.cpp", OUTPUTS_SOURCE)
        self.write("engine/plot/Settings.h", SETTINGS_HEADER)
        colours = check_docs.class_colours(OUTPUTS_SOURCE)
        self.write("docs/density-classes.svg", "".join('<rect fill="%s"/>' % c for c in colours))
        defaults = check_docs.setting_defaults(SETTINGS_HEADER)
        rows = "".join("| `%s` | %s | x |\n" % (n, defaults[n]) for n in check_docs.setting_names(SETTINGS_SOURCE))
        self.write(
            "docs/model.md",
            "# Model\n## 2. State\nSee [the table](#8-parameter-table).\n"
            "## 8. Parameter table\n| Name | Default | Meaning |\n|---|---|---|\n" + rows + "## References\n",
        )
        self.write("README.md", "# G\n[Model](docs/model.md#2-state) ![p](docs/density-classes.svg)\n")

    def tearDown(self):
        self.dir.cleanup()

    def write(self, path, text):
        with open(os.path.join(self.root, path), "w", encoding="utf-8") as f:
            f.write(text)

    def problems(self):
        found = check_docs.check_parameter_table(self.root) + check_docs.check_legend(self.root)
        for page in ("README.md", "docs/model.md"):
            found += check_docs.check_links(self.root, page)
        return found

    def test_a_sound_tree_passes(self):
        self.assertEqual(self.problems(), [])

    def test_a_setting_missing_from_the_table(self):
        with open(os.path.join(self.root, "docs/model.md"), encoding="utf-8") as f:
            text = f.read()
        # Named elsewhere on the page is not enough: it must be a row of the table.
        self.write("docs/model.md", text.replace("| `EnvInitMode` | 1 | x |\n", "") + "Also `EnvInitMode`.\n")
        problems = self.problems()
        self.assertEqual(len(problems), 1)
        self.assertIn("EnvInitMode", problems[0])

    def test_a_default_that_differs_from_the_code(self):
        with open(os.path.join(self.root, "docs/model.md"), encoding="utf-8") as f:
            text = f.read()
        self.write("docs/model.md", text.replace("| `Survival` | 0.4 |", "| `Survival` | 0.5 |"))
        problems = self.problems()
        self.assertEqual(len(problems), 1)
        self.assertIn("Survival vaut 0.4", problems[0])

    def test_an_unreadable_settings_table_is_a_problem(self):
        self.write("engine/plot/SettingsRegistry.h", "// moved elsewhere\n")
        self.assertEqual(len(self.problems()), 1)

    def test_a_colour_missing_from_the_legend(self):
        self.write("docs/density-classes.svg", '<rect fill="#ffffff"/>')
        self.assertEqual(len(self.problems()), 9)

    def test_a_missing_file_and_a_missing_anchor(self):
        self.write("README.md", "[a](docs/gone.md) [b](docs/model.md#9-nothing) [c](https://example.org/x)\n")
        problems = self.problems()
        self.assertEqual(len(problems), 2)
        self.assertIn("docs/gone.md", problems[0])
        self.assertIn("#9-nothing", problems[1])


if __name__ == "__main__":
    sys.exit(unittest.main())
