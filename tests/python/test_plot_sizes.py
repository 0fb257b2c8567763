"""A grid input of another size than 50 x 50: the plot takes the grid's size, a setting
that contradicts it is refused as --validate refuses it, every record gives the true
size, a resumed run keeps the grid's CRS, and --repeat notices a changed CRS."""

import hashlib
import json
import os
import subprocess

import numpy as np
import pytest
from osgeo import gdal, osr

import glebix

from conftest import batch  # noqa: F401  (the fixture)

gdal.UseExceptions()

COLUMNS, ROWS, CELL = 30, 20, 10.0
RUN = ["--seed", "8", "--steps", "8", "--set", "EnvInitMode=0"]


def write_tif(path, epsg=2154, columns=COLUMNS, rows=ROWS):
    ds = gdal.GetDriverByName("GTiff").Create(str(path), columns, rows, 1, gdal.GDT_Float32)
    ds.SetGeoTransform((650000.0, CELL, 0, 6859000.0 + rows * CELL, 0, -CELL))
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(epsg)
    ds.SetProjection(srs.ExportToWkt())
    values = np.linspace(10, 60, columns * rows, dtype=np.float32).reshape(rows, columns)
    values[0, 0] = -9999  # a cell the file does not name: a warning at set-up
    ds.GetRasterBand(1).WriteArray(values)
    ds.GetRasterBand(1).SetNoDataValue(-9999)
    ds = None
    return str(path)


def crs_of(path):
    ds = gdal.Open(str(path))
    srs = ds.GetSpatialRef()
    return srs.GetAuthorityCode(None) if srs else None


def english(**extra):
    environment = {k: v for k, v in os.environ.items() if k not in ("LC_ALL", "LC_MESSAGES", "LANGUAGE")}
    return dict(environment, LANG="en_US.UTF-8", **extra)


@pytest.fixture
def land(tmp_path):
    return write_tif(tmp_path / "land.tif")


def test_the_grid_sets_the_size_and_a_contradiction_is_refused_alike_by_validate(batch, land, tmp_path):
    for extra in ([], ["--set", "PlotWidth=30"], ["--set", "PlotHeight=20", "--set", "PlotWidth=30"]):
        assert batch(*RUN, "--set", f"EnvFilePath={land}", *extra, "--validate").returncode == 0
    batch(*RUN, "--set", f"EnvFilePath={land}", "--set", "PlotWidth=30", "--asc", "a", "--netcdf", "a/s.nc",
          "--every", "4")
    settings = json.loads((tmp_path / "a/manifest.json").read_text())["settings"]
    assert (settings["PlotWidth"], settings["PlotHeight"]) == ("30", "20")
    assert (settings["ChartCellX"], settings["ChartCellY"]) == ("15", "10")  # the centre's cell
    metadata = gdal.Open(f"NETCDF:{tmp_path}/a/s.nc:density").GetMetadata()
    assert (metadata["NC_GLOBAL#setting_PlotWidth"], metadata["NC_GLOBAL#setting_PlotHeight"]) == ("30", "20")

    # The default text given by name contradicts the grid: the run and --validate refuse
    # it alike, naming the setting, its value, the file and its size.
    for check in ([], ["--validate"]):
        done = batch(*RUN, "--set", f"EnvFilePath={land}", "--set", "PlotWidth=50", "--asc", "b", *check,
                     check=False)
        assert done.returncode == 2
        assert f'PlotWidth : « 50 » : la grille du fichier « {land} » a 30 colonnes et 20 lignes' in done.stderr
    done = subprocess.run([os.environ["GLEBIX_BATCH"], *RUN, "--set", f"EnvFilePath={land}", "--set",
                           "PlotHeight=50", "--validate"], capture_output=True, text=True, cwd=tmp_path,
                          env=english())
    assert f'PlotHeight: "50": the grid of the file "{land}" has 30 columns and 20 rows' in done.stderr

    # Two grids of different sizes: the message names both.
    other = write_tif(tmp_path / "other.tif", columns=40, rows=10)
    done = batch(*RUN, "--set", f"EnvFilePath={land}", "--set", "DistInitMode=0", "--set",
                 f"DistFilePath={other}", "--asc", "c", check=False)
    assert done.returncode == 2
    assert f"« {other} » a 40 colonnes et 10 lignes ; celle du fichier « {land} »" in done.stderr


def test_a_design_of_grids_validates_and_runs_as_python_runs_it(batch, land, tmp_path):
    (tmp_path / "design.csv").write_text(f"EnvFilePath,Survival\n{land},0.4\n{land},0.5\n")
    for check in (["--validate"], ["--asc", "d"]):
        done = batch(*RUN, "--design", "design.csv", *check)
        assert done.returncode == 0, done.stderr
    assert gdal.Open(str(tmp_path / "d/point-002/run-001/density.asc")).RasterXSize == COLUMNS
    table = glebix.sweep([{"EnvFilePath": land, "Survival": 0.4}, {"EnvFilePath": land, "Survival": 0.5}], seed=8,
                         steps=8, EnvInitMode=0)
    assert set(table.point) == {1, 2}


def grid_of(path):
    return gdal.Open(str(path)).ReadAsArray().astype(float)


