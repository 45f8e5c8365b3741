"""The setup bootstrap's media: the medium builder (make-medium) and the
tools that read a medium (medium-record), with the formats they share: the
PE header, the record of a medium's files, the LZ format, the disc image
and Authenticode signing.
"""
import os
import sys

__version__ = "1.0.0"


class Refused(Exception):
    """What cannot be done, in words for the user: what is wrong, and what
    to do."""


def checkout():
    """The checkout this package lies in (tools/lib/<package>), or None
    where it is installed."""
    top = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
    if os.path.isfile(os.path.join(top, "CMakeLists.txt")) and \
            os.path.isfile(os.path.join(top, "tools", "make-medium")):
        return top
    return None


def byte_for_byte():
    """Paths go out as they came in: a name in bytes that are no UTF-8 is
    written back in those bytes (surrogateescape), not refused."""
    for stream in (sys.stdout, sys.stderr):
        try:
            stream.reconfigure(errors="surrogateescape")
        except (AttributeError, ValueError):
            pass


def speaker(name):
    """say and die for the program name: lines of "name: text" to the
    standard output and, ending the run, to the standard error."""
    def say(text, stream=None):
        stream = stream or sys.stdout
        stream.write(f"{name}: {text}\n")
        stream.flush()

    def die(text):
        say(text, sys.stderr)
        sys.exit(1)

    return say, die
