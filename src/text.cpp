/*
 * text.cpp - bounded text helpers.
 */
#include "text.h"

/* Where formatted text goes: at most cch - 1 characters, then a NUL. */
typedef struct Output {
    LPSTR buffer;
    size_t cch, used;
    BOOL fits;
} Output;

static void Put(Output *out, char c)
{
    if (out->used + 1 < out->cch)
        out->buffer[out->used++] = c;
    else
        out->fits = FALSE;
}

static void PutText(Output *out, LPCSTR text)
{
    if (text == NULL)
        text = "(null)";
    while (*text != '\0')
        Put(out, *text++);
}

static void PutNumber(Output *out, unsigned long value, unsigned base, BOOL fNegative,
                      BOOL fUpper)
{
    /* Enough for 64 bits in decimal and the sign. */
    char digits[24];
    int n = 0;

    do {
        char c = (char)(value % base);
        digits[n++] = (char)(c < 10 ? '0' + c : (fUpper ? 'A' : 'a') + c - 10);
        value /= base;
    } while (value != 0);
    if (fNegative)
        Put(out, '-');
    while (n > 0)
        Put(out, digits[--n]);
}

/*
 * A small printf: %s, %d, %u, %x, %X, %c and %%.  Any other conversion is
 * copied as it stands and consumes no argument.  The program's formats
 * are its own and its string table's, so nothing more is needed.
 */
BOOL FormatBoundedV(LPSTR buffer, size_t cch, LPCSTR format, va_list args)
{
    Output out = { buffer, cch, 0, TRUE };
    LPCSTR p;

    for (p = format; *p != '\0'; p++) {
        if (*p != '%') {
            Put(&out, *p);
            continue;
        }
        switch (p[1]) {
        case 's':
            PutText(&out, va_arg(args, LPCSTR));
            break;
        case 'd': {
            int value = va_arg(args, int);
            unsigned long magnitude = value < 0 ? 0ul - (unsigned long)value : (unsigned long)value;
            PutNumber(&out, magnitude, 10, value < 0, FALSE);
            break;
        }
        case 'u':
            PutNumber(&out, va_arg(args, unsigned), 10, FALSE, FALSE);
            break;
        case 'x':
        case 'X':
            PutNumber(&out, va_arg(args, unsigned), 16, FALSE, p[1] == 'X');
            break;
        case 'c':
            Put(&out, (char)va_arg(args, int));
            break;
        case '%':
            Put(&out, '%');
            break;
        default:
            Put(&out, '%');
            continue;
        }
        p++;
    }
    buffer[out.used] = '\0';
    return out.fits;
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
