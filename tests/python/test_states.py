"""Saved states: a run saved and taken up again goes on exactly as one that never
stopped, and its file is the batch tool's, byte for byte, in both directions."""

import json

import pytest

import glebix
from conftest import table_lines, trace_lines

# Settings away from the defaults, with the dispersal before the reproduction.
VARIED = dict(Survival=0.55, Fecundity=2.5, DispersalFirst=True, DispersalSigma=0.9, DistInitMode=1, DistMean=3,
              ChartCellX=3, ChartCellY=17)
STEPS = 30


def _result(sim, folder):
    folder.mkdir()
    return (folder / "RireVed1a1p1.txt").read_bytes() if sim.write_result_file(folder) else None


@pytest.mark.parametrize("settings", [{}, VARIED], ids=["defaults", "varied"])
@pytest.mark.parametrize("k,threads", [(0, 1), (1, 2), (17, 1), (STEPS, 2)])
def test_a_run_saved_and_resumed_equals_the_unbroken_run(tmp_path, settings, k, threads):
    whole = glebix.Simulation(seed=4242, steps=STEPS, threads=threads, **settings)
    whole_trace = whole.run()
    whole.save_state(tmp_path / "whole.state")

    first = glebix.Simulation(seed=4242, steps=STEPS, threads=threads, **settings)
    first.setup()
    first.step(k)
    first.save_state(tmp_path / "k.state")
    resumed = glebix.Simulation.resume(tmp_path / "k.state", threads=3 - threads)
    assert (resumed.step_index, resumed.steps, resumed.seed) == (k, STEPS, 4242)
    assert resumed.settings == first.settings
    assert len(resumed.trace) == 0
    trace = resumed.run()
    assert list(trace.step) == list(range(k + 1, STEPS + 1))
    assert table_lines(trace) == table_lines(whole_trace, first_step=k + 1)
    resumed.save_state(tmp_path / "resumed.state")
    assert (tmp_path / "resumed.state").read_bytes() == (tmp_path / "whole.state").read_bytes()
    assert _result(resumed, tmp_path / "r") == _result(whole, tmp_path / "w")


def test_python_and_the_batch_tool_read_and_write_the_same_states(batch, tmp_path):
    sets = [a for name, value in VARIED.items() for a in ("--set", f"{name}={glebix._settings.setting_text(name, value)}")]
    batch("--seed", 777, "--steps", 12, "--save-state", "batch.state", *sets)
    sim = glebix.Simulation(seed=777, steps=12, **VARIED)
    sim.run()
    sim.save_state(tmp_path / "py.state")
    assert (tmp_path / "py.state").read_bytes() == (tmp_path / "batch.state").read_bytes()

    # The batch tool's state, taken up in Python, ends as the batch tool's unbroken run.
    batch("--seed", 777, "--steps", 40, "--out", "whole", "--trace", "whole.csv", *sets)
    resumed = glebix.Simulation.resume(tmp_path / "batch.state", steps=40)
    trace = resumed.run()
    assert table_lines(trace) == trace_lines(tmp_path / "whole.csv")[12:]
    assert _result(resumed, tmp_path / "py") == (tmp_path / "whole" / "RireVed1a1p1.txt").read_bytes()

    # And Python's state, taken up by the batch tool.
    batch("--resume", "py.state", "--steps", 40, "--out", "again")
    assert (tmp_path / "again" / "RireVed1a1p1.txt").read_bytes() == (tmp_path / "py" / "RireVed1a1p1.txt").read_bytes()


def test_settings_on_resume_are_the_saved_ones_but_those_read_at_every_step(tmp_path):
    sim = glebix.Simulation(seed=9, steps=20)
    sim.setup()
    sim.step(5)
    sim.save_state(tmp_path / "s.state")
    changed = glebix.Simulation.resume(tmp_path / "s.state", DecompactionD=7.5, EnvDynamic=False)
    assert changed.settings["DecompactionD"] == "7.5" and changed.settings["EnvDynamic"] != sim.settings["EnvDynamic"]
    with pytest.raises(ValueError, match="Survival : ne peut pas changer à la reprise"):
        glebix.Simulation.resume(tmp_path / "s.state", Survival=0.3)
    with pytest.raises(KeyError, match="Survivall"):
        glebix.Simulation.resume(tmp_path / "s.state", Survivall=0.3)
    with pytest.raises(ValueError, match="DecompactionD"):
        glebix.Simulation.resume(tmp_path / "s.state", DecompactionD="beaucoup")
    with pytest.raises(ValueError, match="avant le pas enregistré"):
        glebix.Simulation.resume(tmp_path / "s.state", steps=4)
    with pytest.raises(RuntimeError, match="pas initialisée"):
        glebix.Simulation(seed=9).save_state(tmp_path / "never.state")


def test_a_truncated_or_edited_state_is_refused_with_its_path(tmp_path):
    sim = glebix.Simulation(seed=3, steps=4)
    sim.run()
    sim.save_state(tmp_path / "good.state")
    text = (tmp_path / "good.state").read_text()
    (tmp_path / "cut.state").write_text(text[: len(text) // 2])
    (tmp_path / "edited.state").write_text(text.replace("step 4\n", "step 3\n"))
    (tmp_path / "foreign.state").write_text("ncols 50\n")
    refusals = [("cut", "tronqué"), ("edited", "somme de contrôle"), ("foreign", "pas un fichier d'état"),
                ("missing", "Fichier introuvable")]
    for name, message in refusals:
        with pytest.raises(glebix.GlebixError, match=message) as caught:
            glebix.Simulation.resume(tmp_path / f"{name}.state")
        assert caught.value.path == str(tmp_path / f"{name}.state") and caught.value.message
    # A failed write keeps the earlier file.
    with pytest.raises(glebix.GlebixError):
        sim.save_state(tmp_path / "good.state" / "such.state")
    assert (tmp_path / "good.state").read_text() == text


def test_the_settings_python_offers_are_those_the_batch_tool_records_with_their_defaults(tmp_path, batch):
    batch("--steps", "0", "--seed", "1", "--out", "o")
    recorded = json.loads((tmp_path / "o" / "manifest.json").read_text())["settings"]
    assert recorded.pop("StepCount") == "0"  # an argument of a run in Python, not a setting
    # The model extensions' settings (habitat mask, soil maps, events) are left out while at their default.
    offered = {name: value for name, value in glebix.SETTINGS.items() if name in recorded}
    assert offered == recorded
    assert set(glebix.SETTINGS) - set(recorded) == {"HabitatFilePath", "EnvNoDataNonHabitat", "CompactionCMapPath", "DecompactionDMapPath", "EventsFilePath"}
    assert list(glebix.SETTING_INFO) == list(glebix.SETTINGS)


def test_resume_takes_a_setting_exactly_when_its_help_says_it_may_change(tmp_path):
    sim = glebix.Simulation(seed=9, steps=4)
    sim.setup()
    sim.save_state(tmp_path / "s.state")
    for name, info in glebix.SETTING_INFO.items():
        assert info["description"] and info["kind"], name
        value = glebix.SETTINGS[name]
        if info["changes_on_resume"]:
            assert glebix.Simulation.resume(tmp_path / "s.state", **{name: value}).settings[name] == value
        else:
            with pytest.raises(ValueError, match="ne peut pas changer à la reprise"):
                glebix.Simulation.resume(tmp_path / "s.state", **{name: value})
