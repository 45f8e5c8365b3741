"""The medium builder's reading of Authenticode signatures: what is intact
and what is not, whoever issued the certificates (a program changed after
signing, a broken signature, a time stamp of the older kind, a
countersignature, sound and broken, a signature nested here); and whom a
chain reaches: a root of openssl's store, another root, the signer itself.

    python3 -m unittest discover -s tests/tools
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from unittest import mock

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(TOP, "tools", "lib"))
from setup_bootstrap import Refused, authenticode, der  # noqa: E402

PROGRAM = os.path.join(TOP, "build", "release-x86", "standin.exe")


def openssl(*args, cwd):
    subprocess.run(["openssl"] + list(args), cwd=cwd, check=True, capture_output=True)


def certificate(folder, name, issuer, usage):
    """folder/name.pem and .key: issued by issuer (None: itself), with the
    extended key usage usage."""
    if issuer is None:
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                f"/CN=Test {name}", "-addext", f"extendedKeyUsage={usage}", "-addext",
                "basicConstraints=critical,CA:true", "-keyout", f"{name}.key",
                "-out", f"{name}.pem", cwd=folder)
        return
    openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-subj", f"/CN=Test {name}",
            "-keyout", f"{name}.key", "-out", f"{name}.csr", cwd=folder)
    with open(os.path.join(folder, f"{name}.ext"), "w") as f:
        f.write(f"extendedKeyUsage={usage}\n")
    openssl("x509", "-req", "-in", f"{name}.csr", "-CA", f"{issuer}.pem", "-CAkey",
            f"{issuer}.key", "-CAcreateserial", "-days", "2", "-extfile", f"{name}.ext",
            "-out", f"{name}.pem", cwd=folder)


@unittest.skipUnless(os.path.isfile(PROGRAM) and shutil.which("osslsigncode"),
                     "needs the release build and osslsigncode")
class Signatures(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp()
        for name, issuer, usage in (("root", None, "codeSigning"),
                                    ("signer", "root", "codeSigning"),
                                    ("stamper", "root", "critical,timeStamping"),
                                    ("self", None, "codeSigning")):
            certificate(cls.folder, name, issuer, usage)
        cls.signed = cls.sign("signer", "sha256", ["-ac", "stamper.pem"])
        cls.sha1 = cls.sign("signer", "sha1", [])
        cls.self_signed = cls.sign("self", "sha256", [])

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder)

    @classmethod
    def sign(cls, name, digest, more):
        out = os.path.join(cls.folder, f"{name}-{digest}.exe")
        subprocess.run(["osslsigncode", "sign", "-certs", f"{name}.pem", "-key", f"{name}.key",
                        "-h", digest, "-in", PROGRAM, "-out", out] + more,
                       cwd=cls.folder, check=True, capture_output=True)
        with open(out, "rb") as f:
            return f.read()

    def unsigned(self):
        with open(PROGRAM, "rb") as f:
            return f.read()

    def check(self, data):
        return authenticode.check(data, self.folder)

    def countersigned(self, data, digest="sha256"):
        """data with a countersignature, as the older time stamps are: the
        stamper's signature over the signature's value."""
        blob = authenticode.table(data)
        value = os.path.join(self.folder, "value")
        with open(value, "wb") as f:
            f.write(authenticode.signatures(blob)[0].value)
        openssl("smime", "-sign", "-binary", "-md", digest, "-in", "value", "-signer",
                "stamper.pem", "-inkey", "stamper.key", "-outform", "DER", "-out", "counter",
                cwd=self.folder)
        with open(os.path.join(self.folder, "counter"), "rb") as f:
            counter = f.read()
        _, _, _, parts = authenticode._signed_data(counter)
        signer_info = der.whole(counter, authenticode._signer_infos(counter, parts)[0])
        return authenticode.with_table(data, authenticode.with_unsigned(
            blob, authenticode.COUNTER, signer_info))

    def test_intact_and_broken(self):
        signed = self.signed
        blob = authenticode.table(signed)
        value = authenticode.signatures(blob)[0].value
        at = signed.index(value)
        counter = self.countersigned(signed)
        counter_value = authenticode.signatures(authenticode.table(counter))[0].stamps[0][1]
        cases = (
            ("a sound signature", signed, [[]]),
            ("a SHA-1 signature with a SHA-256 one nested here",
             authenticode.with_table(self.sha1, authenticode.nested(
                 authenticode.table(self.sha1), blob)), [[], []]),
            ("a program byte changed after signing", signed[:1000] + bytes([signed[1000] ^ 1]) +
             signed[1001:], "the SHA-256 signature is not of this Setup.exe: the program was "
                            "changed after it was signed"),
            ("the signer's signature changed", signed[:at + 9] + bytes([signed[at + 9] ^ 1]) +
             signed[at + 10:], "the SHA-256 signature is broken (signature failure)"),
            ("a countersignature", counter, [["sha256"]]),
            ("a countersignature changed", counter.replace(
                counter_value[-20:], counter_value[-20:-1] + bytes([counter_value[-1] ^ 1])),
             "the time stamp of the SHA-256 signature is broken (signature failure)"),
            ("a table cut short", signed[:-100], "Setup.exe's signature cannot be read: its "
                                                "certificate table reaches past the end of "
                                                "the file"),
            ("no signature", self.unsigned(), "Setup.exe carries no signature"),
        )
        for name, data, expected in cases:
            with self.subTest(name):
                if isinstance(expected, str):
                    with self.assertRaises(Refused) as refused:
                        self.check(data)
                    self.assertEqual(str(refused.exception), expected)
                else:
                    found, stamps = self.check(data)
                    self.assertEqual(stamps, expected)

    def test_whom_the_chain_reaches(self):
        root = os.path.join(self.folder, "root.pem")
        empty = os.path.join(self.folder, "empty.pem")
        open(empty, "w").close()
        cases = (
            ("a root of the store", self.signed, root, ("trusted", "/CN=Test root")),
            ("a root this machine does not know", self.signed, empty,
             ("other-root", "/CN=Test root")),
            ("a certificate that signed itself", self.self_signed, root, ("self", "/CN=Test self")),
        )
        for name, data, store, (kind, named) in cases:
            with self.subTest(name), mock.patch.dict(os.environ, {"SSL_CERT_FILE": store}):
                trust = authenticode.trust(self.check(data)[0][0], self.folder)
                self.assertEqual((trust.kind, trust.root), (kind, named))


if __name__ == "__main__":
    unittest.main()
