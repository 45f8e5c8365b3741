"""make-medium where things go wrong: a move Windows refuses and a signal
at each of the final moves (the old medium and image as they were, or the
new ones in place and said so); the secret handed to the signer; the
time-stamping client against a server that never answers and one that
breaks off; the image's dates, read back by pycdlib.

    python3 -m unittest discover -s tests/tools
"""
import contextlib
import http.server
import io
import os
import signal
import stat
import sys
import tempfile
import threading
import time
import unittest
from unittest import mock

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(TOP, "tools", "lib"))
from setup_bootstrap import image, make_medium, place, programs, tsa  # noqa: E402

PROGRAM = os.path.join(TOP, "build", "release-x86", "standin.exe")
INF = os.path.join(TOP, "sample", "Setup.inf")


def run(argv):
    """make-medium's exit code and its standard error."""
    err = io.StringIO()
    with contextlib.redirect_stderr(err), contextlib.redirect_stdout(io.StringIO()):
        try:
            code = make_medium.main(argv)
        except SystemExit as e:
            code = e.code
    return code, err.getvalue()


def contents(folder):
    """Every file below folder, by its path, with its bytes."""
    found = {}
    for parent, _, names in os.walk(folder):
        for name in names:
            with open(os.path.join(parent, name), "rb") as f:
                found[os.path.relpath(os.path.join(parent, name), folder)] = f.read()
    return found


@unittest.skipUnless(os.path.isfile(PROGRAM), "needs the release build")
class FinalMoves(unittest.TestCase):
    """--replace --iso over a medium and an image: four moves (the medium
    aside, the new one in, the image aside, the new one in)."""

    def setUp(self):
        self.saved = {s: signal.getsignal(s) for s in place._signals()}
        self.folder = tempfile.mkdtemp()
        self.addCleanup(lambda: __import__("shutil").rmtree(self.folder))
        self.out, self.iso = os.path.join(self.folder, "m"), os.path.join(self.folder, "d.iso")
        code, err = run(["--iso", self.iso, PROGRAM, INF, self.out])
        self.assertEqual(code, 0, err)
        # The new medium differs from the old one in its information file.
        self.inf = os.path.join(self.folder, "new.inf")
        with open(self.inf, "wb") as f:
            f.write(b"[Setup]\r\nnew=1\r\n")
        self.before = contents(self.folder)

    def tearDown(self):
        for s, handler in self.saved.items():
            signal.signal(s, handler)
        place._state.critical, place._state.pending = False, 0

    def moves(self, at, action):
        """Runs the replacement with action done inside the at-th move."""
        real, calls = place.move, []

        def move(source, target):
            calls.append(source)
            if len(calls) == at:
                return action(real, source, target)
            return real(source, target)
        with mock.patch.object(place, "move", move), mock.patch.object(place, "PAUSE", 0):
            result = run(["--replace", "--iso", self.iso, PROGRAM, self.inf, self.out])
        self.assertGreaterEqual(len(calls), at)
        return result

    def test_a_move_refused_as_windows_refuses_it_leaves_all_as_it_was(self):
        def refused(real, source, target):
            with mock.patch.object(place.sys, "platform", "win32"), \
                    mock.patch.object(place.os, "replace",
                                      side_effect=PermissionError(13, "Permission denied")):
                return real(source, target)
        for at in (1, 2, 3, 4):
            with self.subTest(move=at):
                code, err = self.moves(at, refused)
                self.assertEqual(code, 1)
                self.assertIn("make-medium: cannot move '", err)
                self.assertIn("(Permission denied): close what holds it open", err)
                self.assertEqual(contents(self.folder), self.before)
                self.assertEqual(sorted(os.listdir(self.folder)), ["d.iso", "m", "new.inf"])

    def test_a_signal_at_each_move_is_said_once_all_is_in_place(self):
        def interrupted(real, source, target):
            os.kill(os.getpid(), signal.SIGINT)
            return real(source, target)
        for at in (1, 2, 3, 4):
            with self.subTest(move=at):
                code, err = self.moves(at, interrupted)
                self.assertEqual(code, 128 + signal.SIGINT)
                self.assertEqual(err, f"make-medium: interrupted once everything was in place: "
                                      f"'{self.out}' and '{self.iso}' are the new medium and "
                                      f"image; nothing else is left\n")
                self.assertEqual(sorted(os.listdir(self.folder)), ["d.iso", "m", "new.inf"])
                with open(os.path.join(self.out, "Setup.i#f"), "rb") as f:
                    self.assertNotEqual(f.read(), self.before["m/Setup.i#f"])
                self.tearDown()

    def test_a_signal_before_the_moves_changes_nothing(self):
        def interrupt(*args, **kwargs):
            os.kill(os.getpid(), signal.SIGTERM)
            time.sleep(1)
        with mock.patch.object(image, "set_dates", interrupt):
            code, err = run(["--replace", "--iso", self.iso, PROGRAM, self.inf, self.out])
        self.assertEqual((code, err), (128 + signal.SIGTERM,
                                       "make-medium: interrupted: nothing was changed\n"))
        self.assertEqual(contents(self.folder), self.before)


