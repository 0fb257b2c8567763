"""GIS files in and out: a GeoTIFF written by GDAL as the initial environment, the
GeoTIFF and NetCDF grids read back by GDAL and xarray, the same stack from Python."""

import json
import pathlib
import re
import subprocess

import numpy as np
import pytest
import xarray as xr
from osgeo import gdal, osr

import glebix

from conftest import batch  # noqa: F401  (the fixture)

gdal.UseExceptions()

ORIGIN = (412000.0, 5610100.0)  # top-left corner
CELL = 2.0
NODATA = -9999.0


def landscape():
    rng = np.random.default_rng(3)
    values = np.round(rng.uniform(0, 100, (50, 50)), 3)
    values[0, 0] = NODATA
    return values


def write_tif(path, values, bands=1):
    ds = gdal.GetDriverByName("GTiff").Create(str(path), 50, 50, bands, gdal.GDT_Float64)
    ds.SetGeoTransform((ORIGIN[0], CELL, 0, ORIGIN[1], 0, -CELL))
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(2154)
    ds.SetProjection(srs.ExportToWkt())
    for b in range(1, bands + 1):
        ds.GetRasterBand(b).WriteArray(values)
        ds.GetRasterBand(b).SetNoDataValue(NODATA)
    ds = None
    return path


def write_asc(path, values):
    lines = [f"ncols 50\nnrows 50\nxllcorner {ORIGIN[0]}\nyllcorner {ORIGIN[1] - 50 * CELL}\ncellsize {CELL}",
             f"NODATA_value {NODATA}"]
    lines += [" ".join(repr(float(v)) for v in row) for row in values]
    path.write_text("\n".join(lines) + "\n")
    return path


@pytest.fixture
def land(tmp_path):
    values = landscape()
    return values, write_tif(tmp_path / "land.tif", values), write_asc(tmp_path / "land.asc", values)


RUN = ["--steps", "25", "--seed", "11", "--every", "10", "--set", "EnvInitMode=0"]


def test_geotiff_runs_as_its_ascii_grid_and_outputs_keep_its_crs(batch, land, tmp_path):
    values, tif, asc = land
    batch(*RUN, "--set", f"EnvFilePath={tif}", "--out", "a", "--tif", "a", "--asc", "a")
    batch(*RUN, "--set", f"EnvFilePath={asc}", "--out", "b")
    assert (tmp_path / "a/RireVed1a1p1.txt").read_bytes() == (tmp_path / "b/RireVed1a1p1.txt").read_bytes()
    info = gdal.Info(str(tmp_path / "a/density.tif"), format="json")
    assert info["geoTransform"] == [ORIGIN[0], CELL, 0.0, ORIGIN[1], 0.0, -CELL]
    assert info["bands"][0]["type"] == "Int32"
    srs = subprocess.run(["gdalsrsinfo", "-o", "epsg", str(tmp_path / "a/density.tif")], capture_output=True,
                         text=True, check=True)
    assert "EPSG:2154" in srs.stdout
    assert "Lambert" in (tmp_path / "a/density.prj").read_text()
    manifest = json.loads((tmp_path / "a/manifest.json").read_text())
    assert manifest["georeference"]["xllcorner"] == ORIGIN[0] and "2154" in manifest["georeference"]["crs_wkt"]
    assert manifest["outputs"]["tif"] == "a"


def test_a_session_places_its_outputs_in_the_crs_the_file_has_at_each_run(land, tmp_path):
    _, tif, asc = land
    runs = iter(range(1000))

    def crs_of_a_run(path):
        sim = glebix.Simulation(seed=3, steps=1, EnvInitMode=0, EnvFilePath=str(path))
        sim.setup()
        wkt = gdal.Open(sim.write_tif(tmp_path / f"out{next(runs)}")[0]).GetProjection()
        return osr.SpatialReference(wkt).GetAuthorityCode(None) if wkt else None

    assert crs_of_a_run(tif) == "2154"
    ds = gdal.Open(str(tif), gdal.GA_Update)
    moved = osr.SpatialReference()
    moved.ImportFromEPSG(32631)
    ds.SetProjection(moved.ExportToWkt())
    ds = None
    assert crs_of_a_run(tif) == "32631"
    # A grid's CRS lies beside it: given, then taken away.
    assert crs_of_a_run(asc) is None
    asc.with_suffix(".prj").write_text(moved.ExportToWkt())
    assert crs_of_a_run(asc) == "32631"


