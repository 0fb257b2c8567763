"""Studies: replicates of one setting, or designs of many points, run on local threads
or as Dask tasks, returned as one tidy table with the batch tool's columns and seeds."""

import math
import numbers
import os

import numpy as np

from . import _core
from ._core import GlebixError
from ._messages import labelled, message
from ._progress import progress_bar
from ._settings import (
    SETTINGS,
    check_count,
    check_jobs,
    check_seed,
    check_steps,
    check_threads,
    landscape_settings,
    named_texts,
    setting_text,
    species_values,
    stop_rules,
    unknown_setting,
)
from ._tables import pandas
from ._warnings import warn_all

TRACE_COLUMNS = _core.TRACE_COLUMNS
EMIGRANTS_COLUMN = _core.EMIGRANTS_COLUMN
LOST_COLUMN = _core.LOST_COLUMN
STOPPED_BY_COLUMN = _core.STOPPED_BY_COLUMN

# Most problems of a design listed in one error.
_PROBLEMS_SHOWN = 20


def run(steps=300, seed=None, replicates=1, jobs=0, *, client=None, species=None, threads=None, progress=False,
        table_every=None, table_metrics=(), metric_functions=None, stop_when=None, habitat=None, maps=None,
        events=None, **settings):
    """`replicates` runs of one setting; the table of glebix.sweep without design
    columns (point is 1)."""
    settings = landscape_settings(settings, habitat, maps, events)
    return _study([{}], [], replicates, seed, steps, jobs, client, False, species, threads, progress,
                  (table_every, table_metrics, metric_functions), settings, stop_when)


def sweep(
    design,
    replicates=1,
    seed=None,
    steps=300,
    jobs=0,
    client=None,
    independent_seeds=False,
    *,
    species=None,
    threads=None,
    progress=False,
    table_every=None,
    table_metrics=(),
    metric_functions=None,
    stop_when=None,
    habitat=None,
    maps=None,
    events=None,
    **settings,
):
    """Runs every point of `design` `replicates` times and returns one tidy table.

    design     a pandas DataFrame, or a list of dicts, whose columns are setting names;
               each row is a point, numbered from 1; a missing value (None, NaN, "")
               keeps the value the point would otherwise have
    seed       master seed (the clock's when None): replicate r of every point uses
               the seed replicate r of glebix-batch uses; with independent_seeds, run
               k = (point - 1) * replicates + r uses the seed of replicate k
    jobs       runs at a time on local threads (0: one per processor)
    client     a dask.distributed.Client: every run becomes a Dask task; the table is
               the same as the local one
    threads    threads of each dispersal pass (default: the processors shared between
               the jobs; one per run on Dask)
    species    a species parameter file; then **settings; then the point's row
    progress   True: a bar of the finished runs on the standard error, when tqdm is
               installed (without it, nothing is shown)
    table_every    K: keep the rows of steps 0, K, 2K, ... and each run's last; "last":
               the last alone (glebix-batch --table-every); None: every step
    table_metrics  names of run metrics (final_total, occupied_share,
               time_mean_total_density@100:300, ...) added as the last columns, each
               run's value on each of its rows (glebix-batch --table-metric)
    metric_functions  {name: f}: a column `name` after those, each run's f(rows) on
               each of its rows, `rows` a DataFrame of the run's rows of every step
               (before table_every thins them), in step order, with the columns step,
               cell_density, ..., total_density (and emigrants when counted); f
               returns a number; a failed run's value is missing (NaN)
    stop_when  a rule or a list of rules of glebix-batch --stop-when ("extinct",
               "total_density<1", ...): each run ends at the first state where one
               holds (its last row, which table_every keeps); a stopped run is
               complete, its metrics taken over the steps it made
    habitat, maps, events  the habitat grid, the per-cell soil maps and the schedule
               of management events of every run, as for glebix.Simulation

    Columns: point, replicate, seed, the design's columns (the values the runs use,
    as numbers when every value of the column is one, else as the settings' texts),
    step, cell_density, cell_compacted, cell_decompacted, mean_density,
    mean_compacted, total_density, emigrants when the plots are bounded or the
    design varies their edges (0 for its torus runs), lost when the runs have a
    habitat mask or the design may give one (0 for runs without), stopped_by with
    stop_when (the rule on the row a run stopped at, "" elsewhere), then the metrics;
    runs in order of point, then replicate; row step 0 of each run is its state after
    set-up. These are the columns and values of glebix-batch's --table.
    """
    points, columns = _read_design(design)
    settings = landscape_settings(settings, habitat, maps, events)
    return _study(points, columns, replicates, seed, steps, jobs, client, independent_seeds, species, threads,
                  progress, (table_every, table_metrics, metric_functions), settings, stop_when)


