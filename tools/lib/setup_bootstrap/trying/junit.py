"""try-medium's results as JUnit XML, the form CI systems read test results
in (GitLab's test reports, Jenkins' junit step, the test-report actions of
the hosted CI services, Azure Pipelines' PublishTestResults): one
testsuite named after the medium, one testcase a Windows setting (its name,
classname try-medium, its seconds); a failure for every outcome but
"started", its message the outcome, its text what happened (the box's
text, the reason a Windows would refuse, what went wrong); in system-out the
version Windows reported, the command line the setup program received,
the exit codes, and the screenshot as Jenkins' [[ATTACHMENT|path]] line.
Written beside its place and moved there; a file that is no report of
try-medium's is refused and left as it is.
"""
import os
import tempfile
import time
import xml.etree.ElementTree as ET

from .. import Refused
from .report import readable

MARK = "written by try-medium"


def check(path):
    """Refused where path holds something try-medium did not write."""
    if not os.path.lexists(path):
        folder = os.path.dirname(os.path.abspath(path))
        if not os.path.isdir(folder):
            raise Refused(f"the folder '{folder}' for the JUnit report does not exist: make it "
                          f"first")
        return
    if not os.path.isfile(path) or os.path.islink(path):
        raise Refused(f"the JUnit report '{path}' exists and is not a file: give another "
                      f"--junit FILE")
    with open(path, "rb") as f:
        head = f.read(200)
    if MARK.encode() not in head:
        raise Refused(f"'{path}' exists and is no JUnit report of try-medium's: give another "
                      f"--junit FILE, or remove it")


def _text(r):
    """What happened, in words, for a failure."""
    if r["outcome"] == "refused":
        return r["reason"] or ""
    lines = list(r["box"]) + ([r["reason"]] if r["reason"] else [])
    if r["outcome"] == "not-started" and not lines:
        lines.append("the setup program was not started, and no box said why")
    lines += [f"Setup.exe's debugger output: {t}" for t in r.get("debug_output", [])]
    return "\n".join(lines)


def document(results, medium, report_folder=None):
    """The XML text of the report."""
    failures = sum(1 for r in results if r["outcome"] != "started")
    total = sum(r.get("duration") or 0 for r in results)
    root = ET.Element("testsuites", name="try-medium", tests=str(len(results)),
                      failures=str(failures), errors="0", time=f"{total:.1f}")
    suite = ET.SubElement(root, "testsuite", name=readable(medium), tests=str(len(results)),
                          failures=str(failures), errors="0", skipped="0", time=f"{total:.1f}",
                          timestamp=time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime()))
    for r in results:
        r = readable(r)
        case = ET.SubElement(suite, "testcase", name=r["setting"], classname="try-medium",
                             time=f"{r.get('duration') or 0:.1f}")
        if r["outcome"] != "started":
            failure = ET.SubElement(case, "failure", message=r["outcome"], type=r["outcome"])
            failure.text = _text(r)
        out = [f"version Windows reported: {r['version'] or '?'}",
               f"the setup program's command line: {r['command_line'] or '(not started)'}",
               f"Setup.exe's exit code: {r['exit_code']}"]
        if r.get("setup_exit_code") is not None:
            out.append(f"the setup program's exit code: {r['setup_exit_code']}")
        if report_folder and r.get("screenshot"):
            out.append(f"[[ATTACHMENT|{os.path.abspath(os.path.join(report_folder, r['screenshot']))}]]")
        ET.SubElement(case, "system-out").text = "\n".join(out)
    if hasattr(ET, "indent"):  # Python 3.9 on: one element a line
        ET.indent(root)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<!-- ' + MARK + ' -->\n' +
            ET.tostring(root, encoding="unicode") + "\n")


def write(path, results, medium, report_folder=None):
    """Writes the report to path, whole or not at all."""
    check(path)
    handle, made = tempfile.mkstemp(prefix=".try-medium-junit.",
                                    dir=os.path.dirname(os.path.abspath(path)))
    try:
        with os.fdopen(handle, "w", encoding="utf-8") as f:
            f.write(document(results, medium, report_folder))
        os.chmod(made, 0o644)
        os.replace(made, path)
        made = None
    finally:
        if made:
            os.remove(made)
