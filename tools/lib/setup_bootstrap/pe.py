"""The header of a Windows program file (PE), read from its bytes: what
the medium builder checks of a setup program, what try-medium tells of
the programs a medium holds, and the program's signature and checksum.

Every reader takes the whole file as bytes and answers None where the file
is too short to hold what is asked: a cut file is told apart from a
wrong one.
"""
import struct

I386, AMD64, ARM64 = 0x14C, 0x8664, 0xAA64
EXECUTABLE_IMAGE, DLL = 0x0002, 0x2000
SECURITY_DIRECTORY = 4


def _number(data, at, size):
    if at < 0 or at + size > len(data):
        return None
    return int.from_bytes(data[at:at + size], "little")


def header(data):
    """The offset of the PE header ("PE\\0\\0"), None when there is none."""
    if data[:2] != b"MZ":
        return None
    at = _number(data, 0x3C, 4)
    if at is None or data[at:at + 4] != b"PE\0\0":
        return None
    return at


def machine(data):
    """The machine the program is for (I386, AMD64, ...), None without a PE header."""
    at = header(data)
    return None if at is None else _number(data, at + 4, 2)


def characteristics(data):
    at = header(data)
    return None if at is None else _number(data, at + 22, 2)


def _optional(data):
    """The offset of the optional header and whether it is PE32+."""
    at = header(data)
    magic = None if at is None else _number(data, at + 24, 2)
    return (None, False) if magic is None else (at + 24, magic == 0x20B)


def subsystem_version(data):
    """(major, minor) of the Windows version the program is marked for."""
    opt, _ = _optional(data)
    if opt is None:
        return None
    major, minor = _number(data, opt + 48, 2), _number(data, opt + 50, 2)
    return None if major is None or minor is None else (major, minor)


def image_end(data):
    """How long the file must be to hold the program: the end of its headers
    and of every section's data; None when it ends inside its headers."""
    at = header(data)
    count = _number(data, at + 6, 2)
    optional_size = _number(data, at + 20, 2)
    end = _number(data, at + 24 + 60, 4)  # SizeOfHeaders, in PE32 and PE32+ alike
    if None in (count, optional_size, end):
        return None
    table = at + 24 + optional_size
    for i in range(count):
        raw_size = _number(data, table + 40 * i + 16, 4)
        raw_at = _number(data, table + 40 * i + 20, 4)
        if raw_size is None or raw_at is None:
            return None
        end = max(end, raw_at + raw_size)
    return end


def directory_entry(data, index):
    """The file offset of data directory entry index, None when the header
    has none."""
    opt, plus = _optional(data)
    if opt is None:
        return None
    count_at = opt + (108 if plus else 92)
    count = _number(data, count_at, 4)
    if count is None or count <= index:
        return None
    return count_at + 4 + 8 * index


def checksum_offset(data):
    opt, _ = _optional(data)
    return None if opt is None else opt + 64  # CheckSum, in PE32 and PE32+


def certificate_table(data):
    """(offset, size) of the Authenticode signature (the certificate table),
    (len(data), 0) when the program is not signed."""
    entry = directory_entry(data, SECURITY_DIRECTORY)
    if entry is None or _number(data, entry, 8) is None:
        return len(data), 0
    offset, size = struct.unpack_from("<II", data, entry)
    return (offset, size) if size else (len(data), 0)


def without_signature(data):
    """The program as it was before it was signed: its certificate table
    removed, and the zero bytes (fewer than 8) that signing pads a program
    with up to it, as far as they lie behind the program's image; the
    table's entry emptied, the checksum made anew (where it has one)."""
    offset, size = certificate_table(data)
    if not size:
        return bytes(data)
    end = image_end(data) or 0
    keep = offset
    while keep > end and offset - keep < 7 and data[keep - 1] == 0:
        keep -= 1
    unsigned = bytearray(data[:keep])
    entry = directory_entry(data, SECURITY_DIRECTORY)
    unsigned[entry:entry + 8] = bytes(8)
    return with_checksum(unsigned)


def compute_checksum(data):
    """The PE checksum of data (the sum leaves the checksum field out)."""
    at = checksum_offset(data)
    padded = bytes(data) + bytes(-len(data) % 4)
    total = 0
    for (word,) in struct.iter_unpack("<I", padded[:at] + b"\0\0\0\0" + padded[at + 4:]):
        total += word
        total = (total & 0xFFFFFFFF) + (total >> 32)
    total = (total & 0xFFFF) + (total >> 16)
    total = (total + (total >> 16)) & 0xFFFF
    return total + len(data)


def with_checksum(data):
    """data with its PE checksum made anew, where it has one (a linker
    writes one; changing a byte leaves it stale); 0 stays 0."""
    at = checksum_offset(data)
    if at is None or _number(data, at, 4) in (None, 0):
        return bytes(data)
    data = bytearray(data)
    data[at:at + 4] = struct.pack("<I", compute_checksum(data))
    return bytes(data)


def same_program(before, after):
    """Whether after, without its signature, is before byte for byte, the
    checksum and the certificate table's entry aside: what a signer may
    change of a program besides adding its signature."""
    offset, _ = certificate_table(after)
    unsigned = bytearray(after[:offset])
    original = bytearray(before)
    for data in (unsigned, original):
        for at, size in ((checksum_offset(data), 4),
                         (directory_entry(data, SECURITY_DIRECTORY), 8)):
            if at is not None and at + size <= len(data):
                data[at:at + size] = bytes(size)
    # Signing pads the program to a multiple of 8 bytes before the table.
    padding = len(unsigned) - len(original)
    return 0 <= padding < 8 and unsigned[len(original):] == bytes(padding) \
        and unsigned[:len(original)] == original
