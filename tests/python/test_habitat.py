"""The habitat mask through the batch tool as it ships: the lost individuals in the
trace, every raster output without a value off the habitat as GDAL reads it, the
habitat file among the manifest's inputs that --repeat checks, a mask of every cell
that gives the bytes of none, and the Python package's run of the batch tool's bytes."""

import hashlib
import json

import numpy as np
from osgeo import gdal

import glebix

from conftest import batch  # noqa: F401  (the fixture)

gdal.UseExceptions()

HEADER = "ncols 50\nnrows 50\nxllcorner 512000\nyllcorner 6400000\ncellsize 10\nnodata_value -1\n"


def write_habitat(path, rows):
    """A habitat grid of `rows` (line 0 the map's top line) with its header."""
    path.write_text(HEADER + "".join(" ".join(str(v) for v in line) + "\n" for line in rows))
    return path


def roads():
    """A road along the map's line 20 (0) and a margin along column 10 (nodata)."""
    rows = np.ones((50, 50), dtype=int)
    rows[20, :] = 0
    rows[:, 10] = -1
    return rows


STILL = ["--set", "Fecundity=0", "--set", "Survival=1", "--set", "SurvivalEnvSensitive=off",
         "--set", "DispersalSigma=3", "--set", "DistInitMode=1", "--set", "Edges=bounded"]


def test_outputs_leave_the_cells_off_the_habitat_without_a_value(batch, tmp_path):
    mask = roads()
    habitat = write_habitat(tmp_path / "habitat.asc", mask)
    batch("--seed", 5, "--steps", 6, *STILL, "--set", f"HabitatFilePath={habitat}", "--trace", "t.csv",
          "--asc", "asc", "--tif", "tif", "--netcdf", "s.nc")
    off = mask != 1

    # Only dispersal moves individuals: each step's total is the last one's less the
    # emigrants and the lost.
    lines = (tmp_path / "t.csv").read_text().splitlines()
    assert lines[0].endswith(",emigrants,lost")
    rows = [list(map(float, line.split(","))) for line in lines[1:]]
    assert sum(r[8] for r in rows) > 0
    for before, after in zip(rows, rows[1:]):
        assert after[6] == before[6] - after[7] - after[8]

    for name in ("asc/density.asc", "tif/density.tif", "asc/compacted.asc", "tif/compacted.tif"):
        ds = gdal.Open(str(tmp_path / name))
        band = ds.GetRasterBand(1)
        values = band.ReadAsArray()
        assert ds.GetGeoTransform() == (512000, 10, 0, 6400500, 0, -10), name  # north-up, where the mask lay
        nodata = band.GetNoDataValue()
        held = np.isnan(values) if np.isnan(nodata) else values == nodata
        assert (held == off).all(), name
        if "density" in name:
            assert (values[~off] >= 0).all() and values[~off].sum() > 0

    nc = gdal.Open(f'NETCDF:"{tmp_path / "s.nc"}":density')
    assert nc.GetRasterBand(1).GetNoDataValue() == -9999
    last = nc.GetRasterBand(nc.RasterCount).ReadAsArray()
    assert ((last == -9999) == off).all()


def test_the_manifest_records_the_habitat_file_and_repeat_checks_it(batch, tmp_path):
    habitat = write_habitat(tmp_path / "habitat.asc", roads())
    batch("--seed", 2, "--steps", 3, "--set", f"HabitatFilePath={habitat}", "--out", "run")
    manifest = json.loads((tmp_path / "run" / "manifest.json").read_text())
    entry = next(e for e in manifest["inputs"] if e["role"] == "habitat")
    assert entry["sha256"] == hashlib.sha256(habitat.read_bytes()).hexdigest()
    assert manifest["settings"]["HabitatFilePath"] == str(habitat)
    batch("--repeat", "run/manifest.json", "--out", "again")
    assert (tmp_path / "again" / "RireVed1a1p1.txt").read_bytes() == (tmp_path / "run" / "RireVed1a1p1.txt").read_bytes()
    write_habitat(habitat, np.ones((50, 50), dtype=int))
    refused = batch("--repeat", "run/manifest.json", "--out", "changed", check=False)
    assert refused.returncode != 0 and "habitat.asc" in refused.stderr
    # A run without a mask records neither setting.
    batch("--seed", 2, "--steps", 1, "--out", "plain")
    settings = json.loads((tmp_path / "plain" / "manifest.json").read_text())["settings"]
    assert "HabitatFilePath" not in settings and "EnvNoDataNonHabitat" not in settings


