"""The LZ format of the medium's compressed files (SZDD): its writer and
its reader.

A file starts with a 14-byte header: "SZDD", four fixed bytes, the mode
"A", a byte for the last letter of the original name (0: not given) and the
expanded length (32 bits, little-endian).  The data behind it is LZSS over
a 4096-byte window that starts filled with blanks, the first byte going to
window position 4080.  A flag byte governs the next eight items, lowest bit
first: 1 one literal byte, 0 a match of two bytes, the window position of
its first byte (12 bits) and its length less 3 (4 bits).  There is no end
marker.

The writer stays within what every decoder agrees on, Windows' own among
them: matches of 3 to 16 bytes at most 4079 bytes back, never one that
reaches before the first byte into the window's blanks, nothing after the
last item, the exact length in the header, and an empty input as the bare
header.  It parses greedily with one step of look-ahead (a match is put
off by a literal when the next position has a longer one), which comes
out about 1 % smaller than the compressor media were made with before.

Ranges of RANGE bytes are parsed apart, each seeing the 4079 bytes before
it, so that they can go to several processes; the ranges are fixed, so the
output is the same bytes whatever the number of processes.
"""
import multiprocessing
import os
import signal
import struct
import sys
import time

MAGIC = b"SZDD\x88\xf0\x27\x33"
HEADER_SIZE = 14
WINDOW = 4096
FIRST = 4080           # the window position of the first byte
MAX_DISTANCE = 4079
MIN_MATCH, MAX_MATCH = 3, 16
RANGE = 256 * 1024
# Below this many bytes the work is not worth starting processes for.
PARALLEL_FROM = 1024 * 1024


def header(length):
    """The header of a compressed file that expands to length bytes."""
    return MAGIC + b"A\0" + struct.pack("<I", length)


def promised_length(data):
    """The expanded length a compressed file's header promises, None when
    data has no such header."""
    if len(data) < HEADER_SIZE or data[:8] != MAGIC:
        return None
    return struct.unpack_from("<I", data, 10)[0]


def _parse(task):
    """The items of data[start:end], with the bytes before start as the
    look-back: (a byte per item, 1 literal and 0 match; the items' bytes)."""
    data, start, end, base = task
    last = {}          # each 3-byte string: where it was last seen
    get = last.get
    rfind = data.rfind
    for i in range(max(0, start - MAX_DISTANCE), start):
        last[data[i:i + 3]] = i
    kinds = bytearray()
    out = bytearray()
    stop = end - MIN_MATCH + 1  # no match can start behind this

    def longest(i):
        """The longest match for position i: (length, source), length 0
        when there is none.  Records position i as seen."""
        key = data[i:i + 3]
        j = get(key)
        last[key] = i
        if j is None or i - j > MAX_DISTANCE:
            return 0, 0
        limit = min(MAX_MATCH, end - i)
        n = MIN_MATCH
        while n < limit and data[j + n] == data[i + n]:
            n += 1
        low = max(0, i - MAX_DISTANCE)  # never into the blanks before byte 0
        while n < limit:
            # The nearest place that holds one byte more; it may overlap i.
            k = rfind(data[i:i + n + 1], low, i + n)
            if k < 0:
                break
            j, n = k, n + 1
            while n < limit and data[j + n] == data[i + n]:
                n += 1
        return n, j

    i = start
    literals = start   # the first byte of the run of literals not yet put out
    n, j = longest(i) if i < stop else (0, 0)
    while i < stop:
        if n and n < MAX_MATCH and i + 1 < stop:
            n2, j2 = longest(i + 1)
            if n2 > n:
                i, n, j = i + 1, n2, j2
                continue
            seen = i + 2
        else:
            seen = i + 1
        if not n:
            i += 1
            if i < stop:
                n, j = longest(i)
            continue
        if literals < i:
            kinds += b"\1" * (i - literals)
            out += data[literals:i]
        at = (FIRST + base + j) & (WINDOW - 1)
        kinds.append(0)
        out.append(at & 0xFF)
        out.append((at >> 4) & 0xF0 | (n - MIN_MATCH))
        for t in range(seen, min(i + n, stop)):
            last[data[t:t + 3]] = t
        i += n
        literals = i
        if i < stop:
            n, j = longest(i)
    if literals < end:
        kinds += b"\1" * (end - literals)
        out += data[literals:end]
    return bytes(kinds), bytes(out)


# Eight items' kinds: their flag byte and the number of their bytes.
_FLAGS = {bytes((flags >> bit) & 1 for bit in range(8)): (flags, 16 - bin(flags).count("1"))
          for flags in range(256)}


