"""Shared helpers: the batch tool to compare with, and the table rows in its text."""

import json
import os
import pathlib
import subprocess

import numpy as np
import pytest

import glebix
from glebix import _core

REPO = pathlib.Path(__file__).resolve().parents[2]


def batch_program():
    return os.environ.get("GLEBIX_BATCH") or str(REPO / "build" / "glebix-batch")


@pytest.fixture
def batch(tmp_path):
    """Runs glebix-batch with the given arguments in tmp_path; returns the process."""

    def run(*arguments, check=True):
        done = subprocess.run(
            [batch_program(), "--quiet", *map(str, arguments)], cwd=tmp_path, capture_output=True, text=True
        )
        if check and done.returncode != 0:
            raise AssertionError(f"glebix-batch {arguments}: {done.returncode}\n{done.stderr}")
        return done

    return run


def trace_lines(path):
    """The data lines of a batch trace file, as written."""
    return pathlib.Path(path).read_text().splitlines()[1:]


def table_lines(table, first_step=1):
    """Rows of a table's trace columns as the batch tool writes them, the emigrants
    last when the table has them."""
    out = []
    for row in table.itertuples(index=False):
        if row.step < first_step:
            continue
        reals = (row.cell_compacted, row.cell_decompacted, row.mean_density, row.mean_compacted)
        emigrants = [str(row.emigrants)] if hasattr(row, "emigrants") else []
        out.append(",".join([str(row.step), str(row.cell_density), *map(_core.format_real, reals),
                             str(row.total_density), *emigrants]))
    return out


def table_text(table):
    """A study table as the batch tool writes its --table: whole numbers in decimal, reals
    in shortest round-trip form, texts as CSV fields."""

    def field(value):
        if isinstance(value, str):
            return f'"{value.replace(chr(34), chr(34) * 2)}"' if any(c in value for c in ',"\n') else value
        if isinstance(value, (int, np.integer)):
            return str(int(value))
        return _core.format_real(float(value))

    lines = [",".join(table.columns)]
    lines += [",".join(map(field, row)) for row in table.itertuples(index=False)]
    return "\n".join(lines) + "\n"


def manifest(path):
    return json.loads(pathlib.Path(path).read_text())
