"""Authenticode signing of a medium's Setup.exe, through osslsigncode,
with the certificate and key of a PKCS#12 file (read through openssl).

By default a SHA-1 signature with a nested SHA-256 one, as publishers sign
for old and new Windows alike; or one SHA-256 signature.  Each signature
may be time-stamped by an RFC 3161 server.  Then every signature, and every
time stamp, is verified against the certificate's own chain and the
system's CA bundle.  Everything is made in a work folder of the caller's.
"""
import calendar
import os
import re
import shutil
import subprocess
import time
import urllib.error
import urllib.request

from . import Refused, tsa

CA_BUNDLE = "/etc/ssl/certs/ca-certificates.crt"



def need_tool(name):
    """The path of the program name, refused when it is missing."""
    path = shutil.which(name)
    if path is None:
        raise Refused(f"{name} is missing: install it (Debian: apt-get install {name}; "
                      f"tools/install-deps installs it)")
    return path


def run(args, log=None):
    """Runs a program (its output kept): (exit code, output).  An
    interruption ends it too (subprocess.run kills it on any exception)."""
    done = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    output = done.stdout.decode("utf-8", "replace")
    if log is not None:
        with open(log, "w", encoding="utf-8") as f:
            f.write(output)
    return done.returncode, output


def last_lines(text, count):
    return " ".join(text.splitlines()[-count:]) + (" " if text.endswith("\n") else "")


def is_pkcs12(path):
    """A PKCS#12 file is a DER sequence that starts with version 3."""
    with open(path, "rb") as f:
        head = f.read(8)
    if len(head) < 5 or head[0] != 0x30:
        return False
    # The sequence's length takes one byte, or 0x8N and N more.
    at = 2 + (head[1] & 0x7F if head[1] & 0x80 else 0)
    return head[at:at + 3] == b"\x02\x01\x03"


def _x509(openssl, pem, *options):
    return run([openssl, "x509", "-in", pem, "-noout"] + list(options))[1].strip()


def _date(text):
    """Seconds since 1970 of an openssl date ("Jan  1 00:00:00 2021 GMT")."""
    return calendar.timegm(time.strptime(text.replace("  ", " "), "%b %d %H:%M:%S %Y GMT"))


def open_pkcs12(p12, password_file, work):
    """Reads the certificates of p12 into work; returns the signer's
    details (subject, not_after), refused for a certificate that cannot
    sign code today."""
    openssl = need_tool("openssl")
    if not is_pkcs12(p12):
        raise Refused(f"the certificate '{p12}' is not a PKCS#12 file (.p12, .pfx): export the "
                      f"certificate with its private key and chain as PKCS#12")
    chain = os.path.join(work, "certificates.pem")
    status, output = run([openssl, "pkcs12", "-in", p12, "-passin", "file:" + password_file,
                          "-nokeys", "-out", chain])
    if status:
        if "invalid password" in output:
            raise Refused(f"the password does not open the certificate '{p12}': check the "
                          f"password (--password-file or MAKE_MEDIUM_PASSWORD)")
        raise Refused(f"cannot read the certificate '{p12}': {output.splitlines()[0]}")
    signer = os.path.join(work, "signer.pem")
    status, _ = run([openssl, "pkcs12", "-in", p12, "-passin", "file:" + password_file,
                     "-nokeys", "-clcerts", "-out", signer])
    if status or not os.path.getsize(signer):
        raise Refused(f"the certificate '{p12}' holds no certificate with its private key: "
                      f"export it with its private key")
    return check_certificate(openssl, signer, chain, p12)


