"""Studies with a habitat mask, soil maps, management events and stopping rules: the
tables are glebix-batch's, byte for byte once written, and bad keywords are refused
before any run."""

import pathlib

import numpy as np
import pytest

import glebix
from glebix import _core

from conftest import batch, table_lines, table_text, trace_lines  # noqa: F401  (the fixture)

SIDE = 20
SMALL = dict(PlotWidth=SIDE, PlotHeight=SIDE, DistInitMode=2, DispersalSigma=2.5)
# Goes extinct within a few dozen steps on a plot of 10 x 10 cells.
DYING = dict(PlotWidth=10, PlotHeight=10)


def sets(settings):
    return [a for name, value in settings.items() for a in ("--set", f"{name}={value}")]


def grid(path, value):
    """An ASCII grid of the small plot, `value(line, column)` in each cell."""
    rows = [f"ncols {SIDE}", f"nrows {SIDE}", "xllcorner 0", "yllcorner 0", "cellsize 1"]
    rows += [" ".join(str(value(line, column)) for column in range(SIDE)) for line in range(SIDE)]
    path.write_text("\n".join(rows) + "\n")
    return path


@pytest.fixture
def land(tmp_path):
    """A habitat cut by a road, a map of DecompactionD and a schedule of events."""
    habitat = grid(tmp_path / "habitat.asc", lambda line, column: 0 if 8 <= column <= 10 else 1)
    soil = grid(tmp_path / "d.asc", lambda line, column: 2 + column % 5)
    grid(tmp_path / "track.asc", lambda line, column: 1 if 2 <= column <= 4 else 0)
    events = tmp_path / "ev.csv"
    events.write_text("step,every,action,where,value\n3,4,add_compacted,track.asc,30\n5,,remove_fauna,all,0.3\n")
    return habitat, soil, events


def read(path):
    return pathlib.Path(path).read_text()


@pytest.mark.parametrize("masked_by", ["keyword", "design"])
def test_a_study_of_the_whole_landscape_is_the_batch_tools_table(batch, tmp_path, land, masked_by):
    habitat, soil, events = land
    common = ["--seed", 3, "--steps", 8, "--replicates", 2, "--table", "table.csv", *sets(SMALL),
              "--map", f"DecompactionD={soil}", "--events", events]
    landscape = dict(maps={"DecompactionD": soil}, events=str(events))
    if masked_by == "keyword":
        batch(*common, "--set", f"HabitatFilePath={habitat}")
        table = glebix.run(steps=8, seed=3, replicates=2, habitat=habitat, **landscape, **SMALL)
    else:  # the first point has no mask: its lost are 0
        (tmp_path / "design.csv").write_text(f"HabitatFilePath,Survival\n,0.5\n{habitat},0.6\n")
        batch(*common, "--design", "design.csv")
        design = [{"HabitatFilePath": "", "Survival": 0.5}, {"HabitatFilePath": str(habitat), "Survival": 0.6}]
        table = glebix.sweep(design, steps=8, seed=3, replicates=2, jobs=2, **landscape, **SMALL)
    assert table_text(table) == read(tmp_path / "table.csv")
    masked = table.step > 0 if masked_by == "keyword" else (table.point == 2) & (table.step > 0)
    assert list(table.columns)[-1] == "lost" and table.lost[masked].sum() > 0
    assert (table.lost[~masked] == 0).all()


def test_a_simulation_spells_the_landscape_as_the_batch_tool_does(batch, tmp_path, land):
    habitat, soil, events = land
    batch("--seed", 4, "--steps", 9, *sets(SMALL), "--set", f"HabitatFilePath={habitat}", "--map",
          f"DecompactionD={soil}", "--events", events, "--trace", "t.csv")
    sim = glebix.Simulation(seed=4, steps=9, habitat=str(habitat), maps={"DecompactionD": soil}, events=events,
                            **SMALL)
    assert sim.settings["DecompactionDMapPath"] == str(soil) and sim.settings["HabitatFilePath"] == str(habitat)
    trace = sim.run()
    assert [line + f",{lost}" for line, lost in zip(table_lines(trace), trace.lost.iloc[1:])] == trace_lines(
        tmp_path / "t.csv")
    # The road holds no one.
    assert not sim.density[:, 8:11].any() and sim.density.any()


@pytest.mark.parametrize("every", [None, "7"])
def test_a_stopped_study_is_the_batch_tools_table(batch, tmp_path, every):
    (tmp_path / "design.csv").write_text("Survival\n0.2\n0.3\n0.9\n")
    metrics = ["final_total", "extinction_step"]
    thinning = [] if every is None else ["--table-every", every]
    batch("--seed", 11, "--steps", 300, "--replicates", 2, "--design", "design.csv", "--table", "table.csv",
          "--stop-when", "extinct", "--stop-when", "mean_compacted<5", *thinning, *sets(DYING),
          *[a for m in metrics for a in ("--table-metric", m)])
    table = glebix.sweep([{"Survival": s} for s in (0.2, 0.3, 0.9)], replicates=2, seed=11, steps=300, jobs=2,
                         table_every=every, table_metrics=metrics, stop_when=["extinct", "mean_compacted<5"],
                         **DYING)
    assert table_text(table) == read(tmp_path / "table.csv")
    # The dying runs stopped before their last step, and only their last row names the
    # rule; the runs that live on reach it.
    last = table.groupby(["point", "replicate"]).tail(1)
    dying = last.point < 3
    assert (last.step[dying] < 300).all() and (last.stopped_by[dying] == "extinct").all()
    assert (last.step[~dying] == 300).all()
    assert (table.drop(last.index).stopped_by == "").all()
    assert list(table.columns[-3:]) == ["stopped_by", *metrics]


