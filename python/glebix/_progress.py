"""A bar of the finished runs of a study, drawn by tqdm when it is installed; without
tqdm, or when not asked for, a bar that draws nothing."""

import importlib

from ._messages import message


class _NoBar:
    def update(self, n=1):
        pass

    def close(self):
        pass


def progress_bar(total, wanted):
    """A bar counting `total` runs if `wanted` and tqdm can be imported."""
    if not wanted:
        return _NoBar()
    try:
        tqdm = importlib.import_module("tqdm").tqdm
    except ImportError:
        return _NoBar()
    return tqdm(total=total, unit=message("progress.unit"), desc="glebix")