def test_a_mask_of_every_cell_gives_the_bytes_of_none(batch, tmp_path):
    every = write_habitat(tmp_path / "every.asc", np.ones((50, 50), dtype=int))
    batch("--seed", 9, "--steps", 15, "--out", "none", "--trace", "none.csv", "--asc", "none")
    batch("--seed", 9, "--steps", 15, "--set", f"HabitatFilePath={every}", "--set", "EnvInitMode=0",
          "--set", f"EnvFilePath={every}", "--out", "every", "--trace", "every.csv", "--asc", "every")
    batch("--seed", 9, "--steps", 15, "--set", "EnvInitMode=0", "--set", f"EnvFilePath={every}",
          "--out", "file", "--trace", "file.csv", "--asc", "file")
    assert (tmp_path / "every" / "RireVed1a1p1.txt").read_bytes() == (tmp_path / "file" / "RireVed1a1p1.txt").read_bytes()
    plain = (tmp_path / "file.csv").read_text().splitlines()
    masked = (tmp_path / "every.csv").read_text().splitlines()
    assert [line.rsplit(",", 1)[0] for line in masked] == plain
    assert all(line.endswith(",0") for line in masked[1:])
    for name in ("density.asc", "compacted.asc"):
        lines = (tmp_path / "every" / name).read_text().splitlines()
        assert lines.pop(5) == "NODATA_value -9999"
        assert "\n".join(lines) + "\n" == (tmp_path / "file" / name).read_text()
    # Without a mask, no trace or grid says anything of one.
    assert "lost" not in (tmp_path / "none.csv").read_text().splitlines()[0]
    assert "NODATA" not in (tmp_path / "none" / "density.asc").read_text()


def test_python_runs_the_batch_tools_bytes(batch, tmp_path):
    habitat = write_habitat(tmp_path / "habitat.asc", roads())
    batch("--seed", 4, "--steps", 8, "--set", f"HabitatFilePath={habitat}", "--asc", "batch")
    sim = glebix.Simulation(seed=4, steps=8, HabitatFilePath=habitat)
    sim.run()
    sim.write_asc(tmp_path / "python")
    for name in ("density.asc", "compacted.asc"):
        assert (tmp_path / "python" / name).read_bytes() == (tmp_path / "batch" / name).read_bytes()
    # The trace's columns, the lost individuals last.
    assert list(sim.trace)[-1] == "lost"


def test_a_geotiff_habitat_is_read_as_its_grid(batch, tmp_path):
    mask = roads()
    write_habitat(tmp_path / "habitat.asc", mask)
    ds = gdal.GetDriverByName("GTiff").Create(str(tmp_path / "habitat.tif"), 50, 50, 1, gdal.GDT_Int16)
    ds.SetGeoTransform((512000, 10, 0, 6400500, 0, -10))
    ds.GetRasterBand(1).WriteArray(mask)
    ds.GetRasterBand(1).SetNoDataValue(-1)
    ds = None
    for name in ("habitat.asc", "habitat.tif"):
        batch("--seed", 6, "--steps", 5, "--set", f"HabitatFilePath={tmp_path / name}", "--out", name + ".out")
    assert (tmp_path / "habitat.tif.out" / "RireVed1a1p1.txt").read_bytes() == \
        (tmp_path / "habitat.asc.out" / "RireVed1a1p1.txt").read_bytes()
    # A value other than 1, 0 or nodata is refused, naming the file and the cell.
    mask[3, 7] = 5
    ds = gdal.GetDriverByName("GTiff").Create(str(tmp_path / "bad.tif"), 50, 50, 1, gdal.GDT_Int16)
    ds.GetRasterBand(1).WriteArray(mask)
    ds.GetRasterBand(1).SetNoDataValue(-1)
    ds = None
    refused = batch("--steps", 1, "--set", f"HabitatFilePath={tmp_path / 'bad.tif'}", check=False)
    assert refused.returncode == 1
    assert "bad.tif" in refused.stderr and "ligne 4, colonne 8 : « 5 »" in refused.stderr


def test_a_resumed_run_needs_no_habitat_file_and_equals_the_unbroken_one(batch, tmp_path):
    habitat = write_habitat(tmp_path / "habitat.asc", roads())
    common = ["--seed", 12, "--set", "DistInitMode=1", "--set", f"HabitatFilePath={habitat}"]
    batch(*common, "--steps", 9, "--out", "whole", "--trace", "whole.csv")
    batch(*common, "--steps", 4, "--save-state", "s.state")
    assert (tmp_path / "s.state").read_text().startswith("GLEBIX-STATE 3\n")
    habitat.unlink()
    batch("--resume", "s.state", "--steps", 9, "--out", "resumed", "--trace", "resumed.csv")
    assert (tmp_path / "resumed" / "RireVed1a1p1.txt").read_bytes() == \
        (tmp_path / "whole" / "RireVed1a1p1.txt").read_bytes()
    whole = (tmp_path / "whole.csv").read_text().splitlines()
    resumed = (tmp_path / "resumed.csv").read_text().splitlines()
    assert resumed[0] == whole[0] and resumed[1:] == whole[5:]
