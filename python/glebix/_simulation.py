"""One simulation driven step by step."""

import collections
import contextlib
import numbers
import os
import signal
import tempfile
import threading
import warnings

import numpy as np

from . import _core
from ._messages import message
from ._settings import (
    check_count,
    check_seed,
    check_steps,
    check_threads,
    landscape_settings,
    named_texts,
    path_text,
    species_values,
    stop_rules,
    whole_number,
)
from ._tables import as_table
from ._warnings import GlebixWarning, warn_all

#: The signals that end a run from outside: its files under temporary names go first.
_ENDING_SIGNALS = (signal.SIGINT, signal.SIGTERM)


def _ending_handler(previous):
    """A handler that removes the staged files of every run, then does what `previous`
    (the handler it replaces) did: calls it, or ends the process by the signal when it
    was the default. A handler that raises (KeyboardInterrupt) ends the run by that
    exception, which removes the run's own files on its way out."""

    def handler(signum, frame):
        if callable(previous):
            return previous(signum, frame)
        if previous == signal.SIG_IGN:
            return None
        _core.remove_staged_files()
        signal.signal(signum, signal.SIG_DFL)
        os.kill(os.getpid(), signum)
        return None

    return handler


@contextlib.contextmanager
def _staged_files_removed_on_signals(records):
    """While `records` (a run writes files under temporary names), SIGINT and SIGTERM
    remove those files before they act as they did; the handlers are put back after.
    Signals can be handled in the main thread only: elsewhere nothing changes."""
    if not records or threading.current_thread() is not threading.main_thread():
        yield
        return
    previous = {number: signal.getsignal(number) for number in _ENDING_SIGNALS}
    for number, handler in previous.items():
        if handler is not None:  # None: set outside Python, left alone
            signal.signal(number, _ending_handler(handler))
    try:
        yield
    finally:
        for number, handler in previous.items():
            if handler is not None:
                signal.signal(number, handler)

#: One cell of the plot: its count and its soil shares (percent).
Cell = collections.namedtuple("Cell", "density compacted decompacted")


