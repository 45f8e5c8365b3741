"""The resource writer and the brand: a program's resources written anew
read back the same by pefile, named ones too; a program's image grows
with them and nothing else moves; without a brand the bytes stay the
build's; a brand carried over to a fresh build gives the branded bytes.

    python3 -m unittest discover -s tests/tools
"""
import os
import struct
import sys
import tempfile
import unittest

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(TOP, "tools", "lib"))
from setup_bootstrap import Refused, branding, pe, resources  # noqa: E402

PROGRAM = os.path.join(TOP, "build", "release-x86", "Setup.exe")


def program():
    with open(PROGRAM, "rb") as f:
        return f.read()


def headers(data):
    """The section table and SizeOfImage, read by pefile."""
    image = resources.pefile.PE(data=data, fast_load=True)
    return ([(s.Name, s.VirtualAddress, s.Misc_VirtualSize, s.PointerToRawData, s.SizeOfRawData)
             for s in image.sections], image.OPTIONAL_HEADER.SizeOfImage,
            image.OPTIONAL_HEADER.CheckSum == image.generate_checksum())


@unittest.skipUnless(os.path.isfile(PROGRAM) and resources.pefile, "needs the release build")
class Resources(unittest.TestCase):
    def test_written_anew_reads_back_the_same(self):
        data = program()
        tree = resources.read(data)
        cases = (
            ("as built", tree),
            ("a named type and a named resource, among numbered ones",
             {**tree, ("MYTYPE", "Second", 0): (b"two", 0), ("MYTYPE", "first", 1033):
              (b"one", 1252), (10, "NAMED", 1033): (b"x" * 5000, 0)}),
            ("a resource grown past a page", {**tree, (10, 7, 1033): (bytes(70000), 0)}),
        )
        for name, given in cases:
            with self.subTest(name):
                written = resources.written(data, given)
                self.assertEqual(resources.read(written), given)
                sections, size, checksum = headers(written)
                before, _, _ = headers(data)
                self.assertEqual(sections[:-1], before[:-1])  # nothing but the last moves
                self.assertEqual(sections[-1][0], b".rsrc\0\0\0")
                self.assertEqual(size, (sections[-1][1] + sections[-1][2] + 0xFFF) // 0x1000 * 0x1000)
                self.assertTrue(checksum)
                self.assertEqual(len(written), sections[-1][3] + sections[-1][4])

    def test_a_signed_program_and_one_with_resources_elsewhere_refused(self):
        data = bytearray(program())
        signed = bytes(data) + bytes(8)
        entry = pe.directory_entry(signed, pe.SECURITY_DIRECTORY)
        signed = bytearray(signed)
        struct.pack_into("<II", signed, entry, len(data), 8)
        with self.assertRaisesRegex(Refused, "is signed"):
            resources.written(bytes(signed), {})
        entry = pe.directory_entry(data, resources.RESOURCE_DIRECTORY)
        struct.pack_into("<I", data, entry, 0x1000)
        with self.assertRaisesRegex(Refused, "does not keep its resources in its last section"):
            resources.written(bytes(data), {})


@unittest.skipUnless(os.path.isfile(PROGRAM) and resources.pefile, "needs the release build")
class Brand(unittest.TestCase):
    def icon(self):
        """An icon file of one 16x16 bitmap."""
        image = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 32, 0, 0, 0, 0, 0, 0) + \
            bytes(16 * 16 * 4) + bytes(16 * 4)
        path = os.path.join(tempfile.mkdtemp(), "one.ico")
        with open(path, "wb") as f:
            f.write(struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32,
                                                              len(image), 22) + image)
        self.addCleanup(os.remove, path)
        return path

    def test_without_a_brand_the_build_and_carried_over_the_same_bytes(self):
        data = program()
        self.assertIs(branding.applied(data, branding.Brand()), data)
        self.assertIs(branding.applied(data, branding.Brand(url="https://example.com")), data)
        for brand in (branding.Brand(product="Writer"), branding.Brand(support="Us"),
                      branding.Brand(icon=self.icon(), version="1.2.3.4", company="Ünï Ltd")):
            with self.subTest(brand=brand):
                branded = branding.applied(data, branding.checked(brand))
                self.assertNotEqual(branded, data)
                self.assertEqual(branding.rebranded(data, branded), branded)
                self.assertEqual(branding.rebranded(data, data), data)


if __name__ == "__main__":
    unittest.main()
