"""Authenticode signing of a medium's Setup.exe, with the key where it is
kept:

- a PKCS#12 file (--sign), through osslsigncode;
- a key on a token, an HSM or a cloud HSM, through its PKCS#11 library
  (--pkcs11-module, --key, --cert), through osslsigncode and OpenSSL's
  PKCS#11 engine; the PIN is asked for once and handed to each run of
  osslsigncode through a pipe (programs.Secret), never on a command line
  and never in a file beside the medium;
- any signer, through a command (--sign-command) that signs the file in
  place; what it did is checked: the file must carry a signature and, but
  for it, be what was handed over, its signature the end of the file.

With a key of its own make-medium makes each signature apart from the file
without signatures, SHA-1 and SHA-256 (or SHA-256 alone), time-stamps each
afterwards with a SHA-256 imprint, which today's servers require (a
server's outage then costs no second use of the key), and nests the second
into the first.  Every signature and every time stamp must be intact at
the end (authenticode.check), whoever issued the certificates; whether the
chain reaches a root this machine trusts is said, never required: Windows
has roots of its own.  Everything but the secret is made in the caller's
work folder.
"""
import getpass
import os
import re
import shlex
import shutil
import subprocess
import sys
import time

from . import Refused, authenticode, certificates, pe, tsa
from .programs import Secret, last_lines, need_tool, run

WAYS = ("sign", "pkcs11_module", "sign_command")
NEEDS = {"password_file": "sign", "key": "pkcs11_module", "cert": "pkcs11_module",
         "pin_file": "pkcs11_module"}
VALUES = {"sign": "PKCS12_FILE", "pkcs11_module": "LIB"}


def option(name):
    return "--" + name.replace("_", "-")


def signs(o):
    """Whether the options ask for a signature."""
    return any(getattr(o, w) for w in WAYS)


def check_options(o):
    """Options that would do nothing, or that contradict each other."""
    ways = [w for w in WAYS if getattr(o, w)]
    if len(ways) > 1:
        raise Refused(f"{option(ways[0])} and {option(ways[1])} are two ways to sign: give one")
    for name, way in NEEDS.items():
        if getattr(o, name) and not getattr(o, way):
            raise Refused(f"{option(name)} is for {option(way)}; give {option(way)} "
                          f"{VALUES[way]} too")
    if not ways:
        for name in ("timestamp", "sha256_only"):
            if getattr(o, name):
                raise Refused(f"{option(name)} is for signing; give --sign PKCS12_FILE or "
                              f"--pkcs11-module LIB too")
        return
    if o.pkcs11_module:
        for name, what in (("key", "URI"), ("cert", "FILE|URI")):
            if not getattr(o, name):
                raise Refused(f"--pkcs11-module needs --{name} {what} too (see --help)")
        if not o.key.startswith("pkcs11:"):
            raise Refused(f"the key '{o.key}' is no pkcs11: URI: give the token's private key "
                          f"as an RFC 7512 URI, such as 'pkcs11:token=NAME;object=LABEL;"
                          f"type=private'")
    if o.sign_command:
        for name, why in (("sha256_only", "it chooses the digests itself"),
                          ("timestamp", "it time-stamps itself: give the URL to the signer "
                                        "(signtool /tr URL /td sha256, jsign --tsaurl URL)")):
            if getattr(o, name):
                raise Refused(f"{option(name)} is not for --sign-command: {why}")
    for url in o.timestamp:
        if not re.match(r"https?://.", url):
            raise Refused(f"the time-stamping server '{url}' is no http:// or https:// URL: give "
                          f"the URL of an RFC 3161 server")


def secret(o):
    """The password of the PKCS#12 file or the token's PIN, asked for once
    for the whole run; None for a signing command."""
    if o.sign:
        return _first_line(o.password_file, "MAKE_MEDIUM_PASSWORD",
                           f"the password of '{o.sign}'",
                           f"no password for the certificate '{o.sign}': give --password-file "
                           f"FILE (the password on its first line) or set the environment "
                           f"variable MAKE_MEDIUM_PASSWORD", None)
    if o.pkcs11_module:
        return _first_line(o.pin_file, "MAKE_MEDIUM_PIN", "the token's PIN",
                           "no PIN for the token: give --pin-file FILE (the PIN on its first "
                           "line) or set the environment variable MAKE_MEDIUM_PIN, or run "
                           "make-medium on a terminal, where it asks for it",
                           f"make-medium: the PIN of the token of '{o.key}': ")
    return None


def _first_line(path, variable, what, none, prompt):
    if path is not None:
        with open(path, "rb") as f:
            first = f.readline().rstrip(b"\r\n")
        if not first:
            raise Refused(f"the {'password' if prompt is None else 'PIN'} file '{path}' is "
                          f"empty: write {what} on its first line")
        return first
    if variable in os.environ:
        return os.fsencode(os.environ[variable])
    if prompt is not None and sys.stdin.isatty():
        try:
            return os.fsencode(getpass.getpass(prompt))
        except EOFError:
            raise Refused("no PIN was typed (the terminal's input ended): type it, or give "
                          "--pin-file FILE")
    raise Refused(none)


