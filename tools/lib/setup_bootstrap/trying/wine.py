"""Wine for try-medium: a private X screen with a window manager (a display
number Xvfb picks itself, so that screens made at once never collide), a
template prefix per architecture made once and copied for each setting, and
one run of a medium's Setup.exe watched through Wine's traces: the
processes it makes, the boxes it shows, the Windows version it is told.

Every long-lived process goes through Processes, in a session of its own
(a Ctrl-C on the terminal reaches try-medium alone), so that an
interruption ends them all in order: X servers with SIGTERM, which removes
their sockets; every prefix's Wine server with wineserver -k.
"""
import os
import re
import shutil
import signal
import subprocess
import threading
import time

QUIET = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class Stopped(Exception):
    """The run is being ended: no new process starts."""


class Processes:
    """The processes of one run of try-medium, and the prefixes their Wine
    servers serve."""

    def __init__(self):
        self.lock = threading.Lock()
        self.live, self.prefixes, self.stopping = set(), [], False

    def start(self, args, **kwargs):
        with self.lock:
            if self.stopping:
                raise Stopped("try-medium is ending")
            process = subprocess.Popen(args, start_new_session=True, **kwargs)
            self.live.add(process)
            return process

    def done(self, process):
        with self.lock:
            self.live.discard(process)

    def run(self, args, **kwargs):
        """Runs args to its end; its exit code."""
        process = self.start(args, **kwargs)
        try:
            return process.wait()
        finally:
            self.done(process)

    def prefix(self, path):
        """path is a prefix whose Wine server must end with the run."""
        with self.lock:
            self.prefixes.append(path)

    def stop(self):
        """Ends every process still running (SIGTERM, then SIGKILL after 5 s)
        and starts no other."""
        with self.lock:
            self.stopping = True
            live = list(self.live)
        for process in live:
            _signal(process, signal.SIGTERM)
        end = time.monotonic() + 5
        for process in live:
            try:
                process.wait(max(0.1, end - time.monotonic()))
            except subprocess.TimeoutExpired:
                _signal(process, signal.SIGKILL)
                process.wait()

    def end_prefixes(self):
        """Ends the Wine server of every prefix made (and so every Windows
        process in it)."""
        for path in self.prefixes:
            end_prefix(path)


def _signal(process, number):
    """Sends number to process's session (it and what it started)."""
    try:
        os.killpg(process.pid, number)
    except OSError:
        pass


class Screen:
    """Xvfb with openbox on a display of its own."""

    def __init__(self, work, processes):
        self.processes, self.xvfb, self.wm, self.number = processes, None, None, None
        read, write = os.pipe()
        try:
            self.xvfb = processes.start(["Xvfb", "-displayfd", str(write), "-screen", "0",
                                         "1024x768x24", "-nolisten", "tcp"], pass_fds=(write,),
                                        **QUIET)
        finally:
            os.close(write)
        with os.fdopen(read) as f:
            number = f.readline().strip()
        if not number.isdigit():
            self.close()
            raise OSError("Xvfb gave no display")
        self.number, self.display = number, ":" + number
        ready = os.path.join(work, "openbox-ready")
        self.wm = processes.start(["openbox", "--startup", f"touch {ready}"],
                                  env=dict(os.environ, DISPLAY=self.display), **QUIET)
        for _ in range(100):
            if os.path.exists(ready):
                break
            time.sleep(0.1)

    def env(self):
        return dict(os.environ, DISPLAY=self.display)

    def xdotool(self, *args):
        done = subprocess.run(["xdotool"] + list(args), env=self.env(), capture_output=True,
                              text=True)
        return done.stdout.split() if done.returncode == 0 else []

    def windows(self, wm_class):
        """The visible top-level windows of a program, by its WM_CLASS (Wine
        gives each the program file's name in small letters)."""
        return self.xdotool("search", "--onlyvisible", "--classname",
                            "^" + re.escape(wm_class.lower()) + "$")

    def name(self, window):
        done = subprocess.run(["xdotool", "getwindowname", window], env=self.env(),
                              capture_output=True)
        return done.stdout.decode("utf-8", "replace").strip()

    def answer(self, window):
        """Return for a box, until it is gone: a key that comes before the
        box has the focus is lost."""
        for _ in range(5):
            self.xdotool("windowactivate", "--sync", window, "key", "Return")
            time.sleep(0.5)
            if not self.xdotool("getwindowname", window):
                return

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env(), **QUIET)

    def close(self):
        """Ends openbox and Xvfb; Xvfb ended by SIGTERM removes its socket
        and lock, and where it could not, they are removed here."""
        for process in (self.wm, self.xvfb):
            if process is None:
                continue
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
            self.processes.done(process)
        if self.number:
            for path in (f"/tmp/.X11-unix/X{self.number}", f"/tmp/.X{self.number}-lock"):
                if _lock_of(self.number) in (None, self.xvfb.pid) and os.path.lexists(path):
                    try:
                        os.remove(path)
                    except OSError:
                        pass


