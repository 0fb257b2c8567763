"""What a simulation writes and shows besides its trace: grids laid out as the map,
the batch tool's grid files, output folders made as needed, places that are not plain
files refused, the bound on threads, and the batch tool's warnings."""

import os
import signal
import subprocess
import sys
import time
import warnings

import numpy as np
import pytest

import glebix


def test_grids_are_laid_out_as_the_map_and_its_grid_file(tmp_path):
    sim = glebix.Simulation(seed=17, steps=20, DistInitMode=1, DistMean=3)
    sim.run()
    paths = sim.write_asc(tmp_path / "asc")
    assert [os.path.basename(p) for p in paths] == ["density.asc", "compacted.asc"]
    # The grid file's first line is the map's top line: the arrays read as it does.
    assert (np.loadtxt(paths[0], skiprows=5) == sim.density).all()
    assert (np.loadtxt(paths[1], skiprows=5) == sim.compacted).all()
    # cell(i, j) keeps the model's numbering: line 50 (i - 1) + j of the result file.
    lines = open(sim.write_result_file(tmp_path / "out")).read().splitlines()
    for i, j in [(1, 1), (1, 50), (50, 1), (50, 50), (3, 17), (17, 3)]:
        cell = sim.cell(i, j)
        assert cell.density == sim.density[50 - j, i - 1]
        assert cell.compacted == sim.compacted[50 - j, i - 1]
        assert str(cell.density) in lines[50 * (i - 1) + j - 1].split()
    for bad, error in [((0, 1), IndexError), ((1, 51), IndexError), ((1.0, 2), TypeError), ((True, 2), TypeError)]:
        with pytest.raises(error):
            sim.cell(*bad)


def test_grid_files_equal_the_batch_tools_with_the_input_placement(batch, tmp_path):
    batch("--seed", 3, "--steps", 12, "--asc", "first")
    placed = (tmp_path / "first" / "compacted.asc").read_text().replace("xllcorner 0", "xllcorner 512000.5", 1)
    (tmp_path / "placed.asc").write_text(placed)
    settings = dict(EnvInitMode=0, EnvFilePath=tmp_path / "placed.asc", DispersalFirst=True)
    batch("--seed", 8, "--steps", 9, "--set", "EnvInitMode=0", "--set", f"EnvFilePath={tmp_path / 'placed.asc'}",
          "--set", "DispersalFirst=on", "--asc", "batch")
    sim = glebix.Simulation(seed=8, steps=9, **settings)
    sim.run()
    sim.write_asc(tmp_path / "new" / "sub")
    for name in ("density.asc", "compacted.asc"):
        written = (tmp_path / "new" / "sub" / name).read_bytes()
        assert written == (tmp_path / "batch" / name).read_bytes()
        assert b"xllcorner 512000.5" in written


@pytest.mark.parametrize("write", [
    lambda sim, place: sim.save_state(place / "s.state"),
    lambda sim, place: sim.write_result_file(place),
    lambda sim, place: sim.write_asc(place),
    lambda sim, place: sim.animate(place / "a.gif", style="map"),
], ids=["state", "result", "asc", "animation"])
def test_outputs_make_their_folders_and_replace_only_plain_files(tmp_path, write):
    sim = glebix.Simulation(seed=2, steps=3)
    sim.run()
    write(sim, tmp_path / "new" / "sub" / "dir")
    assert os.listdir(tmp_path / "new" / "sub" / "dir")
    write(sim, tmp_path / "new" / "sub" / "dir")  # plain files are replaced
    fifo = tmp_path / "fifo"
    os.mkfifo(fifo)
    for name in ("s.state", "RireVed1a1p1.txt", "density.asc", "a.gif"):
        (tmp_path / "odd").mkdir(exist_ok=True)
        target = tmp_path / "odd" / name
        if not target.exists():
            os.symlink(fifo, target)
    with pytest.raises(glebix.GlebixError, match="n'est pas un fichier ordinaire"):
        write(sim, tmp_path / "odd")
    assert os.path.islink(tmp_path / "odd" / "s.state") and not any(p.endswith(".part") for p in os.listdir(tmp_path / "odd"))


@pytest.mark.parametrize("look, options", [
    ({}, []),
    (dict(style="map", cell_size=4, fps=20), ["--animate-style", "map", "--animate-cell-size", 4, "--fps", 20]),
], ids=["window", "map"])
def test_animations_are_the_batch_tools_bytes(batch, tmp_path, look, options):
    batch("--seed", 5, "--steps", 12, "--every", 5, "--animate", "b.gif", *options)
    sim = glebix.Simulation(seed=5, steps=12)
    sim.animate(tmp_path / "new" / "p.gif", every=5, **look)
    sim.run()
    assert (tmp_path / "new" / "p.gif").read_bytes() == (tmp_path / "b.gif").read_bytes()
    # A resumed run's animation starts at the saved step, as --resume's does.
    batch("--seed", 5, "--steps", 7, "--save-state", "s.state")
    batch("--resume", "s.state", "--steps", 12, "--every", 5, "--animate", "rb.gif", *options)
    resumed = glebix.Simulation.resume(tmp_path / "s.state", steps=12)
    resumed.animate(tmp_path / "rp.gif", every=5, **look)
    resumed.run()
    assert (tmp_path / "rp.gif").read_bytes() == (tmp_path / "rb.gif").read_bytes()


