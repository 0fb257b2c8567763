"""Studies: the batch tool's runs and seeds, one table whatever the jobs, designs
applied and checked as the batch tool applies and checks them."""

import os
import signal
import subprocess
import sys
import threading
import time

import numpy as np
import pandas as pd
import pytest

import glebix
from conftest import manifest, table_lines, trace_lines

TRACE = ["step", "cell_density", "cell_compacted", "cell_decompacted", "mean_density", "mean_compacted",
         "total_density"]


@pytest.mark.parametrize("independent", [False, True])
def test_a_sweep_is_the_batch_tools_study_table(batch, tmp_path, independent):
    (tmp_path / "design.csv").write_text("Survival,DispersalFirst,DistMean\n0.30,on,\n0.5,off,3\n0.45,on,7\n")
    batch("--seed", 31, "--steps", 12, "--replicates", 2, "--design", "design.csv", "--table", "table.csv",
          "--set", "EnvMean=30", *(["--independent-seeds"] if independent else []))
    design = pd.read_csv(tmp_path / "design.csv", dtype=str, keep_default_na=False)
    table = glebix.sweep(design, replicates=2, seed=31, steps=12, independent_seeds=independent, EnvMean=30)
    expected = pd.read_csv(tmp_path / "table.csv", float_precision="round_trip")
    pd.testing.assert_frame_equal(table, expected, check_exact=True)
    lines = (tmp_path / "table.csv").read_text().splitlines()[1:]
    assert table_lines(table, first_step=0) == [",".join(line.split(",")[-7:]) for line in lines]


@pytest.mark.parametrize("every", ["3", "last"])
def test_a_thinned_sweep_with_metrics_is_the_batch_tools_table(batch, tmp_path, every):
    (tmp_path / "design.csv").write_text("Survival\n0.3\n0.5\n")
    metrics = ["final_total", "occupied_share", "time_mean_total_density@2:7", "extinction_step"]
    batch("--seed", 5, "--steps", 10, "--replicates", 2, "--design", "design.csv", "--table", "table.csv",
          "--table-every", every, *[o for m in metrics for o in ("--table-metric", m)])
    design = pd.read_csv(tmp_path / "design.csv", dtype=str)
    table = glebix.sweep(design, replicates=2, seed=5, steps=10, table_every=every, table_metrics=metrics)
    expected = pd.read_csv(tmp_path / "table.csv", float_precision="round_trip")
    pd.testing.assert_frame_equal(table, expected, check_exact=True, check_dtype=False)
    with pytest.raises(ValueError, match="mean_density"):
        glebix.sweep(design, steps=2, table_metrics=["mean_density"])
    with pytest.raises(ValueError, match="0"):
        glebix.sweep(design, steps=2, table_every=0)


@pytest.mark.parametrize("design", [None, "Edges\ntorus\nbounded\n"], ids=["bounded", "edges-varied"])
def test_a_bounded_study_has_the_batch_tools_emigrants_column(batch, tmp_path, design):
    shape = dict(PlotWidth=20, PlotHeight=30, DistInitMode=2, DispersalSigma=2.5)
    sets = [a for name, value in shape.items() for a in ("--set", f"{name}={value}")]
    if design is None:
        sets += ["--set", "Edges=bounded"]
        table = glebix.run(steps=6, seed=8, replicates=2, Edges="bounded", **shape)
    else:
        (tmp_path / "design.csv").write_text(design)
        sets += ["--design", "design.csv"]
        table = glebix.sweep([{"Edges": "torus"}, {"Edges": "bounded"}], replicates=2, seed=8, steps=6, **shape)
    batch("--seed", 8, "--steps", 6, "--replicates", 2, "--table", "table.csv", *sets)
    expected = pd.read_csv(tmp_path / "table.csv", float_precision="round_trip")
    pd.testing.assert_frame_equal(table, expected, check_exact=True)
    assert list(table.columns)[-1] == "emigrants" and table.emigrants[table.step > 0].sum() > 0


def test_replicates_are_the_batch_tools_runs(batch, tmp_path):
    batch("--seed", 77, "--steps", 25, "--replicates", 3, "--set", "Survival=0.5", "--trace", "t/trace.csv")
    table = glebix.run(steps=25, seed=77, replicates=3, jobs=2, Survival=0.5)
    assert list(table.columns) == ["point", "replicate", "seed"] + TRACE
    assert (table.point == 1).all() and len(table) == 3 * 26
    for r in (1, 2, 3):
        rows = table[table.replicate == r]
        assert table_lines(rows) == trace_lines(tmp_path / "t" / f"run-00{r}" / "trace.csv")
        assert (rows.seed == manifest(tmp_path / "t" / f"run-00{r}" / "manifest.json")["seed"]).all()
        start = glebix.Simulation(seed=int(rows.seed.iloc[0]), Survival=0.5)
        start.setup()
        assert rows.iloc[:1].reset_index(drop=True)[TRACE].equals(start.trace)


