"""RFC 3161 time stamps, as far as the medium builder asks a server for one
itself: a request with a SHA-256 imprint, and whether the answer grants a
time stamp.  Only the few DER forms these need are written and read.
"""
import hashlib

SHA256 = bytes.fromhex("0609608648016503040201")  # the OBJECT IDENTIFIER 2.16.840.1.101.3.4.2.1


def _der(tag, content):
    size = len(content)
    if size < 0x80:
        length = bytes([size])
    else:
        digits = size.to_bytes((size.bit_length() + 7) // 8, "big")
        length = bytes([0x80 | len(digits)]) + digits
    return bytes([tag]) + length + content


def query(data):
    """A TimeStampReq for data: version 1, its SHA-256 imprint, and the
    server's certificate asked for."""
    imprint = _der(0x30, _der(0x30, SHA256 + b"\x05\x00") +
                   _der(0x04, hashlib.sha256(data).digest()))
    return _der(0x30, b"\x02\x01\x01" + imprint + b"\x01\x01\xff")


def _read(data, at):
    """(tag, start of content, end of content) of the DER item at at."""
    if at + 2 > len(data):
        raise ValueError("cut short")
    tag, size, at = data[at], data[at + 1], at + 2
    if size & 0x80:
        count = size & 0x7F
        if not 0 < count <= 4 or at + count > len(data):
            raise ValueError("bad length")
        size, at = int.from_bytes(data[at:at + count], "big"), at + count
    if at + size > len(data):
        raise ValueError("cut short")
    return tag, at, at + size


def granted(reply):
    """Whether reply is a TimeStampResp whose status grants a time stamp
    (granted, or granted with modifications) and that holds one."""
    try:
        tag, start, end = _read(reply, 0)
        if tag != 0x30:
            return False
        tag, info, info_end = _read(reply, start)          # PKIStatusInfo
        status_tag, status_at, status_end = _read(reply, info)
        if tag != 0x30 or status_tag != 0x02:
            return False
        status = int.from_bytes(reply[status_at:status_end], "big")
        return status in (0, 1) and info_end < end        # a token follows
    except ValueError:
        return False