def check_certificate(openssl, signer, chain, name):
    """The signer's certificate must serve code signing and be valid now."""
    subject = _x509(openssl, signer, "-subject", "-nameopt", "RFC2253")
    subject = re.sub(r"^subject=", "", subject)
    # Without an extended key usage a certificate serves every purpose, as
    # Windows takes it; with one, it must name code signing.
    usage = _x509(openssl, signer, "-ext", "extendedKeyUsage").splitlines()[1:2]
    usage = usage[0].strip() if usage else ""
    if usage and "Code Signing" not in usage:
        raise Refused(f"the certificate '{name}' ({subject}) is not for code signing (its "
                      f"extended key usage names {usage}, not Code Signing): use a code-signing "
                      f"certificate (openssl makes one with -addext extendedKeyUsage=codeSigning)")
    not_before = re.sub(r"^notBefore=", "", _x509(openssl, signer, "-startdate"))
    not_after = re.sub(r"^notAfter=", "", _x509(openssl, signer, "-enddate"))
    if _date(not_before) > time.time():
        raise Refused(f"the certificate '{name}' ({subject}) is not valid before {not_before}: "
                      f"check this machine's clock, or wait")
    if _date(not_after) <= time.time():
        raise Refused(f"the certificate '{name}' ({subject}) expired on {not_after}: renew it "
                      f"with your certificate authority")
    trusted = os.path.join(os.path.dirname(signer), "trusted.pem")
    with open(trusted, "wb") as out:
        for path in (chain, CA_BUNDLE):
            if os.path.isfile(path):
                with open(path, "rb") as f:
                    out.write(f.read())
    shown = re.sub(r"^subject=", "", _x509(openssl, signer, "-subject", "-nameopt", "compat"))
    return {"subject": shown, "not_after": not_after, "trusted": trusted}


def probe(url, data):
    """Asks the time-stamping server for one time stamp, to tell an
    unreachable server from one that answers no time stamp."""
    request = urllib.request.Request(url, data=tsa.query(data),
                                     headers={"Content-Type": "application/timestamp-query"})
    note = ""
    try:
        with urllib.request.urlopen(request, timeout=30) as answer:
            reply = answer.read()
    except urllib.error.HTTPError as e:
        reply, note = b"", f" (it answered HTTP {e.code})"
    except (urllib.error.URLError, OSError) as e:
        raise Refused(f"the time-stamping server '{url}' cannot be reached "
                      f"({getattr(e, 'reason', e)}): check the URL and the network")
    if not tsa.granted(reply):
        raise Refused(f"the time-stamping server '{url}' answers no time stamp{note}: give the "
                      f"URL of an RFC 3161 time-stamping service")


def sign(setup, p12, password_file, digests, url, details, work):
    """Signs setup in place, one signature per digest, the later ones
    nested, each time-stamped through url (when given); then verifies
    every signature and time stamp."""
    osslsigncode = need_tool("osslsigncode")
    unsigned, nest = setup, []
    for digest in digests:
        signed = os.path.join(work, f"Setup.{digest}.exe")
        stamp = ["-ts", url] if url else []
        status, output = run([osslsigncode, "sign", "-pkcs12", p12, "-readpass", password_file,
                              "-h", digest, "-n", "Setup"] + nest + stamp +
                             ["-in", unsigned, "-out", signed])
        if status:
            raise Refused(f"signing ({digest}) failed: {last_lines(output, 3)}")
        unsigned, nest = signed, ["-nest"]
    trusted = details["trusted"]
    status, output = run([osslsigncode, "verify", "-in", unsigned, "-CAfile", trusted,
                          "-TSA-CAfile", trusted])
    if status:
        failures = [line for line in output.splitlines() if re.search("fail|error", line, re.I)]
        raise Refused("the signature does not verify: " + " ".join(failures[:3]) + " ")
    if len(re.findall(r"^Signature verification: ok", output, re.M)) != len(digests):
        raise Refused("not every signature verifies: see osslsigncode verify -in Setup.exe")
    if url and len(re.findall(r"^Timestamp Server Signature verification: ok", output,
                              re.M)) != len(digests):
        raise Refused(f"not every time stamp of '{url}' verifies: is its certificate authority "
                      f"in /etc/ssl/certs, or in the chain of '{p12}'?")
    os.replace(unsigned, setup)