@pytest.mark.parametrize("independent", [False, True])
def test_seeds_follow_the_batch_tools_rule(batch, tmp_path, independent):
    batch("--seed", 4242, "--steps", 0, "--replicates", 6, "--out", "o")
    seeds = [manifest(tmp_path / "o" / f"run-00{k}" / "manifest.json")["seed"] for k in range(1, 7)]
    table = glebix.sweep([{"Survival": 0.3}, {"Survival": 0.5}], replicates=3, seed=4242, steps=0,
                         independent_seeds=independent)
    expected = seeds if independent else seeds[:3] * 2
    assert list(table.seed) == expected
    assert list(table.point) == [1, 1, 1, 2, 2, 2] and list(table.replicate) == [1, 2, 3] * 2
    assert table.attrs["master_seed"] == 4242


def test_the_table_does_not_depend_on_jobs_or_the_form_of_the_design():
    frame = pd.DataFrame({"Survival": [0.3, 0.5, np.nan], "DispersalFirst": [True, False, True]})
    one = glebix.sweep(frame, replicates=2, seed=9, steps=30, jobs=1)
    many = glebix.sweep(frame, replicates=2, seed=9, steps=30, jobs=4)
    pd.testing.assert_frame_equal(one, many)
    records = [{"Survival": 0.3, "DispersalFirst": True}, {"Survival": 0.5, "DispersalFirst": False},
               {"DispersalFirst": True}]
    listed = glebix.sweep(records, replicates=2, seed=9, steps=30, jobs=3)
    pd.testing.assert_frame_equal(one, listed)
    assert list(one.columns) == ["point", "replicate", "seed", "Survival", "DispersalFirst"] + TRACE
    # The design's columns hold the values the runs used, as the batch tool's table does.
    assert list(one.Survival.unique()) == [0.3, 0.5, 0.4]
    assert list(one.DispersalFirst.unique()) == ["on", "off"]


def test_a_points_row_comes_after_the_settings_and_a_missing_value_keeps_them():
    design = [{"Survival": 0.6}, {"Survival": None}, {"Survival": ""}]
    table = glebix.sweep(design, seed=3, steps=20, Survival=0.3, DistMean=4)
    assert list(table.Survival.unique()) == [0.6, 0.3]
    for point, survival in ((1, 0.6), (2, 0.3), (3, 0.3)):
        alone = glebix.Simulation(seed=3, steps=20, Survival=survival, DistMean=4).run()
        rows = table[table.point == point].reset_index(drop=True)
        assert rows[TRACE].equals(alone)


def test_design_problems_are_all_named_before_anything_runs():
    with pytest.raises(ValueError) as caught:
        glebix.sweep([{"Survival": "x"}, {"Survival": 0.4}, {"DistMean": 2.5, "Survival": "0,4"}], seed=1)
    lines = str(caught.value).splitlines()
    assert len(lines) == 2
    assert lines[0].startswith("point 1 : paramètre Survival : «x»")
    assert lines[1].startswith("point 3 : paramètre DistMean : «2.5»")
    with pytest.raises(KeyError, match="Survival"):
        glebix.sweep([{"Survivl": 0.4}])
    with pytest.raises(ValueError, match="aucun point"):
        glebix.sweep([])
    with pytest.raises(ValueError, match="replicates"):
        glebix.sweep([{}], replicates=0)


@pytest.mark.parametrize("progress", [False, True])
def test_an_engine_error_in_a_study_names_its_point_and_replicate(tmp_path, progress):
    design = [{}, {"EnvInitMode": 0, "EnvFilePath": tmp_path / "missing.txt"}]
    with pytest.raises(glebix.GlebixError) as caught:
        glebix.sweep(design, replicates=2, seed=1, steps=3, jobs=2, progress=progress)
    e = caught.value
    assert (e.point, e.replicate) == (2, 1)
    assert str(e).startswith("point 2, répétition 1 : ") and e.message == "Fichier introuvable"
    # The other runs went on: the first point's rows are whole, and both failed runs are
    # listed with the one that set up nothing.
    assert str(e).endswith("(et 1 autre(s) simulation(s) en erreur)")
    assert [(f.point, f.replicate) for f in e.failures] == [(2, 1), (2, 2)]
    assert list(e.table.point) == [1] * 2 * 4


