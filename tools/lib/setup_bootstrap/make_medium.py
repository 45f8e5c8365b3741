"""make-medium - makes an installation medium for your setup program.

    make-medium [OPTIONS] SETUP_PROGRAM SETUP_INF OUT_DIR

OUT_DIR receives Setup.exe (the bootstrap) and your program and its
information file, compressed as the bootstrap expects them: Riredud.e#e
and Setup.i#f.  Setup.exe carries the record of the two files (their
lengths and SHA-256), written before it is signed: it starts nothing
else (medium-record show OUT_DIR/Setup.exe prints it).  Copy the folder to
a disc, a stick or a share; or burn the image that --iso writes.
SETUP_PROGRAM must be a Windows program for i386 (32-bit x86), which every
Windows starts; SETUP_INF a text file.

Options:
  --iso FILE            also write a disc image: ISO 9660 with Joliet names,
                        the medium's files at its root and an AUTORUN.INF
                        that starts Setup.exe; its dates are
                        SOURCE_DATE_EPOCH where that is set, else now
  --label LABEL         the image's volume label: up to 32 of A-Z, 0-9 and _
                        (default SETUP; with --iso only); Windows shows its
                        first 16 (all that Joliet holds)
  --no-autorun          no AUTORUN.INF in the image (with --iso only)
  Signing (one of three ways; see docs/publishing.md):
  --sign PKCS12_FILE    sign Setup.exe with Authenticode with the certificate
                        and key of a PKCS#12 file; the password is the first
                        line of --password-file FILE, else the environment
                        variable MAKE_MEDIUM_PASSWORD
  --pkcs11-module LIB   sign with a key on a token, an HSM or a cloud HSM
                        through its PKCS#11 library LIB (OpenSC's, a
                        vendor's, a cloud provider's), with
  --key URI             the private key on it, an RFC 7512 pkcs11: URI, and
  --cert FILE|URI       its certificate: a file (PEM or DER, the certificate
                        first, then its chain) or a pkcs11: URI on the token;
                        the PIN is the first line of --pin-file FILE, else the
                        environment variable MAKE_MEDIUM_PIN, else asked for
                        once on the terminal
  --sign-command TEMPLATE
                        sign with any signer (signtool, jsign, a company's
                        service): the command line TEMPLATE, split as a shell
                        splits words (quotes group them; a backslash stays a
                        backslash), {file} in it replaced by the Setup.exe
                        to sign in place; make-medium then checks that the
                        file carries a signature and is otherwise unchanged
  With a key (--sign, --pkcs11-module) Setup.exe gets a SHA-1 signature,
  which every Windows that checks one can check, with a nested SHA-256
  one for today's Windows, and
  --sha256-only         one SHA-256 signature (Windows XP SP3, Vista and 7
                        with their SHA-2 updates, and later)
  --timestamp URL       time-stamp every signature with a SHA-256 imprint
                        through the RFC 3161 server URL; give it more than
                        once for servers to fall back on (each is tried 3
                        times, 3 s apart); always give one: without a time
                        stamp a signature stops verifying when the
                        certificate expires, and every medium made with it
                        then shows "Unknown publisher"
  Every signature and time stamp is verified afterwards (osslsigncode).
  --64-bit-only         accept an x86-64 SETUP_PROGRAM: the medium then works
                        on 64-bit Windows only (32-bit Windows cannot start it)
  --bootstrap FILE      the bootstrap to put on the medium (default: the one
                        installed with make-medium; run from a checkout, its
                        release build, build/release-x86/Setup.exe, built when
                        missing); not signed, with room for the record
  --replace             replace an existing OUT_DIR and image file; only a
                        medium (a folder holding nothing but Setup.exe,
                        Riredud.e#e and Setup.i#f) and a disc image are replaced
  --version             the version, and the SHA-256 of the bootstrap it puts on
                        media and where that lies
  --help                this text

Nothing is half-written: the medium, the image and the signature are all
made in temporary places and moved into place only when everything has
worked, also when the run is interrupted.  Nothing is made outside OUT_DIR
and the image: their folders must exist.  Each compressed file is expanded
again and compared with what it was made of before the medium is placed.
"""
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import time

from . import (Refused, __version__, byte_for_byte, checkout, image, lz, pe, place, record,
               signing, speaker)
from .programs import need_tool

