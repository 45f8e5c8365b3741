"""Authenticode signing of a medium's Setup.exe, with the key where it is
kept:

- a PKCS#12 file (--sign), through osslsigncode;
- a key on a token, an HSM or a cloud HSM, through its PKCS#11 library
  (--pkcs11-module, --key, --cert), through osslsigncode and OpenSSL's
  PKCS#11 engine; the PIN is asked for once and handed to each run of
  osslsigncode in a file only this user can read, removed as it ends,
  never on a command line;
- any signer, through a command (--sign-command) that signs the file in
  place; what it did is checked: the file must carry a signature and, but
  for it, be what was handed over.

With a key of its own make-medium makes each signature apart from the file
without signatures, SHA-1 and SHA-256 (or SHA-256 alone), time-stamps each
afterwards with a SHA-256 imprint, which today's servers require (a
server's outage then costs no second use of the key), and nests the second
into the first.  Every signature and every time stamp is verified at the
end, against the certificates the signature carries and the certificate
authorities the machine trusts (SSL_CERT_FILE, else Debian's bundle).  Everything is made in the caller's work folder.
"""
import getpass
import os
import re
import shlex
import shutil
import subprocess
import sys
import time

from . import Refused, certificates, pe, tsa
from .programs import Secret, last_lines, need_tool, run

# The certificate authorities this machine trusts: OpenSSL's own variable,
# else Debian's bundle.
CA_BUNDLE = "/etc/ssl/certs/ca-certificates.crt"
UNVERIFIED = ("give the certificate's whole chain (--cert FILE: the certificate first, then its "
              "intermediate certificates), or name the certificate authorities you trust in "
              "SSL_CERT_FILE")
WAYS = ("sign", "pkcs11-module", "sign-command")
NEEDS = {"password-file": "sign", "key": "pkcs11-module", "cert": "pkcs11-module",
         "pin-file": "pkcs11-module"}
VALUES = {"sign": "PKCS12_FILE", "pkcs11-module": "LIB"}


def check_options(o):
    """Options that would do nothing, or that contradict each other."""
    ways = [w for w in WAYS if w in o]
    if len(ways) > 1:
        raise Refused(f"--{ways[0]} and --{ways[1]} are two ways to sign: give one")
    for name, way in NEEDS.items():
        if name in o and way not in o:
            raise Refused(f"--{name} is for --{way}; give --{way} {VALUES[way]} too")
    if not ways:
        for name in ("timestamp", "sha256-only"):
            if name in o:
                raise Refused(f"--{name} is for signing; give --sign PKCS12_FILE or "
                              f"--pkcs11-module LIB too")
        return
    if "pkcs11-module" in o:
        for name, what in (("key", "URI"), ("cert", "FILE|URI")):
            if name not in o:
                raise Refused(f"--pkcs11-module needs --{name} {what} too (see --help)")
        if not o["key"].startswith("pkcs11:"):
            raise Refused(f"the key '{o['key']}' is no pkcs11: URI: give the token's private key "
                          f"as an RFC 7512 URI, such as 'pkcs11:token=NAME;object=LABEL;"
                          f"type=private'")
    if "sign-command" in o:
        for name, why in (("sha256-only", "it chooses the digests itself"),
                          ("timestamp", "it time-stamps itself: give the URL to the signer "
                                        "(signtool /tr URL /td sha256, jsign --tsaurl URL)")):
            if name in o:
                raise Refused(f"--{name} is not for --sign-command: {why}")
    for url in o.get("timestamp", []):
        if not re.match(r"https?://.", url):
            raise Refused(f"the time-stamping server '{url}' is no http:// or https:// URL: give "
                          f"the URL of an RFC 3161 server")


