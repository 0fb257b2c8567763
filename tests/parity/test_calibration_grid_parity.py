"""A calibration against an observed series and two observed grids, with its figure,
through the batch tool, Python and R: the posterior, its summary and the figure must be
the same bytes. The grids are a run's own final grids; cells compared one by one in a
second calibration.

Run by `make test-parity` (R's part skipped without R or its glebix package)."""

import os
import shutil
import subprocess

import pytest

import glebix

FACTORS = "name,low,high\nSurvival,0.2,0.8\nDecompactionD,1,10\n"
OBSERVED = "step,metric,value\n4,total_density,8\n8,total_density,20\n"
PLOT = ["--set", "PlotWidth=8", "--set", "PlotHeight=6", "--steps", "8"]
SEED, SAMPLES, ACCEPT = 11, 120, 0.25
COMPARES = ("summaries", "cells")


def _batch(*arguments, cwd):
    done = subprocess.run([os.environ["GLEBIX_BATCH"], "--quiet", *arguments], cwd=cwd, capture_output=True,
                          text=True)
    assert done.returncode == 0, done.stderr
    return done


@pytest.fixture(scope="module")
def calibrated(tmp_path_factory):
    root = tmp_path_factory.mktemp("calibration-grid-parity")
    (root / "factors.csv").write_text(FACTORS)
    (root / "observed.csv").write_text(OBSERVED)
    _batch("--seed", "3", "--asc", "truth", *PLOT, cwd=root)
    for compare in COMPARES:
        _batch("--calibrate", "--method", "abc-rejection", "--factors", "factors.csv", "--observed", "observed.csv",
               "--observed-grid", "8:truth/density.asc", "--observed-grid", "compacted@8:truth/compacted.asc",
               "--grid-compare", compare, "--samples", str(SAMPLES), "--accept", str(ACCEPT), "--seed", str(SEED),
               "--out", f"batch-{compare}", "--figure", f"batch-{compare}.png", *PLOT, cwd=root)
    return root


def _same(root, compare, front):
    for name in ("posterior.csv", "posterior-summary.csv"):
        assert (root / f"{front}-{compare}" / name).read_bytes() == (root / f"batch-{compare}" / name).read_bytes()
    assert (root / f"{front}-{compare}.png").read_bytes() == (root / f"batch-{compare}.png").read_bytes()


def test_python_gives_the_batch_tools_bytes(calibrated):
    root = calibrated
    for compare in COMPARES:
        glebix.calibrate(root / "factors.csv", root / "observed.csv", root / f"python-{compare}", seed=SEED,
                         samples=SAMPLES, accept=ACCEPT, steps=8, quiet=True,
                         observed_grids={8: root / "truth/density.asc",
                                         "compacted@8": root / "truth/compacted.asc"},
                         grid_compare=compare, figure=root / f"python-{compare}.png", PlotWidth=8, PlotHeight=6)
        _same(root, compare, "python")


R_CALIBRATION = """
args <- commandArgs(trailingOnly = TRUE)
p <- function(name) file.path(args[[1]], name)
library(glebix)
for (compare in c("summaries", "cells")) {{
  glebix_calibrate(p("factors.csv"), p("observed.csv"), p(paste0("r-", compare)), seed = {seed},
                   samples = {samples}, accept = {accept}, steps = 8, quiet = TRUE,
                   observed_grids = c("8" = p("truth/density.asc"), "compacted@8" = p("truth/compacted.asc")),
                   grid_compare = compare, figure = p(paste0("r-", compare, ".png")),
                   PlotWidth = 8, PlotHeight = 6)
}}
"""


def _r_ready():
    if not shutil.which("Rscript"):
        return False
    probe = subprocess.run(["Rscript", "-e", "quit(status = !requireNamespace('glebix', quietly = TRUE))"],
                           capture_output=True)
    return probe.returncode == 0


def test_r_gives_the_batch_tools_bytes(calibrated):
    if not _r_ready():
        pytest.skip("R ou son paquet glebix manque")
    root = calibrated
    script = root / "calibration.R"
    script.write_text(R_CALIBRATION.format(seed=SEED, samples=SAMPLES, accept=ACCEPT))
    done = subprocess.run(["Rscript", str(script), str(root)], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    for compare in COMPARES:
        _same(root, compare, "r")