ME = "make-medium"
MEDIUM = ("Setup.exe", "Riredud.e#e", "Setup.i#f")
VALUE_OPTIONS = ("--iso", "--label", "--sign", "--password-file", "--bootstrap", "--pkcs11-module",
                 "--key", "--cert", "--pin-file", "--sign-command")
LIST_OPTIONS = ("--timestamp",)
FLAG_OPTIONS = ("--replace", "--no-autorun", "--64-bit-only", "--sha256-only")


def parse(argv, die):
    """The options (a dict by name without "--") and the three paths."""
    options = {"label": "SETUP"}
    args = list(argv)
    while args:
        arg = args[0]
        if arg == "--help":
            sys.stdout.write(__doc__.split("\n", 1)[1].lstrip("\n"))
            sys.exit(0)
        if arg == "--version":
            sys.exit(version(speaker(ME)[0]))
        if arg in FLAG_OPTIONS:
            options[arg[2:]] = True
            args.pop(0)
        elif arg in VALUE_OPTIONS + LIST_OPTIONS:
            if len(args) < 2:
                die(f"{arg} needs a value (see --help)")
            if arg in LIST_OPTIONS:
                options.setdefault(arg[2:], []).append(args[1])
            else:
                options[arg[2:]] = args[1]
            if arg == "--label":
                options["label-given"] = True
            del args[:2]
        elif arg == "--":
            args.pop(0)
            break
        elif arg.startswith("-"):
            die(f"unknown option {arg} (see --help)")
        else:
            break
    if len(args) != 3:
        die("give SETUP_PROGRAM, SETUP_INF and OUT_DIR (see --help)")
    out = args[2][:-1] if args[2].endswith("/") else args[2]
    return options, args[0], args[1], out or "/"


def check_options(o, die):
    """Options that would do nothing are mistakes."""
    try:
        signing.check_options(o)
    except Refused as e:
        die(str(e))
    if "label-given" in o and "iso" not in o:
        die("--label names the disc image; give --iso FILE too")
    if "no-autorun" in o and "iso" not in o:
        die("--no-autorun is for the disc image; give --iso FILE too")


def need_file(what, path, die):
    if not os.path.exists(path):
        die(f"{what} '{path}' does not exist: give the path of an existing file")
    if not os.path.isfile(path):
        die(f"{what} '{path}' is not a file: give the path of a file")
    if not os.access(path, os.R_OK):
        die(f"{what} '{path}' cannot be read: make it readable (chmod +r)")


def read(path, what):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as e:
        raise Refused(f"cannot read {what} '{path}': {e.strerror}")


def check_program(path, data, wide, die):
    """The setup program: a PE image that the medium's Windows can start."""
    what = f"SETUP_PROGRAM '{path}'"
    if data[:2] != b"MZ":
        die(f"{what} is not a Windows program (it has no MZ header): give your setup "
            f"program's .exe")
    if pe.header(data) is None:
        die(f"{what} is an MS-DOS program, not a Windows program (it has no PE header): give "
            f"your setup program's .exe")
    flags = pe.characteristics(data) or 0
    if flags & pe.DLL:
        die(f"{what} is a DLL, not a program: give your setup program's .exe")
    if not flags & pe.EXECUTABLE_IMAGE:
        die(f"{what} is not marked executable (an object file?): give your setup program's .exe")
    machine = pe.machine(data)
    if machine == pe.AMD64 and not wide:
        die(f"{what} is a 64-bit (x86-64) program, which 32-bit Windows cannot start: build it "
            f"for i386, or give --64-bit-only for a medium for 64-bit Windows only")
    if machine not in (pe.I386, pe.AMD64):
        die(f"{what} is for another processor (machine 0x{machine:04X}): build it for i386 "
            f"(32-bit x86)")
    end = pe.image_end(data)
    if end is None:
        die(f"{what} is cut short inside its headers (it has {len(data)} bytes; an interrupted "
            f"download or copy?): give the whole program")
    if end > len(data):
        die(f"{what} is cut short: its headers and sections reach to byte {end}, but it has "
            f"{len(data)} bytes (an interrupted download or copy?): give the whole program")


def check_inf(path, data, die):
    """The information file: text (ANSI, or UTF-16 with its byte-order mark)."""
    if not data:
        die(f"SETUP_INF '{path}' is empty: give the information file your setup program reads")
    if data[:2] not in (b"\xff\xfe", b"\xfe\xff") and b"\0" in data:
        die(f"SETUP_INF '{path}' is not text (it holds NUL bytes; a program?): give the "
            f"information file your setup program reads")