def _lock_of(number):
    """The process that holds display number's lock file, None when none."""
    try:
        with open(f"/tmp/.X{number}-lock") as f:
            return int(f.read().strip())
    except (OSError, ValueError):
        return None


def make_template(path, arch, processes):
    """A booted prefix (no Mono or Gecko: nothing here needs them, and their
    installers would ask), with the trace of each attempt to make a process
    turned on: Windows' reason when the setup program cannot start."""
    env = dict(os.environ, WINEPREFIX=path, WINEARCH=arch, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    processes.prefix(path)
    if processes.run(["wineboot", "-i"], env=env, **QUIET):
        raise OSError(f"wineboot failed for a {arch} prefix in {path}")
    processes.run(["wine", "reg", "add", "HKCU\\Software\\Wine\\Debug", "/v", "RelayInclude",
                   "/d", "ntdll.NtCreateUserProcess", "/f"], env=env, **QUIET)
    processes.run(["wineserver", "-w"], env=env, **QUIET)


def registry(version, cdrom):
    """The .reg text that sets the Windows version (None: the first Windows
    98, which Wine has no setting for: no Version, no NT version, the 95/98
    family's version number) and maps drive D: as a CD-ROM drive."""
    lines = ["REGEDIT4", ""]
    if version is None:
        lines += ["[HKEY_CURRENT_USER\\Software\\Wine]", '"Version"=-', "",
                  "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion]",
                  '"CurrentVersion"=-', "",
                  "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]",
                  '"VersionNumber"="4.10.1998"', ""]
    else:
        lines += ["[HKEY_CURRENT_USER\\Software\\Wine]", f'"Version"="{version}"', ""]
    if cdrom:
        lines += ["[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]", '"d:"="cdrom"', ""]
    return "\r\n".join(lines) + "\r\n"


def make_prefix(template, path, version, screen, processes, cdrom=None):
    """A copy of template set to version, drive D: the folder cdrom.  Its
    Wine server starts here, on screen: the desktop it makes then draws
    there for every later program of the prefix."""
    processes.prefix(path)
    shutil.copytree(template, path, symlinks=True)
    if cdrom:
        link = os.path.join(path, "dosdevices", "d:")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(cdrom, link)
    reg = os.path.join(path, "drive_c", "try-medium.reg")
    with open(reg, "w", encoding="ascii") as f:
        f.write(registry(version, cdrom))
    env = dict(screen.env(), WINEPREFIX=path, WINEDEBUG="-all")
    processes.run(["wine", "regedit", "/S", "C:\\try-medium.reg"], env=env, **QUIET)
    os.remove(reg)


def end_prefix(path):
    subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=path), **QUIET)


def decode(line):
    """The text of Wine's L"..." in a trace line, or None."""
    m = re.search(r'L"((?:[^"\\]|\\.)*)"(\.\.\.)?', line)
    if not m:
        return None
    escapes = {"n": "\n", "r": "\r", "t": "\t"}
    text = re.sub(r"\\([0-9a-f]{4}|.)", lambda e: escapes.get(
        e.group(1), chr(int(e.group(1), 16)) if len(e.group(1)) == 4 else e.group(1)),
        m.group(1))
    return text + (" ... (cut short by the trace)" if m.group(2) else "")


