"""The package's messages in the user's language, from the batch tool's catalogue."""

import subprocess
import sys

import pytest

import glebix

LANGUAGE_VARIABLES = ("LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG")


@pytest.fixture(params=["fr_FR.UTF-8", "en_US.UTF-8"])
def lang(request, monkeypatch):
    """Runs the test under LANG=<param> with no other variable naming a language."""
    for name in LANGUAGE_VARIABLES:
        monkeypatch.delenv(name, raising=False)
    monkeypatch.setenv("LANG", request.param)
    return request.param[:2]


def expected(lang, french, english):
    return french if lang == "fr" else english


def test_a_refused_argument_is_told_in_the_users_language(lang):
    with pytest.raises(ValueError) as caught:
        glebix.Simulation(seed=-1)
    assert str(caught.value) == expected(
        lang,
        "seed : «-1» n'est pas un entier décimal non signé de 32 bits (de 0 à 4294967295)",
        'seed: "-1" is not an unsigned 32-bit decimal integer (from 0 to 4294967295)',
    )


def test_an_unknown_setting_is_told_in_the_users_language(lang):
    with pytest.raises(KeyError) as caught:
        glebix.Simulation(Survivl=0.4)
    assert caught.value.args[0] == expected(
        lang,
        "paramètre inconnu : «Survivl» ; voulez-vous dire Survival ?",
        'unknown setting: "Survivl"; did you mean Survival?',
    )


def test_an_engine_error_is_told_in_the_users_language(lang, tmp_path):
    missing = tmp_path / "absent.txt"
    sim = glebix.Simulation(seed=1, steps=1, EnvInitMode=0, EnvFilePath=str(missing))
    with pytest.raises(glebix.GlebixError) as caught:
        sim.setup()
    assert caught.value.message == expected(lang, "Fichier introuvable", "File not found")
    assert str(caught.value) == expected(
        lang, f"EnvFilePath « {missing} » : Fichier introuvable", f'EnvFilePath "{missing}": File not found'
    )


def test_the_lookup_is_the_batch_tools_catalogue(lang):
    assert glebix._message("option.value_missing", "--seed") == expected(
        lang, "--seed : valeur manquante", "--seed: value missing"
    )


def test_the_bindings_own_refusals_and_the_descriptions_are_in_the_users_language(lang):
    with pytest.raises(ValueError) as caught:
        glebix.Simulation(replicate=2)
    assert str(caught.value) == expected(
        lang, "replicate : une graine (seed) est nécessaire", "replicate: a seed is needed"
    )
    with pytest.raises(ValueError) as caught:
        glebix.run(jobs=999)
    assert str(caught.value) == expected(
        lang,
        "jobs : «999» n'est pas un nombre de simulations simultanées de 0 (une par processeur) à 256",
        'jobs: "999" is not a number of simultaneous runs from 0 (one per processor) to 256',
    )
    described = glebix._core.setting_info()["Survival"]["description"]
    assert described == expected(
        lang,
        "probabilité de survie d'un individu à chaque pas de temps",
        "probability that an individual survives each time step",
    )


# A set-up that needs more memory than the process may take, the limit set just above
# what the process already holds.
OUT_OF_MEMORY = """
import resource, glebix
sim = glebix.Simulation(seed=1, steps=1, PlotWidth=4096, PlotHeight=4096)
held = next(int(line.split()[1]) for line in open("/proc/self/status") if line.startswith("VmSize:")) * 1024
resource.setrlimit(resource.RLIMIT_AS, (held + (64 << 20),) * 2)
try:
    sim.setup()
except MemoryError as error:
    print(error)
"""


def test_out_of_memory_is_told_in_the_users_language(lang):
    done = subprocess.run([sys.executable, "-c", OUT_OF_MEMORY], capture_output=True, text=True, timeout=120)
    assert done.stdout.strip() == expected(lang, "Mémoire insuffisante", "Out of memory"), done.stderr


def test_the_plot_size_refusals_are_told_in_the_users_language(lang, tmp_path):
    grids = {}
    for name, columns in (("e.asc", 3), ("d.asc", 4)):
        grids[name] = tmp_path / name
        grids[name].write_text(f"ncols {columns}\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n" + "5 " * columns * 2)
    env, dist = str(grids["e.asc"]), str(grids["d.asc"])
    with pytest.raises(glebix.GlebixError) as caught:
        glebix.Simulation(seed=1, steps=1, EnvInitMode=0, EnvFilePath=env, PlotWidth=4).setup()
    assert caught.value.message == expected(
        lang,
        f"la grille du fichier « {env} » a 3 colonnes et 2 lignes, qui font la taille de la parcelle",
        f'the grid of the file "{env}" has 3 columns and 2 rows, which make the plot\'s size',
    )
    with pytest.raises(glebix.GlebixError) as caught:
        glebix.Simulation(seed=1, steps=1, EnvInitMode=0, EnvFilePath=env, DistInitMode=0, DistFilePath=dist).setup()
    assert caught.value.message == expected(
        lang,
        f"la grille du fichier « {dist} » a 4 colonnes et 2 lignes ; celle du fichier « {env} », qui fait la taille "
        "de la parcelle, en a 3 colonnes et 2 lignes",
        f'the grid of the file "{dist}" has 4 columns and 2 rows; that of the file "{env}", which makes the plot\'s '
        "size, has 3 columns and 2 rows",
    )


def test_a_path_of_another_type_is_refused_in_the_users_language(lang, tmp_path):
    with pytest.raises(TypeError) as caught:
        glebix.sample("lhs", tmp_path / "f.csv", 3, seed=1, samples=4)
    assert str(caught.value) == expected(
        lang,
        "design_out : un chemin (str ou os.PathLike) est attendu, pas int",
        "design_out: a path (str or os.PathLike) is expected, not int",
    )
