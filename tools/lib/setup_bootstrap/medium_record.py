"""medium-record - the record of a medium's files inside its Setup.exe:
show, write, blank and check (medium-record --help says how; the options
are read by argparse).
"""
import argparse
import hashlib
import os
import sys

from . import Refused, byte_for_byte, lz, record, speaker

say, die = speaker("medium-record")
MISMATCH, NO_RECORD = 3, 4


def read_file(path, what):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as e:
        die(f"cannot read {what} '{path}': {e.strerror}: give a readable file")


def describe(entries):
    return [f"{installed}: {length} bytes, sha256 {digest}"
            for (_, installed), (length, digest) in zip(record.FILES, entries)]


def show(setup):
    data = read_file(setup, "the bootstrap")
    entries = record.read(data, setup)
    if entries is None:
        say("no record")
    for line in describe(entries or []):
        say("record: " + line)
    say(record.exit_code_said(record.settings(data, setup)))


def new_file(out, data):
    if os.path.lexists(out):
        die(f"'{out}' exists: give a new file")
    with open(out, "xb") as f:
        f.write(data)


def write(setup, program, inf, out):
    data = read_file(setup, "the bootstrap")
    contents = [read_file(program, "SETUP_PROGRAM"), read_file(inf, "SETUP_INF")]
    new_file(out, record.written(data, contents, setup))


def blank(setup, out):
    new_file(out, record.written(read_file(setup, "the bootstrap"), None, setup))


def check(medium, tell=None):
    """Prints the record and whether the medium's files expand to it (through
    tell, default this program's say); returns 0, NO_RECORD or MISMATCH."""
    say = tell or globals()["say"]
    setup = os.path.join(medium, "Setup.exe")
    data = read_file(setup, "the medium's Setup.exe")
    entries = record.read(data, setup)
    say(record.exit_code_said(record.settings(data, setup)))
    if entries is None:
        signed = record.pe.certificate_table(data)[1]
        say("no record" + (": Setup.exe is signed, so it installs nothing from this medium"
                           if signed else ": Setup.exe installs the files as they are"))
        return NO_RECORD
    status = 0
    for (source, installed), (length, digest) in zip(record.FILES, entries):
        say(f"record: {installed}: {length} bytes, sha256 {digest}")
        path = os.path.join(medium, source)
        if not os.path.isfile(path):
            say(f"  {source} is missing from the medium")
            status = MISMATCH
            continue
        expanded = lz.as_installed(read_file(path, "the medium's file"))
        got = (len(expanded), hashlib.sha256(expanded).hexdigest())
        if got == (length, digest):
            say(f"  {source} expands to it")
        else:
            say(f"  {source} does NOT expand to it: it expands to {got[0]} bytes, "
                f"sha256 {got[1]}")
            status = MISMATCH
    return status


COMMANDS = (
    ("show", "print the record: each file's expanded length and SHA-256, or \"no record\" (a "
             "build, or a medium made before records); and its exit code's choice",
     ("SETUP_EXE",)),
    ("write", "write SETUP_EXE with the record of SETUP_PROGRAM and SETUP_INF (the files as "
              "the medium's compressed ones expand) to OUT, a new file (make-medium does this "
              "before it signs); refuses a program with no room for a record and a signed one, "
              "whose signature it would break", ("SETUP_EXE", "SETUP_PROGRAM", "SETUP_INF", "OUT")),
    ("blank", "write SETUP_EXE with an empty record and no settings to OUT (a new file): what "
              "the build was, to compare programs of different media", ("SETUP_EXE", "OUT")),
    ("check", "print the record of MEDIUM/Setup.exe and whether the medium's files expand to "
              "it (and, without a record, whether Setup.exe, being signed, will refuse to "
              "install)", ("MEDIUM",)),
)
EPILOG = """\
Exit codes:
  0  done; with check, the medium's files expand to its record
  1  it cannot do what was asked: it says why
  2  the command line is wrong (argparse's usage message)
  3  check: the medium's files do not expand to its record
  4  check: Setup.exe holds no record
Needs Python's pefile.  @FILE reads arguments from FILE, one a line."""


def parser():
    p = argparse.ArgumentParser(
        prog="medium-record", description="The record of a medium's files inside its Setup.exe.",
        epilog=EPILOG, fromfile_prefix_chars="@", allow_abbrev=False,
        formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = p.add_subparsers(dest="command", metavar="COMMAND", required=True)
    for name, text, arguments in COMMANDS:
        command = commands.add_parser(name, help=text, description=text)
        for argument in arguments:
            command.add_argument(argument.lower(), metavar=argument)
    return p


def main(argv=None):
    byte_for_byte()
    o = parser().parse_args(sys.argv[1:] if argv is None else argv)
    if record.pefile is None:
        die("Python's pefile is missing: install it (pip install pefile; Debian: apt-get "
            "install python3-pefile)")
    try:
        if o.command == "show":
            return show(o.setup_exe) or 0
        if o.command == "write":
            return write(o.setup_exe, o.setup_program, o.setup_inf, o.out) or 0
        if o.command == "blank":
            return blank(o.setup_exe, o.out) or 0
        return check(o.medium)
    except Refused as e:
        die(str(e))
