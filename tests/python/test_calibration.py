"""glebix.calibrate() is the batch tool's calibration: the same bytes of posterior.csv
from the same inputs, the same refusals before any run."""

import os
import signal
import subprocess
import sys
import time

import pytest

import glebix

PLOT = {"PlotWidth": 10, "PlotHeight": 10}
# Long enough for a calibration to save its first generation, or to stop on Ctrl-C.
STATE_WAIT_SECONDS = 60
BATCH_PLOT = ["--set", "PlotWidth=10", "--set", "PlotHeight=10", "--steps", "12", "--quiet"]


@pytest.fixture
def inputs(tmp_path):
    factors = tmp_path / "factors.csv"
    factors.write_text("name,low,high\nSurvival,0.2,0.8\n")
    observed = tmp_path / "observed.csv"
    observed.write_text("step,metric,value\n6,total_density,10\n12,total_density,60\n,final_compacted,30\n")
    return factors, observed


def batch(*arguments):
    program = os.environ.get("GLEBIX_BATCH", "glebix-batch")
    return subprocess.run([program, *arguments], capture_output=True, text=True, check=False)


@pytest.mark.parametrize("method", ["abc-rejection", "abc-smc"])
def test_same_posterior_as_the_batch_tool(tmp_path, inputs, method):
    if not os.environ.get("GLEBIX_BATCH"):
        pytest.skip("GLEBIX_BATCH names the built glebix-batch")
    factors, observed = inputs
    posterior = glebix.calibrate(factors, observed, tmp_path / "py", seed=7, samples=60, method=method, accept=0.2,
                                 steps=12, jobs=2, **PLOT)
    assert list(posterior.columns) == ["point", "replicate", "seed", "runs", "distance", "weight", "Survival",
                                       "Survival_run"]
    # The rejection keeps a fifth of its runs; abc-smc's population is its own (at least 50).
    assert len(posterior) == (12 if method == "abc-rejection" else 50)
    assert posterior["Survival"].between(0.2, 0.8).all()
    done = batch("--calibrate", "--method", method, "--factors", str(factors), "--observed", str(observed),
                 "--samples", "60", "--accept", "0.2", "--seed", "7", "--out", str(tmp_path / "batch"), *BATCH_PLOT)
    assert done.returncode == 0, done.stderr
    for name in ("posterior.csv", "posterior-summary.csv"):
        assert (tmp_path / "py" / name).read_bytes() == (tmp_path / "batch" / name).read_bytes()


def test_species_file_gives_the_batch_tools_bytes_and_is_recorded(tmp_path, inputs):
    if not os.environ.get("GLEBIX_BATCH"):
        pytest.skip("GLEBIX_BATCH names the built glebix-batch")
    import json

    factors, observed = inputs
    species = tmp_path / "species.txt"
    species.write_text("0.7 3 1 0.5 2 0.2 0 0.9 1 1.25\n")
    glebix.calibrate(factors, observed, tmp_path / "py", seed=4, samples=30, accept=0.2, steps=12, species=species,
                     **PLOT)
    glebix.calibrate(factors, observed, tmp_path / "none", seed=4, samples=30, accept=0.2, steps=12, **PLOT)
    done = batch("--calibrate", "--method", "abc-rejection", "--factors", str(factors), "--observed", str(observed),
                 "--samples", "30", "--accept", "0.2", "--seed", "4", "--species", str(species), "--out",
                 str(tmp_path / "batch"), *BATCH_PLOT)
    assert done.returncode == 0, done.stderr
    posterior = (tmp_path / "py" / "posterior.csv").read_bytes()
    assert posterior == (tmp_path / "batch" / "posterior.csv").read_bytes()
    assert posterior != (tmp_path / "none" / "posterior.csv").read_bytes()
    for folder in ("py", "batch"):
        inputs_of = json.loads((tmp_path / folder / "manifest.json").read_text())["inputs"]
        assert [i["path"] for i in inputs_of if i["role"] == "species"] == [str(species)]
    with pytest.raises(Exception, match="missing.txt"):
        glebix.calibrate(factors, observed, tmp_path / "no", seed=4, samples=30, steps=12,
                         species=tmp_path / "missing.txt", **PLOT)
    assert not (tmp_path / "no").exists()


def test_bad_input_refused_before_any_run(tmp_path, inputs):
    factors, observed = inputs
    out = tmp_path / "out"
    with pytest.raises(ValueError, match=r"\(0, 1\]|\]0, 1\]"):
        glebix.calibrate(factors, observed, out, seed=1, samples=10, accept=0, steps=12, **PLOT)
    late = tmp_path / "late.csv"
    late.write_text("step,metric,value\n13,total_density,1\n")
    with pytest.raises(ValueError, match="late.csv"):
        glebix.calibrate(factors, late, out, seed=1, samples=10, steps=12, **PLOT)
    with pytest.raises(ValueError):
        glebix.calibrate(factors, observed, out, seed=1, samples=10, method="abc-magic", steps=12, **PLOT)
    assert not out.exists()


def test_factors_as_a_dict_calibrate_as_their_file(tmp_path, inputs):
    factors, observed = inputs
    from_file = glebix.calibrate(factors, observed, tmp_path / "file", seed=3, samples=30, accept=0.2, steps=12,
                                 **PLOT)
    from_dict = glebix.calibrate({"Survival": (0.2, 0.8)}, observed, tmp_path / "dict", seed=3, samples=30,
                                 accept=0.2, steps=12, **PLOT)
    assert (tmp_path / "dict" / "posterior.csv").read_bytes() == (tmp_path / "file" / "posterior.csv").read_bytes()
    assert from_dict.equals(from_file)
    with pytest.raises(ValueError, match="rain"):
        glebix.calibrate({"rain": (0, 1)}, observed, tmp_path / "no", seed=3, samples=30, steps=12, **PLOT)
    assert not (tmp_path / "no").exists()


