"""The record of a medium's files inside its Setup.exe.

The record is the program's resource RT_RCDATA 1 (src/install/record.h):
76 bytes, all zero in a build; on a medium "REC1", then for Riredud.exe and
Setup.inf, in this order, the length of the expanded file (4 bytes,
little-endian) and its SHA-256.  It is found through the PE resource
directory (pefile), never by searching the file's bytes.

Beside it, RT_RCDATA 2 holds the publisher's choices for the medium
(src/install/record.h): 8 bytes, all zero in a build (the bootstrap as it
always was); on a medium made with a choice, "SET1" and the flags (1: with
-wait, end with the setup program's exit code).
"""
import hashlib
import struct

from . import Refused, pe

try:
    import pefile
except ImportError:  # said by the callers, with what to do
    pefile = None

RT_RCDATA = 10
RECORD_ID = 1
RECORD_CB = 76
SIGNATURE = b"REC1"
# The medium's files in the order of the program's file table: the name
# on the medium, the name once installed.
FILES = (("Riredud.e#e", "Riredud.exe"), ("Setup.i#f", "Setup.inf"))
SETTINGS_ID, SETTINGS_CB, SETTINGS_SIGNATURE = 2, 8, b"SET1"
SETUP_EXIT_CODE = 0x1



def _pe(data, name):
    try:
        return pefile.PE(data=bytes(data), fast_load=True)
    except pefile.PEFormatError as e:
        raise Refused(f"'{name}' is not a Windows program ({e})")


def record_offset(data, name="Setup.exe", ident=RECORD_ID, size=RECORD_CB,
                  what="the record of the medium's files"):
    """Where the record (or RCDATA ident of size bytes) lies in the file,
    found through the resource directory; Refused when the program has no
    room for it."""
    image = _pe(data, name)
    image.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    room = f"'{name}' has no room for {what} " \
           f"(no RCDATA resource {ident} of {size} bytes): give a Setup.exe built " \
           f"from these sources"
    resources = getattr(image, "DIRECTORY_ENTRY_RESOURCE", None)
    kinds = [k for k in (resources.entries if resources else []) if k.id == RT_RCDATA]
    entries = [e for k in kinds for e in k.directory.entries if e.id == ident]
    if not entries:
        raise Refused(room)
    leaf = entries[0].directory.entries[0].data.struct
    if leaf.Size != size:
        raise Refused(room)
    return image.get_offset_from_rva(leaf.OffsetToData)


def settings(data, name="Setup.exe"):
    """The publisher's choices the program carries (their flags); 0 for a
    build, None for a program without room for them (made before them)."""
    try:
        at = record_offset(data, name, SETTINGS_ID, SETTINGS_CB)
    except Refused:
        return None
    stored = data[at:at + SETTINGS_CB]
    return struct.unpack_from("<I", stored, 4)[0] if stored[:4] == SETTINGS_SIGNATURE else 0


def with_settings(data, flags, name="Setup.exe"):
    """data carrying the choices flags (0: as built); refused for a signed
    program and one without room for them."""
    if not flags:
        return data
    if pe.certificate_table(data)[1]:
        raise Refused(f"'{name}' is signed: the medium's settings written into it would break "
                      f"its signature: give the unsigned build")
    at = record_offset(data, name, SETTINGS_ID, SETTINGS_CB, "the medium's settings")
    data = bytearray(data)
    data[at:at + SETTINGS_CB] = SETTINGS_SIGNATURE + struct.pack("<I", flags)
    return pe.with_checksum(data)


def exit_code_said(flags):
    """What a program's settings make of its exit code, in words."""
    if flags and flags & SETUP_EXIT_CODE:
        return "exit code: with -wait, the setup program's own; else 1"
    return "exit code: 1 after every run"


def read(data, name="Setup.exe"):
    """The record of the program: None for an empty one, else a list of
    (length, sha256 hex) per file.  Refused when it holds something else."""
    at = record_offset(data, name)
    record = data[at:at + RECORD_CB]
    if record == bytes(RECORD_CB):
        return None
    if record[:4] != SIGNATURE:
        raise Refused(f"'{name}' holds a record that is not one make-medium writes")
    return [(struct.unpack_from("<I", record, 4 + 36 * i)[0],
             record[8 + 36 * i:40 + 36 * i].hex()) for i in range(len(FILES))]


def written(data, contents, name="Setup.exe"):
    """data with the record of the expanded files contents (in the order of
    FILES), or as built when contents is None (an empty record, no
    settings); refused for a signed program, whose signature the record
    would break."""
    if contents is not None and pe.certificate_table(data)[1]:
        raise Refused(f"'{name}' is signed: a record written into it would break its "
                      f"signature: give the unsigned build")
    at = record_offset(data, name)
    record = bytes(RECORD_CB)
    if contents is not None:
        record = SIGNATURE + b"".join(struct.pack("<I", len(c)) + hashlib.sha256(c).digest()
                                      for c in contents)
    data = bytearray(data)
    data[at:at + RECORD_CB] = record
    if contents is None and settings(data, name) is not None:
        at = record_offset(data, name, SETTINGS_ID, SETTINGS_CB)
        data[at:at + SETTINGS_CB] = bytes(SETTINGS_CB)
    return pe.with_checksum(data)
