"""A sweep on a Dask cluster of two worker processes gives the local table."""

import os
import signal
import sys

import pandas as pd
import pytest

import glebix

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
