"""The resources of a Windows program: read whole (through pefile) as a
tree of (type, name, language) and their data, and written anew, laid out
as Windows' loader and resource functions read them, into the program's
last section, which must be the resource section (the bootstrap's linker
script puts it there).  The section, SizeOfImage, SizeOfInitializedData,
the resource directory's entry and the checksum follow; nothing else of
the program moves.  The same tree gives the same bytes.

Layout (the PE format's resource section): every directory table, breadth
first (types, then each type's names, then each name's languages), each
entry pointing on with its high bit set; then the names of named entries
(a length and UTF-16); then one data entry (RVA, size, code page) per
leaf; then the data, each on an 8-byte boundary.  Named entries come
before numbered ones, each sorted, as Windows' binary search needs.
"""
import struct

from . import Refused, pe

try:
    import pefile
except ImportError:  # said by the callers, with what to do
    pefile = None

RT_ICON, RT_STRING, RT_GROUP_ICON, RT_VERSION = 3, 6, 14, 16
RESOURCE_DIRECTORY = 2
LANG_EN_US = 1033
DIRECTORY_CB, ENTRY_CB, DATA_ENTRY_CB = 16, 8, 16
SUBDIRECTORY = 0x80000000


def _key(name):
    """Names sort before numbers; names by their UTF-16 code units."""
    return (0, name.upper().encode("utf-16-be")) if isinstance(name, str) else (1, name)


def read(data, what="Setup.exe"):
    """The program's resources: {(type, name, language): (data, code page)},
    types and names as numbers or strings."""
    try:
        image = pefile.PE(data=bytes(data), fast_load=True)
        image.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except pefile.PEFormatError as e:
        raise Refused(f"'{what}' is not a Windows program ({e})")
    tree = {}
    root = getattr(image, "DIRECTORY_ENTRY_RESOURCE", None)

    def name_of(entry):
        return entry.id if entry.name is None else entry.name.decode()

    for kind in (root.entries if root else []):
        for name in kind.directory.entries:
            for language in name.directory.entries:
                leaf = language.data.struct
                at = image.get_offset_from_rva(leaf.OffsetToData)
                tree[(name_of(kind), name_of(name), language.id)] = (
                    bytes(data[at:at + leaf.Size]), leaf.CodePage)
    return tree


def layout(tree, rva):
    """The resource section's bytes for tree, its first byte at rva."""
    kinds = {}
    for (kind, name, language), value in tree.items():
        kinds.setdefault(kind, {}).setdefault(name, {})[language] = value
    # The directories, breadth first: (path, its entries' keys).
    directories = [((), sorted(kinds, key=_key))]
    for kind in directories[0][1]:
        directories.append(((kind,), sorted(kinds[kind], key=_key)))
    for kind in directories[0][1]:
        for name in sorted(kinds[kind], key=_key):
            directories.append(((kind, name), sorted(kinds[kind][name], key=_key)))
    at, where = 0, {}
    for path, keys in directories:
        where[path] = at
        at += DIRECTORY_CB + ENTRY_CB * len(keys)
    names = sorted({k for path, keys in directories for k in keys if isinstance(k, str)},
                   key=_key)
    name_at = {}
    for name in names:
        name_at[name] = at
        at += 2 + len(name.encode("utf-16-le"))
    at = (at + 3) & ~3
    leaves = [(kind, name, language) for kind in directories[0][1]
              for name in sorted(kinds[kind], key=_key)
              for language in sorted(kinds[kind][name], key=_key)]
    entry_at = {leaf: at + DATA_ENTRY_CB * i for i, leaf in enumerate(leaves)}
    at += DATA_ENTRY_CB * len(leaves)
    data_at = {}
    for leaf in leaves:
        at = (at + 7) & ~7
        data_at[leaf] = at
        at += len(tree[leaf][0])
    out = bytearray(at)
    for path, keys in directories:
        named = sum(1 for k in keys if isinstance(k, str))
        struct.pack_into("<IIHHHH", out, where[path], 0, 0, 0, 0, named, len(keys) - named)
        for i, key in enumerate(keys):
            ident = (SUBDIRECTORY | name_at[key]) if isinstance(key, str) else key
            child = path + (key,)
            target = (SUBDIRECTORY | where[child]) if child in where else entry_at[child]
            struct.pack_into("<II", out, where[path] + DIRECTORY_CB + ENTRY_CB * i, ident,
                             target)
    for name in names:
        text = name.encode("utf-16-le")
        struct.pack_into("<H", out, name_at[name], len(text) // 2)
        out[name_at[name] + 2:name_at[name] + 2 + len(text)] = text
    for leaf in leaves:
        value, code_page = tree[leaf]
        struct.pack_into("<IIII", out, entry_at[leaf], rva + data_at[leaf], len(value),
                         code_page, 0)
        out[data_at[leaf]:data_at[leaf] + len(value)] = value
    return bytes(out)


def _number(data, at):
    return struct.unpack_from("<I", data, at)[0]


def written(data, tree, what="Setup.exe"):
    """The program data with its resources replaced by tree: its last
    section, the resource section, laid out anew."""
    if pe.certificate_table(data)[1]:
        raise Refused(f"'{what}' is signed: its resources cannot be written without breaking "
                      f"its signature: give the unsigned build")
    header = pe.header(data)
    count = struct.unpack_from("<H", data, header + 6)[0]
    optional = header + 24
    table = optional + struct.unpack_from("<H", data, header + 20)[0]
    entry = pe.directory_entry(data, RESOURCE_DIRECTORY)
    last = table + 40 * (count - 1)
    rva, raw_at = _number(data, last + 12), _number(data, last + 20)
    if count == 0 or entry is None or _number(data, entry) != rva:
        raise Refused(f"'{what}' does not keep its resources in its last section: give a "
                      f"Setup.exe built from these sources")
    file_align, section_align = _number(data, optional + 36), _number(data, optional + 32)
    blob = layout(tree, rva)
    raw = blob + bytes(-len(blob) % file_align)
    out = bytearray(data[:raw_at]) + raw
    old_raw = _number(data, last + 16)
    struct.pack_into("<II", out, last + 8, len(blob), rva)
    struct.pack_into("<I", out, last + 16, len(raw))
    struct.pack_into("<I", out, optional + 8, _number(data, optional + 8) - old_raw + len(raw))
    struct.pack_into("<I", out, optional + 56, (rva + len(blob) + section_align - 1) //
                     section_align * section_align)
    struct.pack_into("<II", out, entry, rva, len(blob))
    return pe.with_checksum(bytes(out))