def secret(o):
    """The password of the PKCS#12 file or the token's PIN, asked for once
    for the whole run; None for a signing command."""
    if "sign" in o:
        return _first_line(o.get("password-file"), "MAKE_MEDIUM_PASSWORD",
                           f"the password of '{o['sign']}'",
                           f"no password for the certificate '{o['sign']}': give --password-file "
                           f"FILE (the password on its first line) or set the environment "
                           f"variable MAKE_MEDIUM_PASSWORD", None)
    if "pkcs11-module" in o:
        return _first_line(o.get("pin-file"), "MAKE_MEDIUM_PIN", "the token's PIN",
                           "no PIN for the token: give --pin-file FILE (the PIN on its first "
                           "line) or set the environment variable MAKE_MEDIUM_PIN, or run "
                           "make-medium on a terminal, where it asks for it",
                           f"make-medium: the PIN of the token of '{o['key']}': ")
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
    urls = o.get("timestamp", [])
    known = None
    if "sign" in o:
        known = certificates.from_pkcs12(o["sign"], key_secret, work)
    elif "pkcs11-module" in o:
        known = certificates.from_file_or_token(o["cert"], o["pkcs11-module"], work)
    if urls:
        with open(setup, "rb") as f:
            urls = tsa.working_servers(urls, f.read())
    if "sign-command" in o:
        sign_with_command(setup, o["sign-command"], work)
        stampers = []
    else:
        stampers = sign_with_key(setup, o, key_secret, urls, work)
    found = verify(setup, work, bool(urls))
    return describe(found, stampers, known, "sign-command" in o)


def describe(found, stampers, known, by_command):
    """The last lines: who signed, with which digests, stamped by which
    server."""
    digests = [d.replace("SHA", "SHA-") for d, _, _ in found]
    how = " with a nested ".join(digests) + (" signature" if len(digests) > 1 else "")
    if stampers:
        servers = sorted(set(stampers), key=stampers.index)
        how += ", time-stamped by " + " and ".join(servers)
    elif all(stamp for _, _, stamp in found):
        how += ", time-stamped (" + ", ".join(f"a {s.upper().replace('SHA', 'SHA-')} imprint"
                                              for _, _, s in found) + ")"
    else:
        how += ", not time-stamped"
    by = found[0][1] + (" (the signing command)" if by_command else "")
    said = [("out", f"Setup.exe signed by {by}: {how}; verified")]
    if not all(stamp for _, _, stamp in found):
        until = f" ({known['not_after']})" if known else ""
        said.append(("err", f"note: without --timestamp the signature stops verifying when the "
                            f"certificate expires{until}"))
    return said


# Signing with a key of make-medium's own: osslsigncode.

def _key_options(o, secret_path):
    if "sign" in o:
        return ["-pkcs12", o["sign"], "-readpass", secret_path]
    cert = o["cert"]
    source = ["-pkcs11cert", cert] if cert.startswith("pkcs11:") else ["-certs", cert]
    return ["-pkcs11module", o["pkcs11-module"]] + source + ["-key", o["key"],
                                                              "-readpass", secret_path]


def _signing_failed(o, digest, output):
    """What went wrong when osslsigncode could not sign, in words."""
    if "pkcs11-module" in o:
        if "PIN incorrect" in output or "PIN_INCORRECT" in output:
            return (f"the PIN does not open the token of '{o['key']}' (PIN incorrect): check "
                    f"the PIN (--pin-file or MAKE_MEDIUM_PIN); a token locks itself after a few "
                    f"wrong PINs")
        if "PIN locked" in output or "PIN_LOCKED" in output:
            return f"the token of '{o['key']}' is locked: unlock it with its SO PIN or its tool"
        if "key values mismatch" in output:
            return (f"the certificate '{o['cert']}' is not of the key '{o['key']}' (another "
                    f"key's certificate): give the certificate issued for that key")
        if "load private key" in output or "failed loading private key" in output:
            return (f"the token has no key '{o['key']}' ({last_lines(output, 2)}): list its keys "
                    f"with pkcs11-tool --module {o['pkcs11-module']} --list-objects "
                    f"--type privkey")
    elif "key values mismatch" in output:
        return f"the certificate of '{o['sign']}' is not of its private key: export them anew"
    return f"signing ({digest}) failed: {last_lines(output)}"


