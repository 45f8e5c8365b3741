"""try-medium - runs a medium's Setup.exe under Wine, as a user would, and
tells what happened; at one Windows version or at many at once
(try-medium --help says how; the options are read by argparse).
"""
import argparse
import concurrent.futures
import ntpath
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

from .. import (Refused, byte_for_byte, checkout, image, lz, medium_record, pe, place, record,
                speaker)
from . import junit, product, report, settings, system, wine

ME = "try-medium"
DESCRIPTION = """\
MEDIUM is a folder that make-medium made, or its disc image (--iso), which
is tried as a user's disc is: as the read-only CD-ROM drive D:.  First it
prints the medium's record: the length and SHA-256 of each file Setup.exe
will install, or "no record", and whether the medium's files expand to it.
Then it starts Setup.exe with the ARGs in a fresh Wine prefix on a private
X screen, at each Windows version SETTINGS names:

    win95 win98fe (the first Windows 98, 4.10.1998) win98 (Second Edition)
    winme nt40 win2k winxp vista win7 win8 win81 win10 win10-64 (a 64-bit
    prefix: 64-bit Windows)

one name (default win10), a list (win98,winxp,win10) or all; several run
at once, as many as the machine has cores, each in a prefix and on a
screen of its own.  For each it tells the version Windows reported to
Setup.exe, the text of every box (answered: OK, or Yes), Setup.exe's exit
code, the files it installed into the Windows directory, whether your
setup program was started, with the command line it received and the
seconds to its window, or why Windows could not start it; and what that
Windows would refuse to start whatever Wine did, from the programs'
headers: a machine it cannot run, a subsystem version newer than it
takes.  Your program is ended after 3 seconds; the prefixes are removed.

With --report DIR (and with all or a list, as try-medium-report in the
current folder) it writes DIR/index.html, a page with a row and a
screenshot for each setting, DIR/results.json and the pictures.  A folder
that holds files try-medium did not make is refused and left as it is.
Options stand before MEDIUM: what follows it is Setup.exe's.  @FILE reads
more of them from FILE, one a line."""
EPILOG = """\
Exit codes (of several settings: 0 only when every one started your
program without a box, else the highest):
  0  your setup program was started, and Setup.exe showed no box
  1  the medium could not be tried (try-medium says why)
  2  the command line is wrong (an unknown option or setting)
  3  Setup.exe showed a box: the medium failed
  4  your setup program was not started, and no box said why
  5  the medium's files do not expand to its record (whatever Setup.exe
     then did: it should have refused them with a box)
  6  that Windows would refuse to start the setup program or Setup.exe
  128+N  interrupted by signal N: every prefix, X screen and process of the
     run ended and removed
Needs Wine (with its 32-bit part), Xvfb, openbox, xdotool and ImageMagick
(7-Zip for a disc image): what is missing is named with its Debian/Ubuntu
package before anything is made.  With --junit FILE, a JUnit XML report
for a CI system beside the page."""
REASONS = {
    "c0000020": "it is not a valid Windows program (error 193, ERROR_BAD_EXE_FORMAT): a program "
                "cut short, or not a program at all",
    "c0000359": "it is a program of another width than this Windows can run (error 216, "
                "ERROR_EXE_MACHINE_TYPE_MISMATCH)",
    "c0000034": "the file was not found (error 2, ERROR_FILE_NOT_FOUND)",
    "c000003a": "its folder was not found (error 3, ERROR_PATH_NOT_FOUND)",
    "c0000022": "access to it was denied (error 5, ERROR_ACCESS_DENIED)",
    "c0000043": "another program holds it open (error 32, ERROR_SHARING_VIOLATION)",
}
for status in ("c000007b", "c0000130", "c0000131", "c0000132", "c000012f"):
    REASONS[status] = REASONS["c0000020"]
REASONS["c000035a"] = REASONS["c0000359"]
CODES = {"started": 0, "box": 3, "not-started": 4, "refused": 6}


def reason(status):
    return REASONS.get(status, f"Windows refused it with the status 0x{status}")


def _settings(text):
    chosen = settings.chosen(text)
    if chosen is None:
        raise argparse.ArgumentTypeError(
            f"unknown Windows version '{text}': give all, one or a list of "
            f"{', '.join(settings.NAMES)}")
    return chosen


