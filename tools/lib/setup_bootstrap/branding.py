"""The publisher's product on Setup.exe: its version information (what
Explorer's Details tab shows, and the elevation prompt where the signature
names no program), its icon (the file's, the taskbar's and the disc's),
and whom the assertion report asks the user to contact.  Each value is
checked before anything is written and refused in words where it cannot
be stored as it is.  The resources are written by resources.written.

The version information is one VS_VERSIONINFO (type 16, id 1, language
1033): the fixed part (VS_FIXEDFILEINFO) and one string table, "040904B0"
(U.S. English, Unicode), with its translation 0x0409 1200.  An icon file
(.ico) is a directory of images, each a BMP (a DIB without its file
header) or a PNG; they become the program's icons (type 3, ids 1 to n) and
icon group 1 (type 14), whose entries name them.
"""
import dataclasses
import re
import struct
import time

from . import Refused, resources

VERSION_ID, ICON_GROUP_ID = 1, 1
STRING_BLOCK_REPORT, REPORT_FORMAT = 2049 // 16 + 1, 2049
REPORT_LINE = "Please note this information and contact {}."
# The assertion report is formatted into 500 characters (src/ui/assertion.h);
# its format must leave room for the file, the line and the expression.
REPORT_ROOM = 500 - 200
MAX_VALUE = 260
FIXED_SIGNATURE, FIXED_VERSION = 0xFEEF04BD, 0x00010000
VOS_NT_WINDOWS32, VFT_APP = 0x00040004, 1
PNG = b"\x89PNG\r\n\x1a\n"


@dataclasses.dataclass
class Brand:
    """What the publisher gave; None where nothing was given."""
    product: str = None
    company: str = None
    copyright: str = None
    version: str = None
    icon: str = None
    url: str = None
    support: str = None
    year: int = None

    def any(self):
        return any(v is not None for k, v in dataclasses.asdict(self).items() if k != "year")

    def has_version_information(self):
        return any(v is not None for v in (self.product, self.company, self.copyright,
                                           self.version))


def _text(option, value, longest=MAX_VALUE):
    if any(ord(c) < 0x20 or 0x7F <= ord(c) < 0xA0 for c in value):
        raise Refused(f"{option} '{value}' holds a control character (a line break, a tab?): "
                      f"give the text on one line, without them")
    if not value.strip():
        raise Refused(f"{option} is empty: give the text, or leave the option out")
    if len(value) > longest:
        raise Refused(f"{option} is {len(value)} characters long: the version information "
                      f"holds {longest} at most; give a shorter text")
    try:
        value.encode("utf-16-le")
    except UnicodeError:
        raise Refused(f"{option} holds bytes that are no text in this terminal's encoding: "
                      f"give it in UTF-8")
    return value


def version_numbers(text):
    """The four 16-bit numbers of A[.B[.C[.D]]]; Refused otherwise."""
    parts = text.split(".")
    if not 1 <= len(parts) <= 4 or not all(re.fullmatch(r"[0-9]+", p) for p in parts):
        raise Refused(f"--product-version '{text}' is not A[.B[.C[.D]]] (up to four numbers "
                      f"with dots between): give one such as 2.1 or 2.1.0.17")
    numbers = [int(p) for p in parts]
    for part, n in zip(parts, numbers):
        if n > 0xFFFF:
            raise Refused(f"--product-version '{text}': {part} is more than 65535, the most "
                          f"each part of a Windows version holds: give a smaller one")
    return numbers + [0] * (4 - len(numbers))


def checked(brand):
    """brand with each value checked, the copyright made where --company
    gives it; Refused, in words, otherwise."""
    for name in ("product", "company", "copyright", "url", "support"):
        value = getattr(brand, name)
        if value is not None:
            # The report's contact has a room of its own, checked below.
            _text("--" + name, value, REPORT_ROOM if name == "support" else MAX_VALUE)
    if brand.version is not None:
        version_numbers(brand.version)
    if brand.url is not None and not re.match(r"https?://[^\s]+\Z", brand.url):
        raise Refused(f"--url '{brand.url}' is no http:// or https:// URL: give the address "
                      f"of your product's page")
    if brand.support is not None and len(report_format(brand.support)) > REPORT_ROOM:
        raise Refused(f"--support is {len(brand.support)} characters long: the assertion "
                      f"report leaves room for {REPORT_ROOM - len(report_format(''))} "
                      f"at most; give a shorter text")
    if brand.icon is not None:
        icon_images(brand.icon)
    if brand.copyright is None and brand.company is not None:
        brand = dataclasses.replace(
            brand, copyright=f"Copyright (C) {brand.year or time.gmtime().tm_year} {brand.company}")
    return brand