def test_a_rule_that_holds_at_set_up_leaves_one_row_and_a_run_can_be_stopped(batch, tmp_path):
    batch("--seed", 2, "--steps", 20, "--replicates", 2, "--table", "table.csv", "--stop-when", "total_density>0",
          *sets(DYING))
    table = glebix.run(steps=20, seed=2, replicates=2, stop_when="total_density>0", **DYING)
    assert table_text(table) == read(tmp_path / "table.csv")
    assert list(table.step) == [0, 0] and list(table.stopped_by) == ["total_density>0"] * 2


@pytest.mark.parametrize("study", ["Simulation", "run", "sweep"])
def test_bad_keywords_are_refused_before_anything_runs(monkeypatch, tmp_path, land, study):
    habitat, soil, _ = land

    def forbidden(*_):
        raise AssertionError("a run started")

    monkeypatch.setattr(_core, "run_study", forbidden)
    call = {"Simulation": glebix.Simulation, "run": glebix.run,
            "sweep": lambda **kw: glebix.sweep([{"Survival": 0.5}], **kw)}[study]
    refusals = [
        (dict(maps={"Survival": soil}), ValueError, r"maps : Survival n'a pas de carte.*DecompactionD"),
        (dict(maps=[("DecompactionD", soil)]), TypeError, "maps"),
        (dict(habitat=habitat, HabitatFilePath=habitat), ValueError, "habitat et HabitatFilePath"),
        (dict(maps={"CompactionC": soil}, CompactionCMapPath=soil), ValueError, "CompactionCMapPath"),
        (dict(events=3), TypeError, "events"),
        (dict(stop_when="alive"), glebix.GlebixError, "stop_when"),
        (dict(stop_when=["extinct", "nothing<3"]), glebix.GlebixError, "nothing"),
    ]
    for keywords, kind, told in refusals:
        with pytest.raises(kind, match=told):
            call(steps=2, **keywords)


@pytest.mark.parametrize("study", ["run", "sweep"])
def test_a_schedule_the_batch_tool_refuses_is_refused_before_anything_runs(monkeypatch, batch, tmp_path, study):
    def forbidden(*_):
        raise AssertionError("a run started")

    monkeypatch.setattr(_core, "run_study", forbidden)
    call = {"run": glebix.run, "sweep": lambda **kw: glebix.sweep([{"Survival": 0.5}], **kw)}[study]
    schedules = {"late.csv": "step,every,action,where,value\n2,,add_compacted,all,10\n9,,add_compacted,all,10\n",
                 "unknown.csv": "step,every,action,where,value\n2,,plough,all,10\n",
                 "nomask.csv": "step,every,action,where,value\n2,,add_compacted,gone.asc,10\n"}
    for name, text in schedules.items():
        (tmp_path / name).write_text(text)
        refused = batch("--steps", 4, *sets(SMALL), "--events", tmp_path / name, check=False)
        assert refused.returncode == 2, name
        with pytest.raises(glebix.GlebixError) as caught:
            call(steps=4, events=tmp_path / name, **SMALL)
        assert str(caught.value).split(" : ", 1)[-1] in refused.stderr, name


def test_a_recorded_stack_takes_the_batch_tools_deflate_level(batch, tmp_path):
    run = dict(seed=4, steps=6, PlotWidth=30, PlotHeight=20)
    sizes = {}
    for level in (0, 9):
        batch("--seed", 4, "--steps", 6, "--every", 2, *sets(dict(PlotWidth=30, PlotHeight=20)), "--netcdf",
              f"b{level}.nc", "--netcdf-deflate", level)
        stack = glebix.Simulation(**run).run(record_every=2, netcdf=tmp_path / f"p{level}.nc", deflate=level)
        assert stack.density.encoding.get("complevel", 0) == level
        assert (tmp_path / f"p{level}.nc").read_bytes() == (tmp_path / f"b{level}.nc").read_bytes()
        sizes[level] = (tmp_path / f"p{level}.nc").stat().st_size
    assert sizes[9] < sizes[0]
    for level, kind, told in ((10, ValueError, "deflate : «10» n'est pas un nombre entier de 0 à 9"),
                              (-1, ValueError, "de 0 à 9"), (1.5, TypeError, "deflate")):
        with pytest.raises(kind, match=told):
            glebix.Simulation(**run).run(record_every=2, netcdf=tmp_path / "bad.nc", deflate=level)
    assert not (tmp_path / "bad.nc").exists()
    np.testing.assert_array_equal(xr_density(tmp_path / "p0.nc"), xr_density(tmp_path / "p9.nc"))


def xr_density(path):
    import xarray

    with xarray.open_dataset(path) as stack:
        return stack.density.values