def _grid(tmp_path):
    """The final density grid of a run on the tests' plot, as glebix-batch --asc writes it."""
    done = batch("--seed", "5", "--asc", str(tmp_path / "truth"), *BATCH_PLOT)
    assert done.returncode == 0, done.stderr
    return tmp_path / "truth" / "density.asc"


def test_observed_grids_in_every_form_give_the_batch_tools_bytes(tmp_path, inputs):
    if not os.environ.get("GLEBIX_BATCH"):
        pytest.skip("GLEBIX_BATCH names the built glebix-batch")
    factors, observed = inputs
    grid = _grid(tmp_path)
    done = batch("--calibrate", "--method", "abc-rejection", "--factors", str(factors), "--observed", str(observed),
                 "--samples", "60", "--accept", "0.2", "--seed", "7", "--out", str(tmp_path / "batch"),
                 "--observed-grid", f"12:{grid}", "--observed-grid", f"compacted@6:{grid.parent / 'compacted.asc'}",
                 "--figure", str(tmp_path / "batch.png"), *BATCH_PLOT)
    assert done.returncode == 0, done.stderr
    forms = {"dict": {12: grid, "compacted@6": grid.parent / "compacted.asc"},
             "list": [f"12:{grid}", f"compacted@6:{grid.parent / 'compacted.asc'}"]}
    for form, grids in forms.items():
        glebix.calibrate(factors, observed, tmp_path / form, seed=7, samples=60, accept=0.2, steps=12,
                         observed_grids=grids, figure=tmp_path / f"{form}.png", **PLOT)
        for name in ("posterior.csv", "posterior-summary.csv"):
            assert (tmp_path / form / name).read_bytes() == (tmp_path / "batch" / name).read_bytes(), form
        assert (tmp_path / f"{form}.png").read_bytes() == (tmp_path / "batch.png").read_bytes()


def test_bad_grids_refused_before_any_run(tmp_path, inputs):
    factors, observed = inputs
    small = tmp_path / "small.asc"
    small.write_text("ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 1 1\n1 1 1\n")
    out = tmp_path / "out"
    with pytest.raises(ValueError, match="small.asc"):
        glebix.calibrate(factors, observed, out, seed=1, samples=10, steps=12, observed_grids={12: small}, **PLOT)
    with pytest.raises(ValueError, match="pixels"):
        glebix.calibrate(factors, observed, out, seed=1, samples=10, steps=12, observed_grids={12: small},
                         grid_compare="pixels", **PLOT)
    assert not out.exists()


def test_ctrl_c_keeps_the_last_generation_and_the_same_call_goes_on_to_the_unbroken_bytes(tmp_path, inputs):
    factors, observed = inputs
    arguments = dict(seed=5, samples=12000, method="abc-smc", steps=12, quiet=True, **PLOT)
    broken, unbroken = tmp_path / "broken", tmp_path / "unbroken"
    child = subprocess.Popen([sys.executable, "-c", "import glebix, sys; glebix.calibrate(*sys.argv[1:4], **%r)"
                              % arguments, str(factors), str(observed), str(broken)])
    state = broken / "abc-smc-state.txt"
    deadline = time.monotonic() + STATE_WAIT_SECONDS
    while not state.exists() and child.poll() is None and time.monotonic() < deadline:
        time.sleep(0.01)
    child.send_signal(signal.SIGINT)
    assert child.wait(timeout=STATE_WAIT_SECONDS) != 0, "the calibration ended before Ctrl-C"
    assert state.exists() and not (broken / "posterior.csv").exists()
    glebix.calibrate(factors, observed, broken, **arguments)
    glebix.calibrate(factors, observed, unbroken, **arguments)
    assert not state.exists()
    for name in ("posterior.csv", "posterior-summary.csv"):
        assert (broken / name).read_bytes() == (unbroken / name).read_bytes()


def test_the_prior_design_is_the_batch_tools_and_abc_smc_refuses_one(tmp_path, inputs):
    if not os.environ.get("GLEBIX_BATCH"):
        pytest.skip("GLEBIX_BATCH names the built glebix-batch")
    factors, observed = inputs
    for design in ("sobol", "uniform"):
        done = batch("--calibrate", "--method", "abc-rejection", "--factors", str(factors), "--observed",
                     str(observed), "--samples", "40", "--accept", "0.2", "--seed", "9", "--prior-sample", design,
                     "--out", str(tmp_path / f"batch-{design}"), *BATCH_PLOT)
        assert done.returncode == 0, done.stderr
        glebix.calibrate(factors, observed, tmp_path / design, seed=9, samples=40, accept=0.2, steps=12,
                         prior_sample=design, **PLOT)
        assert ((tmp_path / design / "posterior.csv").read_bytes()
                == (tmp_path / f"batch-{design}" / "posterior.csv").read_bytes())
    with pytest.raises(ValueError, match="abc-rejection"):
        glebix.calibrate(factors, observed, tmp_path / "smc", seed=9, samples=60, method="abc-smc", steps=12,
                         prior_sample="lhs", **PLOT)
    assert not (tmp_path / "smc").exists()
