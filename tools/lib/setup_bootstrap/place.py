"""Putting what was made into place, all of it or nothing.

Everything is made in a work folder beside its place and moved there at
the end, what was there before set aside until all of it is in place
(Placement remembers each move).  A failure or an interruption before that
puts back what was set aside and removes what was made.  Interruptions
wait while files are being moved, so that what was moved is always known:
one that comes meanwhile is raised once every move is done, and the run
then says what is in place.

On Windows a file that another program holds open (an Explorer window, a
virus scanner, a mounted image) cannot be renamed for a while: each move is
tried again for a few seconds before it fails.
"""
import dataclasses
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



@dataclasses.dataclass
class _Signals:
    critical: bool = False
    pending: int = 0


_state = _Signals()


def _interrupt(signum, frame):
    code = 128 + signum
    if _state.critical:
        _state.pending = _state.pending or code
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
    _state.critical = True


def end_moves():
    """Moves are done: an interruption that came meanwhile is raised now."""
    _state.critical = False
    if _state.pending:
        pending, _state.pending = _state.pending, 0
        _ignore_signals()
        raise Interrupted(pending)


@dataclasses.dataclass
class Placement:
    """The moves of one run, each remembered once it is done: what was set
    aside (its place, where it went) and what was put in place."""
    set_aside: list = dataclasses.field(default_factory=list)
    placed: list = dataclasses.field(default_factory=list)
    complete: bool = False

    def aside(self, path, where):
        """Moves what is at path out of the way, to where."""
        move(path, where)
        self.set_aside.append((path, where))

    def put(self, made, path):
        move(made, path)
        self.placed.append(path)

    def roll_back(self):
        """Removes what was put in place and puts back what was set aside;
        returns the paths put back."""
        if self.complete:
            return []
        for path in reversed(self.placed):
            remove(path)
        back = []
        for path, where in reversed(self.set_aside):
            if os.path.lexists(path):
                continue
            try:
                os.replace(where, path)
                back.append(path)
            except OSError:
                pass
        self.placed, self.set_aside = [], []
        return back

    def finish(self):
        """Everything is in place: what was set aside goes."""
        self.complete = True
        for _, where in self.set_aside:
            remove(where)


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
