/*
 * text.cpp - bounded text helpers.
 */
#include "text.h"

BOOL FormatBoundedV(LPSTR buffer, size_t cch, LPCSTR format, va_list args)
{
    int n = vsnprintf(buffer, cch, format, args);
    /* Some C runtimes leave a cut text unterminated; never trust them. */
    buffer[cch - 1] = '\0';
    return n >= 0 && (size_t)n < cch;
}

BOOL FormatBounded(LPSTR buffer, size_t cch, LPCSTR format, ...)
{
    va_list args;
    BOOL fits;

    va_start(args, format);
    fits = FormatBoundedV(buffer, cch, format, args);
    va_end(args);
    return fits;
}

BOOL CopyBounded(LPSTR buffer, size_t cch, LPCSTR src)
{
    size_t len = strlen(src);
    BOOL fits = len < cch;

    if (!fits)
        len = cch - 1;
    memmove(buffer, src, len);
    buffer[len] = '\0';
    return fits;
}

BOOL AppendBounded(LPSTR buffer, size_t cch, LPCSTR src)
{
    size_t used = strlen(buffer);

    if (used >= cch)
        return FALSE;
    return CopyBounded(buffer + used, cch - used, src);
}
