#!/usr/bin/env python3
"""Draws the program's icon: a box with an arrow pointing into it.

Writes res/bootstrap.ico with two 32x32 images: 16 colours (4 bits per
pixel) and 2 colours (1 bit per pixel).  Run it again after changing the
picture below; the .ico is kept in the repository.
"""
import struct
import sys

# '.' transparent, 'k' black, 'w' white, 'y' dark yellow (box), 'b' blue (arrow)
PICTURE = [
    "................................",
    "..............kkkk..............",
    "..............kbbk..............",
    "..............kbbk..............",
    "..............kbbk..............",
    "..............kbbk..............",
    "..............kbbk..............",
    "..............kbbk..............",
    "..........kkkkkbbkkkkk..........",
    "...........kbbbbbbbbk...........",
    "............kbbbbbbk............",
    ".............kbbbbk.............",
    "..............kbbk..............",
    "...............kk...............",
    "................................",
    "...kkkkkkkkkkkkkkkkkkkkkkkkkk...",
    "...kyyyyyyyyyyyyyyyyyyyyyyyyk...",
    "...kyyyyyyyyyyyyyyyyyyyyyyyyk...",
    "...kkkkkkkkkkkkkkkkkkkkkkkkkk...",
    "....kyyyyyyyyyyyyyyyyyyyyyyk....",
    "....kyyyyyyyyyyyyyyyyyyyyyyk....",
    "....kyyyyyyykkkkkkkkyyyyyyyk....",
    "....kyyyyyyykwwwwwwkyyyyyyyk....",
    "....kyyyyyyykkkkkkkkyyyyyyyk....",
    "....kyyyyyyyyyyyyyyyyyyyyyyk....",
    "....kyyyyyyyyyyyyyyyyyyyyyyk....",
    "....kyyyyyyyyyyyyyyyyyyyyyyk....",
    "....kyyyyyyyyyyyyyyyyyyyyyyk....",
    "....kyyyyyyyyyyyyyyyyyyyyyyk....",
    "....kkkkkkkkkkkkkkkkkkkkkkkk....",
    "................................",
    "................................",
]

# The standard 16-colour palette, as (blue, green, red, 0).
PALETTE16 = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
    (128, 128, 0), (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0),
    (0, 255, 255), (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255),
]  # (red, green, blue)
INDEX16 = {"k": 0, "w": 15, "y": 6, "b": 12, ".": 0}
INDEX2 = {"k": 0, "w": 1, "y": 1, "b": 0, ".": 0}


def rows_bottom_up():
    assert len(PICTURE) == 32 and all(len(r) == 32 for r in PICTURE)
    return list(reversed(PICTURE))


def pack_bits(values, bits):
    out = bytearray()
    per_byte = 8 // bits
    for i in range(0, len(values), per_byte):
        byte = 0
        for v in values[i:i + per_byte]:
            byte = (byte << bits) | v
        out.append(byte)
    while len(out) % 4:
        out.append(0)
    return bytes(out)


def and_mask():
    return b"".join(pack_bits([1 if c == "." else 0 for c in row], 1) for row in rows_bottom_up())


def image(bits, index, palette):
    xor = b"".join(pack_bits([index[c] for c in row], bits) for row in rows_bottom_up())
    mask = and_mask()
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, bits, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    return header + pal + xor + mask


def main(path):
    images = [
        (16, 4, image(4, INDEX16, PALETTE16)),
        (2, 1, image(1, INDEX2, [(0, 0, 0), (255, 255, 255)])),
    ]
    assert len(images[0][2]) == 744 and len(images[1][2]) == 304
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for colours, bits, data in images:
        out += struct.pack("<BBBBHHII", 32, 32, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, data in images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "res/bootstrap.ico")
