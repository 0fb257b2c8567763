"""Settings are checked exactly as glebix-batch --set checks them, from Python values."""

import os
import pathlib

import numpy as np
import pytest

import glebix

# (name, Python value, the setting's text for the run)
ACCEPTED = [
    ("Survival", 0.45, "0.45"),
    ("Survival", np.float64(0.45), "0.45"),
    ("Survival", "0.45", "0.45"),
    ("Fecundity", 2, "2"),
    ("ResponseOptimum", 1e-7, "1e-07"),
    ("DistMean", np.int64(3), "3"),
    ("DispersalSensitivity", 2.0, "2"),  # a whole real is a whole number
    ("DispersalFirst", True, "on"),
    ("DispersalFirst", np.bool_(False), "off"),
    ("EnvDynamic", "OFF", "off"),
    ("EnvFilePath", pathlib.Path("sol/milieu.txt"), "sol/milieu.txt"),
    ("ResponseShape", 2, "2"),
    ("ChartCellX", 50, "50"),
]

# (name, Python value) that --set refuses as a value.
REFUSED = [
    ("Survival", "0,4"),
    ("Survival", True),
    ("Survival", float("nan")),
    ("Survival", float("inf")),
    ("Survival", ""),
    ("DistMean", 2.5),
    ("DistMean", "3 "),
    ("ChartCellX", 0),
    ("ChartCellY", 4097),
    ("ResponseShape", 3),
    ("DistInitMode", -1),
    ("DispersalFirst", "yes"),
]


@pytest.mark.parametrize("name,value,text", ACCEPTED)
def test_accepted_values_become_the_text_set_would_store(batch, name, value, text):
    assert glebix.Simulation(seed=1, **{name: value}).settings[name] == text
    given = glebix._settings.setting_text(name, value)
    assert batch("--validate", "--set", f"{name}={given}", check=False).returncode == 0


@pytest.mark.parametrize("name,value", REFUSED)
def test_refused_values_raise_the_batch_tools_french_message(batch, name, value):
    with pytest.raises(ValueError) as caught:
        glebix.Simulation(seed=1, **{name: value})
    text = glebix._settings.setting_text(name, value)
    done = batch("--validate", "--set", f"{name}={text}", check=False)
    assert done.returncode == 2
    assert f"glebix-batch : --set : {caught.value}" in done.stderr.splitlines()


@pytest.mark.parametrize("name", ["Survivl", "dispersalsigma", "surv", "Zzz"])
def test_unknown_names_are_told_as_the_batch_tool_tells_them(batch, name):
    with pytest.raises(KeyError) as caught:
        glebix.Simulation(**{name: 1})
    done = batch("--validate", "--set", f"{name}=1", check=False)
    assert f"glebix-batch : --set : {caught.value.args[0]}" in done.stderr.splitlines()
    with pytest.raises(KeyError, match="StepCount"):  # the step count is `steps`
        glebix.Simulation(StepCount=5)


def test_close_names_are_suggested():
    said = {}
    for name in ["Survivl", "dispersalsigma", "surv", "Zzz"]:
        with pytest.raises(KeyError) as caught:
            glebix.Simulation(**{name: 1})
        said[name] = caught.value.args[0]
    assert said["Survivl"] == "paramètre inconnu : «Survivl» ; voulez-vous dire Survival ?"
    assert said["dispersalsigma"].endswith("voulez-vous dire DispersalSigma ?")
    assert said["surv"].endswith("voulez-vous dire Survival ou SurvivalEnvSensitive ?")
    assert said["Zzz"] == "paramètre inconnu : «Zzz»"


# Texts a C path would cut short, or that tables and manifests cannot record.
BAD_TEXTS = [("a\0b", "octet nul"), (os.fsdecode(b"sol/\xe9t\xe9.txt"), "UTF-8")]


@pytest.mark.parametrize("text,problem", BAD_TEXTS)
def test_texts_no_path_may_hold_are_refused_by_name(tmp_path, text, problem):
    def refused(call, name):
        with pytest.raises(glebix.GlebixError, match=problem) as caught:
            call()
        assert caught.value.setting == name and problem in caught.value.message

    refused(lambda: glebix.Simulation(EnvInitMode=0, EnvFilePath=text), "EnvFilePath")
    refused(lambda: glebix.Simulation(DistFilePath=pathlib.Path(text)), "DistFilePath")
    refused(lambda: glebix.Simulation(species=text), "species")
    refused(lambda: glebix.Simulation.resume(text), "state")
    refused(lambda: glebix.sweep([{"DistFilePath": "d.txt"}, {"DistFilePath": text}], steps=0), "DistFilePath")
    sim = glebix.Simulation(seed=1, steps=0)
    sim.setup()
    refused(lambda: sim.save_state(tmp_path / text), "path")
    refused(lambda: sim.write_result_file(tmp_path / text), "directory")


@pytest.mark.parametrize(
    "arguments,error",
    [
        (dict(seed=-1), ValueError),
        (dict(seed=2**32), ValueError),
        (dict(seed=1.5), TypeError),
        (dict(seed=True), TypeError),
        (dict(steps=-1), ValueError),
        (dict(threads=-1), ValueError),
        (dict(Survival=None), TypeError),
        (dict(Survival=[0.4]), TypeError),
    ],
)
def test_bad_arguments_are_refused_before_anything_runs(arguments, error):
    with pytest.raises(error):
        glebix.Simulation(**arguments)


def test_seed_bounds_and_clock_seed():
    assert glebix.Simulation(seed=2**32 - 1).seed == 2**32 - 1
    assert 0 <= glebix.Simulation().seed < 2**32
    assert glebix.SETTINGS["Survival"] == "0.4" and list(glebix.SETTINGS)[0] == "Survival"