def test_netcdf_stack_matches_snapshots_and_final_grids(batch, land, tmp_path):
    values, tif, _ = land
    batch(*RUN, "--set", f"EnvFilePath={tif}", "--snapshots", "maps", "--asc", "maps", "--netcdf", "stack.nc")
    stack = xr.open_dataset(tmp_path / "stack.nc")
    assert dict(stack.sizes) == {"time": 4, "y": 50, "x": 50}
    snapshots = sorted(int(p.stem[4:]) for p in (tmp_path / "maps").glob("map-*.png"))
    assert [0] + snapshots == list(stack.time.values)
    final = np.loadtxt(tmp_path / "maps/density.asc", skiprows=5)
    assert (stack.density.isel(time=-1).values == final).all()
    assert float(stack.x[0]) == ORIGIN[0] + CELL / 2 and float(stack.y[0]) == ORIGIN[1] - CELL / 2
    assert (stack.named.values == (values != NODATA)).all()
    assert stack.attrs["Conventions"] == "CF-1.8" and stack.attrs["seed"] == 11
    assert stack.attrs["setting_EnvFilePath"] == str(tif)
    # The CF attributes a reader needs.
    for name in ("x", "y", "time"):
        assert {"units", "axis"} <= set(stack[name].attrs) and "long_name" in stack[name].attrs
    for name in ("density", "compacted", "decompacted"):
        assert {"units", "long_name"} <= set(stack[name].attrs) and stack[name].attrs["grid_mapping"] == "crs"
    assert stack.crs.attrs["grid_mapping_name"] == "lambert_conformal_conic"


def test_python_stack_equals_the_batch_file(batch, land, tmp_path):
    _, tif, _ = land
    batch(*RUN, "--set", f"EnvFilePath={tif}", "--netcdf", "stack.nc")
    with pytest.warns(glebix.GlebixWarning):  # the NODATA cell
        sim = glebix.Simulation(seed=11, steps=25, EnvInitMode=0, EnvFilePath=str(tif))
    recorded = sim.run(record_every=10)
    written = xr.open_dataset(tmp_path / "stack.nc")
    for name in ("density", "compacted", "decompacted", "named", "x", "y", "time"):
        np.testing.assert_array_equal(recorded[name].values, written[name].values)
    now = sim.to_xarray()
    assert int(now.time) == 25 and (now.density.values == sim.density).all()
    assert now.crs.attrs["grid_mapping_name"] == "lambert_conformal_conic"
    paths = sim.write_tif(tmp_path / "py")
    assert gdal.Info(paths[1], format="json")["geoTransform"][0] == ORIGIN[0]
    grids = sim.write_asc(tmp_path / "asc")
    assert [pathlib.Path(p).name for p in grids] == ["density.asc", "compacted.asc", "density.prj", "compacted.prj"]
    assert "Lambert" in (tmp_path / "asc/density.prj").read_text()


def test_refusals_name_the_file(batch, land, tmp_path):
    values, _, _ = land
    three = write_tif(tmp_path / "three.tif", values, bands=3)
    done = batch(*RUN, "--set", f"EnvFilePath={three}", "--out", "o", check=False)
    assert done.returncode == 1 and f"« {three} » a 3 bandes" in done.stderr
    batch(*RUN, "--set", f"EnvFilePath={three}:2", "--out", "o")


def test_stacks_read_north_up_in_gdal_and_xarray_with_or_without_a_crs(batch, land, tmp_path):
    values, tif, asc = land  # the ESRI grid has no .prj: no CRS
    batch("--seed", "8", "--steps", "4", "--every", "2", "--set", "DistInitMode=1", "--netcdf", "local.nc",
          "--asc", "local")
    batch("--seed", "8", "--steps", "4", "--every", "2", "--set", "EnvInitMode=0", "--set", f"EnvFilePath={asc}",
          "--netcdf", "asc.nc", "--asc", "asc")
    batch(*RUN, "--set", f"EnvFilePath={tif}", "--netcdf", "tif.nc", "--asc", "tif")
    for name in ("local", "asc", "tif"):
        final = np.loadtxt(tmp_path / f"{name}/density.asc", skiprows=5)
        band = gdal.Open(f"NETCDF:{tmp_path / name}.nc:density")
        assert (band.GetRasterBand(band.RasterCount).ReadAsArray() == final).all(), name
        stack = xr.open_dataset(tmp_path / f"{name}.nc")
        assert (stack.density.isel(time=-1).values == final).all(), name
        header = dict(line.split() for line in (tmp_path / f"{name}/density.asc").read_text().splitlines()[:5])
        left, top = float(header["xllcorner"]), float(header["yllcorner"]) + 50 * float(header["cellsize"])
        assert band.GetGeoTransform()[0] == left and band.GetGeoTransform()[3] == top, name
        if name == "tif":  # rioxarray reads the grid mapping's own geotransform
            transform = [float(v) for v in stack.crs.attrs["GeoTransform"].split()]
            assert transform == [ORIGIN[0], CELL, 0.0, ORIGIN[1], 0.0, -CELL]


def test_named_mask_is_the_environments_and_tifs_mark_its_holes(batch, land, tmp_path):
    values, tif, _ = land
    zeros = tmp_path / "zeros.tif"
    write_tif(zeros, np.zeros((50, 50)))
    batch(*RUN, "--set", f"EnvFilePath={tif}", "--set", "DistInitMode=0", "--set", f"DistFilePath={zeros}",
          "--netcdf", "both.nc", "--tif", "both")
    stack = xr.open_dataset(tmp_path / "both.nc")
    assert (stack.named.values == (values != NODATA)).all()
    assert stack.named_distribution.values.all()
    tif_file = gdal.Open(str(tmp_path / "both/compacted.tif"))  # the band lives as long as its dataset
    compacted = tif_file.GetRasterBand(1)
    assert np.isnan(compacted.GetNoDataValue())
    assert (np.isnan(compacted.ReadAsArray()) == (values == NODATA)).all()


