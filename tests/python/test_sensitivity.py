"""glebix.sample() and glebix.analyse() write the bytes glebix-batch --sample and
--analyse write, and refuse what it refuses."""

import os
import subprocess

import pytest

import glebix

FACTORS = "name,low,high,scale\nSurvival,0.3,0.5,linear\nFecundity,0.5,2,log\n"


def batch(*arguments):
    program = os.environ.get("GLEBIX_BATCH", "glebix-batch")
    return subprocess.run([program, *arguments], capture_output=True, text=True, env={**os.environ, "LANGUAGE": "en"})


@pytest.fixture
def factors(tmp_path):
    path = tmp_path / "factors.csv"
    path.write_text(FACTORS)
    return path


def test_same_design_and_indices_as_the_batch_tool(tmp_path, factors):
    if "GLEBIX_BATCH" not in os.environ:
        pytest.skip("GLEBIX_BATCH names the built glebix-batch")
    design_frame = glebix.sample("saltelli", factors, tmp_path / "py.csv", seed=3, samples=8)
    run = batch("--sample", "saltelli", "--factors", str(factors), "--samples", "8", "--seed", "3",
                "--design-out", str(tmp_path / "batch.csv"))
    assert run.returncode == 0, run.stderr
    design = (tmp_path / "py.csv").read_bytes()
    assert design == (tmp_path / "batch.csv").read_bytes()
    # The DataFrame holds the file's very values, points numbered from 1.
    pd = pytest.importorskip("pandas")
    from_file = pd.read_csv(tmp_path / "py.csv", float_precision="round_trip")
    assert list(design_frame.columns) == ["point", "Survival", "Fecundity"]
    assert design_frame["point"].tolist() == list(range(1, len(from_file) + 1))
    pd.testing.assert_frame_equal(design_frame.drop(columns="point"), from_file)
    # A table of the design with a metric of its own.
    lines = design.decode().splitlines()
    rows = ["point,Survival,Fecundity,y"]
    for k, line in enumerate(lines[1:], start=1):
        s, f = (float(v) for v in line.split(","))
        rows.append(f"{k},{line},{s * 10 + f * f}")
    (tmp_path / "table.csv").write_text("\n".join(rows) + "\n")
    indices = glebix.analyse(tmp_path / "table.csv", factors, "saltelli", "y", tmp_path / "py-idx.csv", seed=5,
                             bootstrap=50)
    run = batch("--analyse", str(tmp_path / "table.csv"), "--factors", str(factors), "--method", "saltelli",
                "--metric", "y", "--seed", "5", "--bootstrap", "50", "--indices", str(tmp_path / "batch-idx.csv"))
    assert run.returncode == 0, run.stderr
    assert (tmp_path / "py-idx.csv").read_bytes() == (tmp_path / "batch-idx.csv").read_bytes()
    pd.testing.assert_frame_equal(
        indices, pd.read_csv(tmp_path / "batch-idx.csv", float_precision="round_trip",
                             dtype={"metric": str, "factor": str, "index": str}))


def test_refusals_write_nothing(tmp_path, factors):
    with pytest.raises(ValueError, match="halton"):
        glebix.sample("halton", factors, tmp_path / "d.csv", seed=1, samples=4)
    bad = tmp_path / "bad.csv"
    bad.write_text("name,low,high\nSurvival,0.5,0.3\n")
    with pytest.raises(ValueError, match=r"bad.csv:2: "):
        glebix.sample("lhs", bad, tmp_path / "d.csv", seed=1, samples=4)
    with pytest.raises(ValueError):
        glebix.sample("lhs", factors, factors, seed=1, samples=4)
    assert factors.read_text() == FACTORS
    assert not (tmp_path / "d.csv").exists()
    with pytest.raises(OSError):
        glebix.sample("lhs", factors, tmp_path / "missing" / "d.csv", seed=1, samples=4)


