"""Sensitivity analysis: the design of a study sampled from a factors file, and the
indices of its table, written by the core as glebix-batch --sample and --analyse
write them (docs/sensitivity.md)."""

import csv
import functools
import io
import math
import os
import sys

import numpy as np

from . import _core
from ._messages import message
from ._settings import named_texts
from ._tables import as_table, pandas
from ._warnings import warn_all


# Calibrations whose files a worker process keeps read at once.
_UNITS_KEPT = 4


def _path(value, name):
    if not isinstance(value, (str, os.PathLike)):
        raise TypeError(message("python.path_type", name, type(value).__name__))
    return os.fspath(value)


def _seed(seed, name="seed"):
    if seed is None:
        raise ValueError(message("binding.seed_needed", name))
    return int(seed)


def _factors(factors):
    """The factors as the core takes them, the one conversion of every function: a
    factors file's path (the core reads it, naming its lines), or (name, low, high,
    scale) rows from a dict {name: (low, high[, scale])} or a DataFrame with columns
    name, low, high[, scale] (the core checks them as a file's lines, naming the
    factor)."""
    if isinstance(factors, (str, os.PathLike)):
        return os.fspath(factors)
    if isinstance(factors, dict):
        rows = []
        for name, bounds in factors.items():
            if isinstance(bounds, (str, bytes)) or not hasattr(bounds, "__len__") or len(bounds) not in (2, 3):
                raise TypeError(message("python.factor_entry", name, repr(bounds)))
            scale = bounds[2] if len(bounds) == 3 else ""
            rows.append((str(name), float(bounds[0]), float(bounds[1]), str(scale)))
        return rows
    if hasattr(factors, "columns") and hasattr(factors, "itertuples"):
        if not {"name", "low", "high"} <= set(factors.columns):
            raise TypeError(message("python.factors_type", type(factors).__name__))
        has_scale = "scale" in factors.columns
        rows = []
        for row in factors.to_dict("records"):
            scale = row.get("scale") if has_scale else ""
            rows.append((str(row["name"]), float(row["low"]), float(row["high"]),
                         "" if scale is None or scale != scale else str(scale)))
        return rows
    raise TypeError(message("python.factors_type", type(factors).__name__))


def sample(method, factors, design_out=None, seed=None, samples=0, levels=4, pool=0):
    """The design of `method` ("factorial", "lhs", "sobol", "saltelli" or "morris") for
    `factors` (a factors file name,low,high[,scale], a dict {name: (low, high[,
    scale])} or a DataFrame with those columns), drawn from `seed` (required):
    `samples` points, base rows or trajectories, `levels` grid levels (factorial,
    morris), the `pool` of trajectories Morris chooses from. Returns it as a pandas
    DataFrame (a dict of NumPy arrays without pandas), columns `point` (from 1) then the factors, holding the values the design
    file holds; writes that file to `design_out` when given (the same bytes as
    glebix-batch --sample --design-out). ValueError for bad factors or request (nothing
    written), OSError when the file cannot be written."""
    out = "" if design_out is None else _path(design_out, "design_out")
    names, whole, values = _core.sample_design(_factors(factors), method, int(samples), _seed(seed), int(levels),
                                               int(pool), out)
    columns = {"point": np.arange(1, len(values) + 1, dtype=np.int64)}
    for i, name in enumerate(names):
        columns[name] = values[:, i].astype(np.int64) if whole[i] else values[:, i]
    return as_table(columns)


def _indices_table(text):
    """The indices file's text as a table: as pandas.read_csv reads it (NA and empty
    fields missing, numbers read back exactly), or a dict of NumPy arrays without
    pandas."""
    if pandas is not None:
        return pandas.read_csv(io.StringIO(text), float_precision="round_trip",
                               dtype={"metric": str, "factor": str, "index": str})
    rows = list(csv.reader(io.StringIO(text)))
    names, rows = rows[0], rows[1:]
    columns = {}
    for k, name in enumerate(names):
        values = [r[k] for r in rows]
        if name in ("metric", "factor", "index"):
            columns[name] = np.array(values, dtype=object)
        else:
            columns[name] = np.array([math.nan if v in ("", "NA") else float(v) for v in values])
    return columns


def _table_text(table):
    """A DataFrame's CSV text as the core reads a table: reals in the shortest form that
    reads back the same, as the batch tool writes them."""
    buffer = io.StringIO()
    _write_csv(table, buffer)
    return buffer.getvalue()