def _sign_one(osslsigncode, o, key_secret, digest, unsigned, signed, work):
    with Secret(key_secret, work) as path:
        status, output = run([osslsigncode, "sign"] + _key_options(o, path) +
                             ["-h", digest, "-n", "Setup", "-in", unsigned, "-out", signed])
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
    digests = ["sha256"] if "sha256-only" in o else ["sha1", "sha256"]
    signatures, stampers = [], []
    for digest in digests:
        signed = os.path.join(work, f"Setup.{digest}.exe")
        _sign_one(osslsigncode, o, key_secret, digest, setup, signed, work)
        if urls:
            stamped = signed + ".stamped"
            stampers.append(_stamp_one(osslsigncode, urls, signed, stamped))
            signed = stamped
        signatures.append(signed)
    result = signatures[0]
    if len(signatures) == 2:
        nested = os.path.join(work, "nested.p7s")
        status, output = run([osslsigncode, "extract-signature", "-in", signatures[1],
                              "-out", nested])
        if not status:
            result = os.path.join(work, "Setup.signed.exe")
            known = trusted(work, signatures[1])
            status, output = run([osslsigncode, "attach-signature", "-nest", "-sigin", nested,
                                  "-CAfile", known, "-TSA-CAfile", known,
                                  "-in", signatures[0], "-out", result])
        if status:
            raise Refused(f"the SHA-256 signature could not be nested into the SHA-1 one, since "
                          f"it does not verify ({last_lines(output, 2)}): {UNVERIFIED}")
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
    if not pe.same_program(before, after):
        raise Refused(f"the signing command '{template}' changed Setup.exe besides signing it: "
                      f"the record would vouch for a program you did not build: have it only "
                      f"sign")
    os.replace(copy, setup)


# What the signatures are at the end.

def trusted(work, setup):
    """The certificates a signature of setup is verified against: those it
    carries (its own chain) and the system's bundle."""
    openssl, osslsigncode = need_tool("openssl"), need_tool("osslsigncode")
    signature = os.path.join(work, "signature.pem")
    path = os.path.join(work, "trusted.pem")
    run([osslsigncode, "extract-signature", "-pem", "-in", setup, "-out", signature])
    _, carried = run([openssl, "pkcs7", "-in", signature, "-print_certs"])
    os.remove(signature)
    bundle = os.environ.get("SSL_CERT_FILE") or CA_BUNDLE
    with open(path, "w", encoding="utf-8") as out:
        out.write(carried)
        if os.path.isfile(bundle):
            with open(bundle, encoding="utf-8", errors="replace") as f:
                out.write(f.read())
    return path


def verify(setup, work, stamped):
    """Verifies every signature of setup and every time stamp; returns
    each signature's (digest, signer, stamp's imprint or None)."""
    osslsigncode = need_tool("osslsigncode")
    known = trusted(work, setup)
    status, output = run([osslsigncode, "verify", "-in", setup, "-CAfile", known,
                          "-TSA-CAfile", known])
    found = []
    for block in re.split(r"^Signature Index: \d+", output, flags=re.M)[1:]:
        digest = re.search(r"^Message digest algorithm\s+: (\S+)", block, re.M)
        signer = re.search(r"Signer's certificate:\s*(?:-+\s*)?Signer #0:\s*Subject: (.*)", block)
        stamp = re.search(r"^\s*Hash Algorithm: (\S+)", block, re.M)
        ok = re.search(r"^Signature verification: ok", block, re.M)
        stamp_ok = re.search(r"^Timestamp Server Signature verification: ok", block, re.M)
        if not ok or not digest or not signer or (stamp and not stamp_ok):
            failures = [line.strip() for line in block.splitlines()
                        if re.search("fail|error|mismatch", line, re.I)]
            raise Refused(f"the signature does not verify ({' '.join(failures[:3])}): "
                          f"{UNVERIFIED}")
        found.append((digest.group(1), signer.group(1).strip(),
                      stamp.group(1).lower() if stamp else None))
    if status or not found:
        raise Refused(f"the signature does not verify ({last_lines(output, 2)}): {UNVERIFIED}")
    if stamped and not all(s == "sha256" for _, _, s in found):
        raise Refused("not every signature carries a time stamp with a SHA-256 imprint: see "
                      "osslsigncode verify -in Setup.exe")
    return found