def test_animations_of_another_plot_size_are_the_batch_tools_bytes(batch, tmp_path):
    shape = dict(PlotWidth=20, PlotHeight=30, Edges="bounded", DistInitMode=2)
    sets = [a for k, v in shape.items() for a in ("--set", f"{k}={v}")]
    for style in ("window", "map"):
        batch("--seed", 5, "--steps", 6, "--every", 3, *sets, "--animate-style", style, "--animate", f"{style}.gif")
        sim = glebix.Simulation(seed=5, steps=6, **shape)
        sim.animate(tmp_path / f"p-{style}.gif", every=3, style=style)
        sim.run()
        assert (tmp_path / f"p-{style}.gif").read_bytes() == (tmp_path / f"{style}.gif").read_bytes(), style
    # A cell size whose picture passes the bound is refused when the animation starts;
    # the run goes on without it: setup() raises, run() warns and makes every step.
    sim = glebix.Simulation(seed=5, steps=6, PlotWidth=300, PlotHeight=20)
    sim.animate(tmp_path / "big.gif", style="map", cell_size=26)
    with pytest.raises(glebix.GlebixError, match="cell_size : à 26 pixels par case"):
        sim.setup()
    sim.step(6)
    sim = glebix.Simulation(seed=5, steps=6, PlotWidth=300, PlotHeight=20)
    sim.animate(tmp_path / "big.gif", style="map", cell_size=26)
    with pytest.warns(glebix.GlebixWarning, match="cell_size : à 26 pixels par case"):
        trace = sim.run(record_every=3, netcdf=tmp_path / "big.nc")
    assert list(trace.time.values) == [0, 3, 6]
    assert sim.step_index == 6
    assert not (tmp_path / "big.gif").exists()


def test_animation_arguments_are_checked_and_an_early_end_keeps_the_frames(tmp_path):
    sim = glebix.Simulation(seed=1, steps=50)
    refused = [
        (dict(style="carte"), ValueError, "style : «carte» n'est pas un style d'animation"),
        (dict(style="map", cell_size=41), ValueError, "cell_size : «41» hors de 2 à 40 pixels par case"),
        (dict(cell_size=8), ValueError, "cell_size ne vaut que pour le style map"),
        (dict(fps=101), ValueError, "fps : au plus 100 images par seconde"),
        (dict(every=0), ValueError, "every"),
        (dict(style="map", cell_size=4.0), TypeError, "cell_size"),
    ]
    for arguments, error, message in refused:
        with pytest.raises(error, match=message):
            sim.animate(tmp_path / "a.gif", **arguments)
    sim.animate(tmp_path / "a.gif", every=2)
    sim.setup()
    sim.step(5)
    assert not (tmp_path / "a.gif").exists()  # written under a temporary name until its end
    assert sim.end_animation() == str(tmp_path / "a.gif")
    assert (tmp_path / "a.gif").read_bytes()[:6] == b"GIF89a"
    assert sim.end_animation() is None


def test_threads_are_bounded_with_one_message():
    assert glebix.Simulation(threads=glebix._core.MAX_THREADS).threads == glebix._core.MAX_THREADS
    with pytest.raises(ValueError) as caught:
        glebix.Simulation(threads=100000)
    assert str(caught.value) == glebix._core.threads_refusal("100000")
    with pytest.raises(ValueError, match="threads"):
        glebix.run(steps=1, seed=1, threads=-1)


def test_batch_warnings_are_python_warnings(batch, tmp_path):
    (tmp_path / "species.txt").write_text("0.45 3 1 0.5 2 0.2 0 0.9 1 1.25\n")
    lines = [" ".join(["50"] * 50)] * 50
    lines[0] = "-9999 " + lines[0][3:]  # one cell left unnamed
    header = "ncols 50\nnrows 50\nxllcorner 0\nyllcorner 0\ncellsize 1\nnodata_value -9999\n"
    (tmp_path / "env.asc").write_text(header + "\n".join(lines) + "\n")
    settings = dict(EnvInitMode=0, EnvFilePath=tmp_path / "env.asc", Survival=1.5)
    expected = [line.split(" : attention : ", 1)[1]
                for line in batch("--validate", "--steps", 1, "--species", tmp_path / "species.txt", *[
                    a for k, v in settings.items() for a in ("--set", f"{k}={v}")], check=False).stderr.splitlines()
                if " : attention : " in line]
    assert len(expected) == 3
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        glebix.Simulation(seed=1, species=tmp_path / "species.txt", **settings)
    assert [str(w.message) for w in caught] == expected
    assert all(w.category is glebix.GlebixWarning and w.filename == __file__ for w in caught)
    # A design: what every point has once, a point's own named by its number.
    with pytest.warns(glebix.GlebixWarning) as caught:
        glebix.sweep([{"Survival": 1.5}, {"Survival": -1}], steps=0, seed=1)
    assert [str(w.message) for w in caught] == [
        "point 1 : Survival vaut 1.5, hors de [0, 1] : ce n'est pas une probabilité de survie",
        "point 2 : Survival vaut -1, hors de [0, 1] : ce n'est pas une probabilité de survie",
    ]
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        glebix.Simulation(seed=1)
    with pytest.raises(ValueError) as caught:
        glebix.run(steps=1, seed=1, jobs=100000)
    assert str(caught.value) == glebix._core.run_count_refusal("jobs", "100000")


