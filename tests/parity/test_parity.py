"""The same small study through the batch tool, Python and R: a design whose points
read an initial file, replicates, a resumed run, final grids and an animated map. Every file each front
end writes must be the same bytes, and the three study tables the same values.

Run by `make test-parity` with GLEBIX_BATCH naming the batch tool, PYTHONPATH the built
module and R_LIBS a library holding the R package (R's part is skipped without it)."""

import os
import shutil
import subprocess

import pandas as pd
import pytest

import glebix

SIDE = 50
STEPS, RESUMED_STEPS, REPLICATES, SEED = 6, 9, 2, 11
POINTS = [{"Survival": "0.45", "DecompactionD": "4"}, {"Survival": "0.5", "DecompactionD": "6"}]
# Each run's own files, by the batch tool's names.
RUN_FILES = ["RireVed1a1p1.txt", "grids/density.asc", "grids/compacted.asc", "end.state", "anim.gif"]
# The slide-ready animation, a frame every other step.
ANIMATION = ["--animate-style", "map", "--animate-cell-size", "4", "--every", "2"]


def _environment_grid(path):
    rows = [" ".join(str(10 + (i * 7 + j * 3) % 60) for j in range(SIDE)) for i in range(SIDE)]
    header = f"ncols {SIDE}\nnrows {SIDE}\nxllcorner 412000\nyllcorner 5610000\ncellsize 2\n"
    path.write_text(header + "\n".join(rows) + "\n")


@pytest.fixture(scope="module")
def study(tmp_path_factory):
    root = tmp_path_factory.mktemp("parity")
    _environment_grid(root / "env.asc")
    design = pd.DataFrame(POINTS)
    design["EnvInitMode"] = "0"
    design["EnvFilePath"] = str(root / "env.asc")
    design.to_csv(root / "design.csv", index=False)
    return root, design


def _batch(*arguments, cwd):
    done = subprocess.run([os.environ["GLEBIX_BATCH"], "--quiet", *arguments], cwd=cwd, capture_output=True,
                          text=True)
    assert done.returncode == 0, done.stderr
    return done


def _batch_study(root):
    out = root / "batch"
    _batch("--design", "design.csv", "--replicates", str(REPLICATES), "--seed", str(SEED), "--steps", str(STEPS),
           "--out", "batch", "--asc", "batch", "--save-state", "batch/end.state", "--table", "batch.csv",
           "--animate", "batch/anim.gif", *ANIMATION, cwd=root)
    # The run folders hold the grids beside the result file: move them under grids/.
    for run in out.glob("point-*/run-*"):
        (run / "grids").mkdir()
        for name in ("density.asc", "compacted.asc"):
            shutil.move(run / name, run / "grids" / name)
    _batch("--resume", "batch/point-002/run-002/end.state", "--steps", str(RESUMED_STEPS), "--out", "batch-resumed",
           "--save-state", "batch-resumed/end.state", "--animate", "batch-resumed/anim.gif", *ANIMATION, cwd=root)
    return pd.read_csv(root / "batch.csv")


def _python_study(root, design, table):
    out = root / "python"
    for row in table[table.step == 0].itertuples():
        point = POINTS[row.point - 1] | {"EnvInitMode": "0", "EnvFilePath": design.EnvFilePath[0]}
        sim = glebix.Simulation(seed=SEED, replicate=row.replicate, steps=STEPS, **point)
        folder = out / f"point-{row.point:03d}" / f"run-{row.replicate:03d}"
        sim.animate(folder / "anim.gif", every=2, style="map", cell_size=4)
        sim.run()
        sim.write_result_file(folder)
        sim.write_asc(folder / "grids")
        sim.save_state(folder / "end.state")
    resumed = glebix.Simulation.resume(out / "point-002/run-002/end.state", steps=RESUMED_STEPS)
    resumed.animate(root / "python-resumed/anim.gif", every=2, style="map", cell_size=4)
    resumed.run()
    resumed.write_result_file(root / "python-resumed")
    resumed.save_state(root / "python-resumed/end.state")


R_STUDY = """
library(glebix)
args <- commandArgs(trailingOnly = TRUE)
root <- args[1]
design <- utils::read.csv(file.path(root, "design.csv"), colClasses = "character")
table <- glebix_sweep(design, replicates = {replicates}, seed = {seed}, steps = {steps})
utils::write.csv(table, file.path(root, "r.csv"), row.names = FALSE)
first <- table[table$step == 0, ]
for (k in seq_len(nrow(first))) {{
  point <- as.list(design[first$point[k], ])
  sim <- do.call(glebix_simulation, c(list(seed = {seed}, replicate = first$replicate[k], steps = {steps}), point))
  folder <- file.path(root, "r", sprintf("point-%03d", first$point[k]), sprintf("run-%03d", first$replicate[k]))
  glebix_animate(sim, file.path(folder, "anim.gif"), every = 2, style = "map", cell_size = 4)
  glebix_setup(sim)
  glebix_step(sim, {steps})
  glebix_write_result_file(sim, folder)
  glebix_write_asc(sim, file.path(folder, "grids"))
  glebix_save_state(sim, file.path(folder, "end.state"))
}}
resumed <- glebix_resume(file.path(root, "r/point-002/run-002/end.state"), steps = {resumed})
glebix_animate(resumed, file.path(root, "r-resumed/anim.gif"), every = 2, style = "map", cell_size = 4)
glebix_step(resumed, {resumed} - {steps})
glebix_write_result_file(resumed, file.path(root, "r-resumed"))
glebix_save_state(resumed, file.path(root, "r-resumed/end.state"))
"""