def parser():
    p = argparse.ArgumentParser(
        prog=ME, usage="%(prog)s [--windows SETTINGS] [--report DIR] MEDIUM [ARG...]",
        description=DESCRIPTION, epilog=EPILOG, fromfile_prefix_chars="@", allow_abbrev=False,
        formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--windows", metavar="SETTINGS", type=_settings, default="win10",
                   help="all, one setting or a list of them (default win10)")
    p.add_argument("--report", metavar="DIR",
                   help="the report's folder (with all or a list: try-medium-report)")
    p.add_argument("--junit", metavar="FILE", help=(
        "also write a JUnit XML report to FILE, a test case a setting, for a CI system's test "
        "results (GitLab, Jenkins, the test-report actions, Azure Pipelines)"))
    p.add_argument("--unattended", action="store_true", help=(
        "run Setup.exe where no one watches, as a deployment tool running as SYSTEM does: in "
        "a window station without visible surfaces, where no box can be seen or answered"))
    p.add_argument("medium", metavar="MEDIUM", help="a folder make-medium made, or its image")
    p.add_argument("args", metavar="ARG", nargs=argparse.REMAINDER,
                   help="Setup.exe's arguments, as a user types them")
    return p


def parse(argv):
    """The options, as a namespace: windows the chosen settings, report the
    folder or None."""
    o = parser().parse_args(argv)
    if o.report is None and len(o.windows) > 1:
        o.report = "try-medium-report"
    return o


def the_medium(medium, die):
    """(folder, image or None) of MEDIUM, refused when it is neither."""
    if os.path.isdir(medium):
        if not os.path.isfile(os.path.join(medium, "Setup.exe")):
            die(f"'{medium}' holds no Setup.exe: give a folder that tools/make-medium made")
        return os.path.abspath(medium), None
    if os.path.isfile(medium):
        if not image.is_image(medium):
            die(f"'{medium}' is neither a folder nor a disc image (no ISO 9660 volume "
                f"descriptor): give the folder or the --iso image that tools/make-medium made")
        return None, os.path.abspath(medium)
    if os.path.lexists(medium):
        die(f"'{medium}' is neither a folder nor a file: give the folder or the --iso image "
            f"that tools/make-medium made")
    die(f"'{medium}' does not exist: give the folder or the --iso image that tools/make-medium "
        f"made")


def watcher():
    """watch.exe, try-medium's eyes inside Windows: the release build's in a
    checkout, else the one installed with the package."""
    top = checkout()
    path = os.path.join(top, "build", "release-x86", "watch.exe") if top else \
        os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "watch.exe")
    if not os.path.isfile(path):
        raise Refused(f"{path} is missing: build it (cmake --build --preset release-x86)" if top
                      else f"the package holds no {path}: install it anew")
    return path


class Context:
    """What every setting's try shares: the medium, the programs' headers,
    the templates, the arguments."""

    def __init__(self, work, folder, cd, args, program, setup_data, native32, processes):
        self.work, self.folder, self.cd, self.args = work, folder, cd, args
        self.watcher, self.hidden, self.exit_choice = None, False, False
        self.program, self.setup_data, self.native32 = program, setup_data, native32
        self.processes = processes
        self.templates = {}
        self.lock = threading.Lock()
        # One lock a template: the two are made side by side.
        self.template_locks = {"win32": threading.Lock(), "win64": threading.Lock()}

    def arch(self, setting):
        return setting.arch if self.native32 else "win64"

    def template(self, arch):
        with self.template_locks[arch]:
            if arch not in self.templates:
                path = os.path.join(self.work, f"template-{arch}")
                wine.make_template(path, arch, self.processes)
                self.templates[arch] = path
            return self.templates[arch]


def windows_path(folder, work):
    """Setup.exe of folder as a Windows path: on drive Z:, the root of the
    file system in every prefix.  A folder whose name is no UTF-8 cannot be
    named to Windows: it is reached through a link of the run's."""
    try:
        folder.encode("utf-8")
    except UnicodeEncodeError:
        link = os.path.join(work, "medium")
        if not os.path.lexists(link):
            os.symlink(folder, link)
        folder = link
    return "Z:" + os.path.join(folder, "Setup.exe").replace("/", "\\")


