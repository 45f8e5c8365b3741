"""The signer's certificate, wherever it is kept: in a PKCS#12 file, in a
file of its own (PEM or DER, the signer's first, its chain behind it) or as
an object on a token (read with OpenSC's pkcs11-tool, which needs no PIN
for it).  Before anything is signed it must serve code signing and be
valid now.  Read through openssl; a password goes to it through a pipe.
"""
import calendar
import os
import re
import time
import urllib.parse

from . import Refused
from .programs import last_lines, need_tool, run


def is_pkcs12(path):
    """A PKCS#12 file is a DER sequence that starts with version 3."""
    with open(path, "rb") as f:
        head = f.read(8)
    if len(head) < 5 or head[0] != 0x30:
        return False
    at = 2 + (head[1] & 0x7F if head[1] & 0x80 else 0)
    return head[at:at + 3] == b"\x02\x01\x03"


def _x509(openssl, pem, *options):
    return run([openssl, "x509", "-in", pem, "-noout"] + list(options))[1].strip()


def _date(text):
    """Seconds since 1970 of an openssl date ("Jan  1 00:00:00 2021 GMT")."""
    return calendar.timegm(time.strptime(text.replace("  ", " "), "%b %d %H:%M:%S %Y GMT"))


def check_certificate(openssl, pem, name):
    """The signer's certificate must serve code signing and be valid now;
    returns its subject and its end."""
    subject = re.sub(r"^subject=", "", _x509(openssl, pem, "-subject", "-nameopt", "RFC2253"))
    # Without an extended key usage a certificate serves every purpose, as
    # Windows takes it; with one, it must name code signing.
    usage = _x509(openssl, pem, "-ext", "extendedKeyUsage").splitlines()[1:2]
    usage = usage[0].strip() if usage else ""
    if usage and "Code Signing" not in usage:
        raise Refused(f"the certificate '{name}' ({subject}) is not for code signing (its "
                      f"extended key usage names {usage}, not Code Signing): use a code-signing "
                      f"certificate (openssl makes one with -addext extendedKeyUsage=codeSigning)")
    not_before = re.sub(r"^notBefore=", "", _x509(openssl, pem, "-startdate"))
    not_after = re.sub(r"^notAfter=", "", _x509(openssl, pem, "-enddate"))
    if _date(not_before) > time.time():
        raise Refused(f"the certificate '{name}' ({subject}) is not valid before {not_before}: "
                      f"check this machine's clock, or wait")
    if _date(not_after) <= time.time():
        raise Refused(f"the certificate '{name}' ({subject}) expired on {not_after}: renew it "
                      f"with your certificate authority")
    return {"subject": subject, "not_after": not_after}


def from_pkcs12(p12, secret, work):
    """The signer's certificate of p12, checked; the password goes to
    openssl through a pipe."""
    openssl = need_tool("openssl")
    if not is_pkcs12(p12):
        raise Refused(f"the certificate '{p12}' is not a PKCS#12 file (.p12, .pfx): export the "
                      f"certificate with its private key and chain as PKCS#12")
    signer = os.path.join(work, "signer.pem")
    status, output = run([openssl, "pkcs12", "-in", p12, "-passin", "stdin", "-nokeys",
                          "-clcerts", "-out", signer], secret + b"\n")
    if status:
        if "invalid password" in output or "mac verify failure" in output.lower():
            raise Refused(f"the password does not open the certificate '{p12}': check the "
                          f"password (--password-file or MAKE_MEDIUM_PASSWORD)")
        raise Refused(f"cannot read the certificate '{p12}': {output.splitlines()[0]}")
    if not os.path.getsize(signer):
        raise Refused(f"the certificate '{p12}' holds no certificate with its private key: "
                      f"export it with its private key")
    return dict(check_certificate(openssl, signer, p12), pem=signer)


def parse_uri(uri):
    """The attributes of a pkcs11: URI (RFC 7512), percent-decoded."""
    path = uri[len("pkcs11:"):].split("?", 1)[0]
    found = {}
    for part in filter(None, path.split(";")):
        key, _, value = part.partition("=")
        found[key] = urllib.parse.unquote_to_bytes(value)
    return found


def token_certificate(module, uri, work):
    """The certificate object uri on the token, as a PEM file, read with
    OpenSC's pkcs11-tool (no PIN: a certificate is a public object)."""
    tool = need_tool("pkcs11-tool", "opensc")
    attributes = parse_uri(uri)
    args = [tool, "--module", module, "--read-object", "--type", "cert"]
    for key, option in (("token", "--token-label"), ("object", "--label")):
        if key in attributes:
            args += [option, attributes[key].decode("utf-8", "replace")]
    if "id" in attributes:
        args += ["--id", attributes["id"].hex()]
    der = os.path.join(work, "token-cert.der")
    status, output = run(args + ["--output-file", der])
    if status or not os.path.isfile(der) or not os.path.getsize(der):
        raise Refused(f"the token has no certificate '{uri}' ({last_lines(output, 1)}): list its "
                      f"objects with pkcs11-tool --module {module} --list-objects, or give the "
                      f"certificate as a file")
    pem = os.path.join(work, "token-cert.pem")
    run([need_tool("openssl"), "x509", "-inform", "DER", "-in", der, "-out", pem])
    return pem


def from_file_or_token(cert, module, work):
    """The certificate of --cert (a file, PEM or DER, the signer's first,
    or an object on the token), checked."""
    openssl = need_tool("openssl")
    if cert.startswith("pkcs11:"):
        pem = token_certificate(module, cert, work)
    else:
        pem = os.path.join(work, "signer.pem")
        status, _ = run([openssl, "x509", "-in", cert, "-out", pem])
        if status:
            status, _ = run([openssl, "x509", "-inform", "DER", "-in", cert, "-out", pem])
        if status:
            raise Refused(f"the certificate '{cert}' is no certificate (PEM or DER): give the "
                          f"certificate of the key, with its chain, as a .pem, .crt or .cer file")
    return dict(check_certificate(openssl, pem, cert), pem=pem)
