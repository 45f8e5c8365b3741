"""What a medium's Setup.exe shows of the publisher's product, as Windows
shows it: its icon (the largest image, as PNG), the version information
(product, company, version, copyright), and what the elevation prompt
would say: the program's name (the signature's description, else the
FileDescription, else the file's name) and the publisher (the signer's
name where its chain reaches a root of the system's store or
SSL_CERT_FILE, else "Unknown publisher"); and whether the setup program is
signed, which anti-virus products and attack-surface rules look at.
"""
import os
import struct
import subprocess

from .. import Refused, authenticode, branding, pe, resources

UNKNOWN = "Unknown publisher"


def _common_name(subject):
    """The CN of an openssl subject ("/C=GB/O=Example Ltd/CN=Example
    Ltd"), as Windows names a publisher; the subject where it has none."""
    parts = [p for p in subject.split("/") if p.startswith("CN=")]
    return parts[-1][3:] if parts else subject


def icon_png(data, path):
    """The largest image of the program's icon group 1 as a PNG at path;
    False where it has none (or ImageMagick cannot read it)."""
    tree = resources.read(data)
    group = next((v for (kind, name, _), (v, _) in sorted(tree.items(), key=str)
                  if kind == resources.RT_GROUP_ICON and name == branding.ICON_GROUP_ID), None)
    if group is None or len(group) < 6:
        return False
    (count,) = struct.unpack_from("<H", group, 4)
    best = None
    for i in range(count):
        entry = group[6 + 14 * i:6 + 14 * i + 14]
        if len(entry) < 14:
            break
        width = entry[0] or 256
        number = struct.unpack_from("<H", entry, 12)[0]
        image = next((v for (kind, name, _), (v, _) in tree.items()
                      if kind == resources.RT_ICON and name == number), None)
        if image is not None and (best is None or width > best[0]):
            best = (width, entry, image)
    if best is None:
        return False
    _, entry, image = best
    if image[:8] == branding.PNG:
        with open(path, "wb") as f:
            f.write(image)
        return True
    single = path + ".ico"
    with open(single, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1) + entry[:8] + struct.pack("<II", len(image), 22) +
                image)
    done = subprocess.run(["convert", f"ico:{single}", f"png:{path}"], capture_output=True)
    os.remove(single)
    return done.returncode == 0 and os.path.isfile(path)


def panel(setup_data, program_data, work):
    """The product as Windows shows it: a dict as results.json holds it
    under "program" (the icon's picture at work/icon.png)."""
    strings = branding.version_strings(setup_data)
    picture = os.path.join(work, "icon.png")
    found = {"icon": picture if icon_png(setup_data, picture) else None,
             "product": strings.get("ProductName"), "company": strings.get("CompanyName"),
             "version": strings.get("ProductVersion") or strings.get("FileVersion"),
             "copyright": strings.get("LegalCopyright"),
             "prompt_program": None, "prompt_publisher": UNKNOWN, "signed": False,
             "setup_program_signed": None}
    name = None
    blob = authenticode.table(setup_data) if pe.certificate_table(setup_data)[1] else None
    if blob is not None:
        found["signed"] = True
        name, _ = authenticode.description(blob)
        try:
            signatures, _ = authenticode.check(setup_data, work)
            trust = authenticode.trust(signatures[0], work)
            if trust.kind == "trusted":
                found["prompt_publisher"] = _common_name(trust.signer)
        except Refused:
            pass
    found["prompt_program"] = name or strings.get("FileDescription") or "Setup.exe"
    if program_data is not None:
        found["setup_program_signed"] = bool(pe.certificate_table(program_data)[1])
    return found


def lines(found):
    """What the terminal says of it."""
    said = []
    facts = [(k, found[k]) for k in ("product", "company", "version", "copyright") if found[k]]
    said.append("Setup.exe: " + (", ".join(f"{k} {v}" for k, v in facts) if facts else
                                 "no version information") +
                ("; with an icon" if found["icon"] else "; no icon"))
    said.append(f"the elevation prompt would say: Program name: {found['prompt_program']}; "
                + ("Publisher: Unknown" if found["prompt_publisher"] == UNKNOWN else
                   f"Verified publisher: {found['prompt_publisher']}"))
    if found["setup_program_signed"] is not None:
        said.append("your setup program is " + ("signed" if found["setup_program_signed"] else
                                                "not signed"))
    return said
