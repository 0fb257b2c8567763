"""One simulation: the same results as the batch tool, grids as read-only views that
follow the run and outlive nothing, errors with their context, and the interpreter
left to other threads while steps run."""

import gc
import os
import pickle
import signal
import threading

import numpy as np
import pytest

import glebix
from conftest import manifest, table_lines, trace_lines

# Settings away from the defaults, so that every process and option is exercised.
VARIED = dict(Survival=0.55, Fecundity=2.5, DispersalFirst=True, DispersalSigma=0.9, DistInitMode=1, DistMean=3,
              EnvMean=40.5, ChartCellX=3, ChartCellY=17, DecompactionD="4.25")
# A small bounded plot whose dispersers leave it: its trace ends with the emigrants.
BOUNDED = dict(PlotWidth=20, PlotHeight=30, Edges="bounded", DistInitMode=2, DispersalSigma=2.5, ChartCellX=4,
               ChartCellY=25)


@pytest.mark.parametrize("settings,steps", [({}, 300), (VARIED, 120), (BOUNDED, 15)],
                         ids=["defaults", "varied", "bounded"])
def test_result_file_and_trace_equal_the_batch_tool(batch, tmp_path, settings, steps):
    sets = [a for name, value in settings.items() for a in ("--set", f"{name}={glebix._settings.setting_text(name, value)}")]
    batch("--seed", 987654321, "--steps", steps, "--out", "out", "--trace", "trace.csv", *sets)
    sim = glebix.Simulation(seed=987654321, steps=steps, **settings)
    trace = sim.run()
    (tmp_path / "py").mkdir()
    path = sim.write_result_file(tmp_path / "py")
    assert path.endswith("/RireVed1a1p1.txt")
    assert (tmp_path / "py" / "RireVed1a1p1.txt").read_bytes() == (tmp_path / "out" / "RireVed1a1p1.txt").read_bytes()
    assert table_lines(trace) == trace_lines(tmp_path / "trace.csv")
    assert list(trace.step) == list(range(steps + 1))
    assert list(trace.columns) == list(glebix._core.TRACE_COLUMNS) + ["emigrants"] * ("Edges" in settings)
    if "Edges" in settings:
        assert trace.emigrants.iloc[1:].sum() > 0


def test_species_file_is_applied_before_the_settings(batch, tmp_path):
    (tmp_path / "species.txt").write_text("0.7 3 1 0.5 2 0.2 0 0.9 1 1.25\n")
    batch("--seed", 5, "--steps", 40, "--species", "species.txt", "--set", "Survival=0.35", "--trace", "t.csv")
    sim = glebix.Simulation(seed=5, steps=40, species=tmp_path / "species.txt", Survival=0.35)
    assert table_lines(sim.run()) == trace_lines(tmp_path / "t.csv")
    assert sim.settings["ResponseShape"] == "1" and sim.settings["Survival"] == "0.35"


def test_step_zero_is_the_state_after_set_up_and_steps_add_up():
    sim = glebix.Simulation(seed=11, steps=30, ChartCellX=3, ChartCellY=17)
    sim.setup()
    first = sim.trace
    assert len(first) == 1 and sim.step_index == 0
    row = first.iloc[0]
    # The chart cell (row 3, column 17) is on the map's line 50 - 17 from the top, column 3 - 1.
    assert (row.cell_density, row.cell_compacted, row.cell_decompacted) == sim.cell(3, 17)
    assert row.cell_density == sim.density[33, 2]
    assert row.cell_compacted == sim.compacted[33, 2] and row.cell_decompacted == sim.decompacted[33, 2]
    assert row.total_density == sim.density.sum() and row.mean_compacted == pytest.approx(sim.compacted.mean())
    sim.step()
    sim.step(29)
    assert sim.step_index == 30
    again = glebix.Simulation(seed=11, steps=30, ChartCellX=3, ChartCellY=17)
    assert sim.trace.equals(again.run())


def test_grids_are_read_only_views_that_follow_the_run():
    sim = glebix.Simulation(seed=21, steps=10)
    sim.setup()
    grids = (sim.density, sim.compacted, sim.decompacted)
    assert [(g.dtype, g.shape) for g in grids] == [(np.int32, (50, 50)), (np.float64, (50, 50)), (np.float64, (50, 50))]
    for g in grids:
        assert not g.flags.writeable and not g.flags.owndata
        with pytest.raises(ValueError):
            g[0, 0] = 1
        with pytest.raises(ValueError):
            g.setflags(write=True)
    density = grids[0]
    sim.step(10)
    assert np.shares_memory(density, sim.density)
    assert density.sum() == sim.trace.total_density.iloc[-1]


