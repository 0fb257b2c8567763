"""The batch tool's warnings (what does not stop a run but most likely spoils what it
means) as Python warnings."""

import warnings


class GlebixWarning(UserWarning):
    """A warning of glebix-batch about a run's settings or input files: its text is the
    batch tool's French line."""


def warn_all(texts, stacklevel):
    """Issues each text as a GlebixWarning, attributed to the caller `stacklevel` frames
    above the caller of this function."""
    for text in texts:
        warnings.warn(text, GlebixWarning, stacklevel=stacklevel + 1)
