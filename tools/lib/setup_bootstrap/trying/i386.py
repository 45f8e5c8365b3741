"""How this machine runs 32-bit (i386) Linux programs, which 32-bit Wine is.

Used by tools/probe-32bit and tools/emulate-i386.  Three answers:
natively (the kernel runs them itself), through an emulator registered with
binfmt_misc for i386 programs (the kernel hands every such program to it,
before it would try to run the program itself), or not at all.
"""
import os
import re
import struct
import subprocess
import tempfile

BINFMT = "/proc/sys/fs/binfmt_misc"
# QEMU 7.2 (Debian 12) spins in its own memory-map bookkeeping under Wine:
# a prefix had not booted after 5 minutes.  QEMU 10 boots one in seconds.
QEMU_NEEDED = (10, 0)


def tiny_i386_program():
    """An ELF32 executable: exit(42) through int 0x80, nothing else."""
    base = 0x08048000
    code = bytes([0xB8, 1, 0, 0, 0,      # mov eax, 1 (exit)
                  0xBB, 42, 0, 0, 0,     # mov ebx, 42
                  0xCD, 0x80])           # int 0x80
    ehsize, phsize = 52, 32
    entry = base + ehsize + phsize
    header = b"\x7fELF" + bytes([1, 1, 1, 0]) + bytes(8)
    header += struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, entry, ehsize, 0, 0,
                          ehsize, phsize, 1, 0, 0, 0)
    size = ehsize + phsize + len(code)
    program = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
    return header + program + code


def run_tiny():
    """Runs the tiny program: (True, None) when it ended with 42, else
    (False, why)."""
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "exit42")
        with open(path, "wb") as f:
            f.write(tiny_i386_program())
        os.chmod(path, 0o755)
        try:
            code = subprocess.run([path], timeout=30).returncode
        except OSError as e:
            return False, f"the kernel refused a 32-bit program ({e.strerror})"
        except subprocess.TimeoutExpired:
            return False, "a 32-bit program did not end within 30 s"
    if code != 42:
        return False, f"a 32-bit program ended with {code}, not 42"
    return True, None


def _unhex(text):
    return bytes.fromhex(text.strip())


def registrations():
    """The binfmt_misc entries that take i386 programs, as dicts with name,
    enabled, interpreter and flags.  Empty where binfmt_misc is not mounted."""
    found = []
    sample = tiny_i386_program()
    try:
        names = sorted(os.listdir(BINFMT))
    except OSError:
        return found
    for name in names:
        if name in ("register", "status"):
            continue
        try:
            with open(os.path.join(BINFMT, name)) as f:
                lines = f.read().splitlines()
        except OSError:
            continue
        entry = {"name": name, "enabled": "enabled" in lines[:1]}
        for line in lines[1:]:
            key, _, value = line.partition(" ")
            entry[key.rstrip(":")] = value
        if "magic" not in entry:
            continue  # an extension entry: not for ELF headers
        offset = int(entry.get("offset", "0"))
        magic = _unhex(entry["magic"])
        mask = _unhex(entry["mask"]) if "mask" in entry else b"\xff" * len(magic)
        window = sample[offset:offset + len(magic)]
        if len(window) == len(magic) and all(
                (w & m) == (g & m) for w, g, m in zip(window, magic, mask)):
            found.append(entry)
    return found


def qemu_version(path):
    """QEMU's version as a tuple of numbers, from 'PATH --version'; None
    when PATH is no QEMU."""
    try:
        out = subprocess.run([path, "--version"], capture_output=True, text=True,
                             timeout=30).stdout
    except (OSError, subprocess.TimeoutExpired):
        return None
    m = re.search(r"^qemu-\S+ version (\d+)\.(\d+)(?:\.(\d+))?", out, re.M)
    return tuple(int(n) for n in m.groups() if n is not None) if m else None


def dotted(version):
    return ".".join(str(n) for n in version)


def how():
    """How a 32-bit program runs here: ('native', None), ('qemu', entry)
    with entry['version'] set, or ('none', why).  An emulator that is too
    old, or is no QEMU, counts as none."""
    active = [e for e in registrations() if e["enabled"]]
    ran, why = run_tiny()
    if not active:
        return ("native", None) if ran else ("none", why)
    entry = active[0]
    entry["version"] = qemu_version(entry["interpreter"])
    if entry["version"] is None:
        return "none", (f"32-bit programs go to {entry['interpreter']} (binfmt_misc entry "
                        f"'{entry['name']}'), which is not QEMU")
    if entry["version"] < QEMU_NEEDED:
        return "none", (f"32-bit programs go to QEMU {dotted(entry['version'])} (binfmt_misc "
                        f"entry '{entry['name']}'), which cannot run Wine; QEMU "
                        f"{dotted(QEMU_NEEDED)} or later is needed (tools/emulate-i386)")
    if not ran:
        return "none", f"{why}, through QEMU {dotted(entry['version'])}"
    return "qemu", entry


def describe(kind, entry):
    """'natively' or 'through QEMU 10.0.13', for the tools' lines."""
    if kind == "qemu":
        return f"through QEMU {dotted(entry['version'])}"
    return "natively"
