"""Makes docs/gis-stack.png, the figure of the "Working with GIS" sections: a GeoTIFF
landscape in Lambert-93 as the initial environment, the run's NetCDF time stack, the
map of the last step and the time series of one cell.

    PYTHONPATH=build/python python3 docs/gis-stack.py
"""

import pathlib
import tempfile

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from osgeo import gdal, osr  # noqa: E402

import glebix  # noqa: E402

gdal.UseExceptions()
OUT = pathlib.Path(__file__).resolve().parent / "gis-stack.png"

with tempfile.TemporaryDirectory() as scratch:
    # A compaction gradient from west to east, 2 m cells, EPSG:2154.
    land = pathlib.Path(scratch) / "land.tif"
    ds = gdal.GetDriverByName("GTiff").Create(str(land), 50, 50, 1, gdal.GDT_Float32)
    ds.SetGeoTransform((412000, 2, 0, 5610100, 0, -2))
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(2154)
    ds.SetProjection(srs.ExportToWkt())
    ds.GetRasterBand(1).WriteArray(np.tile(np.linspace(5, 60, 50), (50, 1)))
    ds = None

    sim = glebix.Simulation(seed=7, steps=300, EnvInitMode=0, EnvFilePath=str(land))
    stack = sim.run(record_every=10)

fig, (left, right) = plt.subplots(1, 2, figsize=(10, 4.2), dpi=110)
stack.density.isel(time=-1).plot(ax=left, cmap="viridis")
left.set_title("density after the last step")
left.set_aspect("equal")
cell = stack.density.sel(x=412051, y=5610051, method="nearest")
cell.plot(ax=right, marker=".")
right.set_title("one cell over time")
right.set_xlabel("time step")
fig.tight_layout()
fig.savefig(OUT)
print(OUT)
