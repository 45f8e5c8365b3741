"""RFC 3161 time-stamping servers, as far as the medium builder asks one
itself, before anything is signed: a request with a SHA-256 imprint (what
servers must take since the CA/Browser Forum's rules refuse SHA-1), and
whether the answer grants a time stamp; only the few DER forms these need
are written and read.  Each server is asked TRIES times, PAUSE seconds
apart (a busy one answers 503 for a while), then the next.
"""
import hashlib
import http.client
import socket
import time
import urllib.error
import urllib.request

from . import Refused, der

TRIES, PAUSE, TIMEOUT = 3, 3, 30

SHA256 = bytes.fromhex("0609608648016503040201")  # the OBJECT IDENTIFIER 2.16.840.1.101.3.4.2.1


def query(data):
    """A TimeStampReq for data: version 1, its SHA-256 imprint, and the
    server's certificate asked for."""
    imprint = der.encode(der.SEQUENCE, der.encode(der.SEQUENCE, SHA256 + b"\x05\x00") +
                         der.encode(der.OCTET_STRING, hashlib.sha256(data).digest()))
    return der.encode(der.SEQUENCE, b"\x02\x01\x01" + imprint + b"\x01\x01\xff")


def granted(reply):
    """Whether reply is a TimeStampResp whose status grants a time stamp
    (granted, or granted with modifications) and that holds one."""
    try:
        response = der.read(reply, 0)
        if response.tag != der.SEQUENCE:
            return False
        info = der.read(reply, response.start, response.end)      # PKIStatusInfo
        status = der.read(reply, info.start, info.end)
        if info.tag != der.SEQUENCE or status.tag != der.INTEGER:
            return False
        granted_ = int.from_bytes(reply[status.start:status.end], "big") in (0, 1)
        return granted_ and info.end < response.end                # a token follows
    except ValueError:
        return False


def probe(url, data):
    """Asks a time-stamping server for one time stamp (a SHA-256 imprint):
    (None, "") when it gave one, else what it did: "busy" (an answer of
    HTTP 5xx, none in time, or one cut off: worth asking again),
    "unreachable" or "junk" (something that is no time stamp), and in what
    words."""
    request = urllib.request.Request(url, data=query(data),
                                     headers={"Content-Type": "application/timestamp-query"})
    try:
        with urllib.request.urlopen(request, timeout=TIMEOUT) as answer:
            reply = answer.read()
    except urllib.error.HTTPError as e:
        return ("busy" if e.code >= 500 else "junk"), f" (it answered HTTP {e.code})"
    except http.client.IncompleteRead as e:
        return "busy", f" (its answer was cut off after {len(e.partial)} bytes)"
    except http.client.HTTPException as e:
        return "busy", f" (its answer broke off: {type(e).__name__})"
    except (urllib.error.URLError, OSError) as e:
        reason = getattr(e, "reason", e)
        # socket.timeout is TimeoutError from Python 3.10 on, apart before.
        if isinstance(reason, (socket.timeout, TimeoutError)):
            return "busy", f" (no answer within {TIMEOUT} s)"
        return "unreachable", f"{reason}"
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
