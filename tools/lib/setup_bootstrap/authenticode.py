"""Authenticode signatures of a program, read from its certificate table
and checked for being intact whoever issued their certificates; whom
Windows will name as the publisher is answered apart; and one signature
nested into another, as signtool's /as does.

Intact means, for every signature (the primary one and each nested in
it): the program's digest that the signature vouches for is the
program's digest now; the signer's signature over it holds (openssl,
without asking for a chain); every time stamp's imprint is the digest of
that signature, and the stamp's own signature holds.  A chain that ends in
a root this machine does not know is no fault of the signature: Windows
may know that root.  Trust is answered by trust(): the chain to a root of
the system's store (openssl's, which SSL_CERT_FILE names), a root of
another, or a certificate that signed itself.
"""
import base64
import collections
import hashlib
import os
import re
import struct

from . import Refused, der, pe
from .programs import last_lines, need_tool, run

SIGNED_DATA = der.oid("1.2.840.113549.1.7.2")
DATA = der.oid("1.2.840.113549.1.7.1")
NESTED = der.oid("1.3.6.1.4.1.311.2.4.1")
RFC3161 = der.oid("1.3.6.1.4.1.311.3.3.1")
COUNTER = der.oid("1.2.840.113549.1.9.6")
OPUS = der.oid("1.3.6.1.4.1.311.2.1.12")  # SpcSpOpusInfo: the program's name and URL
DIGESTS = {der.oid(o): name for o, name in (
    ("1.2.840.113549.2.5", "md5"), ("1.3.14.3.2.26", "sha1"), ("2.16.840.1.101.3.4.2.1", "sha256"),
    ("2.16.840.1.101.3.4.2.2", "sha384"), ("2.16.840.1.101.3.4.2.3", "sha512"))}
WIN_CERT_REVISION_2_0, WIN_CERT_TYPE_PKCS_SIGNED_DATA = 0x0200, 0x0002

# One signature: its digest ("sha256"), the program digest it vouches for,
# the signed content (what the signer's messageDigest covers) and the
# signature as a detached PKCS#7 for openssl; its certificates (DER), the
# signer's among them; the signer's signature value; its time stamps as
# (kind, DER); and where it lies in the ContentInfo it came from.
Signature = collections.namedtuple(
    "Signature", "digest file_digest signed_content detached certificates signer value stamps")


def table(data):
    """The PKCS#7 ContentInfo of the program's certificate table (its
    first entry), None when it is unsigned; Refused when the table is
    not whole."""
    offset, size = pe.certificate_table(data)
    if not size:
        return None
    if offset + size > len(data) or size < 8:
        raise Refused("its certificate table reaches past the end of the file")
    length, revision, kind = struct.unpack_from("<IHH", data, offset)
    if kind != WIN_CERT_TYPE_PKCS_SIGNED_DATA or not 8 < length <= size:
        raise Refused("its certificate table holds no Authenticode signature")
    try:
        item = der.read(data, offset + 8, offset + length)
    except ValueError as e:
        raise Refused(f"its signature is damaged ({e})")
    return bytes(data[item.at:item.end])


def program_digest(data, name):
    """The Authenticode digest of the program: every byte before its
    certificate table but the checksum and the table's entry."""
    offset, _ = pe.certificate_table(data)
    checksum = pe.checksum_offset(data)
    entry = pe.directory_entry(data, pe.SECURITY_DIRECTORY)
    h = hashlib.new(name)
    h.update(data[:checksum])
    h.update(data[checksum + 4:entry])
    h.update(data[entry + 8:offset])
    return h.digest()


def _signed_data(blob):
    """The items of a ContentInfo that holds SignedData: (ContentInfo,
    [0], SignedData, the SignedData's children)."""
    info = der.read(blob, 0)
    oid, wrapper = der.children(blob, info)[:2]
    if der.whole(blob, oid) != SIGNED_DATA or wrapper.tag != 0xA0:
        raise ValueError("no SignedData")
    signed = der.read(blob, wrapper.start, wrapper.end)
    return info, wrapper, signed, der.children(blob, signed)


def _detached(blob, parts):
    """The ContentInfo of the SignedData parts without its content: what
    openssl verifies with the content given apart (Authenticode's is no
    plain data, so it must be given so; a time stamp's is read out)."""
    kind = der.children(blob, parts[2])[0]
    return der.encode(der.SEQUENCE, SIGNED_DATA + der.encode(0xA0, der.encode(
        der.SEQUENCE, b"".join(der.whole(blob, p) for p in parts[:2]) +
        der.encode(der.SEQUENCE, der.whole(blob, kind)) +
        b"".join(der.whole(blob, p) for p in parts[3:]))))