def folder(path):
    return os.path.dirname(path) or "."


def check_outputs(out, o, die):
    """Never the current folder, the root, this checkout or a folder above
    it; an existing OUT_DIR must be empty, or with --replace a medium; an
    existing image must be an image.  Their folders must exist."""
    replace = "replace" in o
    if os.path.lexists(out):
        if not os.path.isdir(out):
            die(f"OUT_DIR '{out}' exists and is not a folder: choose another OUT_DIR")
        if os.path.islink(out):
            die(f"OUT_DIR '{out}' is a symbolic link: give the folder it points to, or another "
                f"OUT_DIR")
        try:
            entries = sorted(os.listdir(out), key=lambda n: (n.startswith("."), n))
        except OSError:
            die(f"OUT_DIR '{out}' cannot be entered: check its rights")
        real = os.path.realpath(out)
        if real == os.path.realpath(os.getcwd()):
            die(f"OUT_DIR '{out}' is the current folder: give a folder of its own for the medium")
        if os.path.dirname(real) == real:
            die(f"OUT_DIR '{out}' is the root folder: give a folder of its own for the medium")
        top = checkout()
        if top and (os.path.realpath(top) + os.sep).startswith(real + os.sep):
            die(f"OUT_DIR '{out}' holds this checkout ({top}): give a folder of its own for the "
                f"medium")
        if entries and not replace:
            die(f"OUT_DIR '{out}' is not empty: choose an empty or new folder, or give --replace")
        for name in entries:
            path = os.path.join(out, name)
            if name not in MEDIUM or not os.path.isfile(path) or os.path.islink(path):
                die(f"OUT_DIR '{out}' is not a medium: it holds '{name}'; --replace replaces "
                    f"only a folder holding nothing but Setup.exe, Riredud.e#e and Setup.i#f: "
                    f"choose another OUT_DIR")
    parent = folder(out)
    if not os.path.isdir(parent):
        die(f"the folder '{parent}' for OUT_DIR does not exist: make it first, or choose another "
            f"OUT_DIR")
    iso = o.get("iso")
    if iso is None:
        return
    if not os.path.isdir(folder(iso)):
        die(f"the folder '{folder(iso)}' for the image does not exist: make it first, or choose "
            f"another --iso FILE")
    if os.path.lexists(iso):
        if not os.path.isfile(iso) or os.path.islink(iso):
            die(f"the image '{iso}' exists and is not a file: choose another --iso FILE")
        if not replace:
            die(f"the image '{iso}' exists: choose another --iso FILE, or give --replace")
        if not image.is_image(iso):
            die(f"the image '{iso}' exists and is not a disc image (no ISO 9660 volume "
                f"descriptor): choose another --iso FILE")


def image_time(die):
    """The one time of every date in the image."""
    given = os.environ.get("SOURCE_DATE_EPOCH")
    if given is None:
        return int(time.time())
    if not given.isdigit():
        die(f"SOURCE_DATE_EPOCH '{given}' is not a number of seconds since 1970: set it to one "
            f"(git log -1 --format=%ct gives a commit's) or unset it")
    return int(given)


def bootstrap_path():
    """Where the bootstrap make-medium puts on media lies: in a checkout its
    release build, installed the one inside the package."""
    top = checkout()
    if top is not None:
        return os.path.join(top, "build", "release-x86", "Setup.exe")
    return os.path.join(os.path.dirname(os.path.abspath(__file__)), "Setup.exe")


def version(say):
    """The version, and which bootstrap it puts on media."""
    path = bootstrap_path()
    sys.stdout.write(f"make-medium {__version__}\n")
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        say(f"bootstrap: none yet at {path} (make-medium builds it there on its first run)")
        return 0
    say(f"bootstrap: {path}, {len(data)} bytes, sha256 {hashlib.sha256(data).hexdigest()}")
    return 0