def analyse(table, factors, method, metrics, indices=None, seed=None, bootstrap=1000, at_step=None,
            every_step=False, max_dropped=0.05, quiet=False, figure=None):
    """The sensitivity indices of `table` (a CSV file's path or a DataFrame, columns
    point, the factors', the `metrics`') of a `method` design, for `factors` (as
    sample() takes them), with `bootstrap` resamples drawn from `seed` (required).
    Returns them as a pandas DataFrame (a dict of NumPy arrays without pandas) with
    the columns of indices.csv (metric, step,
    factor, index, estimate, low, high; NaN for NA and an empty step or factor).
    Writes indices.csv to `indices` with its manifest beside it, and the figure (PNG)
    to `figure`, when given: the same bytes as glebix-batch --analyse --indices
    --figure. The units dropped for failed runs are printed on stderr unless `quiet`;
    indices left unsure by the noise are GlebixWarnings. ValueError for a bad table
    or factors (nothing written), OSError when a file cannot be written."""
    if isinstance(metrics, str):
        metrics = [metrics]
    if isinstance(table, (str, os.PathLike)):
        table_path, table_text = os.fspath(table), ""
    elif hasattr(table, "columns") or isinstance(table, dict):
        table_path, table_text = "", _table_text(table)
    else:
        raise TypeError(message("python.table_type", type(table).__name__))
    out = "" if indices is None else _path(indices, "indices")
    picture = "" if figure is None else _path(figure, "figure")
    csv_text, notes, warnings = _core.analyse_table(table_path, table_text, _factors(factors), method, list(metrics),
                                                    _seed(seed), int(bootstrap), at_step, bool(every_step),
                                                    float(max_dropped), out, picture)
    if not quiet:
        for note in notes:
            print(note, file=sys.stderr)
    warn_all(warnings, stacklevel=2)
    return _indices_table(csv_text)


def calibrate(factors, observed, out, seed, samples, method="abc-rejection", accept=0.1, replicates=1, steps=300,
              jobs=0, quiet=False,
              observed_grids=None,
              grid_compare="summaries",
              figure=None,
              species=None,
              client=None,
              prior_sample=None,
              **settings):
    """Calibrates the factors `factors` (as sample() takes them: a file
    name,low,high[,scale], a dict or a DataFrame; each a setting) against the
    observations `observed` (step,metric,value[,sd]) by approximate Bayesian
    computation, `method` "abc-rejection" or "abc-smc", from
    `samples` runs of `steps` steps with the other `settings` given by name; writes
    posterior.csv, posterior-summary.csv and manifest.json into the folder `out`, the
    same bytes of posterior.csv as glebix-batch --calibrate. Returns the posterior as
    a pandas DataFrame. ValueError for bad input (nothing run, nothing written),
    OSError when the files cannot be written.

    `observed_grids`, as glebix-batch --observed-grid: a dict {step: path} (a key such
    as "compacted@10" names the field) or a list of "[FIELD@]STEP:FILE" texts;
    `grid_compare` "summaries" or "cells" (--grid-compare); `figure`, a PNG file drawn
    after the results (--figure); `species`, a species parameter file applied before
    `settings` (--species), recorded among the manifest's inputs; `prior_sample`,
    abc-rejection's prior points: "lhs" (the default), "sobol" or "uniform"
    (--prior-sample).

    With a Dask `client`, each batch of runs (the prior sample, an abc-smc generation)
    is made by the cluster's workers, one task per run, and the same posterior.csv
    results; the workers read the factors, observations, grids and species files at
    the same paths."""
    import pandas as pd

    folder = _path(out, "out")
    factors = _factors(factors)
    observed = _path(observed, "observed")
    named = named_texts(settings)
    grids = _grid_texts(observed_grids)
    species = "" if species is None else _path(species, "species")
    run_batch = None
    if client is not None:
        unit = (factors if isinstance(factors, str) else tuple(factors), observed, int(seed), int(steps),
                tuple(named), tuple(grids), str(grid_compare), species)
        run_batch = _dask_batches(client, unit)
    notes = _core.calibrate(factors, observed, folder, method, int(samples),
                            float(accept), int(replicates), int(seed), int(jobs), int(steps), named,
                            observed_grids=grids,
                            grid_compare=str(grid_compare),
                            figure="" if figure is None else _path(figure, "figure"),
                            species=species, run_batch=run_batch,
                            prior_sample="" if prior_sample is None else str(prior_sample))
    if not quiet:
        for note in notes:
            print(note, file=sys.stderr)
    return pd.read_csv(os.path.join(folder, "posterior.csv"))


