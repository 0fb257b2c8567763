#!/usr/bin/env python3
"""Tests of scripts/run-docs.py: what it runs together, where, and what counts as a failure."""

import contextlib
import io
import os
import runpy
import sys
import tempfile
import time
import types
import unittest

run_docs = types.SimpleNamespace(
    **runpy.run_path(os.path.join(os.path.dirname(os.path.abspath(__file__)), "run-docs.py"))
)

PAGE = (
    "<!-- runnable -->\n```sh\necho one > made.txt\n```\n"
    "<!-- runnable -->\n```python\nx = 1\n```\n"
    "<!-- not runnable: needs a display -->\n```sh\nglebix\n```\n"
    "<!-- runnable: continues -->\n```sh\ncat made.txt\n```\n"
    "<!-- runnable: continues -->\n```python\nassert x == 1\n```\n"
    "<!-- runnable -->\n```sh\ntest ! -e made.txt\n```\n"
)


class Runner(unittest.TestCase):
    def setUp(self):
        self.env = dict(os.environ, PATH=os.environ.get("PATH", ""), R_LIBS="")

    def test_continued_blocks_join_the_program_of_their_language(self):
        found = run_docs.programs("page.md", PAGE)
        self.assertEqual(
            [(language, lines) for language, _, lines, _ in found],
            [("sh", [2, 14]), ("python", [6, 18]), ("sh", [22])],
        )
        self.assertEqual(found[0][3], "echo one > made.txt\ncat made.txt\n")

    def test_each_program_in_a_new_folder_that_is_removed(self):
        folders = []
        for code in ("pwd; touch left.txt\n", "pwd; test ! -e left.txt\n"):
            passed, _, output = run_docs.run_program("sh", code, self.env, 10)
            self.assertTrue(passed, output)
            folders.append(output.strip())
        self.assertNotEqual(folders[0], folders[1])
        self.assertFalse(any(os.path.exists(f) for f in folders))

    def test_failures_a_shell_block_stops_at_and_what_they_report(self):
        cases = {
            "exit status": ("python", "import sys\nprint('said')\nsys.exit(3)\n", "code de sortie 3"),
            "first failing command": ("sh", "false\necho not reached\n", "code de sortie 1"),
        }
        for name, (language, code, expected) in cases.items():
            passed, _, output = run_docs.run_program(language, code, self.env, 10)
            self.assertFalse(passed, name)
            self.assertIn(expected, output, name)
            self.assertNotIn("not reached", output, name)
        self.assertIn("said", run_docs.run_program("python", "print('said')\nraise SystemExit(1)\n", self.env, 10)[2])

    def test_a_block_past_its_time_is_ended_with_its_children(self):
        start = time.monotonic()
        passed, _, output = run_docs.run_program("sh", "sleep 30 &\nwait\n", self.env, 0.5)
        self.assertFalse(passed)
        self.assertIn("plus de 0.5 s", output)
        self.assertLess(time.monotonic() - start, 10)

    def test_the_build_comes_first(self):
        with tempfile.TemporaryDirectory() as build:
            env = run_docs.environment(build)
            self.assertEqual(env["PATH"].split(os.pathsep)[0], build)
            self.assertEqual(env["PYTHONPATH"].split(os.pathsep)[0], os.path.join(build, "python"))
            self.assertEqual(env["R_LIBS"].split(os.pathsep)[0], os.path.join(build, "r", "lib"))

    def test_a_page_counts_its_failed_programs_and_skips_r_without_the_package(self):
        page = PAGE + "<!-- runnable -->\n```sh\nexit 4\n```\n<!-- runnable -->\n```r\nstop('x')\n```\n"
        with tempfile.TemporaryDirectory() as root:
            with open(os.path.join(root, "page.md"), "w", encoding="utf-8") as f:
                f.write(page)
            out, err = io.StringIO(), io.StringIO()
            with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
                failures = run_docs.run_page(root, "page.md", self.env, 10)
        self.assertEqual(failures, 1)
        self.assertEqual(out.getvalue().count(" passe "), 3)
        self.assertIn("page.md:26 (sh) ÉCHOUE", out.getvalue())
        self.assertIn("page.md:30 (r) sauté", out.getvalue())


if __name__ == "__main__":
    sys.exit(unittest.main())