def test_vrt_over_a_local_raster_reads_and_remote_sources_are_refused(batch, land, tmp_path):
    values, tif, _ = land
    gdal.BuildVRT(str(tmp_path / "land.vrt"), [str(tif)])
    batch(*RUN, "--set", f"EnvFilePath={tmp_path / 'land.vrt'}", "--out", "vrt")
    batch(*RUN, "--set", f"EnvFilePath={tif}", "--out", "tif")
    assert (tmp_path / "vrt/RireVed1a1p1.txt").read_bytes() == (tmp_path / "tif/RireVed1a1p1.txt").read_bytes()
    local = (tmp_path / "land.vrt").read_text()
    source = re.search(r"<SourceFilename[^>]*>[^<]*</SourceFilename>", local).group(0)

    def naming(path):
        return local.replace(source, f'<SourceFilename relativeToVRT="0">{path}</SourceFilename>')

    (tmp_path / "remote.vrt").write_text(naming("/vsicurl/https://example.invalid/land.tif"))
    (tmp_path / "outer.vrt").write_text(naming(tmp_path / "remote.vrt"))
    for name in ("remote.vrt", "outer.vrt"):
        done = batch(*RUN, "--set", f"EnvFilePath={tmp_path / name}", "--out", "o", check=False)
        assert done.returncode != 0 and "/vsicurl/https://example.invalid/land.tif" in done.stderr, done.stderr


def test_the_largest_seed_reads_back_exactly_from_the_stack(batch, tmp_path):
    batch("--seed", "4294967295", "--steps", "2", "--netcdf", "seed.nc")
    assert xr.open_dataset(tmp_path / "seed.nc").attrs["seed"] == 4294967295
    assert gdal.Open(f"NETCDF:{tmp_path}/seed.nc:density").GetMetadataItem("NC_GLOBAL#seed") == "4294967295"


def test_stacks_are_deflated_by_record_and_every_level_reads_the_same(batch, tmp_path):
    run = ["--steps", "12", "--seed", "4", "--every", "3", "--set", "PlotWidth=60", "--set", "PlotHeight=40"]
    for level in ("0", "4", "9"):
        batch(*run, "--netcdf", f"s{level}.nc", "--netcdf-deflate", level)
    batch(*run, "--netcdf", "default.nc")
    assert (tmp_path / "default.nc").read_bytes() == (tmp_path / "s4.nc").read_bytes()
    plain = xr.open_dataset(tmp_path / "s0.nc")
    for level in ("0", "4", "9"):
        stack = xr.open_dataset(tmp_path / f"s{level}.nc")
        for name in ("density", "compacted", "decompacted"):
            np.testing.assert_array_equal(stack[name].values, plain[name].values)
            encoding = stack[name].encoding
            assert encoding["chunksizes"] == (1, 40, 60)
            assert encoding["zlib"] == (level != "0") and encoding.get("complevel", 0) == int(level)
        # GDAL reads every record of the compressed file as the plain one's.
        compacted = gdal.Open(f"NETCDF:{tmp_path}/s{level}.nc:compacted")
        np.testing.assert_array_equal(compacted.GetRasterBand(5).ReadAsArray(), plain.compacted.isel(time=4).values)
    assert (tmp_path / "s4.nc").stat().st_size < (tmp_path / "s0.nc").stat().st_size * 3 / 4


def test_a_resumed_run_tunes_its_outputs_as_a_run_from_set_up_does(batch, tmp_path):
    batch("--steps", "4", "--seed", "4", "--save-state", "s.txt")
    batch("--resume", "s.txt", "--steps", "8", "--netcdf", "r.nc", "--netcdf-deflate", "0",
          "--tif", "tif", "--tif-every", "2")
    encoding = xr.open_dataset(tmp_path / "r.nc")["density"].encoding
    assert not encoding["zlib"]
    assert sorted(p.name for p in (tmp_path / "tif").glob("density-*.tif")) == [
        "density-000004.tif", "density-000006.tif", "density-000008.tif"]


def test_a_deflate_level_out_of_range_or_without_a_stack_is_refused(batch, tmp_path):
    for arguments, told in ((["--netcdf", "s.nc", "--netcdf-deflate", "10"], "de 0 à 9"),
                            (["--netcdf", "s.nc", "--netcdf-deflate", "1,5"], "de 0 à 9"),
                            (["--netcdf-deflate", "5"], "--netcdf-deflate demande --netcdf")):
        done = batch("--steps", "1", *arguments, check=False)
        assert done.returncode == 2 and told in done.stderr, done.stderr
        assert not (tmp_path / "s.nc").exists()
