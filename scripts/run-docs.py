#!/usr/bin/env python3
"""Runs the code blocks of README.md and docs/*.md marked <!-- runnable -->.

Each block runs in a new temporary folder (a block marked "runnable: continues" runs
after the page's previous runnable block of its language, as one program in that
block's folder), with a time limit, the build's programs first on the PATH, its Python
package importable and the R package of BUILD/r/lib (`make test-r` installs it there)
loadable. sh blocks stop at the first failing command. R blocks are skipped, with a
line saying so, when R or that installed package is missing.

Prints one line per block and exits with 1 when one fails or runs too long.
Usage: scripts/run-docs.py [BUILD [PAGE...]]   (BUILD defaults to build; the time
limit of a block, 60 s, can be changed with RUN_DOCS_TIMEOUT)
"""

import os
import runpy
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import types

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, ".."))
# The checker's file name has a hyphen, so it is run as a script and its names kept.
check_docs = types.SimpleNamespace(**runpy.run_path(os.path.join(HERE, "check-docs.py")))

DEFAULT_TIMEOUT = 60
OUTPUT_TAIL_LINES = 30
COMMANDS = {
    "sh": (["sh", "-e"], "block.sh"),
    "python": (["python3"], "block.py"),
    "r": (["Rscript", "--vanilla"], "block.R"),
}


def build_python(build):
    """The interpreter the build made its Python module for (its CMake cache says)."""
    try:
        with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
            for line in f:
                if line.startswith("Python3_EXECUTABLE:"):
                    return line.split("=", 1)[1].strip()
    except OSError:
        pass
    return sys.executable


def programs(page, text):
    """The programs a page runs: (language, first line, lines of its blocks, code)."""
    found = []
    for block in check_docs.code_blocks(text):
        if block["marker"] != "runnable":
            continue
        language = check_docs.RUNNABLE_LANGUAGES.get(block["language"])
        if block["note"] == check_docs.CONTINUES:
            earlier = [p for p in found if p[0] == language]
            if earlier:
                earlier[-1][2].append(block["line"])
                earlier[-1][3].append(block["code"])
                continue
        found.append((language, block["line"], [block["line"]], [block["code"]]))
    return [(lang, first, lines, "".join(code)) for lang, first, lines, code in found]


def environment(build):
    env = dict(os.environ)
    # python3 is the build's interpreter, in the blocks' commands too.
    first = [build, os.path.dirname(build_python(build))]
    env["PATH"] = os.pathsep.join(first + [env.get("PATH", "")])
    python = os.path.join(build, "python")
    env["PYTHONPATH"] = python + (os.pathsep + env["PYTHONPATH"] if env.get("PYTHONPATH") else "")
    library = os.path.join(build, "r", "lib")
    env["R_LIBS"] = library + (os.pathsep + env["R_LIBS"] if env.get("R_LIBS") else "")
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    env["MPLBACKEND"] = "Agg"
    return env


def r_package_installed(env):
    if shutil.which("Rscript", path=env["PATH"]) is None:
        return False
    return any(os.path.isdir(os.path.join(lib, "glebix")) for lib in env["R_LIBS"].split(os.pathsep) if lib)


def run_program(language, code, env, timeout):
    """(passed, seconds, output) of one program run in a new folder."""
    command, name = COMMANDS[language]
    command = [shutil.which(command[0], path=env["PATH"]) or command[0]] + command[1:]
    with tempfile.TemporaryDirectory(prefix="glebix-docs-") as folder:
        with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
            f.write(code)
        start = time.monotonic()
        process = subprocess.Popen(
            command + [name],
            cwd=folder,
            env=env,
            stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE,
            stderr=subprocess.STDOUT,
            start_new_session=True,
        )
        try:
            output, _ = process.communicate(timeout=timeout)
            passed = process.returncode == 0
            reason = "" if passed else "code de sortie %d" % process.returncode
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            output, _ = process.communicate()
            passed, reason = False, "plus de %g s" % timeout
        seconds = time.monotonic() - start
    text = output.decode("utf-8", "replace")
    return passed, seconds, (reason + "\n" + text) if reason else text


def run_page(root, page, env, timeout):
    """The number of failed programs of a page; prints a line per program."""
    with open(os.path.join(root, page), encoding="utf-8") as f:
        found = programs(page, f.read())
    failures = 0
    for language, _, lines, code in found:
        where = "%s:%s (%s)" % (page, ",".join(str(n) for n in lines), language)
        if language == "r" and not r_package_installed(env):
            print("run-docs : %s sauté : R ou le paquet R glebix (make test-r) manque" % where)
            continue
        passed, seconds, output = run_program(language, code, env, timeout)
        print("run-docs : %s %s en %.1f s" % (where, "passe" if passed else "ÉCHOUE", seconds), flush=True)
        if not passed:
            failures += 1
            tail = output.rstrip("\n").split("\n")[-OUTPUT_TAIL_LINES:]
            print("\n".join("    " + line for line in tail), file=sys.stderr, flush=True)
    return failures


def main(argv):
    build = os.path.abspath(argv[1] if len(argv) > 1 else os.path.join(ROOT, "build"))
    pages = argv[2:] or check_docs.documentation_pages(ROOT)
    if not os.path.exists(os.path.join(build, "glebix-batch")):
        print("run-docs : %s/glebix-batch manque : construisez d'abord (make build)" % build, file=sys.stderr)
        return 1
    timeout = float(os.environ.get("RUN_DOCS_TIMEOUT", DEFAULT_TIMEOUT))
    env = environment(build)
    failures = sum(run_page(ROOT, page, env, timeout) for page in pages)
    if failures:
        print("run-docs : %d exemple(s) en échec" % failures, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