def _table_choice(table):
    """The rows and metric columns asked, checked by the core before any run; the
    metric functions by name."""
    every, metrics, functions = table
    metrics = [metrics] if isinstance(metrics, str) else list(metrics)
    if every is not None:
        every = str(every)
        _core.table_steps_kept([], every, 0)
    for name in metrics:
        _core.check_table_metric(name)
    if len(set(metrics)) != len(metrics):
        raise ValueError(message("option.table_metric_twice", "table_metrics",
                                 next(m for m in metrics if metrics.count(m) > 1)))
    functions = dict(functions or {})
    taken = set(metrics) | {"point", "replicate", "seed", "step", EMIGRANTS_COLUMN, LOST_COLUMN, STOPPED_BY_COLUMN,
                            *TRACE_COLUMNS}
    for name, function in functions.items():
        if not isinstance(name, str) or not callable(function) or name in taken:
            raise ValueError(message("python.metric_function", name))
    return every, metrics, functions


def _function_values(functions, run, completed):
    """Each metric function's value for one run: f of the run's rows in step order,
    missing for a run that did not complete."""
    if not functions:
        return {}
    if not completed:
        return {name: math.nan for name in functions}
    rows = {name: values for name, values in run.items() if not name.startswith("_")}
    rows = pandas.DataFrame(rows) if pandas is not None else rows
    values = {}
    for name, function in functions.items():
        value = function(rows)
        try:
            values[name] = float(value)
        except (TypeError, ValueError):
            raise ValueError(message("python.metric_value", name, repr(value))) from None
    return values


def _thinned(results, steps, table, failed, stopping):
    """Each run's columns, cut to the rows kept, with its metrics as columns. A run that
    failed (`failed` holds its place) keeps the row of the last step it reached, and its
    metrics are missing, as in the batch tool's table. With `stopping` (rules given),
    the stopped_by column names on a stopped run's last row the rule that stopped it;
    such a run is complete."""
    every, metrics, functions = table
    out = []
    for r, place in zip(results, failed):
        stopped = r.get("_stopped_by", "")
        completed = not place and len(r["step"]) > 0 and (r["step"][-1] == steps or bool(stopped))
        computed = _function_values(functions, r, completed)
        kept = {name: values for name, values in r.items() if not name.startswith("_")}
        if every is not None:
            mask = _core.table_steps_kept(r["step"], every, steps)
            if len(mask):
                mask[-1] = True
            kept = {name: values[mask] for name, values in kept.items()}
        if stopping:
            kept[STOPPED_BY_COLUMN] = np.full(len(kept["step"]), "", dtype=object)
            if len(kept["step"]):
                kept[STOPPED_BY_COLUMN][-1] = stopped
        for name, value in zip(metrics, _core.run_metrics(metrics, r, completed) if metrics else []):
            kept[name] = np.full(len(kept["step"]), value)
        for name, value in computed.items():
            kept[name] = np.full(len(kept["step"]), value)
        out.append(kept)
    return out


