"""The messages of the package in the user's language: French when LANGUAGE, LC_ALL,
LC_MESSAGES or LANG (the first set) names French, English otherwise. The texts are
the batch tool's catalogue, in the compiled part."""

from . import _core


def message(key, *args):
    """The catalogue's message `key`, its placeholders {0}, {1}, ... filled with `args`."""
    return _core.message(key, [str(a) for a in args])


def labelled(label, text):
    """"<label> : <text>" as the user's language writes it."""
    return f"{label}{message('context_separator')}{text}"