def _signer_infos(blob, parts):
    last = parts[-1]
    if last.tag != der.SET:
        raise ValueError("no SignerInfos")
    return der.children(blob, last)


def _certificates(blob, parts):
    for part in parts[3:-1]:
        if part.tag == 0xA0:
            return [der.whole(blob, c) for c in der.children(blob, part)]
    return []


def _attributes(blob, item):
    """(type OID bytes, [value items]) of an [n] IMPLICIT SET OF Attribute."""
    found = []
    for attribute in der.children(blob, item):
        kind, values = der.children(blob, attribute)[:2]
        found.append((der.whole(blob, kind), der.children(blob, values)))
    return found


def _cert_names(cert):
    """(issuer DER, serial DER, subject DER) of a certificate."""
    top = der.read(cert, 0)
    tbs = der.children(cert, top)[0]
    fields = der.children(cert, tbs)
    if fields[0].tag == 0xA0:
        fields = fields[1:]
    return der.whole(cert, fields[2]), der.whole(cert, fields[0]), der.whole(cert, fields[4])


def signatures(blob):
    """Every signature of the ContentInfo blob: the primary one first, then
    the nested ones, in order.  ValueError when it is damaged."""
    info, wrapper, signed, parts = _signed_data(blob)
    inner = der.children(blob, parts[2])
    if len(inner) < 2 or inner[1].tag != 0xA0:
        raise ValueError("no signed content")
    indirect = der.read(blob, inner[1].start, inner[1].end)
    # The signer's messageDigest covers the content of SpcIndirectDataContent,
    # without its tag and length.
    signed_content = der.content(blob, indirect)
    digest_info = der.children(blob, indirect)[1]
    algorithm, file_digest = der.children(blob, digest_info)
    name = DIGESTS.get(der.whole(blob, der.children(blob, algorithm)[0]))
    if name is None:
        raise ValueError("a digest this tool does not know")
    detached = _detached(blob, parts)
    certificates = _certificates(blob, parts)
    found = []
    infos = _signer_infos(blob, parts)
    if len(infos) != 1:
        raise ValueError(f"{len(infos)} signers where Authenticode has one")
    fields = der.children(blob, infos[0])
    signer_id = der.children(blob, fields[1])
    issuer, serial = der.whole(blob, signer_id[0]), der.whole(blob, signer_id[1])
    signer = next((c for c in certificates if _cert_names(c)[:2] == (issuer, serial)), None)
    value = next(der.content(blob, f) for f in fields[3:] if f.tag == der.OCTET_STRING)
    stamps, nested = [], []
    for field in fields:
        if field.tag != 0xA1:
            continue
        for kind, values in _attributes(blob, field):
            for v in values:
                if kind == NESTED:
                    nested.append(der.whole(blob, v))
                elif kind == RFC3161:
                    stamps.append(("rfc3161", der.whole(blob, v)))
                elif kind == COUNTER:
                    stamps.append(("counter", der.whole(blob, v)))
    found.append(Signature(name, der.content(blob, file_digest), signed_content, detached,
                           certificates, signer, value, stamps))
    for n in nested:
        found += signatures(n)
    return found


def description(blob):
    """(program name, more-information URL) the primary signature gives
    (its SpcSpOpusInfo): what the elevation prompt names the program by;
    None for either that it does not give."""
    try:
        _, _, _, parts = _signed_data(blob)
        fields = der.children(blob, _signer_infos(blob, parts)[0])
        signed = next((f for f in fields if f.tag == 0xA0), None)
        for kind, values in (_attributes(blob, signed) if signed else []):
            if kind != OPUS or not values:
                continue
            name = url = None
            for part in der.children(blob, values[0]):
                inner = der.read(blob, part.start, part.end)
                text = der.content(blob, inner)
                if part.tag == 0xA0:  # SpcString: [0] BMPString or [1] IA5String
                    name = text.decode("utf-16-be" if inner.tag == 0x80 else "ascii",
                                       "replace")
                elif part.tag == 0xA1 and inner.tag == 0x80:  # SpcLink: [0] its URL
                    url = text.decode("ascii", "replace")
            return name, url
    except (ValueError, IndexError):
        pass
    return None, None