def try_setting(setting, ctx, tell):
    """One setting's try: its result, as results.json holds it, and its
    picture's path; tell(line) says each step."""
    result = {"setting": setting.name, "version": None, "outcome": "not-started",
              "exit_code": None, "setup_exit_code": None, "debug_output": [], "box": [],
              "files": [], "command_line": None, "seconds": None, "screenshot": None,
              "picture": None, "reason": None}
    refusals = []
    if ctx.program is not None:
        why = settings.refusal(setting, ctx.program)
        if why:
            refusals.append(f"the setup program: {why}")
    why = settings.refusal(setting, ctx.setup_data)
    if why:
        refusals.append(f"Setup.exe: {why}")
    arch = ctx.arch(setting)
    template = ctx.template(arch)
    work = tempfile.mkdtemp(prefix=setting.name + ".", dir=ctx.work)
    prefix = os.path.join(work, "prefix")
    screen = None
    try:
        screen = wine.Screen(work, ctx.processes)
        wine.make_prefix(template, prefix, setting.wine, screen, ctx.processes, ctx.cd)
        width = ("32-bit (32-bit programs run " + ctx.native32 + " here)" if arch == "win32"
                 else "64-bit" + ("" if ctx.native32 else " (this machine runs no 32-bit program)"))
        tell(f"a fresh {width} Wine prefix set to {setting.name}, on a private X screen")
        if ctx.cd:
            tell(f"the disc image {ctx.cd_image} as the CD-ROM drive D:")
        run = "D:\\Setup.exe" if ctx.cd else windows_path(ctx.folder, ctx.work)
        tell(f"running {run} with {len(ctx.args)} argument(s)")
        watch(setting, ctx, screen, prefix, run, work, result, tell)
    finally:
        if screen:
            screen.close()
        wine.end_prefix(prefix)
        shutil.rmtree(prefix, ignore_errors=True)
    if refusals:
        result["outcome"], result["reason"] = "refused", "; ".join(refusals)
        for line in refusals:
            tell(f"{setting.title} would refuse {line}")
    return result


def watch(setting, ctx, screen, prefix, run, work, result, tell):
    """Runs Setup.exe and watches it: boxes answered, the setup program's
    window, the screenshot, the files, the command line."""
    trace = wine.Trace(os.path.join(work, "trace"))
    watched = wine.Watched(os.path.join(work, "watched"))
    picture = os.path.join(work, "screen.png")
    start = time.monotonic()
    process = wine.run_setup(prefix, screen, run, ctx.args, trace.path, ctx.processes,
                             ctx.watcher, watched.path, ctx.hidden)
    waits = any(a.lower() in ("-wait", "/wait") for a in ctx.args)
    seen = started = 0
    shot = ended_program = unanswered = False

    def take():
        nonlocal shot
        if not shot:
            time.sleep(0.5)  # drawn
            screen.screenshot(picture)
            shot = True

    while process.poll() is None and watched.setup_exit() is None and \
            time.monotonic() - start < 60 and not unanswered:
        launch = trace.launch()
        if launch and launch[0] == "started":
            started = started or time.monotonic()
            if result["seconds"] is None and screen.windows("Riredud.exe"):
                result["seconds"] = round(time.monotonic() - start, 1)
                take()
            if waits and not ended_program and time.monotonic() - started > 3:
                tell("Setup.exe waits for your program (-wait): ending your program")
                wine.end_program(prefix, "Riredud.exe", ctx.processes)
                ended_program = True
        texts = trace.boxes()
        if len(texts) > seen:
            box = None
            for _ in range(100):
                # Wine names a program's windows by its file's name: the
                # Windows path's last part (D:\\Setup.exe from a disc).
                box = next((w for w in screen.windows(ntpath.basename(run))
                            if screen.name(w)), None)
                if box:
                    break
                time.sleep(0.1)
            caption = screen.name(box) if box else ""
            take()
            tell(f'a box "{caption}": {texts[seen]}')
            result["box"].append(f"{caption}: {texts[seen]}")
            if box:
                screen.answer(box)
            elif ctx.hidden:
                tell("nobody can see or answer that box where no one watches: Setup.exe would "
                     "wait for ever")
                unanswered = True
            seen += 1
        time.sleep(0.1)
    if watched.setup_exit() is None:
        process.kill()
        process.wait()
        if watched.failed():
            raise Refused(f"Windows could not start Setup.exe (error {watched.failed()})")
        if unanswered:
            result["outcome"], result["reason"] = "box", "a box nobody could answer"
            return
        raise Refused("Setup.exe did not end within 60 seconds")
    result["exit_code"] = watched.setup_exit()
    tell(f"Setup.exe ended with exit code {result['exit_code']} (" +
         ("with -wait the setup program's, as its medium was made with --exit-code "
          "setup-program" if ctx.exit_choice and waits else
          "1 after every run, 0 when it found your program running") + ")")
    for text in watched.debug_output():
        tell(f"Setup.exe's debugger output: {text}")
        result["debug_output"].append(text)
    if ctx.hidden:
        tell("no box was shown" if not result["box"] else "a box was shown where no one watches")
    launch = trace.launch()
    if launch and launch[0] == "started" and result["seconds"] is None:
        for _ in range(50):  # WinExec returns once the program waits for input
            if screen.windows("Riredud.exe"):
                result["seconds"] = round(time.monotonic() - start, 1)
                take()
                break
            time.sleep(0.1)
    if not shot:
        time.sleep(max(0.0, 3 - (time.monotonic() - start)))  # a program that runs silently
        take()
    result["picture"] = picture
    result["version"] = trace.version()
    windir = os.path.join(prefix, "drive_c", "windows")
    for name in ("Riredud.exe", "Setup.inf"):
        path = os.path.join(windir, name)
        if os.path.isfile(path):
            line = f"C:\\windows\\{name} ({os.path.getsize(path)} bytes)"
            result["files"].append(line)
            tell(f"installed {line}")
        else:
            tell(f"not installed: C:\\windows\\{name}")
    ran, code = watched.program_exit()
    if ran:
        result["setup_exit_code"] = code
        tell("your setup program " + (f"ended with exit code {code}" if code is not None else
                                      "was still running when try-medium ended it"))
    if launch and launch[0] == "started":
        result["command_line"] = wine.decode(launch[1])
        result["outcome"] = "box" if result["box"] else "started"
        tell("your setup program was started with this command line:")
        tell(None, result["command_line"])
    elif launch and launch[0] == "refused":
        attempt = re.sub(r" -S .*", "", wine.decode(launch[2]) or "")
        tell(f"your setup program was not started: Windows could not start {attempt}: "
             f"{reason(launch[1])}")
        result["outcome"] = "box" if result["box"] else "not-started"
    else:
        tell("your setup program was not started")
        result["outcome"] = "box" if result["box"] else "not-started"


