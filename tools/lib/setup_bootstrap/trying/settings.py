"""The Windows versions try-medium plays under Wine, and what each would
refuse to start, from a program's header: a machine it cannot run, and a
subsystem version newer than it takes.  Wine starts such a program at every
setting; Windows does not: 2000 and XP call it "not a valid Win32
application", the 95/98 family asks for a newer version of Windows.
"""
import collections

from .. import pe

Setting = collections.namedtuple("Setting", "name title family arch wine newest")

# name, title, family, prefix architecture, Wine's Version setting (None:
# the first Windows 98, which Wine has no setting for), and the newest
# subsystem version it starts ((4, None): any 4.x).
SETTINGS = [Setting(*s) for s in (
    ("win95", "Windows 95", "95/98", "win32", "win95", (4, None)),
    ("win98fe", "Windows 98 (4.10.1998)", "95/98", "win32", None, (4, None)),
    ("win98", "Windows 98 Second Edition", "95/98", "win32", "win98", (4, None)),
    ("winme", "Windows Me", "95/98", "win32", "winme", (4, None)),
    ("nt40", "Windows NT 4.0", "NT", "win32", "nt40", (4, None)),
    ("win2k", "Windows 2000", "NT", "win32", "win2k", (5, 0)),
    ("winxp", "Windows XP", "NT", "win32", "winxp", (5, 1)),
    ("vista", "Windows Vista", "NT", "win32", "vista", (6, 0)),
    ("win7", "Windows 7", "NT", "win32", "win7", (6, 1)),
    ("win8", "Windows 8", "NT", "win32", "win8", (6, 2)),
    ("win81", "Windows 8.1", "NT", "win32", "win81", (6, 3)),
    ("win10", "Windows 10", "NT", "win32", "win10", (10, 0)),
    ("win10-64", "Windows 10, 64-bit", "NT", "win64", "win10", (10, 0)),
)]
BY_NAME = {s.name: s for s in SETTINGS}
NAMES = [s.name for s in SETTINGS]


def _takes(setting, version):
    major, minor = setting.newest
    return version[0] < major or (version[0] == major and (minor is None or version[1] <= minor))


def _newest(setting):
    major, minor = setting.newest
    return "4.0" if minor is None else f"{major}.{minor}"


def refusal(setting, data):
    """Why Windows of setting would not start the program data, in words;
    None when it would."""
    machine = pe.machine(data)
    if machine is None:
        return None  # no Windows program at all: Windows' own answer tells
    if machine == pe.AMD64 and setting.arch != "win64":
        return (f"{setting.title} cannot run 64-bit (x86-64) programs: build it for i386 "
                f"(32-bit x86)")
    if machine not in (pe.I386, pe.AMD64):
        return (f"{setting.title} cannot run programs for machine 0x{machine:04X}: build it "
                f"for i386 (32-bit x86)")
    version = pe.subsystem_version(data)
    if version is None or _takes(setting, version):
        return None
    marked = f"{version[0]}.{version[1]}"
    if setting.family == "95/98":
        return (f"{setting.title} asks for a newer version of Windows for programs marked for "
                f"Windows {marked} or later: build it for {_newest(setting)}")
    return (f"{setting.title} refuses programs marked for Windows {marked} or later: build it "
            f"for {_newest(setting)} or lower")


def chosen(text):
    """The settings of --windows: all, a list (win98,winxp,win10) or one;
    None for a name that is none of them."""
    if text == "all":
        return list(SETTINGS)
    names = [n.strip() for n in text.split(",")]
    if not names or any(n not in BY_NAME for n in names):
        return None
    return [BY_NAME[n] for n in dict.fromkeys(names)]
