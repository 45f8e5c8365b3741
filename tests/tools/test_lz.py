"""The medium builder's LZ writer: every input comes back byte for byte,
from its own reader and from msexpand, an independent one; the writer
stays within what every decoder agrees on; the same bytes whatever the
number of processes; and a compressed file that does not expand to its
input is never placed.

    python3 -m unittest discover -s tests/tools
"""
import multiprocessing
import os
import random
import shutil
import subprocess
import sys
import unittest
from unittest import mock

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(TOP, "tools", "lib"))
from setup_bootstrap import Refused, lz, make_medium  # noqa: E402

TEXT = open(os.path.join(TOP, "README.md"), "rb").read()
PROGRAM = os.path.join(TOP, "build", "release-x86", "Setup.exe")


def noise(n, seed=1):
    return random.Random(seed).randbytes(n)


def items(packed):
    """Each item of a compressed file, read strictly: ("lit", byte) or
    ("match", distance back, length); fails on any byte after the last item
    and on unused flag bits that are not 0."""
    out, at, length = [], lz.HEADER_SIZE, 0
    while at < len(packed):
        flags, at = packed[at], at + 1
        for bit in range(8):
            if at == len(packed):
                assert flags >> bit == 0, "unused flag bits set"
                break
            if flags >> bit & 1:
                out.append(("lit", packed[at]))
                at, length = at + 1, length + 1
            else:
                assert at + 2 <= len(packed), "a match cut off by the end"
                pos = packed[at] | (packed[at + 1] & 0xF0) << 4
                n = (packed[at + 1] & 0x0F) + 3
                back = ((lz.FIRST + length - pos) & 4095) or 4096
                out.append(("match", back, n))
                at, length = at + 2, length + n
    return out, length


# Name, input.  Lengths 0 to 20, runs, text, code, noise, the window's
# edges and the ranges' boundaries.
CASES = [(f"{n} bytes of text", TEXT[:n]) for n in range(21)] + [
    ("one byte repeated", b"\0" * 70000),
    ("runs of spaces, as the window starts", b" " * 5000 + b"x" + b" " * 17),
    ("spaces at the start only", b" " * 3 + b"abc"),
    ("text", TEXT),
    ("noise", noise(50000)),
    ("4095 bytes", noise(4095, 2)),
    ("4096 bytes", TEXT[:2048] + noise(2048, 3)),
    ("4097 bytes", noise(4097, 4)),
    ("a match 4079 bytes back, 16 long", b"0123456789ABCDEF" + noise(4063, 5) + b"0123456789ABCDEF"),
    ("a match 4080 bytes back is not taken", b"0123456789ABCDEF" + noise(4064, 6) + b"0123456789ABCDEF"),
    ("a range and one byte, with matches across", (TEXT * 8)[:lz.RANGE + 1]),
    ("across two ranges", (b"abc" * 10 + noise(20, 7)) * (2 * lz.RANGE // 50) + b"end"),
]
if os.path.isfile(PROGRAM):
    CASES.append(("the bootstrap, a program", open(PROGRAM, "rb").read()))


class RoundTrips(unittest.TestCase):
    def test_each_input_comes_back(self):
        msexpand = shutil.which("msexpand")
        self.assertIsNotNone(msexpand, "msexpand (mscompress's reader) is missing: tools/install-deps")
        for name, data in CASES:
            with self.subTest(name):
                packed = lz.compress(data)
                self.assertEqual(packed[:10], lz.MAGIC + b"A\0")
                self.assertEqual(lz.promised_length(packed), len(data))
                self.assertEqual(lz.expand(packed), data)
                other = subprocess.run([msexpand], input=packed, capture_output=True).stdout
                self.assertEqual(other, data, "msexpand reads it otherwise")
                found, length = items(packed)
                self.assertEqual(length, len(data))
                done = 0
                for item in found:
                    if item[0] == "match":
                        _, back, n = item
                        self.assertTrue(3 <= n <= 16 and 1 <= back <= 4079, item)
                        self.assertGreaterEqual(done - back, 0, "a match into the blanks")
                        done += n
                    else:
                        done += 1
                if name.startswith("a match 4079"):
                    self.assertIn(("match", 4079, 16), found)
                if name.startswith("a match 4080"):
                    self.assertFalse([i for i in found if i[0] == "match"])

    def test_empty_input_is_the_bare_header(self):
        self.assertEqual(lz.compress(b""), lz.header(0))
        self.assertEqual(len(lz.header(0)), 14)

    def test_the_reader_takes_matches_into_the_blanks(self):
        # What other writers may emit: the window's blanks, at 4080 - 3.
        packed = lz.header(4) + bytes([0b01, ord("a"), 4077 & 0xFF, (4077 >> 4) & 0xF0])
        self.assertEqual(lz.expand(packed), b"a   ")

    def test_not_compressed_is_installed_as_it_is(self):
        self.assertEqual(lz.as_installed(b"MZ plain"), b"MZ plain")


class Processes(unittest.TestCase):
    DATA = (TEXT + noise(30000, 8)) * ((lz.PARALLEL_FROM + lz.RANGE) // (len(TEXT) + 30000) + 1)

    def test_the_same_bytes_whatever_the_number_of_processes(self):
        one = lz.compress(self.DATA, processes=1)
        self.assertEqual(lz.compress(self.DATA, processes=2), one)
        self.assertEqual(lz.expand(one), self.DATA)

    def test_fresh_interpreters_as_on_windows(self):
        with mock.patch.object(lz, "_context", lambda: multiprocessing.get_context("spawn")):
            self.assertEqual(lz.compress(self.DATA, processes=2),
                             lz.compress(self.DATA, processes=1))


class Placing(unittest.TestCase):
    def test_a_file_that_does_not_expand_to_its_input_is_refused(self):
        broken = lambda data: lz.header(len(data)) + b"\xff" + data[:7]  # noqa: E731
        with mock.patch.object(lz, "compress", broken):
            with self.assertRaisesRegex(Refused, "the compressed 'Setup.i#f' does not expand to "
                                                 "SETUP_INF 'x.inf': nothing was written"):
                make_medium.compressed("Setup.i#f", TEXT[:100], "SETUP_INF", "x.inf")


if __name__ == "__main__":
    unittest.main()
