"""medium-record - the record of a medium's files inside its Setup.exe.

    medium-record show SETUP_EXE
    medium-record write SETUP_EXE SETUP_PROGRAM SETUP_INF OUT
    medium-record blank SETUP_EXE OUT
    medium-record check MEDIUM

show   prints the record: each file's expanded length and SHA-256, or
       "no record" (a build, or a medium made before records)
write  writes SETUP_EXE with the record of SETUP_PROGRAM and SETUP_INF (the
       files as the medium's compressed ones expand) to OUT, a new file
       (tools/make-medium does this before it signs); refuses a program with
       no room for a record and a signed one, whose signature it would break
blank  writes SETUP_EXE with an empty record to OUT (a new file): what the
       build was, to compare programs of different media
check  prints the record of MEDIUM/Setup.exe and whether the medium's
       files expand to it; exit 0 when they do, 3 when they do not, 2 when
       there is no record (and says whether Setup.exe, being signed, will
       then refuse to install)

Exit 1 when it cannot do what was asked, saying why.  Needs Python's pefile.
"""
import hashlib
import os
import sys

from . import Refused, byte_for_byte, lz, record, speaker

say, die = speaker("medium-record")


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
    entries = record.read(read_file(setup, "the bootstrap"), setup)
    if entries is None:
        say("no record")
    for line in describe(entries or []):
        say("record: " + line)


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
    tell, default this program's say); returns 0, 2 (no record) or 3."""
    say = tell or globals()["say"]
    setup = os.path.join(medium, "Setup.exe")
    data = read_file(setup, "the medium's Setup.exe")
    entries = record.read(data, setup)
    if entries is None:
        signed = record.pe.certificate_table(data)[1]
        say("no record" + (": Setup.exe is signed, so it installs nothing from this medium"
                           if signed else ": Setup.exe installs the files as they are"))
        return 2
    status = 0
    for (source, installed), (length, digest) in zip(record.FILES, entries):
        say(f"record: {installed}: {length} bytes, sha256 {digest}")
        path = os.path.join(medium, source)
        if not os.path.isfile(path):
            say(f"  {source} is missing from the medium")
            status = 3
            continue
        expanded = lz.as_installed(read_file(path, "the medium's file"))
        got = (len(expanded), hashlib.sha256(expanded).hexdigest())
        if got == (length, digest):
            say(f"  {source} expands to it")
        else:
            say(f"  {source} does NOT expand to it: it expands to {got[0]} bytes, "
                f"sha256 {got[1]}")
            status = 3
    return status


def main(argv=None):
    byte_for_byte()
    argv = sys.argv[1:] if argv is None else argv
    if record.pefile is None:
        die("Python's pefile is missing: install it (pip install pefile; Debian: apt-get "
            "install python3-pefile)")
    commands = {"show": (show, 1), "write": (write, 4), "blank": (blank, 2), "check": (check, 1)}
    if argv[:1] in (["-h"], ["--help"]):
        sys.stdout.write(__doc__)
        return 0
    if not argv or argv[0] not in commands or len(argv) - 1 != commands[argv[0]][1]:
        die("give show, write, blank or check and their arguments (see --help)")
    try:
        return commands[argv[0]][0](*argv[1:]) or 0
    except Refused as e:
        die(str(e))