def _pem(certificates):
    return "".join("-----BEGIN CERTIFICATE-----\n" +
                   "\n".join(base64.encodebytes(c).decode("ascii").split()) +
                   "\n-----END CERTIFICATE-----\n" for c in certificates)


def _openssl_verifies(work, name, detached, content, certificates=()):
    """Whether openssl finds the signature of the PKCS#7 detached over
    content intact, the chain not asked for; (ok, what it said)."""
    openssl = need_tool("openssl")
    paths = [os.path.join(work, f"{name}.{kind}") for kind in ("p7", "content", "certs")]
    with open(paths[0], "wb") as f:
        f.write(detached)
    with open(paths[1], "wb") as f:
        f.write(content)
    args = [openssl, "smime", "-verify", "-noverify", "-binary", "-inform", "DER",
            "-in", paths[0], "-content", paths[1], "-out", os.devnull]
    if certificates:
        with open(paths[2], "w", encoding="ascii") as f:
            f.write(_pem(certificates))
        args += ["-certfile", paths[2]]
    status, output = run(args)
    for path in paths:
        if os.path.exists(path):
            os.remove(path)
    reasons = re.findall(r"error:[0-9A-F]+:[^:]*:[^:]*:([^:]+):", output)
    return status == 0, reasons[-1] if reasons else last_lines(output, 2)


def _stamp_intact(work, signature, kind, blob):
    """Whether a time stamp of signature holds: (ok, its imprint's digest
    name or why not)."""
    try:
        if kind == "rfc3161":
            _, _, signed, parts = _signed_data(blob)
            inner = der.children(blob, parts[2])
            octets = der.read(blob, inner[1].start, inner[1].end)
            tst = der.content(blob, octets)
            imprint = der.children(tst, der.read(tst, 0))[2]
            algorithm, hashed = der.children(tst, imprint)
            name = DIGESTS.get(der.whole(tst, der.children(tst, algorithm)[0]))
            ok, said = _openssl_verifies(work, "stamp", _detached(blob, parts), tst)
            expected = der.content(tst, hashed)
        else:
            # A countersignature: a SignerInfo over the signature's value,
            # checked as a SignedData of that value, with the certificates
            # the signature carries.
            info = der.read(blob, 0)
            fields = der.children(blob, info)
            name = DIGESTS.get(der.whole(blob, der.children(blob, fields[2])[0]))
            digest_set = der.encode(der.SET, der.whole(blob, fields[2]))
            detached = der.encode(der.SEQUENCE, SIGNED_DATA + der.encode(0xA0, der.encode(
                der.SEQUENCE, der.encode(der.INTEGER, b"\x01") + digest_set +
                der.encode(der.SEQUENCE, DATA) + der.encode(der.SET, blob))))
            ok, said = _openssl_verifies(work, "stamp", detached, signature.value,
                                         signature.certificates)
            if name is None:
                return False, "a digest this tool does not know"
            return (ok, name) if ok else (False, said)
    except (ValueError, IndexError) as e:
        return False, f"damaged: {e}"
    if name is None:
        return False, "an imprint of a digest this tool does not know"
    if expected != hashlib.new(name, signature.value).digest():
        return False, "its imprint is not of this signature"
    return (ok, name) if ok else (False, said)


def check(data, work):
    """Every signature of the program data and its time stamps, checked for
    being intact; returns the signatures and, for each, the digest names of
    its stamps' imprints.  Refused, in words, where one is not."""
    try:
        blob = table(data)
    except Refused as e:
        raise Refused(f"Setup.exe's signature cannot be read: {e}")
    if blob is None:
        raise Refused("Setup.exe carries no signature")
    try:
        found = signatures(blob)
    except (ValueError, IndexError, StopIteration) as e:
        raise Refused(f"Setup.exe's signature is damaged ({e or 'a part is missing'})")
    stamped = []
    for index, s in enumerate(found):
        which = f"the {s.digest.upper().replace('SHA', 'SHA-')} signature"
        if s.signer is None:
            raise Refused(f"{which} does not carry its signer's certificate: have the signer "
                          f"include it")
        if program_digest(data, s.digest) != s.file_digest:
            raise Refused(f"{which} is not of this Setup.exe: the program was changed after it "
                          f"was signed")
        ok, said = _openssl_verifies(work, f"signature{index}", s.detached, s.signed_content)
        if not ok:
            raise Refused(f"{which} is broken ({said})")
        imprints = []
        for kind, blob_ in s.stamps:
            ok, said = _stamp_intact(work, s, kind, blob_)
            if not ok:
                raise Refused(f"the time stamp of {which} is broken ({said})")
            imprints.append(said)
        stamped.append(imprints)
    return found, stamped