def test_explore_gives_the_batch_tools_indices(tmp_path, factors):
    if "GLEBIX_BATCH" not in os.environ:
        pytest.skip("GLEBIX_BATCH names the built glebix-batch")
    metrics = ["final_total", "occupied_share"]
    indices = glebix.explore(factors, "morris", metrics, tmp_path / "py", seed=4, samples=3, steps=5, replicates=2,
                             bootstrap=50, quiet=True)
    assert set(indices["metric"]) == set(metrics)
    out = tmp_path / "batch"
    out.mkdir()
    steps = [
        ["--sample", "morris", "--factors", str(factors), "--samples", "3", "--seed", "4", "--design-out",
         str(out / "design.csv")],
        ["--design", str(out / "design.csv"), "--replicates", "2", "--seed", "4", "--steps", "5", "--quiet",
         "--table", str(out / "table.csv"), "--table-every", "last", "--table-metric", "final_total",
         "--table-metric", "occupied_share"],
        ["--analyse", str(out / "table.csv"), "--factors", str(factors), "--method", "morris", "--metric",
         "final_total", "--metric", "occupied_share", "--seed", "4", "--bootstrap", "50", "--indices",
         str(out / "indices.csv")],
    ]
    for arguments in steps:
        done = batch(*arguments)
        assert done.returncode == 0, done.stderr
    for ours, theirs in (("plan.csv", "design.csv"), ("runs.csv", "table.csv"), ("indices.csv", "indices.csv")):
        assert (tmp_path / "py" / ours).read_bytes() == (out / theirs).read_bytes(), ours
    assert (tmp_path / "py" / "indices.json").exists()


def test_sample_takes_positions_and_needs_a_seed(tmp_path, factors):
    pytest.importorskip("pandas")
    by_position = glebix.sample("lhs", factors, tmp_path / "d.csv", 6, 5)
    by_name = glebix.sample("lhs", factors, seed=6, samples=5)
    assert by_position.equals(by_name) and len(by_name) == 5
    with pytest.raises(ValueError, match="seed"):
        glebix.sample("lhs", factors, samples=5)
    with pytest.raises(ValueError, match="seed"):
        glebix.analyse(tmp_path / "d.csv", factors, "lhs", "y")


def test_factors_as_dict_or_dataframe_are_the_files(tmp_path, factors):
    """A dict or a DataFrame of factors gives the design and the indices (to the byte)
    of the same factors' file; their problems name the factor."""
    pd = pytest.importorskip("pandas")
    as_dict = {"Survival": (0.3, 0.5), "Fecundity": (0.5, 2, "log")}
    as_frame = pd.DataFrame({"name": ["Survival", "Fecundity"], "low": [0.3, 0.5], "high": [0.5, 2.0],
                             "scale": ["linear", "log"]})
    design = glebix.sample("sobol", factors, tmp_path / "file.csv", seed=2, samples=16)
    for given in (as_dict, as_frame):
        assert glebix.sample("sobol", given, seed=2, samples=16).equals(design)
    table = design.assign(y=design["Survival"] * 3 + design["Fecundity"] ** 2)
    glebix.analyse(table, factors, "sobol", ["y"], tmp_path / "file-idx.csv", seed=1, bootstrap=40)
    for k, given in enumerate((as_dict, as_frame)):
        out = tmp_path / f"given-{k}.csv"
        glebix.analyse(table, given, "sobol", ["y"], out, seed=1, bootstrap=40)
        assert out.read_bytes() == (tmp_path / "file-idx.csv").read_bytes()
    with pytest.raises(ValueError, match="Survival.*high"):
        glebix.sample("lhs", {"Survival": (0.5, 0.3)}, seed=1, samples=4)
    with pytest.raises(TypeError):
        glebix.sample("lhs", {"Survival": 0.5}, seed=1, samples=4)
    with pytest.raises(TypeError):
        glebix.sample("lhs", as_frame.drop(columns="low"), seed=1, samples=4)