def test_a_resumed_run_keeps_the_crs(batch, land, tmp_path):
    batch(*RUN, "--set", f"EnvFilePath={land}", "--tif", "whole", "--asc", "whole")
    half = ["--seed", "8", "--steps", "4", "--set", "EnvInitMode=0", "--set", f"EnvFilePath={land}"]
    batch(*half, "--save-state", "half.state", "--asc", "half")
    assert "ne nomme pas" in " ".join(json.loads((tmp_path / "half/manifest.json").read_text())["warnings"])

    # A state of the first version, without the CRS, still resumes, the CRS then read
    # from the grid file again.
    lines = (tmp_path / "half.state").read_text().splitlines(keepends=True)
    assert lines[0] == "GLEBIX-STATE 2\n"
    text = "".join(["GLEBIX-STATE 1\n"] + [line for line in lines[1:-1] if not line.startswith("grid_crs ")])
    (tmp_path / "old.state").write_text(text + "sha256 " + hashlib.sha256(text.encode()).hexdigest() + "\n")
    batch("--resume", "old.state", "--steps", "8", "--tif", "old")
    assert crs_of(tmp_path / "old/density.tif") == "2154"
    # The resumed run's manifest places its grids as the unbroken run's does, the grid
    # file named as their source.
    placed = {folder: json.loads((tmp_path / folder / "manifest.json").read_text())["georeference"]
              for folder in ("old", "whole")}
    assert placed["old"] == placed["whole"] and placed["old"]["source"] == land
    for name in ("density.tif", "compacted.tif"):  # the cell the file leaves unnamed is NoData in both
        np.testing.assert_array_equal(grid_of(tmp_path / "old" / name), grid_of(tmp_path / "whole" / name))

    os.remove(land)  # the state holds all the resumed run needs
    batch("--resume", "half.state", "--steps", "8", "--tif", "on", "--asc", "on", "--netcdf", "on/s.nc")
    # The resumed run reads no initial file, and is warned about none.
    assert json.loads((tmp_path / "on/manifest.json").read_text())["warnings"] == []
    for name in ("density.tif", "compacted.tif"):
        assert crs_of(tmp_path / "on" / name) == "2154"
        # The state does not keep which cells the gone file named: those it left unnamed
        # are then no NoData, and every other cell is the unbroken run's.
        on, whole = grid_of(tmp_path / "on" / name), grid_of(tmp_path / "whole" / name)
        known = ~np.isnan(whole)
        assert not np.isnan(on).any() and (on[known] == whole[known]).all()
    assert (tmp_path / "on/density.prj").read_text() == (tmp_path / "whole/density.prj").read_text()
    assert crs_of(f"NETCDF:{tmp_path}/on/s.nc:density") == "2154"
    assert json.loads((tmp_path / "on/manifest.json").read_text())["georeference"]["crs_wkt"]

    resumed = glebix.Simulation.resume(str(tmp_path / "half.state"), steps=8)
    resumed.step(4)
    resumed.write_tif(str(tmp_path / "py"))
    assert crs_of(tmp_path / "py/density.tif") == "2154"
    grids = resumed.to_xarray()
    assert "2154" in grids["crs"].attrs["crs_wkt"]


def test_repeat_notices_a_changed_crs(batch, land, tmp_path):
    batch(*RUN, "--set", f"EnvFilePath={land}", "--asc", "a")
    manifest = tmp_path / "a/manifest.json"
    write_tif(land, epsg=32631)  # the same values, another CRS
    done = batch("--repeat", str(manifest), "--asc", "b", check=False)
    assert done.returncode == 2
    assert f"le géoréférencement du fichier d'entrée « {land} » (environment) a changé" in done.stderr
    # A manifest from before the georeference was recorded repeats on its values.
    old = json.loads(manifest.read_text())
    for entry in old["inputs"]:
        del entry["georeference_sha256"]
    (tmp_path / "old.json").write_text(json.dumps(old))
    batch("--repeat", "old.json", "--asc", "c")


def test_python_records_the_steps_it_runs_as_the_batch_tool_does(batch, tmp_path):
    batch("--seed", "8", "--steps", "8", "--netcdf", "b.nc", "--every", "4")
    glebix.Simulation(seed=8, steps=8).run(record_every=4, netcdf=str(tmp_path / "p.nc"))
    for name in ("b.nc", "p.nc"):
        metadata = gdal.Open(f"NETCDF:{tmp_path}/{name}:density").GetMetadata()
        assert metadata["NC_GLOBAL#setting_StepCount"] == "8", name
    sim = glebix.Simulation(seed=8, steps=8)
    sim.setup()
    assert gdal.Open(f"NETCDF:{sim.write_netcdf(str(tmp_path / 'one.nc'))}:density").GetMetadata()[
        "NC_GLOBAL#setting_StepCount"] == "8"


def test_a_small_plot_runs_with_the_default_chart_cell(batch, tmp_path):
    small = write_tif(tmp_path / "small.tif", columns=5, rows=4)
    batch(*RUN, "--set", f"EnvFilePath={small}", "--asc", "s")
    settings = json.loads((tmp_path / "s/manifest.json").read_text())["settings"]
    assert (settings["ChartCellX"], settings["ChartCellY"]) == ("3", "2")
