"""A changing landscape through the batch tool: the GeoTIFF grids of recorded steps
(--tif-every) read back by GDAL, and the followed cell named by map coordinates
(--follow) on a GeoTIFF in EPSG:2154."""

import json
import os

import numpy as np
import pytest
from osgeo import gdal, osr

from conftest import batch  # noqa: F401  (the fixture)

gdal.UseExceptions()

ORIGIN = (412000.0, 5610100.0)  # top-left corner
CELL = 2.0
SIDE = 50


@pytest.fixture
def land(tmp_path):
    rng = np.random.default_rng(5)
    values = np.round(rng.uniform(0, 100, (SIDE, SIDE)), 3)
    values[3, 4] = -9999.0  # a cell the file leaves unnamed
    ds = gdal.GetDriverByName("GTiff").Create(str(tmp_path / "land.tif"), SIDE, SIDE, 1, gdal.GDT_Float64)
    ds.SetGeoTransform((ORIGIN[0], CELL, 0, ORIGIN[1], 0, -CELL))
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(2154)
    ds.SetProjection(srs.ExportToWkt())
    ds.GetRasterBand(1).WriteArray(values)
    ds.GetRasterBand(1).SetNoDataValue(-9999.0)
    ds = None
    return tmp_path / "land.tif"


def run_args(land, steps):
    return ["--seed", "11", "--steps", str(steps), "--set", "EnvInitMode=0", "--set", f"EnvFilePath={land}"]


def band(path):
    ds = gdal.Open(str(path))
    return ds.GetGeoTransform(), ds.GetSpatialRef(), ds.GetRasterBand(1).GetNoDataValue(), \
        ds.GetRasterBand(1).ReadAsArray()


def test_step_grids_are_the_grids_of_runs_of_that_many_steps(batch, land, tmp_path):
    batch(*run_args(land, 25), "--tif-every", "10", "--tif", "t")
    names = sorted(n for n in os.listdir(tmp_path / "t") if n.startswith(("density", "compacted")))
    assert names == sorted(f"{g}{s}.tif" for g in ("compacted", "density")
                           for s in ("", "-000000", "-000010", "-000020", "-000025"))
    final = {g: band(tmp_path / f"t/{g}.tif") for g in ("density", "compacted")}
    for steps in (0, 10, 25):
        batch(*run_args(land, steps), "--asc", f"a{steps}")
        for grid in ("density", "compacted"):
            transform, srs, nodata, values = band(tmp_path / f"t/{grid}-{steps:06d}.tif")
            assert transform == final[grid][0] == (ORIGIN[0], CELL, 0, ORIGIN[1], 0, -CELL)
            assert srs.GetAuthorityCode(None) == "2154" and srs.IsSame(final[grid][1])
            assert nodata == final[grid][2] or (np.isnan(nodata) and np.isnan(final[grid][2]))
            asc = np.loadtxt(tmp_path / f"a{steps}/{grid}.asc", skiprows=5)
            named = ~np.isnan(values)
            assert np.array_equal(values[named], asc[named]), (grid, steps)
    assert np.isnan(band(tmp_path / "t/compacted-000010.tif")[3][3, 4])
    # The last step's grids are the final ones.
    assert np.array_equal(band(tmp_path / "t/density-000025.tif")[3], final["density"][3])


def test_a_stopped_run_records_its_stop_step_and_a_plain_tif_run_writes_no_step_grids(batch, tmp_path):
    small = ["--set", "PlotWidth=10", "--set", "PlotHeight=10", "--set", "Survival=0.2", "--seed", "3"]
    batch(*small, "--steps", "300", "--stop-when", "extinct", "--tif", "s", "--tif-every", "1000", "--out", "s")
    reached = json.loads((tmp_path / "s/manifest.json").read_text())["steps_reached"]
    assert 0 < reached < 300
    assert sorted(os.listdir(tmp_path / "s")).count(f"density-{reached:06d}.tif") == 1
    assert {n for n in os.listdir(tmp_path / "s") if n.startswith("density")} == {
        "density.tif", "density-000000.tif", f"density-{reached:06d}.tif"}
    batch(*small, "--steps", "3", "--tif", "plain")
    assert not [n for n in os.listdir(tmp_path / "plain") if "-0" in n]


def test_step_grids_keep_earlier_files_and_inputs(batch, land, tmp_path):
    (tmp_path / "t").mkdir()
    earlier = tmp_path / "t/density-000000.tif"
    earlier.write_bytes(b"earlier")
    failed = batch(*run_args(land, 5), "--set", "Fecundity=1e300", "--tif", "t", "--tif-every", "1", check=False)
    assert failed.returncode != 0
    assert json.loads((tmp_path / "t/manifest.json").read_text())["status"] == "error"  # set up, then failed
    assert earlier.read_bytes() == b"earlier"
    assert not [n for n in os.listdir(tmp_path / "t") if n.endswith(".tif") and n != earlier.name]
    # An input under a step grid's name is refused with --tif-every only.
    os.replace(land, tmp_path / "t/density-000010.tif")
    moved = tmp_path / "t/density-000010.tif"
    refused = batch(*run_args(moved, 5), "--tif", "t", "--tif-every", "5", check=False)
    assert refused.returncode == 2 and "--tif" in refused.stderr and "density-000010.tif" in refused.stderr
    batch(*run_args(moved, 5), "--tif", "t")
    assert band(moved)[3].shape == (SIDE, SIDE)
    # So in the folder of a later run.
    (tmp_path / "r/run-002").mkdir(parents=True)
    later = tmp_path / "r/run-002/density-000005.tif"
    os.replace(moved, later)
    refused = batch(*run_args(later, 5), "--tif", "r", "--tif-every", "5", "--replicates", "2", check=False)
    assert refused.returncode == 2 and "density-000005.tif" in refused.stderr
    os.replace(later, moved)
    # A completed run with --tif-every leaves its own step grids only.
    batch(*run_args(moved, 4), "--tif", "u", "--tif-every", "2")
    (tmp_path / "u/density-000003.tif").write_bytes(b"older")
    batch(*run_args(moved, 4), "--tif", "u", "--tif-every", "4")
    assert sorted(n for n in os.listdir(tmp_path / "u") if n.startswith("density-")) == [
        "density-000000.tif", "density-000004.tif"]


