"""Settings are checked exactly as glebix-batch --set checks them, from Python values."""

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
    ("ChartCellY", 51),
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


def test_unknown_names_raise_key_error_with_close_matches():
    with pytest.raises(KeyError, match="Survival"):
        glebix.Simulation(Survivl=0.4)
    with pytest.raises(KeyError, match="DispersalSigma"):
        glebix.Simulation(dispersalsigma=0.4)
    with pytest.raises(KeyError, match="glebix.SETTINGS"):
        glebix.Simulation(Zzz=1)
    with pytest.raises(KeyError, match="StepCount"):  # the step count is `steps`
        glebix.Simulation(StepCount=5)


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