def sign_medium(o, setup, key_secret, work):
    """Signs the medium's Setup.exe in place as the options say; returns
    what to say of it, as (stream, text)."""
    urls = o.timestamp
    known = None
    if o.sign:
        known = certificates.from_pkcs12(o.sign, key_secret, work)
    elif o.pkcs11_module:
        known = certificates.from_file_or_token(o.cert, o.pkcs11_module, work)
    if urls:
        with open(setup, "rb") as f:
            urls = tsa.working_servers(urls, f.read())
    if o.sign_command:
        sign_with_command(setup, o.sign_command, work)
        stampers = []
    else:
        stampers = sign_with_key(setup, o, key_secret, urls, work)
    found, stamps, trust = verify(setup, work, bool(urls))
    return describe(found, stamps, trust, stampers, known, bool(o.sign_command))


def describe(found, stamps, trust, stampers, known, by_command):
    """The last lines: who signed, with which digests, stamped by which
    server, and whom Windows will name."""
    digests = [s.digest.upper().replace("SHA", "SHA-") for s in found]
    how = " with a nested ".join(digests) + (" signature" if len(digests) > 1 else "")
    if stampers:
        servers = sorted(set(stampers), key=stampers.index)
        how += ", time-stamped by " + " and ".join(servers)
    elif all(stamps):
        how += ", time-stamped (" + ", ".join(
            f"a {s[0].upper().replace('SHA', 'SHA-')} imprint" for s in stamps) + ")"
    else:
        how += ", not time-stamped"
    by = trust.signer + (" (the signing command)" if by_command else "")
    said = []
    if trust.kind == "trusted":
        said.append(("out", f"Setup.exe signed by {by}: {how}; verified"))
    elif trust.kind == "self":
        said.append(("out", f"Setup.exe signed by {by}: {how}; intact, self-signed"))
        said.append(("err", f"warning: the certificate {trust.signer} signed itself: Windows "
                            f"will show Unknown publisher"))
    else:
        said.append(("out", f"Setup.exe signed by {by}: {how}; intact, under the root "
                            f"{trust.root}, which this machine does not trust"))
        said.append(("err", f"warning: the signature's chain ends at the root {trust.root}: "
                            f"Windows shows the publisher {trust.signer} only when that root is "
                            f"one Windows trusts"))
    if not all(stamps):
        until = f" ({known['not_after']})" if known else ""
        said.append(("err", f"note: without --timestamp the signature stops verifying when the "
                            f"certificate expires{until}"))
    return said


# Signing with a key of make-medium's own: osslsigncode.

def _key_options(o, secret_path):
    if o.sign:
        return ["-pkcs12", o.sign, "-readpass", secret_path]
    source = ["-pkcs11cert", o.cert] if o.cert.startswith("pkcs11:") else ["-certs", o.cert]
    return ["-pkcs11module", o.pkcs11_module] + source + ["-key", o.key, "-readpass", secret_path]


def _signing_failed(o, digest, output):
    """What went wrong when osslsigncode could not sign, in words."""
    if o.pkcs11_module:
        if "PIN incorrect" in output or "PIN_INCORRECT" in output:
            return (f"the PIN does not open the token of '{o.key}' (PIN incorrect): check "
                    f"the PIN (--pin-file or MAKE_MEDIUM_PIN); a token locks itself after a few "
                    f"wrong PINs")
        if "PIN locked" in output or "PIN_LOCKED" in output:
            return f"the token of '{o.key}' is locked: unlock it with its SO PIN or its tool"
        if "key values mismatch" in output:
            return (f"the certificate '{o.cert}' is not of the key '{o.key}' (another "
                    f"key's certificate): give the certificate issued for that key")
        if "load private key" in output or "failed loading private key" in output:
            return (f"the token has no key '{o.key}' ({last_lines(output, 2)}): list its keys "
                    f"with pkcs11-tool --module {o.pkcs11_module} --list-objects "
                    f"--type privkey")
    elif "key values mismatch" in output:
        return f"the certificate of '{o.sign}' is not of its private key: export them anew"
    return f"signing ({digest}) failed: {last_lines(output)}"


def _description(o):
    """The program's name and URL in the signature, which the elevation
    prompt shows.  osslsigncode writes the name as ASCII: a name beyond it
    is left out, and Windows then shows the version information's
    FileDescription, the same name in Unicode."""
    name = o.product or "Setup"
    words = ["-n", name] if name.isascii() else []
    return words + (["-i", o.url] if o.url else [])


def _sign_one(osslsigncode, o, key_secret, digest, unsigned, signed, work):
    with Secret(key_secret) as secret_:
        status, output = run([osslsigncode, "sign"] + _key_options(o, secret_.path) +
                             ["-h", digest] + _description(o) +
                             ["-in", unsigned, "-out", signed],
                             pass_fds=secret_.fds)
    if status or not os.path.isfile(signed):
        raise Refused(_signing_failed(o, digest, output))


