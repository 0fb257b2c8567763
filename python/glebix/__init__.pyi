# Types of the package's public names, for editors and type checkers.
from collections.abc import Callable, Iterable, Mapping, Sequence
from os import PathLike
from typing import Any, Literal, NamedTuple, Union, overload

import numpy as np
import numpy.typing as npt

_Path = Union[str, bytes, PathLike[str], PathLike[bytes]]
_Setting = Union[int, float, bool, str]
# A pandas DataFrame, or a dict of NumPy arrays when pandas is missing.
_Table = Any

__version__: str
SETTINGS: dict[str, str]
SETTING_INFO: dict[str, dict[str, str | bool]]

class GlebixError(RuntimeError):
    message: str | None
    setting: str | None
    path: str | None
    line: int | None
    column: int | None
    token: str | None

class GlebixWarning(UserWarning): ...

class _Cell(NamedTuple):
    density: int
    compacted: float
    decompacted: float

class Simulation:
    def __init__(
        self,
        seed: int | None = None,
        steps: int = 300,
        threads: int = 0,
        species: _Path | None = None,
        replicate: int | None = None,
        stop_when: str | Sequence[str] | None = None,
        *,
        habitat: _Path | None = None,
        maps: Mapping[str, _Path] | None = None,
        events: _Path | None = None,
        **settings: _Setting,
    ) -> None: ...
    @classmethod
    def resume(
        cls,
        path: _Path,
        steps: int | None = None,
        threads: int = 0,
        stop_when: str | Sequence[str] | None = None,
        **settings: _Setting,
    ) -> Simulation: ...
    def setup(self) -> None: ...
    def step(self, n: int = 1) -> None: ...
    @overload
    def run(self, record_every: None = None, netcdf: _Path | None = None, deflate: int | None = None) -> _Table: ...
    @overload
    def run(self, record_every: int, netcdf: _Path | None = None, deflate: int | None = None) -> Any: ...
    def save_state(self, path: _Path) -> None: ...
    def write_result_file(self, directory: _Path) -> str: ...
    def write_asc(self, directory: _Path) -> list[str]: ...
    def write_tif(self, directory: _Path) -> list[str]: ...
    def write_netcdf(self, path: _Path) -> str: ...
    def to_xarray(self) -> Any: ...
    def animate(
        self,
        path: _Path,
        every: int = 10,
        style: Literal["window", "map"] = "window",
        cell_size: int | None = None,
        fps: int = 10,
    ) -> None: ...
    def end_animation(self) -> str | None: ...
    def cell(self, i: int, j: int) -> _Cell: ...
    @property
    def trace(self) -> _Table: ...
    @property
    def step_index(self) -> int: ...
    @property
    def stopped_by(self) -> str | None: ...
    @property
    def seed(self) -> int: ...
    @property
    def master_seed(self) -> int: ...
    @property
    def steps(self) -> int: ...
    @property
    def threads(self) -> int: ...
    @property
    def is_set_up(self) -> bool: ...
    @property
    def settings(self) -> dict[str, str]: ...
    @property
    def chart_cell(self) -> tuple[int, int]: ...
    @property
    def density(self) -> npt.NDArray[np.int32]: ...
    @property
    def compacted(self) -> npt.NDArray[np.float64]: ...
    @property
    def decompacted(self) -> npt.NDArray[np.float64]: ...

def run(
    steps: int = 300,
    seed: int | None = None,
    replicates: int = 1,
    jobs: int = 0,
    *,
    client: Any = None,
    species: _Path | None = None,
    threads: int | None = None,
    progress: bool = False,
    table_every: int | Literal["last"] | None = None,
    table_metrics: str | Sequence[str] = (),
    metric_functions: Mapping[str, Callable[[Any], float]] | None = None,
    stop_when: str | Sequence[str] | None = None,
    habitat: _Path | None = None,
    maps: Mapping[str, _Path] | None = None,
    events: _Path | None = None,
    **settings: _Setting,
) -> _Table: ...
def sweep(
    design: Any,
    replicates: int = 1,
    seed: int | None = None,
    steps: int = 300,
    jobs: int = 0,
    client: Any = None,
    independent_seeds: bool = False,
    *,
    species: _Path | None = None,
    threads: int | None = None,
    progress: bool = False,
    table_every: int | Literal["last"] | None = None,
    table_metrics: str | Sequence[str] = (),
    metric_functions: Mapping[str, Callable[[Any], float]] | None = None,
    stop_when: str | Sequence[str] | None = None,
    habitat: _Path | None = None,
    maps: Mapping[str, _Path] | None = None,
    events: _Path | None = None,
    **settings: _Setting,
) -> _Table: ...
# A factors file, {name: (low, high)} or {name: (low, high, "log")}, or a DataFrame
# with the columns name, low, high[, scale].
_Factors = Union[_Path, Mapping[str, Sequence[Any]], Any]
def sample(
    method: Literal["factorial", "lhs", "sobol", "saltelli", "morris"],
    factors: _Factors,
    design_out: _Path | None = None,
    seed: int | None = None,
    samples: int = 0,
    levels: int = 4,
    pool: int = 0,
) -> _Table: ...
def analyse(
    table: _Path | _Table,
    factors: _Factors,
    method: Literal["factorial", "lhs", "sobol", "saltelli", "morris"],
    metrics: str | Iterable[str],
    indices: _Path | None = None,
    seed: int | None = None,
    bootstrap: int = 1000,
    at_step: int | None = None,
    every_step: bool = False,
    max_dropped: float = 0.05,
    quiet: bool = False,
    figure: _Path | None = None,
) -> _Table: ...
def calibrate(
    factors: _Factors,
    observed: _Path,
    out: _Path,
    seed: int,
    samples: int,
    method: Literal["abc-rejection", "abc-smc"] = "abc-rejection",
    accept: float = 0.1,
    replicates: int = 1,
    steps: int = 300,
    jobs: int = 0,
    quiet: bool = False,
    observed_grids: dict[int | str, _Path] | list[str] | str | None = None,
    grid_compare: Literal["summaries", "cells"] = "summaries",
    figure: _Path | None = None,
    species: _Path | None = None,
    client: Any = None,
    prior_sample: Literal["lhs", "sobol", "uniform"] | None = None,
    **settings: _Setting,
) -> _Table: ...


def explore(
    factors: _Factors,
    method: Literal["factorial", "lhs", "sobol", "saltelli", "morris"],
    metrics: str | Iterable[str],
    folder: _Path,
    seed: int,
    samples: int = 0,
    levels: int = 4,
    pool: int = 0,
    replicates: int = 1,
    steps: int = 300,
    bootstrap: int = 1000,
    jobs: int = 0,
    client: Any = None,
    quiet: bool = False,
    metric_functions: Mapping[str, Callable[[Any], float]] | None = None,
    figure: _Path | None = None,
    **settings: _Setting,
) -> _Table: ...
