"""Putting what was made into place, all of it or nothing.

Everything is made in a work folder beside its place and moved there at
the end, what was there before set aside until all of it is in place.  A
failure or an interruption before that puts back what was set aside and
removes what was made.  Interruptions wait while files are being moved, so
that what was moved is always known.

On Windows a file that another program holds open (an Explorer window, a
virus scanner, a mounted image) cannot be renamed for a while: each move is
tried again for a few seconds before it fails.
"""
import os
import shutil
import signal
import sys
import time

from . import Refused

RETRIES, PAUSE = 10, 0.5


class Interrupted(BaseException):
    """The run was interrupted by a signal; code is the exit code."""

    def __init__(self, code):
        super().__init__(code)
        self.code = code



_state = {"critical": False, "pending": None}


def _interrupt(signum, frame):
    code = 128 + signum
    if _state["critical"]:
        _state["pending"] = _state["pending"] or code
        return
    _ignore_signals()
    raise Interrupted(code)


def _signals():
    names = ("SIGINT", "SIGTERM", "SIGHUP", "SIGBREAK")
    return [getattr(signal, n) for n in names if hasattr(signal, n)]


def catch_signals():
    """From now on an interruption raises Interrupted."""
    for s in _signals():
        signal.signal(s, _interrupt)


def _ignore_signals():
    for s in _signals():
        signal.signal(s, signal.SIG_IGN)


def begin_moves():
    _state["critical"] = True


def end_moves():
    """Moves are done: an interruption that came meanwhile is raised now."""
    _state["critical"] = False
    if _state["pending"]:
        _ignore_signals()
        raise Interrupted(_state["pending"])


def move(source, target):
    """Renames source to target (replacing a file target), trying again
    while Windows reports the file as in use."""
    for attempt in range(RETRIES):
        try:
            os.replace(source, target)
            return
        except PermissionError as e:
            if sys.platform != "win32" or attempt == RETRIES - 1:
                raise Refused(f"cannot move '{source}' to '{target}' ({e.strerror}): close "
                              f"what holds it open (an Explorer window, a mounted image) and "
                              f"run make-medium again")
            time.sleep(PAUSE)
        except OSError as e:
            raise Refused(f"cannot move '{source}' to '{target}': {e.strerror}")


def remove(path):
    """Removes a file or a folder made here, whatever is in it."""
    if os.path.isdir(path) and not os.path.islink(path):
        shutil.rmtree(path, ignore_errors=True)
    elif os.path.lexists(path):
        try:
            os.remove(path)
        except OSError:
            pass