def _r_ready():
    if not shutil.which("Rscript"):
        return False
    probe = subprocess.run(["Rscript", "-e", "quit(status = !requireNamespace('glebix', quietly = TRUE))"],
                           capture_output=True)
    return probe.returncode == 0


def _same_files(root, other):
    for point in (1, 2):
        for replicate in range(1, REPLICATES + 1):
            run = f"point-{point:03d}/run-{replicate:03d}"
            for name in RUN_FILES:
                expected = (root / "batch" / run / name).read_bytes()
                assert (root / other / run / name).read_bytes() == expected, f"{other}/{run}/{name}"
    for name in ("RireVed1a1p1.txt", "end.state", "anim.gif"):
        expected = (root / "batch-resumed" / name).read_bytes()
        assert (root / f"{other}-resumed" / name).read_bytes() == expected, f"{other}-resumed/{name}"


def test_python_writes_the_batch_tools_bytes(study):
    root, design = study
    table = _batch_study(root)
    python_table = glebix.sweep(POINTS, replicates=REPLICATES, seed=SEED, steps=STEPS, EnvInitMode=0,
                                EnvFilePath=design.EnvFilePath[0])
    columns = ["point", "replicate", "seed", "step", "total_density", "mean_compacted", "cell_density"]
    pd.testing.assert_frame_equal(python_table[columns].reset_index(drop=True), table[columns], check_dtype=False)
    _python_study(root, design, table)
    _same_files(root, "python")


def test_r_writes_the_batch_tools_bytes(study):
    if not _r_ready():
        pytest.skip("R ou son paquet glebix manque")
    root, _ = study
    if not (root / "batch.csv").exists():
        _batch_study(root)
    script = root / "study.R"
    script.write_text(R_STUDY.format(replicates=REPLICATES, seed=SEED, steps=STEPS, resumed=RESUMED_STEPS))
    done = subprocess.run(["Rscript", str(script), str(root)], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    columns = ["point", "replicate", "seed", "step", "total_density", "mean_compacted", "cell_density"]
    r_table, table = pd.read_csv(root / "r.csv"), pd.read_csv(root / "batch.csv")
    pd.testing.assert_frame_equal(r_table[columns], table[columns], check_dtype=False)
    _same_files(root, "r")


# A design whose middle point faults in its first step: every front end keeps the good
# runs and the failed runs' rows up to the fault, and reports the failure.
FAULTY = [{"Fecundity": "2"}, {"Fecundity": "1e300"}, {"Fecundity": "3"}]
FAULT_COLUMNS = ["point", "replicate", "seed", "Fecundity", "step", "total_density", "mean_compacted"]

R_FAULTY = """
library(glebix)
args <- commandArgs(trailingOnly = TRUE)
design <- utils::read.csv(file.path(args[1], "faulty.csv"), colClasses = "character")
if (args[3] == "future") future::plan(future::multisession, workers = 2)
thin <- if (args[2] == "thin") list(table_every = "2", table_metrics = "final_total") else list()
caught <- tryCatch(do.call(glebix_sweep, c(list(design, replicates = 2, seed = 5, steps = 4), thin)),
                   glebix_error = function(e) e)
stopifnot(inherits(caught, "glebix_error"))
utils::write.csv(caught$result, file.path(args[1], paste0("r-", args[2], "-", args[3], ".csv")), row.names = FALSE)
"""


@pytest.mark.parametrize("thin", [False, True])
def test_a_faulting_point_costs_no_front_end_its_good_runs(tmp_path, thin):
    pd.DataFrame(FAULTY).to_csv(tmp_path / "faulty.csv", index=False)
    options = ["--table-every", "2", "--table-metric", "final_total"] if thin else []
    done = subprocess.run([os.environ["GLEBIX_BATCH"], "--quiet", "--design", "faulty.csv", "--replicates", "2",
                           "--seed", "5", "--steps", "4", "--table", "batch.csv", *options], cwd=tmp_path,
                          capture_output=True, text=True)
    assert done.returncode == 1 and "point 2" in done.stderr
    table = pd.read_csv(tmp_path / "batch.csv")
    assert sorted(set(table.point)) == [1, 2, 3] and len(table[table.point == 3]) == 2 * (3 if thin else 5)
    columns = FAULT_COLUMNS + (["final_total"] if thin else [])
    if thin:  # the failed runs keep the last step they reached, without metrics
        assert table[table.point == 2].final_total.isna().all() and table[table.point != 2].final_total.notna().all()

    extra = {"table_every": 2, "table_metrics": ["final_total"]} if thin else {}
    with pytest.raises(glebix.GlebixError) as caught:
        glebix.sweep(FAULTY, replicates=2, seed=5, steps=4, jobs=2, **extra)
    e = caught.value
    assert [(f.point, f.replicate) for f in e.failures] == [(2, 1), (2, 2)]
    pd.testing.assert_frame_equal(e.table[columns].reset_index(drop=True), table[columns], check_dtype=False)

    if not _r_ready():
        pytest.skip("R ou son paquet glebix manque")
    script = tmp_path / "faulty.R"
    script.write_text(R_FAULTY)
    for plan in ("local", "future"):
        kind = "thin" if thin else "whole"
        done = subprocess.run(["Rscript", str(script), str(tmp_path), kind, plan], capture_output=True, text=True)
        assert done.returncode == 0, done.stderr
        r_table = pd.read_csv(tmp_path / f"r-{kind}-{plan}.csv")
        pd.testing.assert_frame_equal(r_table[columns], table[columns], check_dtype=False)
