"""The medium as a disc image: ISO 9660 with Joliet names, through pycdlib.

The ISO 9660 names are what the oldest readers see (8.3 capitals:
SETUP.EXE;1, RIREDUD.E_E;1, SETUP.I_F;1, AUTORUN.INF;1, a "#" not being an
ISO 9660 character); the Joliet names are the medium's own, which Windows
shows.  The label is the ISO 9660 volume identifier, 1 to 32 of A-Z, 0-9
and "_"; Joliet holds 16 characters of it, and those are what Windows
shows as the disc's name.

Every date in the image is one time, in UTC: SOURCE_DATE_EPOCH where it is
set, else now.  pycdlib reads the clock itself, in local time, while it
makes an image, so the time module it sees is a stand-in for that while.
The same files and the same time give the same bytes.
"""
import contextlib
import io
import re
import time
import types

try:
    import pycdlib
    import pycdlib.dates
    import pycdlib.headervd
    import pycdlib.utils
except ImportError:  # said by the callers, with what to do
    pycdlib = None

LABEL = re.compile(r"[A-Z0-9_]{1,32}\Z")
JOLIET_LABEL = 16
AUTORUN = b"[autorun]\r\nopen=Setup.exe\r\nicon=Setup.exe\r\n"


def iso_name(name):
    """The ISO 9660 name of a medium's file: capitals, any character that
    is no d-character as "_", and the version ";1"."""
    return re.sub(r"[^A-Z0-9_.]", "_", name.upper()) + ";1"


@contextlib.contextmanager
def _clock(seconds):
    """pycdlib's modules see a clock that stands at seconds, in UTC."""
    def gmtime(t=None):
        return time.gmtime(seconds if t is None else t)
    clock = types.SimpleNamespace(time=lambda: float(seconds), localtime=gmtime, gmtime=gmtime,
                                  strftime=time.strftime)
    modules = [pycdlib.dates, pycdlib.headervd, pycdlib.utils]
    saved = [m.time for m in modules]
    for m in modules:
        m.time = clock
    try:
        yield
    finally:
        for m, t in zip(modules, saved):
            m.time = t


def write(path, files, label, seconds):
    """Writes the image to path: files, a list of (name, bytes), at its
    root in that order; every date at seconds since 1970 (UTC)."""
    with _clock(seconds):
        iso = pycdlib.PyCdlib()
        iso.new(interchange_level=1, vol_ident=label[:JOLIET_LABEL], joliet=3,
                app_ident_str="MAKE-MEDIUM")
        # pycdlib gives both descriptors one label; ISO 9660's holds all 32.
        iso.pvd.volume_identifier = label.encode("ascii").ljust(32)
        for name, data in files:
            iso.add_fp(io.BytesIO(data), len(data), "/" + iso_name(name), joliet_path="/" + name)
        with open(path, "wb") as f:
            iso.write_fp(f)
        iso.close()


def is_image(path):
    """Whether path holds an ISO 9660 image: "CD001" at byte 32769."""
    try:
        with open(path, "rb") as f:
            f.seek(32769)
            return f.read(5) == b"CD001"
    except OSError:
        return False