def names(cert_der, work):
    """(subject, issuer) of a certificate, as openssl writes them
    ("/CN=...")."""
    path = os.path.join(work, "name.pem")
    with open(path, "w", encoding="ascii") as f:
        f.write(_pem([cert_der]))
    _, output = run([need_tool("openssl"), "x509", "-in", path, "-noout", "-subject", "-issuer",
                     "-nameopt", "compat"])
    os.remove(path)
    lines = dict(line.split("=", 1) for line in output.splitlines() if "=" in line)
    return lines.get("subject", "?").strip(), lines.get("issuer", "?").strip()


Trust = collections.namedtuple("Trust", "kind signer root")  # kind: trusted, other-root, self


def trust(signature, work):
    """Whom the chain of signature reaches: a root this machine trusts
    ("trusted"), another root ("other-root", named by the root's subject,
    or the issuer the chain ends at), or the signer's own certificate
    ("self")."""
    signer, issuer = names(signature.signer, work)
    chain = [signature.signer]
    while True:
        current = chain[-1]
        cur_issuer, _, cur_subject = _cert_names(current)
        if cur_issuer == cur_subject:
            break
        parent = next((c for c in signature.certificates if c not in chain and
                       _cert_names(c)[2] == cur_issuer), None)
        if parent is None:
            break
        chain.append(parent)
    leaf, untrusted = os.path.join(work, "leaf.pem"), os.path.join(work, "untrusted.pem")
    with open(leaf, "w", encoding="ascii") as f:
        f.write(_pem([signature.signer]))
    with open(untrusted, "w", encoding="ascii") as f:
        f.write(_pem(signature.certificates))
    # openssl's own store: the system's, or the file SSL_CERT_FILE names.
    status, _ = run([need_tool("openssl"), "verify", "-purpose", "any", "-no_check_time",
                     "-untrusted", untrusted, leaf])
    os.remove(leaf)
    os.remove(untrusted)
    top_subject, top_issuer = names(chain[-1], work)
    root = top_subject if top_subject == top_issuer else top_issuer
    if status == 0:
        return Trust("trusted", signer, root)
    if len(chain) == 1 and signer == issuer:
        return Trust("self", signer, signer)
    return Trust("other-root", signer, root)


def with_unsigned(outer, kind, value):
    """The ContentInfo outer with one more unsigned attribute of its
    signer: of type kind (an OID item), holding the item value."""
    info, wrapper, signed, parts = _signed_data(outer)
    infos = _signer_infos(outer, parts)
    fields = der.children(outer, infos[0])
    attribute = der.encode(der.SEQUENCE, kind + der.encode(der.SET, value))
    unsigned = next((f for f in fields if f.tag == 0xA1), None)
    if unsigned is None:
        new_info = der.encode(der.SEQUENCE, der.content(outer, infos[0]) +
                              der.encode(0xA1, attribute))
    else:
        new_info = der.encode(der.SEQUENCE, outer[infos[0].start:unsigned.at] +
                              der.encode(0xA1, der.content(outer, unsigned) + attribute) +
                              outer[unsigned.end:infos[0].end])
    new_signed = der.encode(der.SEQUENCE, outer[signed.start:parts[-1].at] +
                            der.encode(der.SET, new_info))
    return der.encode(der.SEQUENCE, outer[info.start:wrapper.at] + der.encode(0xA0, new_signed))


def nested(outer, inner):
    """The ContentInfo outer with the ContentInfo inner nested into it, as
    signtool's /as nests a second signature."""
    return with_unsigned(outer, NESTED, inner)


def with_table(data, blob):
    """The program data with blob as its one signature (its certificate
    table replaced), the checksum made anew."""
    offset, size = pe.certificate_table(data)
    program = bytearray(data[:offset] if size else data)
    program += bytes(-len(program) % 8)
    entry = bytes(blob) + bytes(-len(blob) % 8)
    table_ = struct.pack("<IHH", 8 + len(entry), WIN_CERT_REVISION_2_0,
                         WIN_CERT_TYPE_PKCS_SIGNED_DATA) + entry
    at = pe.directory_entry(program, pe.SECURITY_DIRECTORY)
    struct.pack_into("<II", program, at, len(program), len(table_))
    return pe.with_checksum(bytes(program) + table_)
