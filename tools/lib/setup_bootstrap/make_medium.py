"""make-medium - makes an installation medium for your setup program.

The options (make-medium --help) are read by argparse; the run itself is
run(): check everything, make the medium and the image beside their
places, move them there (place.Placement), or leave everything as it was.
"""
import argparse
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import textwrap
import time

from . import (Refused, __version__, branding, byte_for_byte, checkout, image, lz, pe, place,
               record, signing, speaker)
from .programs import need_tool

ME = "make-medium"
MEDIUM = ("Setup.exe", "Riredud.e#e", "Setup.i#f")

DESCRIPTION = """\
OUT_DIR receives Setup.exe (the bootstrap) and your program and its
information file, compressed as the bootstrap expects them: Riredud.e#e
and Setup.i#f.  Setup.exe carries the record of the two files (their
lengths and SHA-256), written before it is signed: it starts nothing
else (medium-record show OUT_DIR/Setup.exe prints it).  Copy the folder to
a disc, a stick or a share; or burn the image that --iso writes.
SETUP_PROGRAM must be a Windows program for i386 (32-bit x86), which every
Windows starts; SETUP_INF a text file.  Options may stand anywhere on the
line, and @FILE reads more of them from FILE, one option or value a line."""

EPILOG = """\
Nothing is half-written: the medium, the image and the signature are all
made in temporary places and moved into place only when everything has
worked, also when the run is interrupted.  Nothing is made outside OUT_DIR
and the image: their folders must exist.  Each compressed file is expanded
again and compared with what it was made of before the medium is placed.

Exit codes:
  0  the medium (and the image) made
  1  refused, or it failed: it says why, and nothing was changed
  2  the command line is wrong (an unknown option, a missing value)
  128+N  interrupted by signal N: it says what is in place"""


class _Version(argparse.Action):
    def __call__(self, parser, namespace, values, option_string=None):
        sys.exit(version(speaker(ME)[0]))


def _paragraph(text):
    return textwrap.fill(text, 78)