@functools.lru_cache(maxsize=_UNITS_KEPT)
def _calibration_unit(unit):
    """The calibration's one-run maker in this process, its files read once."""
    factors, observed, seed, steps, named, grids, compare, species = unit
    return _core.CalibrationUnit(factors if isinstance(factors, str) else list(factors), observed, seed, steps,
                                 list(named), list(grids), compare, species)


def _calibration_task(unit, run):
    """One run of a calibration as a Dask task: its summaries, or None when it faulted."""
    return _calibration_unit(unit).run(*run)


def _dask_batches(client, unit):
    """Each batch's runs as tasks of the Dask `client`, their summaries in the batch's order."""

    def run_batch(runs):
        futures = client.map(_calibration_task, [unit] * len(runs), runs, pure=False)
        try:
            return client.gather(futures)
        finally:
            client.cancel(futures)

    return run_batch


def _grid_texts(observed_grids):
    """The observed grids as the texts of glebix-batch --observed-grid."""
    if observed_grids is None:
        return []
    if isinstance(observed_grids, (str, os.PathLike)):
        observed_grids = [observed_grids]
    if isinstance(observed_grids, dict):
        return [f"{step}:{os.fspath(path)}" for step, path in observed_grids.items()]
    return [os.fspath(grid) for grid in observed_grids]


def explore(factors, method, metrics, folder, seed, samples=0, levels=4, pool=0, replicates=1, steps=300,
            bootstrap=1000, jobs=0, client=None, quiet=False, metric_functions=None, figure=None, **settings):
    """Samples, runs and analyses in one call: the design of `method` for `factors`
    (as sample()), its points run `replicates` times for `steps` steps (as sweep(), on
    local threads or on the Dask `client`), each run's last step kept in the table,
    with the run metrics among `metrics` as columns (as glebix-batch --table-every
    last --table-metric) and those of `metric_functions` ({name: f}, f(rows) of each
    run's rows in step order, as sweep() takes them), then the table analysed (as
    analyse()). Writes plan.csv (the design), runs.csv (the table), indices.csv and
    its manifest indices.json into `folder` (created when missing), and the figure
    when `figure` names it; the seed samples, runs and resamples. Returns the indices
    as analyse() does; the same indices as glebix-batch from the same files."""
    from ._sweep import sweep

    if isinstance(metrics, str):
        metrics = [metrics]
    metrics = list(metrics)
    functions = dict(metric_functions or {})
    folder = _path(folder, "folder")
    os.makedirs(folder, exist_ok=True)
    points = sample(method, factors, os.path.join(folder, "plan.csv"), seed, samples, levels, pool)
    names = [name for name in points if name != "point"]
    if pandas is not None:
        design = points[names]
    else:
        design = [{name: points[name][k].item() for name in names} for k in range(len(points["point"]))]
    table = sweep(design, replicates=replicates, seed=seed, steps=steps, jobs=jobs,
                  client=client, table_every="last",
                  table_metrics=[m for m in metrics if m not in functions and _recorded(m)],
                  metric_functions=functions, **settings)
    _write_table(table, os.path.join(folder, "runs.csv"))
    return analyse(os.path.join(folder, "runs.csv"), factors, method, metrics, os.path.join(folder, "indices.csv"),
                   seed, bootstrap=bootstrap, quiet=quiet, figure=figure)


def _recorded(metric):
    """Whether a run records `metric` as a column of its table (a run metric)."""
    try:
        _core.check_table_metric(metric)
        return True
    except ValueError:
        return False


def _write_table(table, path):
    """The table as a CSV file (_write_csv)."""
    with open(path, "w", newline="", encoding="utf-8") as f:
        _write_csv(table, f)


def _write_csv(table, stream):
    """The table as CSV, whether a DataFrame or a dict of arrays, as the core writes a
    study table (reals in the shortest form that reads back the same)."""
    names = [str(name) for name in (table.keys() if isinstance(table, dict) else table.columns)]
    columns = []
    for name in (table.keys() if isinstance(table, dict) else table.columns):
        values = np.asarray(table[name])
        if values.dtype.kind in "iuf":
            columns.append(values.astype(np.float64 if values.dtype.kind == "f" else np.int64))
        else:
            columns.append([str(v) for v in values])
    stream.write(_core.table_text(names, columns))
