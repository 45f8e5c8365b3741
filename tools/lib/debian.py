"""One file of a Debian package of another suite of the archive this
machine already uses, fetched with a private source list: the machine's
own apt sources, package lists and installed packages stay as they are.

Used by tools/emulate-i386 (QEMU of Debian 13) and tools/install-deps (the
second osslsigncode the signing tests run, Debian 12's 2.5 and
bookworm-backports' 2.9).
"""
import glob
import os
import re
import subprocess
import tempfile


class Refusal(Exception):
    pass


def archive_uri():
    """The Debian archive the machine's apt sources name for its own suite."""
    texts = []
    for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*")):
        try:
            with open(path) as f:
                texts.append(f.read())
        except OSError:
            pass
    for text in texts:
        for m in re.finditer(r"^deb\s+(?:\[[^\]]*\]\s+)?(\S+)\s+(\S+)", text, re.M):
            if m.group(2) in ("bookworm", "stable") and "security" not in m.group(1):
                return m.group(1).rstrip("/")
        for stanza in re.split(r"\n\s*\n", text):
            uris = re.search(r"^URIs:\s*(\S+)", stanza, re.M)
            suites = re.search(r"^Suites:\s*(.*)$", stanza, re.M)
            if uris and suites and "bookworm" in suites.group(1).split() \
                    and "security" not in uris.group(1):
                return uris.group(1).rstrip("/")
    return "http://deb.debian.org/debian"


def run(command, what):
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode != 0:
        last = (done.stderr.strip() or done.stdout.strip()).splitlines()[-1:] or ["no output"]
        raise Refusal(f"{what} failed: {last[0]}")
    return done.stdout


def fetch(suite, package, member, target, version=None):
    """Puts the file member (a path inside the package, such as
    usr/bin/qemu-i386) of package from suite at target; returns the
    package's version and the archive's URI."""
    uri = archive_uri()
    with tempfile.TemporaryDirectory(prefix="fetch-deb.") as work:
        os.chmod(work, 0o755)  # apt's own user writes the download there
        sources = os.path.join(work, "sources.list")
        with open(sources, "w") as f:
            f.write(f"deb {uri} {suite} main\n")
        for sub in ("lists/partial", "cache/archives/partial"):
            os.makedirs(os.path.join(work, sub))
        # No installed package: the version is the suite's own.
        status = os.path.join(work, "status")
        open(status, "w").close()
        apt = ["-o", f"Dir::Etc::SourceList={sources}", "-o", "Dir::Etc::SourceParts=/dev/null",
               "-o", f"Dir::State::status={status}",
               "-o", f"Dir::State::Lists={work}/lists", "-o", f"Dir::Cache={work}/cache",
               "-o", "APT::Sandbox::User=root", "-o", "APT::Architectures=amd64", "-q"]
        run(["apt-get"] + apt + ["update"], f"reading the {suite} suite of {uri}")
        shown = run(["apt-cache"] + apt + ["show", "--no-all-versions",
                                            f"{package}={version}" if version else package],
                    f"looking up {package} in {uri} {suite}")
        m = re.search(r"^Version:\s*(\S+)", shown, re.M)
        found = m.group(1) if m else "?"
        subprocess.run(["apt-get"] + apt + ["download", f"{package}={found}"], cwd=work,
                       capture_output=True, text=True)
        debs = glob.glob(os.path.join(work, f"{package}_*.deb"))
        if not debs:
            raise Refusal(f"could not download the package {package} from {uri} {suite}")
        run(["dpkg-deb", "-x", debs[0], os.path.join(work, "x")], f"unpacking {debs[0]}")
        got = os.path.join(work, "x", member)
        if not os.path.isfile(got):
            raise Refusal(f"the package {package} {found} of {uri} {suite} holds no {member}")
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(got, "rb") as f, open(target + ".new", "wb") as out:
            out.write(f.read())
        os.chmod(target + ".new", 0o755)
        os.replace(target + ".new", target)
        return found, uri