def code_of(result, record_status):
    if result["outcome"] == "error":
        return 1
    code = CODES[result["outcome"]]
    return max(code, 5) if record_status == medium_record.MISMATCH else code


def table(results):
    rows = [("setting", "version", "outcome", "exit", "seconds", "box")]
    for r in results:
        rows.append((r["setting"], r["version"] or "?", r["outcome"],
                     "" if r["exit_code"] is None else str(r["exit_code"]),
                     "" if r["seconds"] is None else f"{r['seconds']:.1f}",
                     r["box"][0] if r["box"] else ""))
    widths = [max(len(row[i]) for row in rows) for i in range(5)]
    return ["  ".join(c.ljust(w) for c, w in zip(row[:5], widths)) + "  " + row[5]
            for row in rows]


def main(argv=None):
    byte_for_byte()
    say, die = speaker(ME)
    o = parse(sys.argv[1:] if argv is None else argv)
    medium_folder, cd_image = the_medium(o.medium, die)
    try:
        system.check_programs(disc=cd_image is not None)
    except Refused as e:
        die(str(e))
    try:
        if o.report is not None:
            report.check(o.report)
        if o.junit is not None:
            junit.check(o.junit)
    except Refused as e:
        die(str(e))
    processes = wine.Processes()
    work = tempfile.mkdtemp(prefix="try-medium.")
    # Wine keeps its servers' sockets under TMPDIR, and leaves them: there
    # they go with the work folder.
    os.mkdir(os.path.join(work, "tmp"))
    os.environ["TMPDIR"] = os.path.join(work, "tmp")
    mounted = False
    try:
        place.catch_signals()
        if cd_image:
            cd = os.path.join(work, "cd")
            done = subprocess.run(["7z", "x", "-o" + cd, cd_image], capture_output=True)
            if done.returncode:
                said = (done.stdout + done.stderr).decode("utf-8", "replace").strip()
                die(f"7-Zip could not read the disc image '{cd_image}': "
                    f"{said.splitlines()[-1:]}")
            if not os.path.isfile(os.path.join(cd, "Setup.exe")):
                die(f"the disc image '{cd_image}' holds no Setup.exe at its root")
            # As a disc: read-only (a read-only bind mount where this user may
            # mount, else by its permissions).
            subprocess.run(["chmod", "-R", "a-w", cd])
            if subprocess.run(["mount", "--bind", cd, cd], capture_output=True).returncode == 0:
                mounted = True
                subprocess.run(["mount", "-o", "remount,bind,ro", cd], capture_output=True)
            medium_folder = cd
        lines = []
        record_status = medium_record.check(medium_folder,
                                            lambda text: (lines.append(text), say(text)))
        if record_status == medium_record.MISMATCH:
            say("the medium's files do not expand to its record: Setup.exe should refuse them")
        with open(os.path.join(medium_folder, "Setup.exe"), "rb") as f:
            setup_data = f.read()
        program = None
        if os.path.isfile(os.path.join(medium_folder, "Riredud.e#e")):
            with open(os.path.join(medium_folder, "Riredud.e#e"), "rb") as f:
                program = lz.as_installed(f.read())
        shown = product.panel(setup_data, program, work)
        for line in product.lines(shown):
            say(line)
        how, why = system.thirty_two_bit()
        if how is None and pe.machine(setup_data) == pe.I386:
            die(f"'{os.path.join(medium_folder, 'Setup.exe')}' is a 32-bit program, and this "
                f"machine runs none: {why}")
        ctx = Context(work, medium_folder, cd_image and medium_folder, o.args, program,
                      setup_data, how, processes)
        ctx.cd_image = cd_image
        ctx.watcher, ctx.hidden = watcher(), o.unattended
        ctx.exit_choice = bool((record.settings(setup_data) or 0) & record.SETUP_EXIT_CODE)
        results = run_all(o.windows, ctx, say)
        if o.report is not None:
            for r in results:
                r["screenshot"] = f"{r['setting']}.png" if r.get("picture") and \
                    os.path.isfile(r["picture"]) else None
            report.write(o.report, results, lines, o.medium, shown)
            say(f"the report: {os.path.join(o.report, 'index.html')}")
        if o.junit is not None:
            junit.write(o.junit, results, o.medium, o.report)
            say(f"the JUnit report: {o.junit}")
        codes = [code_of(r, record_status) for r in results]
        if len(o.windows) > 1:
            for line in table(results):
                sys.stdout.write(line + "\n")
            say(report.summary_line(results))
        return max(codes) if any(codes) else 0
    except place.Interrupted as e:
        say("interrupted: every Wine prefix, X screen and process of this run ended and "
            "removed", sys.stderr)
        return e.code
    except Refused as e:
        die(str(e))
    except OSError as e:
        die(f"Wine could not make a prefix: {e}")
    finally:
        # Signals are ignored now (place's handler): the clearing-up is not
        # cut short by a second Ctrl-C.
        processes.stop()
        processes.end_prefixes()
        if mounted:
            subprocess.run(["umount", os.path.join(work, "cd")], capture_output=True)
        subprocess.run(["chmod", "-R", "u+w", work], capture_output=True)
        shutil.rmtree(work, ignore_errors=True)