class Secrets(unittest.TestCase):
    def test_through_a_pipe_where_there_is_dev_fd(self):
        with programs.Secret(b"1234") as secret:
            self.assertRegex(secret.path, r"^/dev/fd/\d+$")
            self.assertEqual(os.read(secret.fds[0], 100), b"1234\n")
        with self.assertRaises(OSError):
            os.fstat(secret.fds[0])

    def test_elsewhere_in_a_private_folder_of_the_temporary_folder_removed_after(self):
        with mock.patch.object(programs.os.path, "isdir", return_value=False):
            with programs.Secret(b"1234") as secret:
                folder = os.path.dirname(secret.path)
                self.assertEqual(os.path.dirname(folder), tempfile.gettempdir())
                self.assertEqual(stat.S_IMODE(os.stat(folder).st_mode), 0o700)
                self.assertEqual(stat.S_IMODE(os.stat(secret.path).st_mode), 0o600)
                with open(secret.path, "rb") as f:
                    self.assertEqual(f.read(), b"1234\n")
        self.assertFalse(os.path.exists(folder))


class Server(http.server.BaseHTTPRequestHandler):
    """A time-stamping server that never answers in time (slow) or breaks
    its answer off (cut)."""
    mode = "slow"

    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", 0)))
        if self.mode == "slow":
            time.sleep(1)
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", "1000")
        self.end_headers()
        self.wfile.write(b"\x30\x82\x03\xe4")
        self.wfile.flush()
        self.close_connection = True

    def log_message(self, *args):
        pass


class TimeStampClient(unittest.TestCase):
    """A time-out and a broken-off answer are a busy server's: asked again,
    then refused in words (on every Python from 3.8 on)."""

    def serve(self, mode):
        handler = type("Handler", (Server,), {"mode": mode})
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        return f"http://127.0.0.1:{server.server_address[1]}"

    def test_busy_servers(self):
        for mode, detail in (("slow", " (no answer within 0.3 s)"),
                             ("cut", " (its answer was cut off after 4 bytes)")):
            with self.subTest(mode=mode):
                url = self.serve(mode)
                with mock.patch.object(tsa, "TIMEOUT", 0.3), \
                        mock.patch.object(tsa, "PAUSE", 0), \
                        mock.patch.object(tsa, "probe", wraps=tsa.probe) as probe:
                    self.assertEqual(tsa.probe(url, b"x"), ("busy", detail))
                    with self.assertRaises(tsa.Refused) as refused:
                        tsa.working_servers([url], b"x")
                self.assertEqual(probe.call_count, 1 + tsa.TRIES)
                self.assertEqual(str(refused.exception),
                                 f"the time-stamping server '{url}' is busy{detail}, "
                                 f"{tsa.TRIES} times: try again later, or give a second "
                                 f"--timestamp URL")


@unittest.skipIf(image.pycdlib is None, "needs pycdlib")
class ImageDates(unittest.TestCase):
    def test_every_date_is_the_time_given_read_back_by_pycdlib(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(lambda: __import__("shutil").rmtree(folder))
        files = [("Setup.exe", b"MZ"), ("AUTORUN.INF", image.AUTORUN)]
        for seconds in (1700000000, 1700000000 + 365 * 86400):
            with self.subTest(seconds=seconds):
                path = os.path.join(folder, f"{seconds}.iso")
                image.write(path, files, "DATES", seconds)
                t = time.gmtime(seconds)
                iso = image.pycdlib.PyCdlib()
                iso.open(path)
                try:
                    for descriptor in [iso.pvd] + iso.svds:
                        for date in (descriptor.volume_creation_date,
                                     descriptor.volume_modification_date,
                                     descriptor.volume_effective_date):
                            self.assertEqual((date.year, date.month, date.dayofmonth, date.hour,
                                              date.minute, date.second, date.gmtoffset),
                                             (t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour,
                                              t.tm_min, t.tm_sec, 0))
                    records = list(iso.list_children(iso_path="/")) + \
                        list(iso.list_children(joliet_path="/"))
                    self.assertEqual(len(records), 2 * (2 + len(files)))
                    for record in records:
                        d = record.date
                        self.assertEqual((d.years_since_1900 + 1900, d.month, d.day_of_month,
                                          d.hour, d.minute, d.second, d.gmtoffset),
                                         (t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour,
                                          t.tm_min, t.tm_sec, 0))
                finally:
                    iso.close()


if __name__ == "__main__":
    unittest.main()