class Trace:
    """What Wine's trace of a run says, read as it grows."""

    def __init__(self, path):
        self.path = path

    def lines(self):
        try:
            with open(self.path, "rb") as f:
                return f.read().decode("latin-1").splitlines()
        except OSError:
            return []

    def launch(self):
        """What became of the attempt to start Riredud.exe, from the thread
        that made it: ("started", line), ("refused", status, line),
        ("trying", line) or None."""
        attempt = None
        for line in self.lines():
            m = re.match(r"([0-9a-f]+:[0-9a-f]+):trace:process:CreateProcessInternalW app "
                         r".*Riredud\.exe", line)
            if m and attempt is None:
                attempt = (m.group(1), line)
                continue
            if attempt is None or not line.startswith(attempt[0] + ":"):
                continue
            if "CreateProcessInternalW started process" in line:
                return ("started", attempt[1])
            m = re.search(r"Ret\s+ntdll\.NtCreateUserProcess\(\) retval=([0-9a-f]{8})", line)
            if m and m.group(1) != "00000000":
                return ("refused", m.group(1), attempt[1])
        return ("trying", attempt[1]) if attempt else None

    def boxes(self):
        """The text of each box shown, in order."""
        return [decode(line) or "" for line in self.lines() if "msgbox:MSGBOX_OnInit" in line]

    def version(self):
        """The Windows version the first process (Setup.exe) was told."""
        for line in self.lines():
            m = re.search(r":ver:version_init got (\d+)\.(\d+) platform (\d) build ([0-9a-f]+)",
                          line)
            if m:
                build = int(m.group(4), 16) & 0xFFFF
                family = "95/98" if m.group(3) == "1" else "NT"
                return f"{m.group(1)}.{m.group(2)}.{build} ({family})"
        return None


def run_setup(prefix, screen, program, args, trace_path, processes, watcher, watched_path,
              hidden=False):
    """Starts Setup.exe (program, a Windows path) in prefix on screen
    under watcher (watch.exe: its lines into watched_path), on a hidden
    window station with hidden, with Wine's traces of processes, boxes and
    the version."""
    env = screen.env()
    env.update(WINEPREFIX=prefix, WINEDEBUG="+pid,+process,+msgbox,+relay,+ver")
    trace, watched = open(trace_path, "wb"), open(watched_path, "wb")
    try:
        return processes.start(["wine", watcher] + (["--hidden"] if hidden else []) +
                               [program] + list(args), env=env, stdout=watched, stderr=trace)
    finally:
        trace.close()
        watched.close()


class Watched:
    """What watch.exe told of a run: each process's path, each exit code
    (whole), the debugger output."""

    def __init__(self, path):
        self.path = path

    def _lines(self):
        try:
            with open(self.path, "rb") as f:
                return f.read().decode("utf-8", "replace").splitlines()
        except OSError:
            return []

    def _processes(self):
        found, exits, first = {}, {}, None
        for line in self._lines():
            kind, _, rest = line.partition(" ")
            pid, _, value = rest.partition(" ")
            if kind == "process":
                found[pid] = value
                first = first or pid
            elif kind == "exit" and value.isdigit():
                exits[pid] = int(value)
        return found, exits, first

    def setup_exit(self):
        """Setup.exe's exit code, None while it runs."""
        _, exits, first = self._processes()
        return exits.get(first)

    def program_exit(self, name="Riredud.exe"):
        """(whether the setup program ran, its exit code or None)."""
        found, exits, _ = self._processes()
        pids = [p for p, path in found.items() if path.lower().endswith("\\" + name.lower())]
        return bool(pids), next((exits[p] for p in pids if p in exits), None)

    def failed(self):
        """The Windows error with which Setup.exe could not be started, or
        None."""
        return next((line.split(" ", 1)[1] for line in self._lines()
                     if line.startswith("failed ")), None)

    def debug_output(self):
        return [line.split(" ", 2)[2].replace("\\n", "\n") for line in self._lines()
                if line.startswith("debug ") and line.count(" ") >= 2]


def end_program(prefix, name, processes):
    processes.run(["wine", "taskkill", "/f", "/im", name],
                  env=dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all"), **QUIET)

