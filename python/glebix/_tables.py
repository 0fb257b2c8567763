"""Tables: pandas DataFrames when pandas is installed, else dicts of NumPy arrays."""

try:
    import pandas
except ImportError:  # pragma: no cover - pandas is optional
    pandas = None


def as_table(columns):
    return pandas.DataFrame(columns) if pandas is not None else columns