# The icon file.

def _refuse_icon(path, why):
    raise Refused(f"the icon '{path}' {why}: give a Windows icon file (.ico), as an icon "
                  f"editor or ImageMagick (convert IMAGE -define icon:auto-resize ICON.ico) "
                  f"writes it")


def icon_images(path):
    """The images of the icon file path: a list of (directory entry of 12
    bytes: width, height, colours, reserved, planes, bits per pixel; the
    image's bytes); Refused where it is no icon file or does not hold
    what its directory says."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        raise Refused(f"cannot read the icon '{path}': {e.strerror}")
    if data[:8] == PNG:
        _refuse_icon(path, "is a PNG picture, not an icon file")
    if data[:2] == b"BM":
        _refuse_icon(path, "is a BMP picture, not an icon file")
    if len(data) < 6 or data[:4] != b"\0\0\1\0":
        _refuse_icon(path, "is no icon file (it does not start as one)")
    (count,) = struct.unpack_from("<H", data, 4)
    if count == 0:
        _refuse_icon(path, "holds no image")
    if len(data) < 6 + 16 * count:
        _refuse_icon(path, f"is cut short: its directory of {count} images ends after "
                           f"{len(data)} bytes")
    images = []
    for i in range(count):
        width, height, colours, reserved, planes, bits, size, at = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * i)
        which = f"image {i + 1} ({width or 256}x{height or 256})"
        if at + size > len(data) or size < 8:
            _refuse_icon(path, f"is cut short or damaged: {which} is said to lie at bytes "
                               f"{at} to {at + size}, and the file has {len(data)}")
        if at < 6 + 16 * count:
            _refuse_icon(path, f"is damaged: {which} is said to lie inside the directory")
        image = data[at:at + size]
        if image[:8] == PNG:
            if len(image) < 24 or image[12:16] != b"IHDR":
                _refuse_icon(path, f"is damaged: {which} is a PNG without its header")
            real = struct.unpack(">II", image[16:24])
        else:
            header, bmp_width, bmp_height = struct.unpack_from("<Iii", image, 0) \
                if len(image) >= 12 else (0, 0, 0)
            if header not in (40, 108, 124):
                _refuse_icon(path, f"is damaged: {which} is neither a PNG nor a bitmap")
            real = (bmp_width, bmp_height // 2)
        if real != (width or 256, height or 256):
            _refuse_icon(path, f"is damaged: {which} holds an image of {real[0]}x{real[1]}")
        if not 16 <= real[0] <= 256 or not 16 <= real[1] <= 256:
            _refuse_icon(path, f"holds {which}: Windows takes icons of 16 to 256 pixels")
        images.append((data[6 + 16 * i:6 + 16 * i + 8], image))
    return images


# The resources.

def _block(key, value, kind, children=b""):
    """One block of VS_VERSIONINFO: its length, its value's length (in
    WCHARs for text, bytes otherwise), its kind (1 text, 0 binary), its
    key, padding to 32 bits, the value, padding, the children."""
    head_key = key.encode("utf-16-le") + b"\0\0"
    if kind == 1 and value is not None:
        raw = value.encode("utf-16-le") + b"\0\0"
        value_length = len(raw) // 2
    else:
        raw = value or b""
        value_length = len(raw)
    body = head_key
    body += bytes(-(6 + len(body)) % 4)
    body += raw
    body += bytes(-(6 + len(body)) % 4) if children else b""
    body += children
    if 6 + len(body) > 0xFFFF:
        raise Refused("the version information would be longer than Windows reads (64 KiB): "
                      "give shorter texts")
    return struct.pack("<HHH", 6 + len(body), value_length, kind) + body


def _padded(block):
    return block + bytes(-len(block) % 4)


def version_resource(brand):
    """The VS_VERSIONINFO of brand."""
    numbers = version_numbers(brand.version) if brand.version else [0, 0, 0, 0]
    ms, ls = numbers[0] << 16 | numbers[1], numbers[2] << 16 | numbers[3]
    fixed = struct.pack("<13I", FIXED_SIGNATURE, FIXED_VERSION, ms, ls, ms, ls, 0x3F, 0,
                        VOS_NT_WINDOWS32, VFT_APP, 0, 0, 0)
    strings = [("CompanyName", brand.company), ("FileDescription", brand.product),
               ("FileVersion", brand.version), ("InternalName", "Setup"),
               ("LegalCopyright", brand.copyright), ("OriginalFilename", "Setup.exe"),
               ("ProductName", brand.product), ("ProductVersion", brand.version)]
    table = b"".join(_padded(_block(k, v, 1)) for k, v in strings if v is not None)
    string_info = _block("StringFileInfo", None, 1, _padded(_block("040904B0", None, 1, table)))
    var_info = _block("VarFileInfo", None, 1,
                      _padded(_block("Translation", struct.pack("<HH", 0x0409, 1200), 0)))
    return _block("VS_VERSION_INFO", fixed, 0, _padded(string_info) + var_info)


def report_format(support):
    """The assertion report's format naming support (a % in it doubled:
    the text is a format)."""
    return ("File: %s, Line#: %d\nAssert( %s );\n" +
            REPORT_LINE.format(support.replace("%", "%%")) + "\n\nDo you want to continue?")


def _with_string(block, index, text):
    """The string table block with its index-th string (0 to 15) set."""
    strings, at = [], 0
    for _ in range(16):
        (n,) = struct.unpack_from("<H", block, at)
        strings.append(block[at + 2:at + 2 + 2 * n])
        at += 2 + 2 * n
    strings[index] = text.encode("utf-16-le")
    return b"".join(struct.pack("<H", len(s) // 2) + s for s in strings)


def applied(data, brand, what="Setup.exe"):
    """The program data carrying brand (checked); data itself when brand
    gives nothing that lies in the program."""
    if not (brand.has_version_information() or brand.icon or brand.support):
        return data
    tree = resources.read(data, what)
    language = resources.LANG_EN_US
    if brand.has_version_information():
        tree = {k: v for k, v in tree.items() if k[0] != resources.RT_VERSION}
        tree[(resources.RT_VERSION, VERSION_ID, language)] = (version_resource(brand), 0)
    if brand.icon:
        tree = {k: v for k, v in tree.items()
                if k[0] not in (resources.RT_ICON, resources.RT_GROUP_ICON)}
        images = icon_images(brand.icon)
        group = struct.pack("<HHH", 0, 1, len(images))
        for number, (entry, image) in enumerate(images, 1):
            tree[(resources.RT_ICON, number, language)] = (image, 0)
            group += entry + struct.pack("<IH", len(image), number)
        tree[(resources.RT_GROUP_ICON, ICON_GROUP_ID, language)] = (group, 0)
    if brand.support:
        key = (resources.RT_STRING, STRING_BLOCK_REPORT, language)
        if key not in tree:
            raise Refused(f"'{what}' has no assertion report to name --support in: give a "
                          f"Setup.exe built from these sources")
        block, code_page = tree[key]
        tree[key] = (_with_string(block, REPORT_FORMAT % 16, report_format(brand.support)),
                     code_page)
    return resources.written(data, tree, what)


def version_strings(data):
    """The strings of a program's version information (its first string
    table), read by pefile: {"ProductName": ..., ...}; {} without one."""
    try:
        image = resources.pefile.PE(data=bytes(data), fast_load=True)
        image.parse_data_directories(directories=[
            resources.pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except resources.pefile.PEFormatError:
        return {}
    found = {}
    for info in getattr(image, "FileInfo", None) or []:
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                for key, value in table.entries.items():
                    found.setdefault(key.decode("utf-8", "replace"),
                                     value.decode("utf-8", "replace"))
    return found


BRANDED = (resources.RT_VERSION, resources.RT_ICON, resources.RT_GROUP_ICON)


def carried(data, what="Setup.exe"):
    """What a program carries of a brand, as resources: its version
    information, its icons, its report's string block."""
    return {k: v for k, v in resources.read(data, what).items()
            if k[0] in BRANDED or k[:2] == (resources.RT_STRING, STRING_BLOCK_REPORT)}


def rebranded(built, branded, what="Setup.exe"):
    """The build built carrying what branded carries of a brand: the same
    bytes as branded where branded was made from this build."""
    brand = carried(branded, what)
    if brand == carried(built, what):
        return built
    tree = {k: v for k, v in resources.read(built, what).items()
            if k[0] not in BRANDED and k[:2] != (resources.RT_STRING, STRING_BLOCK_REPORT)}
    tree.update(brand)
    return resources.written(built, tree, what)
