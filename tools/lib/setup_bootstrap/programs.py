"""The programs signing runs (osslsigncode, openssl, pkcs11-tool, a
publisher's signing command): found on PATH, run with their output kept,
ended with the run when it is interrupted; and a secret handed to one of
them in a file only this user can read, for as long as it runs.
"""
import os
import shutil
import subprocess

from . import Refused


def need_tool(name, package=None):
    """The path of the program name, refused when it is missing."""
    path = shutil.which(name)
    if path is None:
        raise Refused(f"{name} is missing: install it (Debian: apt-get install "
                      f"{package or name}; tools/install-deps installs it)")
    return path


def run(args, data=None):
    """Runs a program, its output kept: (exit code, output).  An
    interruption ends it too (subprocess.run kills it on any exception)."""
    try:
        done = subprocess.run(args, input=data, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT)
    except OSError as e:
        raise Refused(f"cannot run {args[0]}: {e.strerror}")
    return done.returncode, done.stdout.decode("utf-8", "replace")


def last_lines(text, count=3):
    return " ".join(line.strip() for line in text.splitlines()[-count:])


class Secret:
    """A password or PIN in a file of the work folder that only this user
    can read (the folder too: tempfile makes it so), made for one run of a
    program and removed as it ends."""

    def __init__(self, value, work):
        self.value, self.path = value, os.path.join(work, "secret")

    def __enter__(self):
        with os.fdopen(os.open(self.path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600),
                       "wb") as f:
            f.write(self.value + b"\n")
        return self.path

    def __exit__(self, *exc):
        os.remove(self.path)