def _pack(parts):
    """The data of a compressed file from the ranges' items, in order."""
    kinds = b"".join(k for k, _ in parts)
    items = b"".join(o for _, o in parts)
    packed = bytearray()
    at = 0
    whole = len(kinds) - len(kinds) % 8
    for g in range(0, whole, 8):
        flags, size = _FLAGS[kinds[g:g + 8]]
        packed.append(flags)
        packed += items[at:at + size]
        at += size
    if whole < len(kinds):
        packed.append(sum(k << bit for bit, k in enumerate(kinds[whole:])))
        packed += items[at:]
    return bytes(packed)


def _work(tasks, conn):
    """A worker: parses its ranges and sends their items back.  It leaves an
    interruption from the terminal to the process that started it, and ends
    at once when it is told to."""
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    for name in ("SIGTERM", "SIGHUP"):
        if hasattr(signal, name):
            signal.signal(getattr(signal, name), signal.SIG_DFL)
    try:
        conn.send([_parse(task) for task in tasks])
    finally:
        conn.close()


def _parse_apart(tasks, processes):
    """The tasks' items, parsed by processes workers, every processes-th
    task each.  Nothing is shared but a pipe from each: when the run is
    interrupted, or a worker ends early, the workers are killed, and no
    lock of theirs can hold this process up."""
    context = _context()
    workers = []
    try:
        for w in range(processes):
            here, there = context.Pipe(duplex=False)
            worker = context.Process(target=_work, args=(tasks[w::processes], there),
                                     daemon=True)
            worker.start()
            there.close()
            workers.append((worker, here))
        got = []
        for _, here in workers:
            try:
                got.append(here.recv())
            except EOFError:
                time.sleep(0.2)  # an interruption that ended it is raised here first
                raise RuntimeError("a process that compressed part of it ended early")
    finally:
        for worker, here in workers:
            if worker.is_alive():
                worker.kill()
            worker.join()
            here.close()
    parts = [None] * len(tasks)
    for w, items in enumerate(got):
        parts[w::processes] = items
    return parts


def _context():
    """Processes as the system makes them best: a fork of this one on Linux
    (no helper process, nothing to import again), else a fresh
    interpreter (Windows and macOS have nothing else that is safe)."""
    method = "fork" if sys.platform.startswith("linux") else "spawn"
    return multiprocessing.get_context(method)


def compress(data, processes=None):
    """data as a compressed file.  processes: how many may parse at once
    (default: one per core); the bytes are the same for any number."""
    data = bytes(data)
    tasks = []
    for start in range(0, len(data), RANGE):
        end = min(start + RANGE, len(data))
        low = max(0, start - MAX_DISTANCE)
        tasks.append((data[low:end], start - low, end - low, low))
    if processes is None:
        processes = os.cpu_count() or 1
    processes = min(processes, len(tasks))
    if processes > 1 and len(data) >= PARALLEL_FROM:
        parts = _parse_apart(tasks, processes)
    else:
        parts = [_parse(task) for task in tasks]
    return header(len(data)) + _pack(parts)


def expand(data):
    """What a compressed file expands to, decoded as Windows' service does:
    up to the end of the data, whatever its header says; a match cut off by
    the end is dropped.  Matches may reach into the window's first blanks."""
    out = bytearray(b" " * WINDOW)  # the window's start, then the output
    i, n = HEADER_SIZE, len(data)
    while i < n:
        flags = data[i]
        i += 1
        if flags == 0xFF and i + 8 <= n:
            out += data[i:i + 8]
            i += 8
            continue
        for bit in range(8):
            if i >= n:
                break
            if flags >> bit & 1:
                out.append(data[i])
                i += 1
                continue
            if i + 1 >= n:
                i = n
                break
            at = data[i] | (data[i + 1] & 0xF0) << 4
            length = (data[i + 1] & 0x0F) + MIN_MATCH
            i += 2
            # How far back the match's window position lies from the next
            # byte's; 0 is a whole window back.
            back = ((FIRST + len(out) - WINDOW - at) & (WINDOW - 1)) or WINDOW
            source = len(out) - back
            if back >= length:
                out += out[source:source + length]
            else:
                out += (out[source:] * (length // back + 1))[:length]
    return bytes(out[WINDOW:])


def as_installed(data):
    """What the installation service makes of a file of the medium: a
    compressed one expanded, any other copied as it is."""
    return expand(data) if promised_length(data) is not None else bytes(data)
