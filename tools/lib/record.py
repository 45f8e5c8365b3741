"""The record of a medium's files inside its Setup.exe, and the expansion of
the medium's compressed files as the installation service does it.

Used by tools/medium-record, and so by tools/make-medium, tools/try-medium,
tools/check-reproducible, tools/check-release and the tests' media.

The record is the program's resource RT_RCDATA 1 (src/install/record.h):
76 bytes, all zero in a build; on a medium "REC1", then for Riredud.exe and
Setup.inf, in this order, the length of the expanded file (4 bytes,
little-endian) and its SHA-256.  It is found through the PE resource
directory, never by searching the file's bytes.
"""
import hashlib
import struct

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
SZDD = b"SZDD\x88\xf0\x27\x33"


class Refused(Exception):
    """What cannot be done, in words for the user."""


def _pe(data, name):
    try:
        return pefile.PE(data=data, fast_load=True)
    except pefile.PEFormatError as e:
        raise Refused(f"'{name}' is not a Windows program ({e})")


def signature_size(data, name="Setup.exe"):
    """The size of the program's Authenticode signature (its certificate
    table), 0 when it has none."""
    pe = _pe(data, name)
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY
    index = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]
    return directory[index].Size if len(directory) > index else 0


def record_offset(data, name="Setup.exe"):
    """Where the record lies in the file, found through the resource
    directory; Refused when the program has no room for one."""
    pe = _pe(data, name)
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    room = f"'{name}' has no room for the record of the medium's files " \
           f"(no RCDATA resource {RECORD_ID} of {RECORD_CB} bytes): give a Setup.exe built " \
           f"from these sources"
    resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in resources.entries if resources else []:
        if kind.id != RT_RCDATA:
            continue
        for entry in kind.directory.entries:
            if entry.id != RECORD_ID:
                continue
            data_entry = entry.directory.entries[0].data.struct
            if data_entry.Size != RECORD_CB:
                raise Refused(room)
            return pe.get_offset_from_rva(data_entry.OffsetToData)
    raise Refused(room)


def checksum_fixed(data):
    """data with its PE checksum made anew, where it has one (the linker
    writes one; a record written leaves it stale).  The sum leaves the
    checksum field itself out."""
    pe = _pe(bytes(data), "Setup.exe")
    if pe.OPTIONAL_HEADER.CheckSum == 0:
        return bytes(data)
    at = pe.OPTIONAL_HEADER.get_file_offset() + 64  # CheckSum, in PE32 and PE32+
    data = bytearray(data)
    data[at:at + 4] = struct.pack("<I", pe.generate_checksum())
    return bytes(data)


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
    FILES), or with an empty record when contents is None."""
    at = record_offset(data, name)
    record = bytes(RECORD_CB)
    if contents is not None:
        record = SIGNATURE + b"".join(struct.pack("<I", len(c)) + hashlib.sha256(c).digest()
                                      for c in contents)
    data = bytearray(data)
    data[at:at + RECORD_CB] = record
    return checksum_fixed(data)


def expand(data):
    """What the installation service makes of a file of the medium: an
    LZ-compressed (SZDD) one expanded, any other copied as it is.  A window
    of 4096 blanks, written from 4080 on; flags by bits from the lowest, 1
    a literal byte, 0 a reference of two bytes (position, 3 to 18 bytes)."""
    if data[:8] != SZDD or len(data) < 14:
        return bytes(data)
    window, at, out, i = bytearray(b" " * 4096), 4080, bytearray(), 14
    while i < len(data):
        flags, i = data[i], i + 1
        for bit in range(8):
            if i >= len(data):
                break
            if flags >> bit & 1:
                window[at] = data[i]
                out.append(data[i])
                at, i = (at + 1) & 4095, i + 1
                continue
            if i + 1 >= len(data):
                i = len(data)
                break
            pos, n, i = data[i] | (data[i + 1] & 0xF0) << 4, (data[i + 1] & 0x0F) + 3, i + 2
            for k in range(n):
                window[at] = window[(pos + k) & 4095]
                out.append(window[at])
                at = (at + 1) & 4095
    return bytes(out)