def parser():
    p = argparse.ArgumentParser(
        prog=ME, usage="%(prog)s [OPTIONS] SETUP_PROGRAM SETUP_INF OUT_DIR",
        description=DESCRIPTION, epilog=EPILOG, fromfile_prefix_chars="@", allow_abbrev=False,
        formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("program", metavar="SETUP_PROGRAM", help="your setup program (.exe)")
    p.add_argument("inf", metavar="SETUP_INF", help="its information file")
    p.add_argument("out", metavar="OUT_DIR", help="the folder the medium is made in")
    disc = p.add_argument_group("the disc image")
    disc.add_argument("--iso", metavar="FILE", help=(
        "also write a disc image: ISO 9660 with Joliet names, the medium's files at its root "
        "and an AUTORUN.INF that starts Setup.exe; its dates are SOURCE_DATE_EPOCH where that "
        "is set, else now"))
    disc.add_argument("--label", metavar="LABEL", help=(
        "the image's volume label: up to 32 of A-Z, 0-9 and _ (default SETUP; with --iso "
        "only); Windows shows its first 16 (all that Joliet holds)"))
    disc.add_argument("--no-autorun", action="store_true",
                      help="no AUTORUN.INF in the image (with --iso only)")
    product = p.add_argument_group("your product on Setup.exe", _paragraph(
        "Each optional; without them Setup.exe is the bootstrap as it was built.  @FILE "
        "holds them for a product's every medium."))
    product.add_argument("--product", metavar="NAME", help=(
        "the product's name: ProductName and FileDescription of the version information, "
        "the program name the elevation prompt shows from the signature, and the disc's "
        "label in AUTORUN.INF"))
    product.add_argument("--company", metavar="NAME", help=(
        "CompanyName, and LegalCopyright \"Copyright (C) YEAR NAME\" (YEAR the image's time: "
        "SOURCE_DATE_EPOCH or now) unless --copyright is given"))
    product.add_argument("--copyright", metavar="TEXT", help="LegalCopyright as it is given")
    product.add_argument("--product-version", metavar="A[.B[.C[.D]]]", help=(
        "FileVersion and ProductVersion, each part 0 to 65535 (--version is make-medium's "
        "own)"))
    product.add_argument("--icon", metavar="FILE", help=(
        "a Windows icon file (.ico): its every image (BMP or PNG, 16 to 256 pixels) becomes "
        "Setup.exe's icon"))
    product.add_argument("--url", metavar="URL", help=(
        "the signature's more-information URL (with --sign or --pkcs11-module)"))
    product.add_argument("--support", metavar="TEXT", help=(
        "whom the assertion report asks the user to contact: \"Please note this information "
        "and contact TEXT.\""))
    sign = p.add_argument_group("signing", _paragraph(
        "One of three ways (see docs/publishing.md).  With a key (--sign, --pkcs11-module) "
        "Setup.exe gets a SHA-1 signature, which every Windows that checks one can check, with "
        "a nested SHA-256 one for today's Windows.  Every signature and time stamp must be "
        "intact afterwards; whether its chain reaches a root this machine trusts is said "
        "(a warning names any other root: Windows shows the publisher only when it trusts "
        "that root)."))
    sign.add_argument("--sign", metavar="PKCS12_FILE", help=(
        "sign Setup.exe with Authenticode with the certificate and key of a PKCS#12 file; the "
        "password is the first line of --password-file FILE, else the environment variable "
        "MAKE_MEDIUM_PASSWORD"))
    sign.add_argument("--password-file", metavar="FILE", help="the PKCS#12 file's password")
    sign.add_argument("--pkcs11-module", metavar="LIB", help=(
        "sign with a key on a token, an HSM or a cloud HSM through its PKCS#11 library LIB "
        "(OpenSC's, a vendor's, a cloud provider's), with --key and --cert; the PIN is the "
        "first line of --pin-file FILE, else the environment variable MAKE_MEDIUM_PIN, else "
        "asked for once on the terminal"))
    sign.add_argument("--key", metavar="URI",
                      help="the private key on the token, an RFC 7512 pkcs11: URI")
    sign.add_argument("--cert", metavar="FILE|URI", help=(
        "its certificate: a file (PEM or DER, the certificate first, then its chain) or a "
        "pkcs11: URI on the token"))
    sign.add_argument("--pin-file", metavar="FILE", help="the token's PIN")
    sign.add_argument("--sign-command", metavar="TEMPLATE", help=(
        "sign with any signer (signtool, jsign, a company's service): the command line "
        "TEMPLATE, split as a shell splits words (quotes group them; a backslash stays a "
        "backslash), {file} in it replaced by the Setup.exe to sign in place; make-medium then "
        "checks that the file carries a signature that ends it and is otherwise unchanged"))
    sign.add_argument("--sha256-only", action="store_true", help=(
        "one SHA-256 signature (Windows XP SP3, Vista and 7 with their SHA-2 updates, and "
        "later)"))
    sign.add_argument("--timestamp", metavar="URL", action="append", default=[], help=(
        "time-stamp every signature with a SHA-256 imprint through the RFC 3161 server URL; "
        "give it more than once for servers to fall back on (each is tried 3 times, 3 s "
        "apart); always give one: without a time stamp a signature stops verifying when the "
        "certificate expires, and every medium made with it then shows \"Unknown publisher\""))
    unattended = p.add_argument_group("where no one watches")
    unattended.add_argument("--exit-code", choices=("always-1", "setup-program"),
                            default="always-1", help=(
        "what Setup.exe ends with: always-1 (default: 1 after every run, 0 when it found the "
        "setup program running), or setup-program: with -wait, the setup program's own exit "
        "code (0, 3010, 1641, any other), for deployment tools; else 1"))
    other = p.add_argument_group("the rest")
    other.add_argument("--64-bit-only", dest="wide", action="store_true", help=(
        "accept an x86-64 SETUP_PROGRAM: the medium then works on 64-bit Windows only (32-bit "
        "Windows cannot start it)"))
    other.add_argument("--bootstrap", metavar="FILE", help=(
        "the bootstrap to put on the medium (default: the one installed with make-medium; run "
        "from a checkout, its release build, build/release-x86/Setup.exe, built when "
        "missing); not signed, with room for the record"))
    other.add_argument("--replace", action="store_true", help=(
        "replace an existing OUT_DIR and image file; only a medium (a folder holding nothing "
        "but Setup.exe, Riredud.e#e and Setup.i#f) and a disc image are replaced"))
    other.add_argument("--version", action=_Version, nargs=0, help=(
        "the version, and the SHA-256 of the bootstrap it puts on media and where that lies"))
    return p


def parse(argv):
    """The options, as a namespace: the paths, each option by its name,
    and out without its trailing separators."""
    o = parser().parse_args(argv)
    out = o.out
    while len(out) > 1 and out.endswith(("/", os.sep)):
        out = out[:-1]
    o.out = out
    return o


def check_options(o, die):
    """Options that would do nothing are mistakes."""
    try:
        signing.check_options(o)
    except Refused as e:
        die(str(e))
    if o.label is not None and o.iso is None:
        die("--label names the disc image; give --iso FILE too")
    if o.no_autorun and o.iso is None:
        die("--no-autorun is for the disc image; give --iso FILE too")
    if o.label is None:
        o.label = "SETUP"


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


def check_outputs(o, die):
    """Never the current folder, the root, a mounted drive's root, this
    checkout or a folder above it; an existing OUT_DIR must be empty, or
    with --replace a medium; an existing image must be an image, and never
    inside OUT_DIR.  Their folders must exist."""
    out = o.out
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
        if os.path.ismount(out):
            die(f"OUT_DIR '{out}' is the root of a mounted drive (a stick, a disc, a share), "
                f"which cannot be replaced whole: give a folder on it, such as "
                f"'{os.path.join(out, 'medium')}'")
        top = checkout()
        if top and (os.path.realpath(top) + os.sep).startswith(real + os.sep):
            die(f"OUT_DIR '{out}' holds this checkout ({top}): give a folder of its own for the "
                f"medium")
    last = os.path.basename(out)
    if last in (".", ".."):
        die(f"OUT_DIR '{out}' ends in '{last}': give the folder by its own name, such as "
            f"'{os.path.abspath(out)}'")
    if os.path.lexists(out):
        if entries and not o.replace:
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
    iso = o.iso
    if iso is None:
        return
    real_out = os.path.realpath(out)
    if (os.path.realpath(iso) + os.sep).startswith(real_out + os.sep):
        die(f"the image '{iso}' would lie inside OUT_DIR '{out}', which holds the medium alone: "
            f"give an --iso FILE outside it, such as '{real_out}.iso'")
    if not os.path.isdir(folder(iso)):
        die(f"the folder '{folder(iso)}' for the image does not exist: make it first, or choose "
            f"another --iso FILE")
    if os.path.lexists(iso):
        if not os.path.isfile(iso) or os.path.islink(iso):
            die(f"the image '{iso}' exists and is not a file: choose another --iso FILE")
        if not o.replace:
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


def _work_folder(path):
    try:
        return tempfile.mkdtemp(prefix=".make-medium.", dir=folder(path))
    except OSError:
        raise Refused(f"cannot write in '{folder(path)}': check its rights")


def make(o, contents, bootstrap_data, secret):
    """Makes the medium (and the image) beside their places and moves them
    there; returns what to say of them.  Whatever happens before the last
    move, what was there is put back; an interruption during the moves is
    raised once they are done, with what is in place."""
    work = _work_folder(o.out)
    image_work = None
    placement = place.Placement()
    try:
        if o.iso:
            same = os.path.realpath(folder(o.iso)) == os.path.realpath(folder(o.out))
            image_work = work if same else _work_folder(o.iso)
        return _make(o, contents, bootstrap_data, secret, work, image_work, placement)
    except BaseException as e:
        put_back = placement.roll_back()
        if isinstance(e, place.Interrupted):
            e.put_back, e.placed = put_back, placement.placed if placement.complete else []
        raise
    finally:
        place.remove(work)
        if image_work and image_work != work:
            place.remove(image_work)


def _make(o, contents, bootstrap_data, secret, work, image_work, placement):
    medium = os.path.join(work, "medium")
    os.mkdir(medium)
    try:
        write_new(os.path.join(medium, "Riredud.e#e"),
                  compressed("Riredud.e#e", contents[0], "SETUP_PROGRAM", o.program))
        write_new(os.path.join(medium, "Setup.i#f"),
                  compressed("Setup.i#f", contents[1], "SETUP_INF", o.inf))
        setup = os.path.join(medium, "Setup.exe")
        flags = record.SETUP_EXIT_CODE if o.exit_code == "setup-program" else 0
        write_new(setup, record.written(record.with_settings(bootstrap_data, flags), contents),
                  0o755)
    except OSError as e:
        raise Refused(f"cannot write the medium in '{folder(o.out)}': {e.strerror}: check the "
                      f"room left there")
    said = []
    if signing.signs(o):
        said += signing.sign_medium(o, setup, secret, work)
    said += warnings(o, contents[0])
    made_image = None
    if o.iso:
        made_image = os.path.join(image_work, "image.iso")
        said.append(_image(o, medium, made_image))
    os.chmod(medium, 0o755)
    place.begin_moves()
    try:
        if os.path.lexists(o.out):
            placement.aside(o.out, os.path.join(work, "previous"))
        placement.put(medium, o.out)
        if o.iso:
            if os.path.lexists(o.iso):
                placement.aside(o.iso, os.path.join(image_work, "previous.iso"))
            placement.put(made_image, o.iso)
        placement.finish()
    finally:
        place.end_moves()
    return said


def _image(o, medium, path):
    """The disc image at path, beside its place; returns what to say of it."""
    files = [(name, read(os.path.join(medium, name), "the medium's file")) for name in MEDIUM]
    if not o.no_autorun:
        files.append(("AUTORUN.INF", image.autorun(o.product)))
    try:
        image.write(path, files, o.label, o.image_time)
    except (OSError, pycdlib_error()) as e:
        raise Refused(f"the image could not be written: {e}")
    os.chmod(path, 0o644)
    names = ", ".join(name for name, _ in files)
    size = os.path.getsize(path)
    return ("out", f"{o.iso}: disc image {o.label} ({size} bytes): {names}")


def warnings(o, program):
    """What a careful publisher would want to hear of the medium: a signed
    Setup.exe that starts an unsigned setup program, and a setup program
    whose version information names another product or company."""
    said = []
    if signing.signs(o) and not pe.certificate_table(program)[1]:
        said.append(("err", f"warning: Setup.exe is signed and the setup program "
                            f"'{o.program}' is not: Setup.exe starts it elevated from the "
                            f"Windows directory, where anti-virus products and attack-surface "
                            f"rules stop unsigned programs: sign it too"))
    strings = branding.version_strings(program)
    for option, key, given in (("--product", "ProductName", o.product),
                               ("--company", "CompanyName", o.company)):
        theirs = strings.get(key, "").strip()
        if given is not None and theirs and theirs != given:
            said.append(("err", f"warning: the setup program '{o.program}' names its "
                                f"{key} '{theirs}', and {option} '{given}': give the same "
                                f"name to both"))
    return said


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
    o = parse(sys.argv[1:] if argv is None else argv)
    check_options(o, die)
    need_file("SETUP_PROGRAM", o.program, die)
    need_file("SETUP_INF", o.inf, die)
    for name, what in (("sign", "the certificate"), ("password_file", "the password file"),
                       ("pkcs11_module", "the PKCS#11 library"), ("pin_file", "the PIN file")):
        if getattr(o, name):
            need_file(f"{what} ({signing.option(name)})", getattr(o, name), die)
    if o.cert and not o.cert.startswith("pkcs11:"):
        need_file("the certificate (--cert)", o.cert, die)
    if not re.match(r"[A-Z0-9_]{1,32}\Z", o.label):
        die(f"the label '{o.label}' is not 1 to 32 of A-Z, 0-9 and _: choose another with "
            f"--label")
    contents = [read_or_die(o.program, "SETUP_PROGRAM", die), read_or_die(o.inf, "SETUP_INF", die)]
    check_program(o.program, contents[0], o.wide, die)
    check_inf(o.inf, contents[1], die)
    check_outputs(o, die)
    o.image_time = None
    if o.iso or (o.company is not None and o.copyright is None):
        o.image_time = image_time(die)
    try:
        o.brand = branding.checked(branding.Brand(
            o.product, o.company, o.copyright, o.product_version, o.icon, o.url, o.support,
            time.gmtime(o.image_time).tm_year if o.image_time is not None else None))
    except Refused as e:
        die(str(e))
    if o.url and not (o.sign or o.pkcs11_module):
        die("--url is the signature's: give --sign PKCS12_FILE or --pkcs11-module LIB too (a "
            "--sign-command names it itself: signtool /du URL)")
    try:
        secret = signing.secret(o)
    except (Refused, OSError) as e:
        die(str(e))
    if record.pefile is None:
        die("Python's pefile is missing: install it (pip install pefile; Debian: apt-get "
            "install python3-pefile)")
    if o.iso and image.pycdlib is None:
        die("Python's pycdlib is missing: install it (pip install pycdlib; Debian: apt-get "
            "install python3-pycdlib)")
    try:
        if signing.signs(o):
            need_tool("osslsigncode")
            need_tool("openssl")
        bootstrap = o.bootstrap or default_bootstrap(say, die)
        need_file("the bootstrap", bootstrap, die)
        bootstrap_data = read(bootstrap, "the bootstrap")
        try:
            record.written(bootstrap_data, [b"", b""], bootstrap)
            if o.exit_code != "always-1":
                record.with_settings(bootstrap_data, record.SETUP_EXIT_CODE, bootstrap)
            bootstrap_data = branding.applied(bootstrap_data, o.brand, bootstrap)
        except Refused as e:
            raise Refused(f"the bootstrap {e}")
        place.catch_signals()
        said = make(o, contents, bootstrap_data, secret)
    except Refused as e:
        die(str(e))
    except place.Interrupted as e:
        return interrupted(e, say)
    say(f"{o.out}: Setup.exe, Riredud.e#e, Setup.i#f")
    for stream, text in said:
        say(text, sys.stderr if stream == "err" else None)
    if len(o.label) > image.JOLIET_LABEL and o.iso:
        say(f"note: Windows shows the disc's name as {o.label[:image.JOLIET_LABEL]}, the "
            f"first {image.JOLIET_LABEL} characters of its label (all that Joliet holds)",
            sys.stderr)
    return 0


def interrupted(e, say):
    """What an interruption leaves: what was put back, or, once every move
    was done, the new medium (and image) in place."""
    placed = getattr(e, "placed", None)
    put_back = getattr(e, "put_back", None)
    if placed:
        quoted = " and ".join(f"'{p}'" for p in placed)
        say(f"interrupted once everything was in place: {quoted} "
            f"{'is' if len(placed) == 1 else 'are'} the new "
            f"{'medium' if len(placed) == 1 else 'medium and image'}; nothing else is left",
            sys.stderr)
    elif put_back:
        quoted = " and ".join(f"'{p}'" for p in put_back)
        say(f"interrupted: {quoted} put back as it was; nothing else was changed", sys.stderr)
    else:
        say("interrupted: nothing was changed", sys.stderr)
    return e.code


def read_or_die(path, what, die):
    try:
        return read(path, what)
    except Refused as e:
        die(str(e))
