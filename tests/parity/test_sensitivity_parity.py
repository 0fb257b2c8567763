"""A sensitivity study through the batch tool, Python and R: the designs each samples
and the indices each computes from the same tables must be the same bytes. Morris on
five settings with replicates, then Saltelli on two, run as two slices and analysed
from the merged table.

Run by `make test-parity` (R's part skipped without R or its glebix package)."""

import os
import shutil
import subprocess

import pytest

import glebix

MORRIS_FACTORS = """name,low,high,scale
Survival,0.3,0.5,linear
Fecundity,0.5,2,log
DispersalSensitivity,0,3,linear
DecompactionD,2,8,linear
DispersalSigma,0.5,2,linear
"""
SALTELLI_FACTORS = "name,low,high\nSurvival,0.3,0.5\nFecundity,0.5,2\n"
# (method, factors file, sampling arguments, analysis metrics)
STUDIES = [
    ("morris", "morris-factors.csv", ["--samples", "4", "--levels", "4", "--pool", "8"],
     ["final_total", "final_compacted", "time_mean_total_density@2:6"]),
    ("saltelli", "saltelli-factors.csv", ["--samples", "8"], ["total_density", "mean_compacted"]),
]
SEED, STEPS = 7, 6


def _batch(*arguments, cwd):
    done = subprocess.run([os.environ["GLEBIX_BATCH"], "--quiet", *arguments], cwd=cwd, capture_output=True,
                          text=True)
    assert done.returncode == 0, done.stderr
    return done


def _merged(parts, merged):
    """The tables of slices as one, as a cluster's study is merged: one header."""
    lines = []
    for k, part in enumerate(parts):
        text = part.read_text().splitlines(keepends=True)
        lines += text if k == 0 else text[1:]
    merged.write_text("".join(lines))


@pytest.fixture(scope="module")
def study(tmp_path_factory):
    root = tmp_path_factory.mktemp("sensitivity-parity")
    (root / "morris-factors.csv").write_text(MORRIS_FACTORS)
    (root / "saltelli-factors.csv").write_text(SALTELLI_FACTORS)
    for method, factors, sampling, _ in STUDIES:
        _batch("--sample", method, "--factors", factors, "--seed", str(SEED), "--design-out", f"{method}.design",
               *sampling, cwd=root)
    _batch("--design", "morris.design", "--replicates", "2", "--seed", "1", "--steps", str(STEPS), "--table",
           "morris.csv", cwd=root)
    for k in (1, 2):
        _batch("--design", "saltelli.design", "--slice", f"{k}/2", "--seed", "1", "--steps", str(STEPS), "--table",
               f"saltelli-{k}.csv", cwd=root)
    _merged([root / "saltelli-1.csv", root / "saltelli-2.csv"], root / "saltelli.csv")
    for method, factors, _, metrics in STUDIES:
        metric_options = [o for m in metrics for o in ("--metric", m)]
        _batch("--analyse", f"{method}.csv", "--factors", factors, "--method", method, *metric_options, "--seed",
               str(SEED), "--bootstrap", "200", "--indices", f"{method}-batch-indices.csv", cwd=root)
    return root


def _sampling_keywords(sampling):
    names = {"--samples": "samples", "--levels": "levels", "--pool": "pool"}
    return {names[sampling[k]]: int(sampling[k + 1]) for k in range(0, len(sampling), 2)}


def test_python_gives_the_batch_tools_bytes(study):
    root = study
    for method, factors, sampling, metrics in STUDIES:
        design = glebix.sample(method, root / factors, root / f"{method}-python.design", seed=SEED,
                               **_sampling_keywords(sampling))
        assert (root / f"{method}-python.design").read_bytes() == (root / f"{method}.design").read_bytes()
        assert len(design) == len((root / f"{method}.design").read_text().splitlines()) - 1
        glebix.analyse(root / f"{method}.csv", root / factors, method, metrics, root / f"{method}-python-indices.csv",
                       seed=SEED, bootstrap=200, quiet=True)
        assert (root / f"{method}-python-indices.csv").read_bytes() == \
            (root / f"{method}-batch-indices.csv").read_bytes(), method


R_ANALYSIS = """
library(glebix)
root <- commandArgs(trailingOnly = TRUE)[1]
p <- function(name) file.path(root, name)
glebix_sample("morris", p("morris-factors.csv"), p("morris-r.design"), seed = {seed}, samples = 4,
              levels = 4, pool = 8)
glebix_sample("saltelli", p("saltelli-factors.csv"), p("saltelli-r.design"), seed = {seed}, samples = 8)
glebix_analyse(p("morris.csv"), p("morris-factors.csv"), "morris",
               c("final_total", "final_compacted", "time_mean_total_density@2:6"), p("morris-r-indices.csv"),
               seed = {seed}, bootstrap = 200, quiet = TRUE)
glebix_analyse(p("saltelli.csv"), p("saltelli-factors.csv"), "saltelli", c("total_density", "mean_compacted"),
               p("saltelli-r-indices.csv"), seed = {seed}, bootstrap = 200, quiet = TRUE)
# The factors as a data frame: the same design and indices.
frame <- data.frame(name = c("Survival", "Fecundity"), low = c(0.3, 0.5), high = c(0.5, 2))
design <- glebix_sample("saltelli", frame, p("saltelli-frame.design"), seed = {seed}, samples = 8)
indices <- glebix_analyse(p("saltelli.csv"), frame, "saltelli", c("total_density", "mean_compacted"),
                          p("saltelli-frame-indices.csv"), seed = {seed}, bootstrap = 200, quiet = TRUE)
"""


def _r_ready():
    if not shutil.which("Rscript"):
        return False
    probe = subprocess.run(["Rscript", "-e", "quit(status = !requireNamespace('glebix', quietly = TRUE))"],
                           capture_output=True)
    return probe.returncode == 0


def test_r_gives_the_batch_tools_bytes(study):
    if not _r_ready():
        pytest.skip("R ou son paquet glebix manque")
    root = study
    script = root / "analysis.R"
    script.write_text(R_ANALYSIS.format(seed=SEED))
    done = subprocess.run(["Rscript", str(script), str(root)], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    for method, _, _, _ in STUDIES:
        assert (root / f"{method}-r.design").read_bytes() == (root / f"{method}.design").read_bytes()
        assert (root / f"{method}-r-indices.csv").read_bytes() == (root / f"{method}-batch-indices.csv").read_bytes()
    assert (root / "saltelli-frame.design").read_bytes() == (root / "saltelli.design").read_bytes()
    assert (root / "saltelli-frame-indices.csv").read_bytes() == (root / "saltelli-batch-indices.csv").read_bytes()