def _stamp_one(osslsigncode, urls, signed, stamped):
    """Time-stamps the one signature of signed with a SHA-256 imprint, by
    the first server that gives a stamp (each tried tsa.TRIES times);
    returns its URL."""
    failures = []
    for url in urls:
        for attempt in range(tsa.TRIES):
            if attempt:
                time.sleep(tsa.PAUSE)
            status, output = run([osslsigncode, "add", "-ts", url, "-h", "sha256",
                                  "-in", signed, "-out", stamped])
            if not status and os.path.isfile(stamped):
                return url
            if os.path.isfile(stamped):
                os.remove(stamped)
        failures.append(f"{url}: {last_lines(output, 2)}")
    raise Refused("no time-stamping server gave a time stamp (" + "; ".join(failures) +
                  "): check the URLs and the network, or try again later")


def sign_with_key(setup, o, key_secret, urls, work):
    """Signs setup in place with the key of a PKCS#12 file or a token:
    each signature made apart and stamped, the SHA-256 one nested into the
    SHA-1 one.  Returns the URLs that stamped them."""
    osslsigncode = need_tool("osslsigncode")
    digests = ["sha256"] if o.sha256_only else ["sha1", "sha256"]
    signatures, stampers = [], []
    for digest in digests:
        signed = os.path.join(work, f"Setup.{digest}.exe")
        _sign_one(osslsigncode, o, key_secret, digest, setup, signed, work)
        if urls:
            stamped = signed + ".stamped"
            stampers.append(_stamp_one(osslsigncode, urls, signed, stamped))
            signed = stamped
        signatures.append(signed)
    with open(signatures[0], "rb") as f:
        signed = f.read()
    if len(signatures) == 2:
        # The SHA-256 signature nested into the SHA-1 one, as signtool's /as
        # does; whose root it is does not matter for that.
        with open(signatures[1], "rb") as f:
            inner = authenticode.table(f.read())
        signed = authenticode.with_table(signed, authenticode.nested(
            authenticode.table(signed), inner))
    result = os.path.join(work, "Setup.signed.exe")
    with open(result, "wb") as f:
        f.write(signed)
    os.replace(result, setup)
    return stampers


# Signing through a command.

def split_command(template):
    """The words of a command line: blanks separate them, quotes group
    them, a backslash is a backslash (a Windows path stays as it is)."""
    lexer = shlex.shlex(template, posix=True)
    lexer.whitespace_split = True
    lexer.escape = ""
    try:
        return list(lexer)
    except ValueError as e:
        raise Refused(f"the signing command '{template}' cannot be split into words ({e}): "
                      f"close its quotes")


def sign_with_command(setup, template, work):
    """Has the command sign a copy of setup (in a folder of its own), then
    checks that it carries a signature and, but for it, is what was
    handed over."""
    words = split_command(template)
    if not any("{file}" in w for w in words):
        raise Refused(f"the signing command '{template}' names no {{file}}: put {{file}} where "
                      f"the signer takes the program to sign")
    folder = os.path.join(work, "to-sign")
    os.mkdir(folder)
    copy = os.path.join(folder, "Setup.exe")
    shutil.copyfile(setup, copy)
    with open(copy, "rb") as f:
        before = f.read()
    words = [w.replace("{file}", copy) for w in words]
    try:
        status = subprocess.run(words, stdout=sys.stderr).returncode
    except OSError as e:
        raise Refused(f"cannot run the signing command '{words[0]}': {e.strerror}: check its "
                      f"first word")
    if status:
        raise Refused(f"the signing command '{template}' failed (exit {status}; its output is "
                      f"above): nothing was written")
    with open(copy, "rb") as f:
        after = f.read()
    if not pe.certificate_table(after)[1]:
        raise Refused(f"the signing command '{template}' left Setup.exe unsigned: check that "
                      f"it signs the file {{file}} in place")
    offset, size = pe.certificate_table(after)
    if offset + size < len(after):
        raise Refused(f"the signing command '{template}' left {len(after) - offset - size} bytes "
                      f"after the signature, which no signature covers: have it only sign")
    if not pe.same_program(before, after):
        raise Refused(f"the signing command '{template}' changed Setup.exe besides signing it: "
                      f"the record would vouch for a program you did not build: have it only "
                      f"sign")
    os.replace(copy, setup)


# What the signatures are at the end.

def verify(setup, work, stamped):
    """Checks that every signature of setup and every time stamp is intact;
    returns the signatures, each one's stamps' imprints and whom its chain
    reaches."""
    with open(setup, "rb") as f:
        data = f.read()
    found, stamps = authenticode.check(data, work)
    if stamped and not all(s == ["sha256"] for s in stamps):
        raise Refused("not every signature carries a time stamp with a SHA-256 imprint: see "
                      "osslsigncode verify -in Setup.exe")
    return found, stamps, authenticode.trust(found[0], work)
