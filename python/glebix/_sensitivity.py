"""Sensitivity analysis: the design of a study sampled from a factors file, and the
indices of its table, written by the core as glebix-batch --sample and --analyse
write them (docs/sensitivity.md)."""

import csv
import os
import sys

import numpy as np

from . import _core
from ._messages import message
from ._settings import named_texts
from ._warnings import warn_all


def _path(value, name):
    if not isinstance(value, (str, os.PathLike)):
        raise TypeError(message("python.path_type", name, type(value).__name__))
    return os.fspath(value)


def sample(method, factors, design_out, seed, samples=0, levels=4, pool=0):
    """Writes the design of `method` ("factorial", "lhs", "sobol", "saltelli" or
    "morris") for the factors file `factors` (name,low,high[,scale]) to `design_out`:
    `samples` points, base rows or trajectories, `levels` grid levels (factorial,
    morris), the `pool` of trajectories Morris chooses from; the same bytes as
    glebix-batch --sample. Returns `design_out`. ValueError for a bad factors file or
    request (nothing written), OSError when the file cannot be written."""
    out = _path(design_out, "design_out")
    _core.write_design(_path(factors, "factors"), method, int(samples), int(seed), int(levels), int(pool), out)
    return out


def analyse(table, factors, method, metrics, indices, seed, bootstrap=1000, at_step=None, every_step=False,
            max_dropped=0.05, quiet=False):
    """Writes the sensitivity indices of the table `table` (columns point, the
    factors', the `metrics`') of a `method` design to `indices`
    (metric,step,factor,index,estimate,low,high), with `bootstrap` resamples drawn from
    `seed`; the same bytes as glebix-batch --analyse. The units dropped for failed runs
    are printed on stderr unless `quiet`; indices left unsure by the noise are
    GlebixWarnings. Returns `indices`. ValueError for a bad table or factors file
    (nothing written), OSError when the file cannot be written."""
    if isinstance(metrics, str):
        metrics = [metrics]
    out = _path(indices, "indices")
    notes, warnings = _core.write_indices(_path(table, "table"), _path(factors, "factors"), method, list(metrics),
                                          int(seed), int(bootstrap), at_step, bool(every_step), float(max_dropped),
                                          out)
    if not quiet:
        for note in notes:
            print(note, file=sys.stderr)
    warn_all(warnings, stacklevel=2)
    return out


def calibrate(factors, observed, out, seed, samples, method="abc-rejection", accept=0.1, replicates=1, steps=300,
              jobs=0, quiet=False,
              observed_grids=None,
              grid_compare="summaries",
              figure=None,
              **settings):
    """Calibrates the factors of the file `factors` (name,low,high[,scale], each a
    setting) against the observations `observed` (step,metric,value[,sd]) by
    approximate Bayesian computation, `method` "abc-rejection" or "abc-smc", from
    `samples` runs of `steps` steps with the other `settings` given by name; writes
    posterior.csv, posterior-summary.csv and manifest.json into the folder `out`, the
    same bytes of posterior.csv as glebix-batch --calibrate. Returns the posterior as
    a pandas DataFrame. ValueError for bad input (nothing run, nothing written),
    OSError when the files cannot be written.

    `observed_grids`, as glebix-batch --observed-grid: a dict {step: path} (a key such
    as "compacted@10" names the field) or a list of "[FIELD@]STEP:FILE" texts;
    `grid_compare` "summaries" or "cells" (--grid-compare); `figure`, a PNG file drawn
    after the results (--figure)."""
    import pandas as pd

    folder = _path(out, "out")
    notes = _core.calibrate(_path(factors, "factors"), _path(observed, "observed"), folder, method, int(samples),
                            float(accept), int(replicates), int(seed), int(jobs), int(steps), named_texts(settings),
                            observed_grids=_grid_specs(observed_grids),
                            grid_compare=str(grid_compare),
                            figure="" if figure is None else _path(figure, "figure"))
    if not quiet:
        for note in notes:
            print(note, file=sys.stderr)
    return pd.read_csv(os.path.join(folder, "posterior.csv"))


def _grid_specs(observed_grids):
    """The observed grids as the texts of glebix-batch --observed-grid."""
    if observed_grids is None:
        return []
    if isinstance(observed_grids, (str, os.PathLike)):
        observed_grids = [observed_grids]
    if isinstance(observed_grids, dict):
        return [f"{step}:{os.fspath(path)}" for step, path in observed_grids.items()]
    return [os.fspath(grid) for grid in observed_grids]


def explore(factors, method, metrics, folder, seed, samples=0, levels=4, pool=0, replicates=1, steps=300,
            bootstrap=1000, jobs=0, client=None, quiet=False, **settings):
    """Samples, runs and analyses in one call: the design of `method` for the factors
    file `factors` (as sample()), its points run `replicates` times for `steps` steps
    (as sweep(), on local threads or on the Dask `client`), each run's last step kept
    in the table, with the run metrics among `metrics` as columns (as glebix-batch
    --table-every last --table-metric), then the table analysed (as analyse()).
    Writes plan.csv (the design), runs.csv (the table), indices.csv and its
    manifest indices.json into `folder` (created when missing); the seed samples, runs and resamples. Returns the
    indices' path; the same indices as glebix-batch from the same files."""
    from ._sweep import sweep

    if isinstance(metrics, str):
        metrics = [metrics]
    metrics = list(metrics)
    folder = _path(folder, "folder")
    os.makedirs(folder, exist_ok=True)
    design = sample(method, factors, os.path.join(folder, "plan.csv"), seed, samples, levels, pool)
    with open(design, newline="", encoding="utf-8") as f:
        points = list(csv.DictReader(f))
    table = sweep(points, replicates=replicates, seed=seed, steps=steps, jobs=jobs, client=client,
                  table_every="last", table_metrics=[m for m in metrics if _recorded(m)], **settings)
    _write_table(table, os.path.join(folder, "runs.csv"))
    return analyse(os.path.join(folder, "runs.csv"), factors, method, metrics, os.path.join(folder, "indices.csv"),
                   seed, bootstrap=bootstrap, quiet=quiet)


def _recorded(metric):
    """Whether a run records `metric` as a column of its table (a run metric)."""
    try:
        _core.check_table_metric(metric)
        return True
    except ValueError:
        return False


def _write_table(table, path):
    """The table as CSV, reals in the shortest form that reads back the same (as the
    batch tool writes them), whether a DataFrame or a dict of arrays."""
    names = list(table.keys() if isinstance(table, dict) else table.columns)
    columns = [np.asarray(table[name]) for name in names]
    texts = [[_core.format_real(float(v)) if c.dtype.kind == "f" else str(v) for v in c] for c in columns]
    with open(path, "w", newline="", encoding="utf-8") as f:
        out = csv.writer(f, lineterminator="\n")
        out.writerow(names)
        out.writerows(zip(*texts))