def test_an_output_never_replaces_a_file_the_run_reads(batch, tmp_path):
    batch("--steps", 1, "--seed", 1, "--tif", "src")
    original = (tmp_path / "src" / "compacted.tif").read_bytes()
    (tmp_path / "grids").mkdir()
    for name in ("chosen.tif", "grids/compacted.tif"):
        (tmp_path / name).write_bytes(original)
    chosen = tmp_path / "chosen.tif"
    # A band chosen after the path names the file all the same.
    sim = glebix.Simulation(seed=1, steps=3, EnvInitMode=0, EnvFilePath=f"{chosen}:1")
    with pytest.raises(glebix.GlebixError, match="désignent le même fichier"):
        sim.run(record_every=1, netcdf=chosen)
    sim = glebix.Simulation(seed=1, steps=3, EnvInitMode=0, EnvFilePath=tmp_path / "grids" / "compacted.tif",
                            DistFilePath=f"{chosen}:1")  # named, though its mode does not read it
    sim.run()
    for write in (lambda: sim.write_tif(tmp_path / "grids"), lambda: sim.write_netcdf(chosen),
                  lambda: sim.animate(chosen), lambda: sim.save_state(tmp_path / "grids" / "compacted.tif")):
        with pytest.raises(glebix.GlebixError, match="désignent le même fichier"):
            write()
    for name in ("chosen.tif", "grids/compacted.tif"):
        assert (tmp_path / name).read_bytes() == original, name
    assert sorted(os.listdir(tmp_path / "grids")) == ["compacted.tif"]


def test_a_run_that_fails_keeps_the_earlier_files(tmp_path):
    for name in ("s.nc", "a.gif"):
        (tmp_path / name).write_bytes(b"earlier")
    sim = glebix.Simulation(seed=3, steps=5, Fecundity=1e300)
    sim.animate(tmp_path / "a.gif")
    with pytest.raises(glebix.GlebixError):
        sim.run(record_every=1, netcdf=tmp_path / "s.nc")
    assert sorted(os.listdir(tmp_path)) == ["a.gif", "s.nc"]
    assert {(tmp_path / n).read_bytes() for n in ("s.nc", "a.gif")} == {b"earlier"}


# A long recorded run in a process of its own; with "handler", SIGTERM has a handler
# of the script's, which must still be called.
SIGNALLED_RUN = """
import signal, sys, glebix
place, handler, flag = sys.argv[1:]
if handler:
    def on_term(number, frame):
        open(flag, "w").write("handled")
        raise SystemExit(7)
    signal.signal(signal.SIGTERM, on_term)
sim = glebix.Simulation(seed=1, steps=1000000, PlotWidth=300, PlotHeight=300)
sim.animate(place + "/a.gif")
sim.run(record_every=1, netcdf=place + "/s.nc")
"""


@pytest.mark.parametrize("number, handler", [(signal.SIGTERM, ""), (signal.SIGINT, ""), (signal.SIGTERM, "handler")],
                         ids=["term", "int", "term-handled"])
def test_a_signal_removes_the_staged_files_and_then_acts_as_before(tmp_path, number, handler):
    (tmp_path / "s.nc").write_bytes(b"earlier")
    flag = tmp_path.parent / f"{tmp_path.name}-flag"
    process = subprocess.Popen([sys.executable, "-c", SIGNALLED_RUN, str(tmp_path), handler, str(flag)],
                               stderr=subprocess.PIPE)
    deadline = time.monotonic() + 120
    while not (tmp_path / "s.nc.part").exists() and time.monotonic() < deadline:
        time.sleep(0.05)
    time.sleep(0.3)  # some steps recorded
    process.send_signal(number)
    _, errors = process.communicate(timeout=120)
    if handler:
        assert process.returncode == 7
        assert flag.read_text() == "handled"
    elif number == signal.SIGINT:
        assert b"KeyboardInterrupt" in errors
    else:
        assert process.returncode == -number
    assert os.listdir(tmp_path) == ["s.nc"]
    assert (tmp_path / "s.nc").read_bytes() == b"earlier"


def test_a_run_puts_the_signal_handlers_back():
    before = [signal.getsignal(number) for number in (signal.SIGINT, signal.SIGTERM)]
    glebix.Simulation(seed=1, steps=2).run(record_every=1)
    assert [signal.getsignal(number) for number in (signal.SIGINT, signal.SIGTERM)] == before