def default_bootstrap(say, die):
    """The packaged bootstrap, or the release build of this checkout, built
    when there is none."""
    path, top = bootstrap_path(), checkout()
    if top is None:
        if not os.path.isfile(path):
            die(f"the package holds no bootstrap ({path}): install it anew, or give --bootstrap "
                f"FILE")
        return path
    if not os.path.isfile(path):
        say("no release build yet: building it (cmake --preset release-x86)")
        for step in (["cmake", "--preset", "release-x86"], ["cmake", "--build", "--preset",
                                                            "release-x86"]):
            try:
                status = subprocess.run(step, cwd=top, stdout=subprocess.DEVNULL).returncode
            except OSError as e:
                die(f"building the bootstrap failed: cmake: {e.strerror}")
            if status:
                die("building the bootstrap failed: see the output above")
        if not os.path.isfile(path):
            die(f"the build made no {path}")
    return path


def compressed(name, data, what, path):
    """data compressed, refused unless it expands to data again."""
    try:
        packed = lz.compress(data)
    except RuntimeError as e:
        raise Refused(f"compressing '{name}' failed ({e}): nothing was written; try again")
    if lz.expand(packed) != data or lz.promised_length(packed) != len(data):
        raise Refused(f"the compressed '{name}' does not expand to {what} '{path}': nothing was "
                      f"written; this is a fault of make-medium: please report it")
    return packed


def write_new(path, data, mode=0o644):
    with open(path, "xb") as f:
        f.write(data)
    os.chmod(path, mode)


def make(o, program, inf, out, contents, bootstrap_data, secret, say):
    """Makes the medium (and the image) beside their places and moves them
    there; returns what to say of them."""
    parent = folder(out)
    try:
        work = tempfile.mkdtemp(prefix=".make-medium.", dir=parent)
    except OSError:
        raise Refused(f"cannot write in '{parent}': check its rights")
    state = {"moved_out": False, "moved_in": False, "iso_tmp": None, "iso_prev": None,
             "complete": False, "put_back": []}
    try:
        return _make(o, program, inf, out, contents, bootstrap_data, secret, work, state)
    except BaseException as e:
        _roll_back(o, out, work, state)
        if isinstance(e, place.Interrupted):
            e.put_back = state["put_back"]
        raise
    finally:
        place.remove(work)
        if state["iso_tmp"]:
            place.remove(state["iso_tmp"])


def _make(o, program, inf, out, contents, bootstrap_data, secret, work, state):
    medium = os.path.join(work, "medium")
    os.mkdir(medium)
    try:
        write_new(os.path.join(medium, "Riredud.e#e"),
                  compressed("Riredud.e#e", contents[0], "SETUP_PROGRAM", program))
        write_new(os.path.join(medium, "Setup.i#f"),
                  compressed("Setup.i#f", contents[1], "SETUP_INF", inf))
        setup = os.path.join(medium, "Setup.exe")
        write_new(setup, record.written(bootstrap_data, contents), 0o755)
    except OSError as e:
        raise Refused(f"cannot write the medium in '{folder(out)}': {e.strerror}: check the room "
                      f"left there")
    said = []
    if any(way in o for way in signing.WAYS):
        said += signing.sign_medium(o, setup, secret, work)
    if "iso" in o:
        said.append(_image(o, medium, state))
    place.begin_moves()
    try:
        if os.path.lexists(out):
            place.move(out, os.path.join(work, "previous"))
            state["moved_out"] = True
        place.move(medium, out)
        state["moved_in"] = True
        os.chmod(out, 0o755)
        iso = o.get("iso")
        if iso:
            if os.path.lexists(iso):
                handle, state["iso_prev"] = tempfile.mkstemp(prefix=".make-medium-previous.",
                                                             dir=folder(iso))
                os.close(handle)
                place.move(iso, state["iso_prev"])
            place.move(state["iso_tmp"], iso)
            state["iso_tmp"] = None
        state["complete"] = True
    finally:
        place.end_moves()
    if state["iso_prev"]:
        place.remove(state["iso_prev"])
    return said


def _roll_back(o, out, work, state):
    """Puts back what was set aside, removes what was moved in."""
    if state["complete"]:
        return
    if state["moved_in"]:
        place.remove(out)
    if state["moved_out"] and not os.path.lexists(out):
        try:
            os.replace(os.path.join(work, "previous"), out)
            state["put_back"].append(f"'{out}'")
        except OSError:
            pass
    if state["iso_prev"] and os.path.exists(state["iso_prev"]):
        try:
            os.replace(state["iso_prev"], o["iso"])
            state["put_back"].append(f"'{o['iso']}'")
            state["iso_prev"] = None
        except OSError:
            pass


