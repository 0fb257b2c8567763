"""Python values to the texts glebix-batch's --set takes, and the checks of names and
values that --set makes."""

import collections.abc
import numbers
import os

import numpy as np

from . import _core
from ._messages import labelled, message

#: Every setting the batch tool knows, with its default text, in the batch tool's order.
SETTINGS = _core.default_settings()

#: What each setting is: {name: {"kind", "description", "process", "changes_on_resume"}}.
SETTING_INFO = _core.setting_info()

# Whole numbers that seeds, step counts and thread counts may take.
_SEED_MAX = 2**32 - 1
_COUNT_MAX = 2**31 - 1


def unknown_setting(name):
    """The KeyError for an unknown setting name, naming the names it most likely meant."""
    return KeyError(_core.unknown_setting_message(str(name).encode("utf-8", "backslashreplace").decode()))


def _refused(setting, message, token=None):
    """A GlebixError about an argument or a setting, shaped as the engine's."""
    error = _core.GlebixError(labelled(setting, message))
    error.message, error.setting, error.token = message, setting, token
    error.path = error.line = error.column = None
    return error


def checked_text(what, text):
    """`text` as the engine takes it: UTF-8, as the tables and manifests record it,
    and without a null byte, at which a C path would end."""
    try:
        text.encode("utf-8")
    except UnicodeEncodeError:
        shown = os.fsencode(text).decode("utf-8", "backslashreplace")
        raise _refused(what, message("python.not_utf8", shown), shown) from None
    problem = _core.null_byte_problem(text)
    if problem is not None:
        raise _refused(what, problem, text.replace("\0", "\\x00"))
    return text


def path_text(what, path):
    """The text of a path argument (str, bytes or os.PathLike), checked as above."""
    return checked_text(what, os.fsdecode(os.fspath(path)))


def setting_text(name, value):
    """The text of `value` as --set would be given it: a string or path as it is, a
    bool as on/off, an integer in decimal, a real in shortest round-trip form."""
    if isinstance(value, (str, os.PathLike)):
        return path_text(name, value)
    if isinstance(value, (bool, np.bool_)):
        return "on" if value else "off"
    if isinstance(value, numbers.Integral):
        return str(int(value))
    if isinstance(value, numbers.Real):
        return _core.format_real(float(value))
    raise TypeError(message("python.value_type", name, type(value).__name__))


def named_texts(settings):
    """[(name, text)] of a mapping of settings, the names checked."""
    pairs = []
    for name, value in settings.items():
        if name not in SETTINGS:
            raise unknown_setting(name)
        pairs.append((name, setting_text(name, value)))
    return pairs


def landscape_settings(settings, habitat=None, maps=None, events=None):
    """`settings` with those that habitat=, maps= and events= spell: the habitat grid,
    each soil map under the setting of its map (ask the core which), the schedule of
    management events. A setting given both ways is refused, as is a path that is not
    one."""
    spelled = []
    if habitat is not None:
        spelled.append(("habitat", _core.HABITAT_SETTING, habitat))
    if maps is not None:
        if not isinstance(maps, collections.abc.Mapping):
            raise TypeError(message("python.maps_type", type(maps).__name__))
        spelled += [(f"maps[{name!r}]", _core.soil_map_setting(str(name)), path) for name, path in maps.items()]
    if events is not None:
        spelled.append(("events", _core.EVENTS_SETTING, events))
    merged = dict(settings)
    for keyword, setting, path in spelled:
        if setting in merged:
            raise ValueError(message("python.keyword_twice", keyword, setting))
        if not isinstance(path, (str, bytes, os.PathLike)):
            raise TypeError(message("python.path_type", keyword, type(path).__name__))
        merged[setting] = path_text(keyword, path)
    return merged


def stop_rules(stop_when):
    """The texts of stop_when (a rule or rules, or None), checked by the core: a text
    that is no rule raises GlebixError before anything runs."""
    if stop_when is None:
        return []
    rules = [stop_when] if isinstance(stop_when, str) else [str(rule) for rule in stop_when]
    _core.check_stop_rules(rules)
    return rules


def species_values(species):
    """The values of a species file (a path), or None."""
    if species is None:
        return None
    return _core.read_species(path_text("species", species))


def _whole(what, value, minimum, maximum, refusal):
    """`value` as an int from `minimum` to `maximum`; else TypeError, or ValueError with
    the message `refusal` gives for the value's text."""
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Integral):
        raise TypeError(message("python.whole_expected", what, type(value).__name__))
    if not minimum <= int(value) <= maximum:
        raise ValueError(refusal(str(int(value))))
    return int(value)


def check_seed(seed):
    """A seed as the batch tool takes it; the clock's when None."""
    if seed is None:
        return _core.clock_seed()
    return _whole("seed", seed, 0, _SEED_MAX, lambda shown: message("option.bad_seed", "seed", shown))


def check_steps(steps):
    return check_count("steps", steps, 0)


def check_threads(threads):
    return _whole("threads", threads, 0, _core.MAX_THREADS, _core.threads_refusal)


def check_jobs(jobs):
    """Runs at once, each on its own thread: 0 (one per processor) to the threads' bound."""
    return _whole("jobs", jobs, 0, _core.MAX_THREADS, lambda shown: _core.run_count_refusal("jobs", shown))


def check_count(what, value, minimum=1):
    return _whole(what, value, minimum, _COUNT_MAX, lambda shown: message("option.not_count", what, shown, minimum))


def whole_number(what, value):
    """`value` as an int whose range the engine checks (beyond 64 bits, taken at the
    nearest bound); TypeError when it is not a whole number."""
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Integral):
        raise TypeError(message("python.whole_expected", what, type(value).__name__))
    return max(-(2**63), min(int(value), 2**63 - 1))