def test_a_view_keeps_its_simulation_alive():
    sim = glebix.Simulation(seed=8, steps=25)
    sim.run()
    density, compacted = sim.density, sim.compacted
    expected = density.copy(), compacted.copy()
    del sim
    gc.collect()
    for seed in range(3):  # fresh engines that would reuse freed memory
        glebix.Simulation(seed=seed, steps=5).run()
    assert (density == expected[0]).all() and (compacted == expected[1]).all()


def test_settings_round_trip_and_defaults_match_the_batch_manifest(batch, tmp_path):
    batch("--seed", 1, "--steps", 0, "--out", "out")
    batch_settings = manifest(tmp_path / "out" / "manifest.json")["settings"]
    # The model extensions' settings (habitat mask, soil maps, events) are left out of the manifest at their default.
    recorded = {k: v for k, v in batch_settings.items() if k != "StepCount"}
    assert {k: v for k, v in glebix.SETTINGS.items() if k in recorded} == recorded
    assert set(glebix.SETTINGS) - set(recorded) == {"HabitatFilePath", "EnvNoDataNonHabitat", "CompactionCMapPath", "DecompactionDMapPath", "EventsFilePath"}
    sim = glebix.Simulation(seed=3, steps=15, **VARIED)
    copy = glebix.Simulation(seed=sim.seed, steps=sim.steps, **sim.settings)
    assert sim.run().equals(copy.run())


def test_engine_errors_carry_the_french_message_and_context(tmp_path):
    (tmp_path / "species.txt").write_text("0.4 2 2.0\n")
    with pytest.raises(glebix.GlebixError) as caught:
        glebix.Simulation(species=tmp_path / "species.txt")
    e = caught.value
    assert isinstance(e, RuntimeError)
    assert e.message == "Saisie numérique incorrecte" and e.path == str(tmp_path / "species.txt")
    assert (e.line, e.column, e.token) == (1, 7, "2.0")
    assert str(e) == f"« {e.path} », ligne 1, colonne 7 : « 2.0 » : Saisie numérique incorrecte"
    back = pickle.loads(pickle.dumps(e))  # as a Dask worker sends it
    assert type(back) is glebix.GlebixError and (back.message, back.path, back.token) == (e.message, e.path, e.token)

    sim = glebix.Simulation(seed=1, EnvInitMode=0, EnvFilePath=tmp_path / "missing.txt")
    with pytest.raises(glebix.GlebixError, match="Fichier introuvable") as caught:
        sim.setup()
    assert (caught.value.setting, caught.value.path) == ("EnvFilePath", str(tmp_path / "missing.txt"))
    with pytest.raises(RuntimeError, match="pas initialisée"):
        sim.step()


def test_a_path_that_leads_nowhere_says_why(tmp_path):
    for path, message in [("", "Chemin vide"), (tmp_path / "a" / "b" / "m.txt", f"Dossier inexistant « {tmp_path / 'a'} »")]:
        sim = glebix.Simulation(seed=1, EnvInitMode=0, EnvFilePath=path)
        with pytest.raises(glebix.GlebixError) as caught:
            sim.setup()
        assert (caught.value.setting, caught.value.message) == ("EnvFilePath", message)
    # An output's missing folders are made, as the batch tool makes them.
    sim = glebix.Simulation(seed=1, steps=0)
    sim.setup()
    assert os.path.isfile(sim.write_result_file(tmp_path / "no" / "such"))


def test_a_failed_step_stops_the_run_and_setup_restarts_it(tmp_path):
    sim = glebix.Simulation(seed=1, steps=3, Fecundity=1e308)
    sim.setup()
    with pytest.raises(glebix.GlebixError, match="virgule flottante"):
        sim.step(3)
    assert sim.step_index == 0
    with pytest.raises(RuntimeError, match="arrêtée sur une erreur"):
        sim.step()
    with pytest.raises(RuntimeError, match="arrêtée sur une erreur"):
        sim.write_result_file(tmp_path)
    sim.setup()
    assert sim.step_index == 0 and len(sim.trace) == 1
    (tmp_path / "a file").write_text("")
    with pytest.raises(glebix.GlebixError) as caught:
        sim.write_result_file(tmp_path / "a file" / "such")
    assert caught.value.message


def test_steps_leave_the_interpreter_to_other_threads():
    sim = glebix.Simulation(seed=3, threads=1)
    sim.setup()
    seen, done, started = [], threading.Event(), threading.Event()

    def watch():
        started.set()
        while not done.is_set():
            step = sim.step_index
            if not seen or seen[-1] != step:
                seen.append(step)

    watcher = threading.Thread(target=watch)
    watcher.start()
    started.wait()
    caught_in_progress = False
    try:
        for _ in range(40):
            before = sim.step_index
            sim.step(50)
            after = sim.step_index
            if any(before < s < after for s in seen):
                caught_in_progress = True
                break
    finally:
        done.set()
        watcher.join()
    assert caught_in_progress, "no other thread ran while the steps ran"


