/*
 * pathutil.cpp - path and platform helpers.
 */
#include "install/pathutil.h"
#include "text.h"
#include "ui/assertion.h"

int fPlatformAsked;
int fPlatformWin9x;
OSVERSIONINFOA platformVersion;

int IsWin9x(void)
{
    if (fPlatformAsked)
        return fPlatformWin9x;

    memset(&platformVersion, 0, sizeof(platformVersion));
    platformVersion.dwOSVersionInfoSize = sizeof(platformVersion);
    /* After a failed query that the user continued past, the answer is NT
       (the long names work on every platform), of version 0. */
    if (CHECK_TEXT(395, GetVersionExA(&platformVersion), "GetVersionExA(&verInfo)"))
        fPlatformWin9x = platformVersion.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    else
        memset(&platformVersion, 0, sizeof(platformVersion));
    fPlatformAsked = 1;
    return fPlatformWin9x;
}

const OSVERSIONINFOA *PlatformVersion(void)
{
    IsWin9x();
    return &platformVersion;
}

BOOL OpenFileCanTake(LPCSTR path)
{
    return strlen(path) < OFS_MAXPATHNAME;
}

int FileExists(LPCSTR path)
{
    OFSTRUCT probe;
    DWORD attributes;

    /* Longer paths are asked by their attributes. */
    if (OpenFileCanTake(path))
        return OpenFile(path, &probe, OF_EXIST) != HFILE_ERROR;

    attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

/* Copies the count bytes at src into part, cut to PATH_PART_MAX. */
static void KeepPart(LPSTR part, LPCSTR src, size_t count)
{
    if (count > PATH_PART_MAX)
        count = PATH_PART_MAX;
    memcpy(part, src, count);
    part[count] = '\0';
}

void SplitPath(LPCSTR path, LPSTR nameOut, LPSTR dirOut)
{
    char drive[3], dir[PATH_PART_MAX + 1], base[PATH_PART_MAX + 1], ext[PATH_PART_MAX + 1];
    LPCSTR rest = path, name, lastDot = NULL, p;
    size_t len;

    drive[0] = '\0';
    if (path[0] != '\0' && path[1] == ':') {
        KeepPart(drive, path, 2);
        rest = path + 2;
    }

    name = rest;
    for (p = rest; *p != '\0'; p++) {
        /* A trail byte is never a separator or a dot. */
        if (IsDBCSLeadByte((BYTE)*p) && p[1] != '\0')
            p++;
        else if (*p == '\\' || *p == '/')
            name = p + 1;
        else if (*p == '.')
            lastDot = p;
    }

    KeepPart(dir, rest, (size_t)(name - rest));
    if (lastDot != NULL && lastDot >= name) {
        KeepPart(base, name, (size_t)(lastDot - name));
        KeepPart(ext, lastDot, strlen(lastDot));
    } else {
        KeepPart(base, name, strlen(name));
        ext[0] = '\0';
    }

    /* The path is fully taken apart: the outputs may now overwrite it. */
    if (nameOut != NULL) {
        CopyBounded(nameOut, MAX_PATH, base);
        AppendBounded(nameOut, MAX_PATH, ext);
    }
    if (dirOut != NULL) {
        CopyBounded(dirOut, MAX_PATH, drive);
        AppendBounded(dirOut, MAX_PATH, dir);
        len = strlen(dirOut);
        if (len > 0 && dirOut[len - 1] == '\\')
            dirOut[len - 1] = '\0';
    }
}

LPCSTR LastBackslash(LPCSTR path)
{
    LPCSTR last = NULL, p;

    for (p = path; *p != '\0'; p++) {
        /* A trail byte is never a backslash. */
        if (IsDBCSLeadByte((BYTE)*p) && p[1] != '\0')
            p++;
        else if (*p == '\\')
            last = p;
    }
    return last;
}

BOOL JoinPath(LPSTR buffer, LPCSTR dir, LPCSTR name, BOOL fAvoidDouble)
{
    LPCSTR last = LastBackslash(dir);

    if (fAvoidDouble && last != NULL && last[1] == '\0')
        return FormatBounded(buffer, MAX_PATH, "%s%s", dir, name);
    return FormatBounded(buffer, MAX_PATH, "%s\\%s", dir, name);
}