def _image(o, medium, state):
    """The disc image beside its place; returns what to say of it."""
    iso = o["iso"]
    files = [(name, read(os.path.join(medium, name), "the medium's file")) for name in MEDIUM]
    if "no-autorun" not in o:
        files.append(("AUTORUN.INF", image.AUTORUN))
    try:
        handle, state["iso_tmp"] = tempfile.mkstemp(prefix=".make-medium-image.",
                                                    dir=folder(iso))
        os.close(handle)
    except OSError:
        raise Refused(f"cannot write in '{folder(iso)}': check its rights")
    try:
        image.write(state["iso_tmp"], files, o["label"], o["image-time"])
    except (OSError, pycdlib_error()) as e:
        raise Refused(f"the image could not be written: {e}")
    os.chmod(state["iso_tmp"], 0o644)
    names = ", ".join(name for name, _ in files)
    size = os.path.getsize(state["iso_tmp"])
    return ("out", f"{iso}: disc image {o['label']} ({size} bytes): {names}")


def pycdlib_error():
    return image.pycdlib.pycdlibexception.PyCdlibException


def main(argv=None):
    byte_for_byte()
    say, die = speaker(ME)
    try:
        return run(argv, say, die)
    except KeyboardInterrupt:  # before the signals are caught: nothing made yet
        return interrupted(place.Interrupted(130), say)


def run(argv, say, die):
    o, program, inf, out = parse(sys.argv[1:] if argv is None else argv, die)
    check_options(o, die)
    need_file("SETUP_PROGRAM", program, die)
    need_file("SETUP_INF", inf, die)
    for name, what in (("sign", "the certificate"), ("password-file", "the password file"),
                       ("pkcs11-module", "the PKCS#11 library"), ("pin-file", "the PIN file")):
        if name in o:
            need_file(f"{what} (--{name})", o[name], die)
    if not o.get("cert", "pkcs11:").startswith("pkcs11:"):
        need_file("the certificate (--cert)", o["cert"], die)
    if not re.match(r"[A-Z0-9_]{1,32}\Z", o["label"]):
        die(f"the label '{o['label']}' is not 1 to 32 of A-Z, 0-9 and _: choose another with "
            f"--label")
    contents = [read_or_die(program, "SETUP_PROGRAM", die), read_or_die(inf, "SETUP_INF", die)]
    check_program(program, contents[0], "64-bit-only" in o, die)
    check_inf(inf, contents[1], die)
    check_outputs(out, o, die)
    try:
        secret = signing.secret(o)
    except (Refused, OSError) as e:
        die(str(e))
    if record.pefile is None:
        die("Python's pefile is missing: install it (pip install pefile; Debian: apt-get "
            "install python3-pefile)")
    if "iso" in o:
        if image.pycdlib is None:
            die("Python's pycdlib is missing: install it (pip install pycdlib; Debian: apt-get "
                "install python3-pycdlib)")
        o["image-time"] = image_time(die)
    try:
        if any(way in o for way in signing.WAYS):
            need_tool("osslsigncode")
            need_tool("openssl")
        bootstrap = o.get("bootstrap") or default_bootstrap(say, die)
        need_file("the bootstrap", bootstrap, die)
        bootstrap_data = read(bootstrap, "the bootstrap")
        try:
            record.written(bootstrap_data, [b"", b""], bootstrap)
        except Refused as e:
            raise Refused(f"the bootstrap {e}")
        place.catch_signals()
        said = make(o, program, inf, out, contents, bootstrap_data, secret, say)
    except Refused as e:
        die(str(e))
    except place.Interrupted as e:
        return interrupted(e, say)
    say(f"{out}: Setup.exe, Riredud.e#e, Setup.i#f")
    for stream, text in said:
        say(text, sys.stderr if stream == "err" else None)
    if len(o["label"]) > image.JOLIET_LABEL and "iso" in o:
        say(f"note: Windows shows the disc's name as {o['label'][:image.JOLIET_LABEL]}, the "
            f"first {image.JOLIET_LABEL} characters of its label (all that Joliet holds)",
            sys.stderr)
    return 0


def interrupted(e, say):
    put_back = getattr(e, "put_back", None)
    if put_back:
        say(f"interrupted: {' and '.join(put_back)} put back as it was; nothing else was "
            f"changed", sys.stderr)
    else:
        say("interrupted: nothing was changed", sys.stderr)
    return e.code


def read_or_die(path, what, die):
    try:
        return read(path, what)
    except Refused as e:
        die(str(e))