def _study(points, columns, replicates, seed, steps, jobs, client, independent_seeds, species, threads, progress,
           table, settings, stop_when=None):
    table = _table_choice(table)
    rules = stop_rules(stop_when)
    for name in table[2]:
        if name in columns:
            raise ValueError(message("python.metric_function", name))
    replicates = check_count("replicates", replicates)
    steps = check_steps(steps)
    jobs = check_jobs(jobs)
    if threads is not None:
        threads = check_threads(threads)
    species_path = "" if species is None else os.fsdecode(os.fspath(species))
    species = species_values(species)
    base = named_texts(settings)
    _core.run_settings(species, base)
    point_texts, point_settings = _check_points(points, species, base)
    master = check_seed(seed)
    # As glebix-batch does, every input file is read once, before the runs: they all use
    # the same bytes, and Dask workers need no access to the files.
    inputs = _core.InputStore()
    for texts in point_texts:
        for path in _core.input_paths(species, texts):
            inputs.read(path)
        inputs.read_events(species, texts, steps)
    design_points = list(enumerate(point_texts, start=1)) if columns else []
    warn_all(_core.run_warnings(species_path, base, design_points, inputs), stacklevel=3)

    runs = _core.study_runs(len(point_texts), replicates, master, bool(independent_seeds))
    tasks = [(p, r, seed, steps, point_texts[p - 1]) for p, r, seed in runs]
    bar = progress_bar(len(tasks), progress)
    try:
        if client is not None:
            results, failures = _run_on_dask(client, tasks, (species, _core.task_threads_per_run(threads or 0), rules),
                                             inputs, bar)
        else:
            jobs = _core.runs_at_once(jobs, len(tasks))
            per_run = _core.dispersal_threads_per_run(threads or 0, jobs)
            results, failures = _core.run_study(tasks, species, rules, jobs, per_run, inputs, bar.update)
    finally:
        bar.close()
    design = {name: _design_column([s[name] for s in point_settings]) for name in columns}
    failed_runs = {(e.point, e.replicate) for e in failures}
    failed = [(t[0], t[1]) in failed_runs for t in tasks]
    lost = _core.table_counts_lost(species, base, columns)
    run_columns = [*([STOPPED_BY_COLUMN] if rules else []), *table[1], *table[2]]
    table = _assemble(tasks, _thinned(results, steps, table, failed, bool(rules)), design, run_columns, lost)
    if pandas is not None:
        table.attrs.update(master_seed=master, steps=steps, replicates=replicates,
                           independent_seeds=bool(independent_seeds))
    if failures:
        raise _study_error(failures, table)
    return table


def _study_error(failures, table):
    """The first failed run's error, once every other run has ended: `e.table` holds
    every run's rows (a failed run's up to the step that failed) and `e.failures` each
    failed run's error, in the runs' order."""
    first = failures[0]
    if len(failures) > 1:
        first.args = (first.args[0] + message("study.other_failures", len(failures) - 1),)
    first.table = table
    first.failures = list(failures)
    return first


def _is_missing(value):
    """A design cell left empty: None, NaN, pandas' NA, or an empty text (as an empty
    field of a design file)."""
    if value is None or (isinstance(value, str) and value == ""):
        return True
    if isinstance(value, numbers.Real) and not isinstance(value, numbers.Integral):
        return math.isnan(value)
    return pandas is not None and value is pandas.NA


def _read_design(design):
    """The points (one {name: value} each, missing values left out) and the columns
    in design order."""
    if pandas is not None and isinstance(design, pandas.DataFrame):
        columns = list(design.columns)
        if len(set(columns)) != len(columns):
            raise ValueError(message("python.design_column_twice"))
        rows = design.to_dict("records")
    else:
        if isinstance(design, (str, bytes)) or not hasattr(design, "__iter__"):
            raise TypeError(message("python.design_type"))
        rows = [dict(row) for row in design]
        columns = list(dict.fromkeys(name for row in rows for name in row))
    for name in columns:
        if name not in SETTINGS:
            raise unknown_setting(name)
    if not rows:
        raise ValueError(message("python.design_empty"))
    points = [{name: v for name, v in row.items() if not _is_missing(v)} for row in rows]
    return points, columns