def test_without_pandas_tables_are_dicts_of_arrays(monkeypatch):
    with_pandas = glebix.sweep([{"Survival": 0.3}, {}], replicates=2, seed=5, steps=4)
    monkeypatch.setattr(glebix._tables, "pandas", None)
    monkeypatch.setattr(glebix._sweep, "pandas", None)
    plain = glebix.sweep([{"Survival": 0.3}, {}], replicates=2, seed=5, steps=4)
    assert list(plain) == list(with_pandas.columns)
    for name in plain:
        assert isinstance(plain[name], np.ndarray) and len(plain[name]) == len(with_pandas)
    for name in ["point", "replicate", "seed", "Survival"] + TRACE:
        assert (plain[name] == with_pandas[name].to_numpy()).all()
    sim = glebix.Simulation(seed=5, steps=4)
    assert isinstance(sim.run(), dict) and list(sim.trace) == TRACE


def test_input_files_are_read_once_for_the_whole_study(tmp_path):
    env = "".join(f"{i} {j} {20 + (i * j) % 30}\n" for i in range(1, 51) for j in range(1, 51))
    (tmp_path / "env.txt").write_text(env)
    fifo = tmp_path / "env.fifo"  # a pipe can be read only once
    os.mkfifo(fifo)
    writer = threading.Thread(target=lambda: fifo.write_text(env))
    writer.start()
    try:
        table = glebix.sweep([{"Survival": 0.4}, {"Survival": 0.5}], replicates=2, seed=6, steps=15, jobs=2,
                             EnvInitMode=0, EnvFilePath=fifo)
    finally:
        writer.join(timeout=5)
    for point, survival in ((1, 0.4), (2, 0.5)):
        alone = glebix.sweep([{}], replicates=2, seed=6, steps=15, Survival=survival, EnvInitMode=0,
                             EnvFilePath=tmp_path / "env.txt")
        rows = table[table.point == point].drop(columns="Survival").reset_index(drop=True)
        pd.testing.assert_frame_equal(rows.drop(columns="point"), alone.drop(columns="point"))
    direct = glebix.Simulation(seed=6, steps=15, Survival=0.5, EnvInitMode=0, EnvFilePath=tmp_path / "env.txt")
    assert table[(table.point == 2) & (table.replicate == 1)][TRACE].reset_index(drop=True).equals(direct.run())


INTERRUPTED = """
import sys, threading, glebix
print("started", flush=True)
try:
    glebix.{call}(steps=10**7, seed=1, jobs={jobs}, threads=1, progress={progress})
except KeyboardInterrupt:
    print("interrupted", sum(t.name.startswith("glebix") for t in threading.enumerate()), flush=True)
"""


@pytest.mark.parametrize("call,jobs,progress", [("run", 1, False), ("run", 3, False), ("sweep", 2, False),
                                               ("run", 1, True), ("sweep", 2, True)])
def test_ctrl_c_stops_a_study_at_once_whatever_the_jobs(call, jobs, progress):
    call = "sweep([{}, {'Survival': 0.3}, {'Survival': 0.5}], replicates=2," if call == "sweep" else "run(replicates=4,"
    script = INTERRUPTED.replace("{call}(", call).replace("{jobs}", str(jobs)).replace("{progress}", str(progress))
    child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             text=True)
    assert child.stdout.readline() == "started\n"
    time.sleep(1)  # the runs are under way: ten million steps take hours
    sent = time.monotonic()
    child.send_signal(signal.SIGINT)
    try:
        out, _ = child.communicate(timeout=30)
    finally:
        child.kill()
    assert time.monotonic() - sent < 3
    assert out == "interrupted 0\n"  # KeyboardInterrupt, and no worker thread left


STUDIES = {
    "run": lambda **kw: glebix.run(replicates=3, **kw),
    "sweep": lambda **kw: glebix.sweep([{}, {"Survival": 0.3}], replicates=2, **kw),
}


@pytest.mark.parametrize("jobs", [1, 2])
@pytest.mark.parametrize("study,runs", [("run", 3), ("sweep", 4)])
def test_a_progress_bar_counts_the_runs_and_changes_nothing(capsys, monkeypatch, study, runs, jobs):
    pytest.importorskip("tqdm")
    quiet = STUDIES[study](steps=6, seed=8, jobs=jobs)
    assert capsys.readouterr().err == ""
    shown = STUDIES[study](steps=6, seed=8, jobs=jobs, progress=True)
    pd.testing.assert_frame_equal(shown, quiet, check_exact=True)
    assert f"{runs}/{runs}" in capsys.readouterr().err
    monkeypatch.setitem(sys.modules, "tqdm", None)  # as if tqdm were not installed
    pd.testing.assert_frame_equal(STUDIES[study](steps=6, seed=8, jobs=jobs, progress=True), quiet, check_exact=True)
    assert capsys.readouterr().err == ""