def test_a_table_as_dataframe_gives_the_files_indices_and_figure(tmp_path, factors):
    """A table handed over as a DataFrame analyses as its file does; nothing is written
    without a path; the figure is the batch tool's PNG."""
    pd = pytest.importorskip("pandas")
    design = glebix.sample("lhs", factors, seed=3, samples=20)
    table = design.assign(y=design["Survival"] - design["Fecundity"])
    table.to_csv(tmp_path / "table.csv", index=False)
    from_frame = glebix.analyse(table, factors, "lhs", "y", seed=4, bootstrap=30)
    assert sorted(p.name for p in tmp_path.iterdir()) == ["factors.csv", "table.csv"]
    from_file = glebix.analyse(tmp_path / "table.csv", factors, "lhs", "y", tmp_path / "idx.csv", seed=4,
                               bootstrap=30, figure=tmp_path / "fig.png")
    pd.testing.assert_frame_equal(from_frame, from_file)
    assert list(from_frame.columns) == ["metric", "step", "factor", "index", "estimate", "low", "high"]
    assert (tmp_path / "fig.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    if "GLEBIX_BATCH" in os.environ:
        run = batch("--analyse", str(tmp_path / "table.csv"), "--factors", str(factors), "--method", "lhs",
                    "--metric", "y", "--seed", "4", "--bootstrap", "30", "--indices", str(tmp_path / "b.csv"),
                    "--figure", str(tmp_path / "b.png"))
        assert run.returncode == 0, run.stderr
        assert (tmp_path / "fig.png").read_bytes() == (tmp_path / "b.png").read_bytes()
    with pytest.raises(ValueError):
        glebix.analyse(tmp_path / "table.csv", factors, "lhs", "y", seed=4, figure=tmp_path / "table.csv")
    assert (tmp_path / "table.csv").read_text().startswith("point,")


def test_metric_functions_become_columns_the_analysis_takes(tmp_path, factors):
    """A metric function sees each run's rows in step order, and its value is a column
    of the table, analysed as any metric."""
    pytest.importorskip("pandas")
    seen = []

    def peak(rows):
        seen.append(rows["step"].tolist())
        return rows["total_density"].max()

    indices = glebix.explore(factors, "lhs", ["peak", "final_total"], tmp_path / "x", seed=4, samples=4, steps=5,
                             bootstrap=20, quiet=True, metric_functions={"peak": peak})
    assert seen and all(steps == list(range(6)) for steps in seen)
    runs = glebix.sweep([{"Survival": 0.4}], seed=1, steps=5, table_every="last",
                        metric_functions={"peak": peak, "steps_seen": lambda rows: len(rows)})
    assert runs["steps_seen"].tolist() == [6]
    table = (tmp_path / "x" / "runs.csv").read_text().splitlines()
    assert table[0].endswith(",final_total,peak")
    assert set(indices["metric"]) == {"peak", "final_total"}
    with pytest.raises(ValueError, match="step"):
        glebix.sweep([{"Survival": 0.4}], seed=1, steps=2, metric_functions={"step": len})
    with pytest.raises(ValueError, match="Survival"):
        glebix.sweep([{"Survival": 0.4}], seed=1, steps=2, metric_functions={"Survival": len})
    with pytest.raises(ValueError, match="bad"):
        glebix.sweep([{"Survival": 0.4}], seed=1, steps=2, metric_functions={"bad": lambda rows: "x"})


def test_without_pandas_the_tables_are_dicts_of_the_same_values(tmp_path, factors, monkeypatch):
    pd = pytest.importorskip("pandas")
    design = glebix.sample("lhs", factors, seed=3, samples=12)
    table = design.assign(y=design["Survival"] * design["Fecundity"])
    indices = glebix.analyse(table, factors, "lhs", "y", seed=4, bootstrap=20)
    from glebix import _sensitivity
    monkeypatch.setattr(_sensitivity, "pandas", None)
    monkeypatch.setattr(_sensitivity, "as_table", lambda columns: columns)
    plain_design = glebix.sample("lhs", factors, seed=3, samples=12)
    plain_indices = glebix.analyse(table, factors, "lhs", "y", seed=4, bootstrap=20)
    pd.testing.assert_frame_equal(pd.DataFrame(plain_design), design)
    for name in indices.columns:
        assert list(map(str, plain_indices[name])) == list(map(str, indices[name])), name