class Simulation(_core.Simulation):
    """One run of the model.

    Simulation(seed=None, steps=300, threads=0, species=None, replicate=None, stop_when=None,
               habitat=None, maps=None, events=None, **settings)

    seed      the generator's seed (0 to 2**32 - 1); drawn from the clock when None
    replicate with a seed: this is run `replicate` of a study whose master seed is
              `seed` (glebix-batch --seed S --replicates R; the k-th run of a design
              with independent seeds): it draws from that run's seed, and a saved
              state records the master seed as the study's does
    steps     the steps run() makes
    threads   threads of each dispersal pass, 0 for one per processor (results do
              not depend on it)
    species   a species parameter file, applied before the settings
    stop_when a rule or a list of rules of glebix-batch --stop-when ("extinct",
              "total_density<1", "mean_compacted>=90"): the run ends at the first
              state (after set-up or after a whole step) where one holds, and
              stopped_by then names it; run() and step() make no further step
    habitat   a habitat grid (1 habitat, 0 or nodata not): HabitatFilePath, as
              glebix-batch --set HabitatFilePath=FILE
    maps      {setting: path} of per-cell soil maps, e.g. {"DecompactionD": "d.asc"}:
              the setting's map path (DecompactionDMapPath), as glebix-batch --map
              DecompactionD=FILE; a setting without a map is refused
    events    a schedule of management events: EventsFilePath, as glebix-batch --events
    settings  any of glebix.SETTINGS by name, as numbers, bools or strings, checked as
              glebix-batch --set checks them; a setting also given by habitat, maps or
              events is refused. Paths are str or os.PathLike

    setup() runs the set-up, step(n) makes n time steps with the interpreter free for
    other threads, run() does both. density, compacted and decompacted are read-only
    views of the engine's grids that follow the run, laid out as the map: [k, l] is
    the map's line k from the top and its column l from the left; cell(i, j) reads
    the model's cell (row i, column j). trace is a table of one row per step, row 0
    the state after set-up. The batch tool's warnings about the settings and the input
    files are issued as glebix.GlebixWarning.
    """

    def __init__(self, seed=None, steps=300, threads=0, species=None, replicate=None, stop_when=None, *,
                 habitat=None, maps=None, events=None, **settings):
        texts = named_texts(landscape_settings(settings, habitat, maps, events))
        rules = stop_rules(stop_when)
        if replicate is not None and seed is None:
            raise ValueError(message("replicate.needs_seed"))
        seed, master = check_seed(seed), None
        if replicate is not None:
            master, seed = seed, _core.replicate_seed(seed, check_count("replicate", replicate))
        super().__init__(seed, check_steps(steps), check_threads(threads), species_values(species), texts,
                         master=master)
        if rules:
            self._stop_when(rules)
        species_path = "" if species is None else os.fsdecode(os.fspath(species))
        warn_all(_core.run_warnings(species_path, texts, [], None), stacklevel=2)

    @classmethod
    def resume(cls, path, steps=None, threads=0, stop_when=None, **settings):
        """A saved run put back from the state file at `path` (written by save_state() or
        glebix-batch --save-state), ready to step from the saved step + 1 up to `steps`
        (the saved step count when None). The seeds and settings are the saved ones;
        only DecompactionD, EnvDynamic and DispersalFirst may be given, and apply from
        the next step. The trace holds the steps made after the saved one. stop_when
        as for Simulation(), checked from the saved state on."""
        sim = cls.__new__(cls)
        _core.Simulation.__init__(
            sim,
            path_text("state", path),
            named_texts(settings),
            None if steps is None else check_steps(steps),
            check_threads(threads),
        )
        sim._resumed = True
        rules = stop_rules(stop_when)
        if rules:
            sim._stop_when(rules)
        return sim

    def run(self, record_every=None, netcdf=None, deflate=None):
        """Set-up, then `steps` time steps; returns the trace. A resumed run makes the
        steps left up to `steps` instead, with no set-up.

        With record_every=K, returns instead the grids over time as an xarray.Dataset,
        the file glebix-batch --netcdf FILE --every K writes: recorded after set-up,
        every K steps and after the last step. It is written to `netcdf` when given
        (and kept), else to a temporary file, its layers deflated at `deflate` (0, not
        compressed, to 9; None: the batch tool's default level), as
        --netcdf-deflate LEVEL does (checked even without record_every, where it has no
        file to act on)."""
        level = None if deflate is None else _core.deflate_level(str(whole_number("deflate", deflate)))
        if record_every is None:
            return self._run_steps()
        every = check_steps(record_every)
        if every < 1:
            raise ValueError(message("python.record_every", every))
        import xarray

        with tempfile.TemporaryDirectory() as scratch:
            path = path_text("netcdf", netcdf) if netcdf is not None else os.path.join(scratch, "stack.nc")
            if level is None:
                self._start_recording(path, every)
            else:
                self._start_recording(path, every, level)
            self._run_steps()
            written = self._finish_recording()
            with xarray.open_dataset(written) as stack:
                return stack.load()

    def _run_steps(self):
        """The steps of run(). A run that ends on an exception (Ctrl-C included) puts
        neither its NetCDF file nor its animation in place: their temporary files go,
        and an earlier file under the name given stays."""
        try:
            with _staged_files_removed_on_signals(self._records):
                if getattr(self, "_resumed", False) and self.is_set_up:
                    _core.Simulation.step(self, max(self.steps - self.step_index, 0))
                    return self.trace
                refusal = self._setup_for_run()
                if refusal:  # the animation could not start: the run goes on without it
                    warnings.warn(refusal, GlebixWarning, stacklevel=3)
                _core.Simulation.step(self, self.steps)
                return self.trace
        except BaseException:
            with contextlib.suppress(RuntimeError):  # busy in another thread: its outputs stay
                self._abandon_outputs()
            raise

    def step(self, n=1):
        """Makes n time steps with the interpreter free for other threads. While an
        animation or a recording is under way, SIGINT and SIGTERM remove its temporary
        file before they act as they did."""
        with _staged_files_removed_on_signals(self._records):
            return super().step(n)

    def save_state(self, path):
        """Writes the run's state at its present step to `path` (replaced atomically), to
        be taken up by Simulation.resume() or glebix-batch --resume."""
        super().save_state(path_text("path", path))

    def animate(self, path, every=10, style="window", cell_size=None, fps=10):
        """Writes an animated GIF of the density map to `path` (folder created when
        missing) as the run goes, the one glebix-batch --animate writes for the same run:
        the state it starts from (after set-up, or the present step when set up), then
        every `every` steps and the last step (`steps`), where the file is put in place.
        style="window" paints the plot window's picture; style="map" the map alone with
        its colour legend and the step number, `cell_size` pixels a cell (2 to 40,
        default 10), for slides. `fps` frames per second (1 to 100). end_animation()
        puts it in place earlier, with the frames so far."""
        every = check_count("every", every)
        if cell_size is not None:
            cell_size = whole_number("cell_size", cell_size)
        super().animate(path_text("path", path), every, str(style), cell_size, whole_number("fps", fps))

    def end_animation(self):
        """Puts the animation under way in place with its frames so far; returns its
        path, or None when there was none."""
        return super().end_animation() or None

    @property
    def trace(self):
        """The batch trace's columns, with a row 0 for the state after set-up: a pandas
        DataFrame, or a dict of NumPy arrays without pandas."""
        return as_table(self._trace_columns())

    def write_result_file(self, directory):
        """Writes the result file RireVed1a1p1.txt into `directory` (created when
        missing), as the program writes it; returns its path."""
        return super().write_result_file(path_text("directory", directory))

    def write_asc(self, directory):
        """Writes the present grids into `directory` (created when missing) as
        density.asc and compacted.asc, the files of glebix-batch --asc, placed where an
        initial grid file lay, with density.prj and compacted.prj beside them when it had
        a CRS; returns their paths."""
        return super().write_asc(path_text("directory", directory))

    def write_tif(self, directory):
        """Writes the present grids into `directory` (created when missing) as
        density.tif, compacted.tif and decompacted.tif, the files of glebix-batch --tif,
        with the georeference and CRS of the initial grid file; returns their paths."""
        return super().write_tif(path_text("directory", directory))

    def write_netcdf(self, path):
        """Writes the present grids to `path` as a NetCDF file of one record, laid out
        as glebix-batch --netcdf writes them; returns the path."""
        return super().write_netcdf(path_text("path", path))

    def to_xarray(self):
        """The present grids as an xarray.Dataset: density, compacted and decompacted
        on the cell centres x and y of the initial grid's georeference (the local grid
        without one), the mask `named`, the CRS as the CF grid mapping `crs`, the step
        as the scalar coordinate `time`, the settings and the seed as attributes."""
        import xarray

        with tempfile.TemporaryDirectory() as scratch:
            with xarray.open_dataset(self.write_netcdf(os.path.join(scratch, "grids.nc"))) as grids:
                return grids.load().isel(time=0)

    def cell(self, i, j):
        """The model's cell (row i, column j), both from 1 as the result file numbers
        them: its count and soil shares at the present step."""
        height, width = self.density.shape
        for name, index, side in (("i", i, width), ("j", j, height)):
            if isinstance(index, (bool, np.bool_)) or not isinstance(index, numbers.Integral):
                raise TypeError(message("python.cell_type", name, type(index).__name__))
            if not 1 <= index <= side:
                raise IndexError(message("python.cell_range", name, index, side))
        line, column = height - j, i - 1
        return Cell(int(self.density[line, column]), float(self.compacted[line, column]),
                    float(self.decompacted[line, column]))

    def __repr__(self):
        return f"<glebix.Simulation seed={self.seed} step {self.step_index}/{self.steps}>"