def test_a_resumed_run_records_the_step_grids_of_the_unbroken_run(batch, land, tmp_path):
    batch(*run_args(land, 20), "--tif", "whole", "--tif-every", "5")
    batch(*run_args(land, 12), "--save-state", "s.txt")
    batch("--resume", "s.txt", "--steps", "20", "--tif", "resumed", "--tif-every", "5")
    resumed = sorted(n for n in os.listdir(tmp_path / "resumed") if n.startswith("density"))
    assert resumed == ["density-000012.tif", "density-000015.tif", "density-000020.tif", "density.tif"]
    for name in resumed[1:]:
        assert np.array_equal(band(tmp_path / "resumed" / name)[3], band(tmp_path / "whole" / name)[3]), name


def test_tif_every_needs_tif(batch):
    done = batch("--steps", "2", "--tif-every", "1", check=False)
    assert done.returncode == 2 and "--tif-every" in done.stderr and "--tif" in done.stderr


def trace_rows(path):
    return path.read_text().splitlines()


def test_follow_names_the_cell_gdal_reports_at_that_point(batch, land, tmp_path):
    batch(*run_args(land, 25), "--tif", "g")
    ds = gdal.Open(str(tmp_path / "g/density.tif"))
    density = ds.GetRasterBand(1).ReadAsArray()
    line, column = np.unravel_index(np.argmax(density), density.shape)  # a cell that differs from most
    x0, dx, _, y0, _, dy = ds.GetGeoTransform()
    centre = (x0 + (column + 0.5) * dx, y0 + (line + 0.5) * dy)
    # GDAL's own answer for the pixel at that point.
    px, py = (int(v) for v in gdal.ApplyGeoTransform(gdal.InvGeoTransform(ds.GetGeoTransform()), *centre))
    assert (py, px) == (line, column)
    batch(*run_args(land, 25), "--follow", f"{centre[0]!r},{centre[1]!r}", "--trace", "f.csv")
    i, j = column + 1, SIDE - line  # i west to east, j south to north
    batch(*run_args(land, 25), "--set", f"ChartCellX={i}", "--set", f"ChartCellY={j}", "--trace", "c.csv")
    assert trace_rows(tmp_path / "f.csv") == trace_rows(tmp_path / "c.csv")
    assert int(trace_rows(tmp_path / "f.csv")[-1].split(",")[1]) == density[line, column] > 0


@pytest.mark.parametrize("point, cell", [
    ((ORIGIN[0] + 18 * CELL, ORIGIN[1] - 8 * CELL), (19, 43)),  # on a corner: the cell east and north
    ((ORIGIN[0], ORIGIN[1] - SIDE * CELL), (1, 1)),  # the plot's south-west corner
    ((ORIGIN[0] + SIDE * CELL - 1e-6, ORIGIN[1] - 1e-6), (SIDE, SIDE)),
], ids=["edge", "south-west", "north-east"])
def test_follow_on_edges(batch, land, tmp_path, point, cell):
    batch(*run_args(land, 3), "--follow", f"{point[0]!r},{point[1]!r}", "--trace", "f.csv")
    batch(*run_args(land, 3), "--set", f"ChartCellX={cell[0]}", "--set", f"ChartCellY={cell[1]}", "--trace", "c.csv")
    assert trace_rows(tmp_path / "f.csv") == trace_rows(tmp_path / "c.csv")


def test_follow_refusals_and_the_local_grid(batch, land, tmp_path):
    east = ORIGIN[0] + SIDE * CELL  # the east edge is outside
    refused = batch(*run_args(land, 3), "--follow", f"{east!r},5610050", "--trace", "t.csv", check=False)
    assert refused.returncode == 2 and not (tmp_path / "t.csv").exists()
    assert "--follow" in refused.stderr and "412100" in refused.stderr and "5610000" in refused.stderr
    both = batch(*run_args(land, 3), "--follow", "412001,5610001", "--set", "ChartCellY=4", check=False)
    assert both.returncode == 2 and "--follow" in both.stderr and "ChartCell" in both.stderr
    for bad in ("412001", "412001;5610001", "412001,5610001,3", "4,12e"):
        done = batch("--steps", "1", "--follow", bad, check=False)
        assert done.returncode == 2 and bad in done.stderr, bad
    # Without an initial grid: the local grid, lower-left corner (0, 0), cell size 1.
    batch("--seed", "4", "--steps", "3", "--follow", "2.5,49.5", "--trace", "l.csv")
    batch("--seed", "4", "--steps", "3", "--set", "ChartCellX=3", "--set", "ChartCellY=50", "--trace", "m.csv")
    assert trace_rows(tmp_path / "l.csv") == trace_rows(tmp_path / "m.csv")
    assert batch("--steps", "1", "--follow", "50,3", check=False).returncode == 2
