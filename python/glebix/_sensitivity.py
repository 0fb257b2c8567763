"""Sensitivity analysis: the design of a study sampled from a factors file, and the
indices of its table, written by the core as glebix-batch --sample and --analyse
write them (docs/sensitivity.md)."""

import os
import sys

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
              jobs=0, quiet=False, **settings):
    """Calibrates the factors of the file `factors` (name,low,high[,scale], each a
    setting) against the observations `observed` (step,metric,value[,sd]) by
    approximate Bayesian computation, `method` "abc-rejection" or "abc-smc", from
    `samples` runs of `steps` steps with the other `settings` given by name; writes
    posterior.csv, posterior-summary.csv and manifest.json into the folder `out`, the
    same bytes of posterior.csv as glebix-batch --calibrate. Returns the posterior as
    a pandas DataFrame. ValueError for bad input (nothing run, nothing written),
    OSError when the files cannot be written."""
    import pandas as pd

    folder = _path(out, "out")
    notes = _core.calibrate(_path(factors, "factors"), _path(observed, "observed"), folder, method, int(samples),
                            float(accept), int(replicates), int(seed), int(jobs), int(steps), named_texts(settings))
    if not quiet:
        for note in notes:
            print(note, file=sys.stderr)
    return pd.read_csv(os.path.join(folder, "posterior.csv"))
