"""Glebix in Python: the simulation engine with its grids as NumPy arrays, and whole
studies (replicates, designs) run on local threads or on a Dask cluster, returned as
one tidy table.

    import glebix
    sim = glebix.Simulation(seed=42, Survival=0.45)
    trace = sim.run()            # one row per step, row 0 the state after set-up
    sim.density                  # int32 (50, 50) read-only view of the counts, laid out as the map
    sim.cell(3, 17)              # the model's cell (row 3, column 17)

    table = glebix.sweep([{"Survival": s} for s in (0.3, 0.4, 0.5)], replicates=5, seed=1)
"""

from ._core import GlebixError, __version__
from ._settings import SETTING_INFO, SETTINGS
from ._simulation import Simulation
from ._sweep import run, sweep
from ._sensitivity import analyse, calibrate, explore, sample
from ._messages import message as _message
from ._warnings import GlebixWarning

__all__ = [
    "GlebixError", "GlebixWarning", "SETTING_INFO", "SETTINGS", "Simulation", "analyse", "calibrate", "explore", "run", "sample",
    "sweep",
    "__version__"
]
