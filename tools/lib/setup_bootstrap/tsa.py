"""RFC 3161 time-stamping servers, as far as the medium builder asks one
itself, before anything is signed: a request with a SHA-256 imprint (what
servers must take since the CA/Browser Forum's rules refuse SHA-1), and
whether the answer grants a time stamp; only the few DER forms these need
are written and read.  Each server is asked TRIES times, PAUSE seconds
apart (a busy one answers 503 for a while), then the next.
"""
import hashlib
import time
import urllib.error
import urllib.request

from . import Refused

TRIES, PAUSE = 3, 3

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


def probe(url, data):
    """Asks a time-stamping server for one time stamp (a SHA-256 imprint):
    (None, "") when it gave one, else what it did: "busy" (an answer of
    HTTP 5xx, or none in time: worth asking again), "unreachable" or
    "junk" (something that is no time stamp), and in what words."""
    request = urllib.request.Request(url, data=query(data),
                                     headers={"Content-Type": "application/timestamp-query"})
    try:
        with urllib.request.urlopen(request, timeout=30) as answer:
            reply = answer.read()
    except urllib.error.HTTPError as e:
        return ("busy" if e.code >= 500 else "junk"), f" (it answered HTTP {e.code})"
    except (urllib.error.URLError, OSError) as e:
        reason = getattr(e, "reason", e)
        return ("busy" if isinstance(reason, TimeoutError) else "unreachable"), f"{reason}"
    return (None, "") if granted(reply) else ("junk", "")


def working_servers(urls, data):
    """The servers in order, starting with the first that gives a time
    stamp now (each asked TRIES times, PAUSE seconds apart); refused when
    none does, before anything is signed."""
    why = []
    for at, url in enumerate(urls):
        for attempt in range(TRIES):
            if attempt:
                time.sleep(PAUSE)
            kind, detail = probe(url, data)
            if kind is None:
                return urls[at:]
            if kind != "busy":
                break
        why.append((url, kind, detail))
    if len(urls) == 1:
        url, kind, detail = why[0]
        if kind == "unreachable":
            raise Refused(f"the time-stamping server '{url}' cannot be reached ({detail}): check "
                          f"the URL and the network")
        if kind == "busy":
            raise Refused(f"the time-stamping server '{url}' is busy{detail}, {TRIES} times: try "
                          f"again later, or give a second --timestamp URL")
        raise Refused(f"the time-stamping server '{url}' answers no time stamp{detail}: give the "
                      f"URL of an RFC 3161 time-stamping service")
    words = {"unreachable": "cannot be reached ({})", "busy": "busy{}", "junk": "answers no time "
                                                                              "stamp{}"}
    said = "; ".join(f"{url}: " + words[k].format(d) for url, k, d in why)
    raise Refused(f"no time-stamping server gives a time stamp ({said}): check the URLs and the "
                  f"network, or try again later")
