"""DER, the encoding of ASN.1 that time stamps and Authenticode signatures
use: as much of it as the medium builder reads and writes itself (items by
their tag and length, object identifiers), never more.  A reader that finds
an item reaching past its container raises ValueError: a cut or damaged
structure is told, never read past.
"""
import collections

SEQUENCE, SET, OCTET_STRING, INTEGER, OID, NULL = 0x30, 0x31, 0x04, 0x02, 0x06, 0x05

# tag; where the item starts (its tag), where its content starts and ends.
Item = collections.namedtuple("Item", "tag at start end")


def encode(tag, content):
    """The item of tag holding content."""
    size = len(content)
    if size < 0x80:
        length = bytes([size])
    else:
        digits = size.to_bytes((size.bit_length() + 7) // 8, "big")
        length = bytes([0x80 | len(digits)]) + digits
    return bytes([tag]) + length + content


def read(data, at, end=None):
    """The item at at, which must end by end (default: the data's end)."""
    end = len(data) if end is None else end
    if at + 2 > end:
        raise ValueError("cut short")
    tag, size, start = data[at], data[at + 1], at + 2
    if tag & 0x1F == 0x1F:
        raise ValueError("a tag of more than one byte")
    if size & 0x80:
        count = size & 0x7F
        if not 0 < count <= 4 or start + count > end:
            raise ValueError("bad length")
        size, start = int.from_bytes(data[start:start + count], "big"), start + count
    if start + size > end:
        raise ValueError("cut short")
    return Item(tag, at, start, start + size)


def children(data, item):
    """The items inside item, in order."""
    found, at = [], item.start
    while at < item.end:
        child = read(data, at, item.end)
        found.append(child)
        at = child.end
    return found


def whole(data, item):
    """item's bytes, its tag and length included."""
    return bytes(data[item.at:item.end])


def content(data, item):
    return bytes(data[item.start:item.end])


def oid(text):
    """The OBJECT IDENTIFIER item of a dotted number ("1.2.840.113549.1.7.2")."""
    numbers = [int(n) for n in text.split(".")]
    body = bytearray([40 * numbers[0] + numbers[1]])
    for n in numbers[2:]:
        chunk = [n & 0x7F]
        while n > 0x7F:
            n >>= 7
            chunk.append(0x80 | (n & 0x7F))
        body += bytes(reversed(chunk))
    return encode(OID, bytes(body))
