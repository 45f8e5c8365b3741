/*
 * pathutil.h - path and platform helpers of the file installation.
 */
#ifndef BOOTSTRAP_PATHUTIL_H
#define BOOTSTRAP_PATHUTIL_H

#include "platform.h"

/* Longest part of a path that SplitPath keeps (directory, base name or
   extension). */
#define PATH_PART_MAX 255

/* The platform's answer, asked once per process: whether it was asked,
   whether it is the Windows 95/98 family, and what GetVersionExA reported
   (all zero when it failed). */
extern int fPlatformAsked;
extern int fPlatformWin9x;
extern OSVERSIONINFOA platformVersion;

/* 1 on the Windows 95/98 family, else 0.  The platform is asked once, and
   platformVersion holds its answer from then on. */
int IsWin9x(void);

/* What GetVersionExA reported, asked first where it was not yet (all zero
   when it failed). */
const OSVERSIONINFOA *PlatformVersion(void);

/* TRUE when OpenFile can take path: it takes paths of fewer than 128
   characters only, and calls any longer file absent. */
BOOL OpenFileCanTake(LPCSTR path);

/* 1 when the file path exists, else 0 (any failure of the probe is 0). */
int FileExists(LPCSTR path);

/* Cuts path into its file name (nameOut) and its directory (dirOut, without
   a trailing backslash).  Either output may be NULL, and either may be the
   buffer that holds path.  Each output has room for MAX_PATH characters. */
void SplitPath(LPCSTR path, LPSTR nameOut, LPSTR dirOut);

/* The last backslash of path, or NULL; on a double-byte code page the
   second byte of a character is never taken for one. */
LPCSTR LastBackslash(LPCSTR path);

/* Joins dir and name into buffer (MAX_PATH characters) with one backslash
   between them; with fAvoidDouble, a dir that already ends in a backslash
   gets no second one.  FALSE when the whole path does not fit. */
BOOL JoinPath(LPSTR buffer, LPCSTR dir, LPCSTR name, BOOL fAvoidDouble);

#endif
