"""A sweep on a Dask cluster of two worker processes gives the local table."""

import json
import os
import signal
import sys

import pandas as pd
import pytest

import glebix

from conftest import batch, table_text  # noqa: F401  (the fixture)

distributed = pytest.importorskip("distributed")

# The cluster's start, the sweep and the shutdown together must end well within this.
TIME_LIMIT_SECONDS = 120


@pytest.fixture
def client():
    # Worker processes import glebix from where this process found it.
    package_root = os.path.dirname(os.path.dirname(glebix.__file__))
    os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [package_root, os.environ.get("PYTHONPATH")]))

    def overrun(*_):
        raise TimeoutError(f"le groupe Dask n'a pas fini en {TIME_LIMIT_SECONDS} s")

    previous = signal.signal(signal.SIGALRM, overrun)
    signal.alarm(TIME_LIMIT_SECONDS)
    try:
        with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                      dashboard_address=None) as cluster, distributed.Client(cluster) as c:
            yield c
    finally:
        signal.alarm(0)
        signal.signal(signal.SIGALRM, previous)


def test_a_dask_sweep_equals_the_local_one(client, tmp_path, monkeypatch, capsys):
    (tmp_path / "dist.txt").write_text("25 25 40\n10 12 7\n")
    design = pd.DataFrame({"Survival": [0.3, 0.45, 0.6], "DecompactionD": ["5.658", "3", "7.5"],
                           "DistInitMode": [4, 0, 0], "DistFilePath": ["", str(tmp_path / "dist.txt"), "dist.txt"]})
    monkeypatch.chdir(tmp_path)  # the relative path is read here, not where the workers run
    remote = glebix.sweep(design, replicates=3, seed=2024, steps=40, client=client, independent_seeds=True,
                          progress=True)
    local = glebix.sweep(design, replicates=3, seed=2024, steps=40, jobs=2, independent_seeds=True)
    pd.testing.assert_frame_equal(remote, local)
    if "tqdm" in sys.modules:
        assert "9/9" in capsys.readouterr().err
    # The runs were made in the worker processes, which import glebix for them.
    assert any(client.run(lambda: "glebix" in sys.modules).values())

    # A failed run comes back with its point; the good runs and its rows up to the fault
    # are kept, as on local threads.
    faulty = [{"Fecundity": 2}, {"Fecundity": 1e300}, {"Fecundity": 3}]
    with pytest.raises(glebix.GlebixError) as caught:
        glebix.sweep(faulty, seed=1, steps=3, client=client)
    with pytest.raises(glebix.GlebixError) as local:
        glebix.sweep(faulty, seed=1, steps=3, jobs=2)
    assert (caught.value.point, caught.value.replicate) == (2, 1)
    assert [(f.point, f.replicate) for f in caught.value.failures] == [(2, 1)]
    pd.testing.assert_frame_equal(caught.value.table, local.value.table)
    assert sorted(set(caught.value.table.point)) == [1, 2, 3]


def test_a_dask_study_with_a_mask_and_stopping_rules_is_the_batch_tools_table(client, batch, tmp_path):
    rows = ["ncols 10", "nrows 10", "xllcorner 0", "yllcorner 0", "cellsize 1"]
    rows += [" ".join("0" if column == 4 else "1" for column in range(10))] * 10
    (tmp_path / "habitat.asc").write_text("\n".join(rows) + "\n")
    (tmp_path / "design.csv").write_text("Survival\n0.2\n0.3\n")
    batch("--seed", 12, "--steps", 300, "--replicates", 2, "--design", "design.csv", "--table", "table.csv",
          "--table-every", "9", "--stop-when", "extinct", "--set", "PlotWidth=10", "--set", "PlotHeight=10",
          "--set", f"HabitatFilePath={tmp_path / 'habitat.asc'}")
    table = glebix.sweep([{"Survival": 0.2}, {"Survival": 0.3}], replicates=2, seed=12, steps=300, client=client,
                         table_every=9, stop_when="extinct", habitat=tmp_path / "habitat.asc", PlotWidth=10,
                         PlotHeight=10)
    assert table_text(table) == (tmp_path / "table.csv").read_text()
    assert list(table.columns[-2:]) == ["lost", "stopped_by"] and (table.stopped_by == "extinct").sum() == 4


@pytest.mark.parametrize("method", ["abc-rejection", "abc-smc"])
def test_a_calibration_on_dask_equals_the_local_one(client, tmp_path, method):
    # Mode 0 reads a distribution file not given: some runs fault, and fault alike there.
    factors = tmp_path / "factors.csv"
    factors.write_text("name,low,high\nSurvival,0.2,0.8\nDistInitMode,0,4\n")
    observed = tmp_path / "observed.csv"
    observed.write_text("step,metric,value\n6,total_density,10\n12,total_density,60\n,final_compacted,30\n")
    plot = {"PlotWidth": 10, "PlotHeight": 10}
    remote = glebix.calibrate(factors, observed, tmp_path / "dask", seed=11, samples=60, method=method, accept=0.3,
                              steps=12, client=client, quiet=True, **plot)
    local = glebix.calibrate(factors, observed, tmp_path / "local", seed=11, samples=60, method=method, accept=0.3,
                             steps=12, jobs=2, quiet=True, **plot)
    assert (tmp_path / "dask" / "posterior.csv").read_bytes() == (tmp_path / "local" / "posterior.csv").read_bytes()
    pd.testing.assert_frame_equal(remote, local)
    faulted = [json.loads((tmp_path / f / "manifest.json").read_text())["faulted_runs"] for f in ("dask", "local")]
    assert faulted[0] == faulted[1] > 0


# A fault of the cluster reaches the caller as it was raised, with no results written.
def test_a_failing_cluster_calibration_raises_and_writes_nothing(tmp_path):
    observed = tmp_path / "observed.csv"
    observed.write_text("step,metric,value\n6,total_density,10\n")
    factors = tmp_path / "factors.csv"
    factors.write_text("name,low,high\nSurvival,0.2,0.8\n")

    def gone(*_, **__):
        raise RuntimeError("no worker")

    broken = type("Broken", (), {"map": gone})()
    with pytest.raises(RuntimeError, match="no worker"):
        glebix.calibrate(factors, observed, tmp_path / "out", seed=1, samples=10, steps=12, client=broken,
                         PlotWidth=10, PlotHeight=10)
    assert not (tmp_path / "out" / "posterior.csv").exists()