def _check_points(points, species, base):
    """Each point's setting texts (the base first) and its run's settings, every
    value checked before anything runs; all problems in one error."""
    problems, texts, settings = [], [], []
    for p, point in enumerate(points, start=1):
        try:
            pairs = base + [(name, setting_text(name, value)) for name, value in point.items()]
            settings.append(_core.run_settings(species, pairs))
            texts.append(pairs)
        except (ValueError, TypeError) as e:
            problems.append(labelled(message("run.point", p), e))
        except GlebixError as e:
            e.point = p
            e.args = (labelled(message("run.point", p), e.args[0]),)
            raise
    if problems:
        shown = problems[:_PROBLEMS_SHOWN]
        if len(problems) > len(shown):
            shown.append(message("more_problems", len(problems) - len(shown)))
        raise ValueError("\n".join(shown))
    return texts, settings


def _design_column(texts):
    """A design column of the table from its points' setting texts: whole numbers or
    reals when every text is one, as a CSV reader would take them, else the texts."""
    for kind in (int, float):
        try:
            return np.array([kind(t) for t in texts])
        except ValueError:
            pass
    return np.array(texts, dtype=object)


def _run_task(task, inputs=None):
    """One run of a study as a Dask task: its trace's columns, and its error (None when
    it reached its last step). A failed run keeps its rows up to the step that failed,
    and its error names the point and the replicate, as the local runs' errors do."""
    (point, replicate, seed, steps, texts), species, threads, rules = task
    sim = _core.Simulation(seed, steps, threads, species, texts, inputs)
    if rules:
        sim._stop_when(rules)
    failure = None
    try:
        sim.setup()
        sim.step(steps)
    except GlebixError as e:
        e.point, e.replicate = point, replicate
        e.args = (labelled(message("python.point_replicate", point, replicate), e.args[0]),)
        failure = e
    trace = sim._trace_columns(True)
    trace["_stopped_by"] = sim.stopped_by or ""
    return trace, failure


def _run_on_dask(client, tasks, how, inputs, bar):
    """The runs of `tasks` as Dask tasks, each made with `how`: the species values, the
    threads of its dispersal passes and the stopping rules."""
    work = [(t, *how) for t in tasks]
    # The input files go to every worker once, not with every task.
    shared = client.scatter(inputs, broadcast=True, hash=False) if len(inputs) else None
    futures = client.map(_run_task, work, inputs=shared, pure=False)
    try:
        for _ in _dask_completed(futures):
            bar.update()
        ended = client.gather(futures)
    finally:
        client.cancel(futures)
        if shared is not None:
            client.cancel(shared)
    return [trace for trace, _ in ended], [failure for _, failure in ended if failure is not None]


def _dask_completed(futures):
    from distributed import as_completed as completed

    return completed(futures)


def _assemble(tasks, results, design, metrics=(), lost=False):
    counts = np.array([len(r["step"]) for r in results], dtype=np.int64)
    points = np.repeat(np.array([t[0] for t in tasks], dtype=np.int64), counts)
    columns = {
        "point": points,
        "replicate": np.repeat(np.array([t[1] for t in tasks], dtype=np.int64), counts),
        "seed": np.repeat(np.array([t[2] for t in tasks], dtype=np.int64), counts),
    }
    columns.update((name, values[points - 1]) for name, values in design.items())
    columns.update((name, np.concatenate([r[name] for r in results])) for name in TRACE_COLUMNS)
    # Without the edges in the design, every run has the base's edges: one bounded run
    # tells that they all are.
    bounded = any(EMIGRANTS_COLUMN in r for r in results)
    if _core.table_counts_emigrants(bounded, list(design)):
        columns[EMIGRANTS_COLUMN] = np.concatenate(
            [r.get(EMIGRANTS_COLUMN, np.zeros(len(r["step"]), dtype=np.int64)) for r in results])
    if lost:  # runs without a mask lose none
        columns[LOST_COLUMN] = np.concatenate(
            [r.get(LOST_COLUMN, np.zeros(len(r["step"]), dtype=np.int64)) for r in results])
    columns.update((name, np.concatenate([r[name] for r in results])) for name in metrics)
    return pandas.DataFrame(columns) if pandas is not None else columns
