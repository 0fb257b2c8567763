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
    assert glebix.sample("saltelli", factors, tmp_path / "py.csv", seed=3, samples=8) == str(tmp_path / "py.csv")
    run = batch("--sample", "saltelli", "--factors", str(factors), "--samples", "8", "--seed", "3",
                "--design-out", str(tmp_path / "batch.csv"))
    assert run.returncode == 0, run.stderr
    design = (tmp_path / "py.csv").read_bytes()
    assert design == (tmp_path / "batch.csv").read_bytes()
    # A table of the design with a metric of its own.
    lines = design.decode().splitlines()
    rows = ["point,Survival,Fecundity,y"]
    for k, line in enumerate(lines[1:], start=1):
        s, f = (float(v) for v in line.split(","))
        rows.append(f"{k},{line},{s * 10 + f * f}")
    (tmp_path / "table.csv").write_text("\n".join(rows) + "\n")
    glebix.analyse(tmp_path / "table.csv", factors, "saltelli", "y", tmp_path / "py-idx.csv", seed=5, bootstrap=50)
    run = batch("--analyse", str(tmp_path / "table.csv"), "--factors", str(factors), "--method", "saltelli",
                "--metric", "y", "--seed", "5", "--bootstrap", "50", "--indices", str(tmp_path / "batch-idx.csv"))
    assert run.returncode == 0, run.stderr
    assert (tmp_path / "py-idx.csv").read_bytes() == (tmp_path / "batch-idx.csv").read_bytes()


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
    assert indices == str(tmp_path / "py" / "indices.csv")
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
