"""The medium as a disc image: ISO 9660 with Joliet names, through pycdlib.

The ISO 9660 names are what the oldest readers see (8.3 capitals:
SETUP.EXE;1, RIREDUD.E_E;1, SETUP.I_F;1, AUTORUN.INF;1, a "#" not being an
ISO 9660 character); the Joliet names are the medium's own, which Windows
shows.  The label is the ISO 9660 volume identifier, 1 to 32 of A-Z, 0-9
and "_"; Joliet holds 16 characters of it, and those are what Windows
shows as the disc's name.

Every date in the image is one time, in UTC: SOURCE_DATE_EPOCH where it is
set, else now.  pycdlib reads the clock itself, in local time, while it
makes an image; once it has written the image, every date in it is written
anew here (set_dates): those of the volume descriptors and of every
directory record, as ECMA-119 lays them out.  The same files and the same
time give the same bytes, whatever pycdlib's clock said.
"""
import io
import re
import struct
import time

try:
    import pycdlib
except ImportError:  # said by the callers, with what to do
    pycdlib = None

LABEL = re.compile(r"[A-Z0-9_]{1,32}\Z")
JOLIET_LABEL = 16
AUTORUN = b"[autorun]\r\nopen=Setup.exe\r\nicon=Setup.exe\r\n"


def autorun(label=None):
    """AUTORUN.INF: Setup.exe started and its icon the disc's; with label,
    the disc's name in Explorer too.  ANSI where the label is ASCII (every
    Windows reads it), else UTF-16 with its byte-order mark (XP and later
    read it; older Windows show no label)."""
    if label is None:
        return AUTORUN
    text = AUTORUN.decode("ascii") + f"label={label}\r\n"
    try:
        return text.encode("ascii")
    except UnicodeEncodeError:
        return b"\xff\xfe" + text.encode("utf-16-le")


def iso_name(name):
    """The ISO 9660 name of a medium's file: capitals, any character that
    is no d-character as "_", and the version ";1"."""
    return re.sub(r"[^A-Z0-9_.]", "_", name.upper()) + ";1"


SECTOR = 2048
FIRST_DESCRIPTOR = 16
# In a volume descriptor (ECMA-119 8.4): the root directory's record, and
# the creation, modification, expiration and effective dates.
ROOT_RECORD = 156
VOLUME_DATES = (813, 830, 847, 864)
EXPIRATION = 847
# In a directory record (9.1): where its extent lies, its length, its
# date, its flags, its name's length.
RECORD_EXTENT, RECORD_LENGTH, RECORD_DATE, RECORD_FLAGS, RECORD_NAME = 2, 10, 18, 25, 32
DIRECTORY = 0x02


def volume_date(seconds):
    """A volume descriptor's date (8.4.26.1): 16 digits, 0 minutes off UTC."""
    return time.strftime("%Y%m%d%H%M%S", time.gmtime(seconds)).encode("ascii") + b"00\0"


def record_date(seconds):
    """A directory record's date (9.1.5): years since 1900, month, day,
    hour, minute, second, 0 minutes off UTC."""
    t = time.gmtime(seconds)
    return bytes([t.tm_year - 1900, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, 0])


def _extent(data, record):
    """(first sector, length) of the directory record at record: each
    field both-endian, the little-endian half first."""
    return (struct.unpack_from("<I", data, record + RECORD_EXTENT)[0],
            struct.unpack_from("<I", data, record + RECORD_LENGTH)[0])


def set_dates(f, seconds):
    """Writes every date of the image in the open file f as seconds since
    1970 (UTC): the primary and the Joliet descriptor's and every
    directory record's.  No expiration date."""
    directories, seen = [], set()
    sector = FIRST_DESCRIPTOR
    while True:
        f.seek(sector * SECTOR)
        descriptor = f.read(SECTOR)
        if len(descriptor) < SECTOR or descriptor[1:6] != b"CD001":
            raise ValueError(f"no volume descriptor at sector {sector}")
        if descriptor[0] == 255:  # the set's terminator
            break
        if descriptor[0] in (1, 2):
            for at in VOLUME_DATES:
                f.seek(sector * SECTOR + at)
                f.write(b"0" * 16 + b"\0" if at == EXPIRATION else volume_date(seconds))
            f.seek(sector * SECTOR + ROOT_RECORD + RECORD_DATE)
            f.write(record_date(seconds))
            directories.append(_extent(descriptor, ROOT_RECORD))
        sector += 1
    while directories:
        extent, length = directories.pop()
        if extent in seen:
            continue
        seen.add(extent)
        f.seek(extent * SECTOR)
        data = f.read(length)
        at = 0
        while at < len(data):
            size = data[at]
            if size == 0:  # the rest of this sector is empty
                at = (at // SECTOR + 1) * SECTOR
                continue
            f.seek(extent * SECTOR + at + RECORD_DATE)
            f.write(record_date(seconds))
            name = data[at + RECORD_NAME + 1:at + RECORD_NAME + 1 + data[at + RECORD_NAME]]
            if data[at + RECORD_FLAGS] & DIRECTORY and name not in (b"\0", b"\1"):
                directories.append(_extent(data, at))
            at += size


def write(path, files, label, seconds):
    """Writes the image to path: files, a list of (name, bytes), at its
    root in that order; every date at seconds since 1970 (UTC)."""
    iso = pycdlib.PyCdlib()
    iso.new(interchange_level=1, vol_ident=label[:JOLIET_LABEL], joliet=3,
            app_ident_str="MAKE-MEDIUM")
    # pycdlib gives both descriptors one label; ISO 9660's holds all 32.
    iso.pvd.volume_identifier = label.encode("ascii").ljust(32)
    for name, data in files:
        iso.add_fp(io.BytesIO(data), len(data), "/" + iso_name(name), joliet_path="/" + name)
    with open(path, "w+b") as f:
        iso.write_fp(f)
        iso.close()
        set_dates(f, seconds)


def is_image(path):
    """Whether path holds an ISO 9660 image: "CD001" at byte 32769."""
    try:
        with open(path, "rb") as f:
            f.seek(32769)
            return f.read(5) == b"CD001"
    except OSError:
        return False
