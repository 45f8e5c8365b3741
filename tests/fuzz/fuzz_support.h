/*
 * fuzz_support.h - shared by the fuzz targets: a fresh fake machine per
 * input, and a stop that AddressSanitizer reports like any other fault.
 */
#ifndef FUZZ_SUPPORT_H
#define FUZZ_SUPPORT_H

#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "fresh_program.h"

#define FUZZ_REQUIRE(c)                                                                        \
    do {                                                                                       \
        if (!(c)) {                                                                            \
            fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__, #c);        \
            abort();                                                                           \
        }                                                                                      \
    } while (0)

/* Takes the next n bytes of the input, or fewer at its end. */
inline std::string Take(const uint8_t **data, size_t *size, size_t n)
{
    if (n > *size)
        n = *size;
    std::string part((const char *)*data, n);
    *data += n;
    *size -= n;
    return part;
}

inline std::string NoNul(std::string text)
{
    return text.substr(0, text.find('\0'));
}

#endif