def test_two_threads_give_the_results_of_one_and_share_no_engine():
    alone = [glebix.Simulation(seed=s, steps=60, threads=1).run() for s in (1, 2)]
    sims = [glebix.Simulation(seed=s, steps=60, threads=1) for s in (1, 2)]
    threads = [threading.Thread(target=s.run) for s in sims]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert all(s.trace.equals(a) for s, a in zip(sims, alone))

    shared = glebix.Simulation(seed=4, threads=1)
    shared.setup()
    refused = None
    for _ in range(5):  # until the second call comes while the first one still steps
        start = shared.step_index
        runner = threading.Thread(target=shared.step, args=(300,))
        runner.start()
        while shared.step_index == start:
            pass
        try:
            shared.step()
        except RuntimeError as e:
            refused = str(e)
        runner.join()
        if refused:
            break
    assert refused and "déjà en cours" in refused
    assert len(shared.trace) == shared.step_index + 1


def test_an_interrupted_run_stops_between_steps_and_goes_on_unchanged():
    sim = glebix.Simulation(seed=13, steps=300, threads=1)
    sim.setup()

    def interrupt():
        while sim.step_index < 5:
            pass
        os.kill(os.getpid(), signal.SIGINT)

    sender = threading.Thread(target=interrupt)
    sender.start()
    with pytest.raises(KeyboardInterrupt):
        sim.step(100000)
    sender.join()
    reached = sim.step_index
    assert 5 <= reached < 100000 and len(sim.trace) == reached + 1
    sim.step(300 - reached if reached < 300 else 0)
    unbroken = glebix.Simulation(seed=13, steps=max(300, reached), threads=1).run()
    assert sim.trace.equals(unbroken)


def test_a_stopping_rule_ends_the_run_where_the_batch_tool_ends_it(batch, tmp_path):
    rules = ["extinct", "mean_compacted<30"]
    batch("--seed", 5, "--steps", 200, "--trace", "trace.csv", "--netcdf", "stack.nc", "--every", 40,
          *[a for rule in rules for a in ("--stop-when", rule)])
    sim = glebix.Simulation(seed=5, steps=200, stop_when=rules)
    stack = sim.run(record_every=40, netcdf=tmp_path / "py.nc")
    assert sim.stopped_by == "mean_compacted<30" and 0 < sim.step_index < 200
    assert table_lines(sim.trace) == trace_lines(tmp_path / "trace.csv")
    import xarray as xr
    written = xr.open_dataset(tmp_path / "stack.nc")
    assert list(stack.time.values) == list(written.time.values) and stack.time.values[-1] == sim.step_index
    np.testing.assert_array_equal(stack.density.values, written.density.values)
    sim.step(3)  # a stopped run makes no further step
    assert sim.step_index == stack.time.values[-1]
    # A resumed run checks its rules from the saved state on; a rule that holds there
    # stops it before its first step.
    sim.save_state(tmp_path / "s.state")
    again = glebix.Simulation.resume(tmp_path / "s.state", steps=200, stop_when="mean_compacted<30")
    assert again.stopped_by == "mean_compacted<30" and len(again.run()) == 0
    assert glebix.Simulation(seed=5, steps=3).run().step.iloc[-1] == 3  # no rule, no stop
    for bad in ("x<1", "total_density<1,5", "total_density"):
        with pytest.raises(glebix.GlebixError, match="stop_when"):
            glebix.Simulation(seed=5, stop_when=bad)


def test_a_soil_map_gives_the_batch_tools_bytes(batch, tmp_path):
    rows = ["ncols 50", "nrows 50", "xllcorner 0", "yllcorner 0", "cellsize 1"]
    rows += [" ".join("0.2" if i <= 25 else "0.45" for i in range(1, 51)) for _ in range(50)]
    (tmp_path / "c.asc").write_text("\n".join(rows) + "\n")
    batch("--seed", 3, "--steps", 40, "--set", "Survival=0.6", "--out", "out", "--map", "CompactionC=c.asc")
    sim = glebix.Simulation(seed=3, steps=40, Survival=0.6, CompactionCMapPath=str(tmp_path / "c.asc"))
    sim.run()
    (tmp_path / "py").mkdir()
    sim.write_result_file(tmp_path / "py")
    mapped = (tmp_path / "out" / "RireVed1a1p1.txt").read_bytes()
    assert (tmp_path / "py" / "RireVed1a1p1.txt").read_bytes() == mapped
    batch("--seed", 3, "--steps", 40, "--set", "Survival=0.6", "--out", "number")
    assert (tmp_path / "number" / "RireVed1a1p1.txt").read_bytes() != mapped
