/*
 * crt.cpp - the few standard string functions the program uses, for the
 * Windows program, which links no C runtime (see startup.cpp).  The
 * compiler also calls memcpy, memmove and memset for copies of records.
 *
 * This file is built without loop-to-call optimisation, which would turn
 * these loops into calls of themselves, and outside the link-time
 * optimisation, so that the calls the compiler generates find them.
 */
#include <stddef.h>
#include <string.h>

extern "C" {

void *memcpy(void *dst, const void *src, size_t n)
{
    unsigned char *d = (unsigned char *)dst;
    const unsigned char *s = (const unsigned char *)src;
    while (n--)
        *d++ = *s++;
    return dst;
}

void *memmove(void *dst, const void *src, size_t n)
{
    unsigned char *d = (unsigned char *)dst;
    const unsigned char *s = (const unsigned char *)src;
    if (d < s)
        return memcpy(dst, src, n);
    while (n--)
        d[n] = s[n];
    return dst;
}

void *memset(void *dst, int c, size_t n)
{
    unsigned char *d = (unsigned char *)dst;
    while (n--)
        *d++ = (unsigned char)c;
    return dst;
}

int memcmp(const void *a, const void *b, size_t n)
{
    const unsigned char *p = (const unsigned char *)a, *q = (const unsigned char *)b;
    for (; n--; p++, q++)
        if (*p != *q)
            return *p - *q;
    return 0;
}

size_t strlen(const char *s)
{
    const char *p = s;
    while (*p)
        p++;
    return (size_t)(p - s);
}

int strcmp(const char *a, const char *b)
{
    while (*a && *a == *b)
        a++, b++;
    return (unsigned char)*a - (unsigned char)*b;
}

char *strrchr(const char *s, int c)
{
    const char *last = NULL;
    do
        if (*s == (char)c)
            last = s;
    while (*s++);
    return (char *)last;
}

char *strpbrk(const char *s, const char *accept)
{
    for (; *s; s++)
        for (const char *a = accept; *a; a++)
            if (*s == *a)
                return (char *)s;
    return NULL;
}

} // extern "C"
