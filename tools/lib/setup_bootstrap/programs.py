"""The programs signing runs (osslsigncode, openssl, pkcs11-tool, a
publisher's signing command): found on PATH, run with their output kept,
ended with the run when it is interrupted; and a secret handed to one of
them as a file name it reads, for as long as it runs: never in a file
beside the medium.
"""
import os
import shutil
import subprocess
import tempfile

from . import Refused


def need_tool(name, package=None):
    """The path of the program name, refused when it is missing."""
    path = shutil.which(name)
    if path is None:
        raise Refused(f"{name} is missing: install it (Debian: apt-get install "
                      f"{package or name}; tools/install-deps installs it)")
    return path


def run(args, data=None, pass_fds=()):
    """Runs a program, its output kept: (exit code, output).  An
    interruption ends it too (subprocess.run kills it on any exception)."""
    try:
        done = subprocess.run(args, input=data, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, pass_fds=pass_fds)
    except OSError as e:
        raise Refused(f"cannot run {args[0]}: {e.strerror}")
    return done.returncode, done.stdout.decode("utf-8", "replace")


def last_lines(text, count=3):
    return " ".join(line.strip() for line in text.splitlines()[-count:])


class Secret:
    """A password or PIN for one run of a program that reads it from a file
    it is named (osslsigncode's -readpass): where the system has /dev/fd, a
    pipe the program inherits, holding the secret and nothing on any disk;
    elsewhere (Windows) a file in a folder of the user's temporary folder
    that only this user can enter, removed as the run ends, on every exit
    Python sees.  path is the name to hand over, fds what the program must
    inherit."""

    def __init__(self, value):
        self.value, self.path, self.fds, self.folder = value, None, (), None

    def __enter__(self):
        if os.name == "posix" and os.path.isdir("/dev/fd"):
            read, write = os.pipe()
            try:
                # A pipe holds a page at least: the write never waits.
                os.write(write, self.value + b"\n")
            finally:
                os.close(write)
            self.fds, self.path = (read,), f"/dev/fd/{read}"
        else:
            self.folder = tempfile.mkdtemp(prefix="make-medium-secret.")  # mode 700
            self.path = os.path.join(self.folder, "secret")
            with os.fdopen(os.open(self.path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600),
                           "wb") as f:
                f.write(self.value + b"\n")
        return self

    def __exit__(self, *exc):
        for fd in self.fds:
            os.close(fd)
        if self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)
