"""What try-medium needs of the system it runs on, looked for before it
does anything: the programs (Wine with its 32-bit part, Xvfb, openbox,
xdotool, ImageMagick, 7-Zip for a disc image), each missing one named with
the Debian/Ubuntu package that brings it; and a kernel that runs 32-bit
programs, natively or through QEMU's i386 emulator (i386.py).
"""
import os
import shutil

from .. import Refused
from . import i386

# program: the Debian/Ubuntu package that brings it.
PROGRAMS = {"wine": "wine", "Xvfb": "xvfb", "openbox": "openbox", "xdotool": "xdotool",
            "import": "imagemagick", "convert": "imagemagick"}
DISC = {"7z": "p7zip-full"}
WINE32_LOADER = "/usr/lib/wine/wine"
WINE32 = ("Wine's 32-bit part (Debian/Ubuntu: dpkg --add-architecture i386; apt-get update; "
          "apt-get install wine32:i386)")


def check_programs(disc=False):
    """Refused, naming every missing program and its package."""
    wanted = dict(PROGRAMS, **(DISC if disc else {}))
    missing = [name for name in wanted if shutil.which(name) is None]
    if not missing:
        return
    packages = sorted({wanted[name] for name in missing})
    raise Refused(f"{', '.join(missing)} {'is' if len(missing) == 1 else 'are'} missing: "
                  f"install them (Debian/Ubuntu: apt-get install {' '.join(packages)}); "
                  f"a checkout's tools/install-deps installs everything")


def thirty_two_bit():
    """How this machine runs 32-bit programs under Wine ("natively",
    "through QEMU 10.0.13"), or None and why not, in words that say what
    to do."""
    how, why, _ = probe()
    return how, why


def probe():
    """thirty_two_bit's answer, and on yes also how the kernel comes to run
    them (the emulator's registration, or "" natively): one probe."""
    if os.environ.get("BOOTSTRAP_NO_32BIT") == "1":
        return None, "BOOTSTRAP_NO_32BIT=1 is set", ""
    kind, detail = i386.how()
    if kind == "none":
        return None, (f"{detail}: where the kernel runs no 32-bit program (its IA-32 emulation "
                      f"is off), QEMU's i386 user-mode emulator, version "
                      f"{i386.dotted(i386.QEMU_NEEDED)} or later, registered with binfmt_misc "
                      f"runs them (Debian 13: apt-get install qemu-user-binfmt; a checkout's "
                      f"tools/emulate-i386 setup does it on Debian 12)"), ""
    if not os.access(WINE32_LOADER, os.X_OK):
        return None, (f"32-bit programs run ({i386.describe(kind, detail)}), but the 32-bit "
                      f"Wine loader {WINE32_LOADER} is missing: install {WINE32}"), ""
    emulator = "" if kind != "qemu" else (f"the kernel hands them to {detail['interpreter']} "
                                          f"(binfmt_misc entry '{detail['name']}'); ")
    return i386.describe(kind, detail), None, emulator
