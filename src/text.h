/*
 * text.h - bounded text helpers shared by all subsystems.
 *
 * Every write into a fixed buffer of the program goes through one of these,
 * so no text can run past the end of its buffer.  Each returns whether the
 * whole text fitted; a text that did not fit is cut and still terminated,
 * and the caller decides whether a cut text may be used at all.
 */
#ifndef BOOTSTRAP_TEXT_H
#define BOOTSTRAP_TEXT_H

#include "platform.h"

/* printf-style formatting into buffer of cch characters (cch >= 1). */
BOOL FormatBounded(LPSTR buffer, size_t cch, LPCSTR format, ...);
BOOL FormatBoundedV(LPSTR buffer, size_t cch, LPCSTR format, va_list args);

/* Copies src into buffer of cch characters (cch >= 1). */
BOOL CopyBounded(LPSTR buffer, size_t cch, LPCSTR src);

/* Appends src to the text already in buffer of cch characters. */
BOOL AppendBounded(LPSTR buffer, size_t cch, LPCSTR src);

#endif