def run_all(chosen, ctx, say):
    """Each setting's try, as many at once as the machine has cores; a
    single one says every step, several a line each as it ends.  An
    interruption ends every process of the run and waits for the tries to
    end before it goes on."""
    single = len(chosen) == 1

    def one(setting):
        def tell(text, raw=None):
            if single:
                if text is None:
                    sys.stdout.write(raw + "\n")
                    sys.stdout.flush()
                else:
                    say(text)
        begun = time.monotonic()
        try:
            result = try_setting(setting, ctx, tell)
        except (Refused, OSError, wine.Stopped) as e:
            result = {"setting": setting.name, "version": None, "outcome": "error",
                      "exit_code": None, "setup_exit_code": None, "debug_output": [], "box": [],
                      "files": [], "command_line": None, "seconds": None, "screenshot": None,
                      "picture": None, "reason": str(e)}
            if not ctx.processes.stopping:
                say(f"{setting.name}: could not be tried: {e}")
        result["duration"] = round(time.monotonic() - begun, 1)
        if not single and not ctx.processes.stopping:
            with ctx.lock:
                say(f"{setting.name}: {summary(result)}")
        return result

    workers = 1 if single else min(len(chosen), os.cpu_count() or 1)
    pool = concurrent.futures.ThreadPoolExecutor(workers)
    try:
        # The templates first, each made once, side by side.
        archs = sorted({ctx.arch(s) for s in chosen})
        for done in [pool.submit(ctx.template, arch) for arch in archs]:
            done.result()
        return [f.result() for f in [pool.submit(one, s) for s in chosen]]
    except BaseException:
        ctx.processes.stop()
        raise
    finally:
        pool.shutdown(wait=True)


def summary(r):
    words = [r["outcome"]]
    if r["version"]:
        words.append(f"told {r['version']}")
    if r["seconds"] is not None:
        words.append(f"its window after {r['seconds']:.1f} s")
    if r["exit_code"] is not None:
        words.append(f"exit {r['exit_code']}" + (
            f" (the setup program's {r['setup_exit_code']})" if r["setup_exit_code"] is not None
            else ""))
    if r["reason"]:
        words.append(r["reason"])
    if r["box"]:
        words.append(f'the box "{r["box"][0]}"')
    return ", ".join(words)
