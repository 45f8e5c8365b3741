/*
 * sha256_examples.h - the examples of FIPS 180-4 (and its million "a"),
 * with their digests, for the unit tests and the Wine suites alike.
 */
#ifndef SHA256_EXAMPLES_H
#define SHA256_EXAMPLES_H

#include <string>

static const struct {
    std::string message;
    const char *digest;
} sha256Examples[] = {
    { "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855" },
    { "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad" },
    { "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
      "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1" },
    { std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0" },
};

#endif
