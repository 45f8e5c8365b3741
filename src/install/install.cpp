/*
 * install.cpp - version-checked installation of one file.
 *
 * The installation service (VerFindFileA, VerInstallFileA) decides where a
 * file belongs, copies it and expands it when it is LZ-compressed.  On the
 * Windows 95/98 family the service is handed 8.3 names: the target's short
 * name when it exists, otherwise a fresh temporary name that is renamed to
 * the real one after success.
 *
 * The service checks nothing of what it expands: a compressed file cut
 * short, or damaged, comes out shorter or longer, and the service calls it
 * installed.  The compressed file's header says how long its expansion
 * must be; a file that comes out otherwise is a failed installation.
 */
#include "install/install.h"
#include "install/pathutil.h"
#include "resource.h"
#include "text.h"
#include "ui/assertion.h"

#define VIFF_FLAGS_FORCED (VIFF_FORCEINSTALL | VIFF_DONTDELETEOLD)

/* Room for an 8.3 name and its backslash behind szDestDir, which only the
   95/98 family's short and temporary names need. */
#define SHORT_NAME_ROOM 13

/* For each bit of InstallResult, from IR_FILEINUSE (bit 0) to
   IR_CANNOTREADSRC (bit 9): the number of the service's bit. */
static const BYTE versionResultShifts[] = {
    7,  /* VIF_FILEINUSE */
    15, /* VIF_OUTOFMEMORY */
    8,  /* VIF_OUTOFSPACE */
    2,  /* VIF_SRCOLD */
    3,  /* VIF_DIFFLANG */
    4,  /* VIF_DIFFCODEPG */
    17, /* VIF_CANNOTREADDST */
    9,  /* VIF_ACCESSVIOLATION */
    5,  /* VIF_DIFFTYPE */
    16, /* VIF_CANNOTREADSRC */
};

InstallResult MapVersionResult(DWORD r)
{
    InstallResult result = 0;
    size_t i;

    for (i = 0; i < NElems(versionResultShifts); i++)
        if (r >> versionResultShifts[i] & 1)
            result |= (InstallResult)1 << i;
    return result != 0 ? result : IR_OTHER;
}

UINT MessageIdForResult(InstallResult result)
{
    switch (result) {
    case IR_OUTOFMEMORY:
        return IDS_MEMORY_ERROR;
    case IR_OUTOFSPACE:
        return IDS_WRITE_ERROR;
    case IR_DIFFLANG:
    case IR_DIFFCODEPG:
    case IR_DIFFTYPE:
        return IDS_UNKNOWN_VERSION;
    case IR_CANNOTREADSRC:
        return IDS_READ_ERROR;
    case IR_DAMAGEDSRC:
        return IDS_MEDIUM_CHANGED;
    default:
        return IDS_EXPAND_ERROR;
    }
}

InstallResult FindInstallTarget(StringInfo *pStringInfo)
{
    char szWinDir[MAX_PATH];
    DWORD flags, r;

    if (!CHECK(479, pStringInfo))
        return IR_OTHER;

    /* Decided before the Windows directory may fill an empty szAppDir. */
    flags = pStringInfo->szAppDir[0] == '\0' ? VFFF_ISSHAREDFILE : 0;
    pStringInfo->uCurDirLen = MAX_PATH;
    pStringInfo->uDestDirLen = MAX_PATH;

    szWinDir[0] = '\0';
    GetWindowsDirectoryA(szWinDir, NElems(szWinDir));
    szWinDir[MAX_PATH - 1] = '\0';
    if (pStringInfo->szAppDir[0] == '\0')
        CopyBounded(pStringInfo->szAppDir, MAX_PATH, szWinDir);

    r = SysVerFindFileA(flags, pStringInfo->szDestFileName, szWinDir, pStringInfo->szAppDir,
                     pStringInfo->szCurDir, &pStringInfo->uCurDirLen, pStringInfo->szDestDir,
                     &pStringInfo->uDestDirLen);

    /* Only a copy in use where the caller wants the file blocks it. */
    if (r & VFF_FILEINUSE) {
        if (strcmp(pStringInfo->szAppDir, pStringInfo->szCurDir) == 0)
            return IR_FILEINUSE;
        r &= ~(DWORD)VFF_FILEINUSE;
    }
    return (r & VFF_BUFFTOOSMALL) ? IR_BUFFTOOSMALL : 0;
}

InstallResult InstallFromRequest(StringInfo *pStringInfo, BOOL bForceInstall)
{
    UINT uFlags;

    if (!CHECK(539, pStringInfo))
        return IR_OTHER;

    uFlags = bForceInstall ? VIFF_FLAGS_FORCED : VIFF_DONTDELETEOLD;
    pStringInfo->uTmpFileLen = MAX_PATH;
    return VersionInstall(uFlags, pStringInfo->szSrcFileName, pStringInfo->szDestFileName,
                          pStringInfo->szSrcDir, pStringInfo->szDestDir, pStringInfo->szCurDir,
                          pStringInfo->szTmpFile, &pStringInfo->uTmpFileLen);
}

/* Reduces the short path that GetShortPathNameA wrote into buffer to its
   name; a failed or oversized answer leaves the buffer empty. */
static void KeepShortName(LPSTR buffer, DWORD len, BOOL fFits)
{
    if (fFits && len > 0 && len < MAX_PATH)
        SplitPath(buffer, buffer, NULL);
    else
        buffer[0] = '\0';
}

/*
 * The 95/98 family's names: the short source name, and either the existing
 * target's short name or a fresh temporary name (*pfTempName set), each
 * into a buffer of MAX_PATH characters.  Names that cannot be had stay
 * empty, and the long names are used instead.
 */
static void ChooseShortNames(LPCSTR szSrcFileName, LPCSTR szDestFileName, LPCSTR szSrcDir,
                             LPCSTR szDestDir, LPSTR shortSourceName, LPSTR shortTargetName,
                             BOOL *pfTempName)
{
    char longSource[MAX_PATH], longTarget[MAX_PATH];
    DWORD len;
    BOOL fits;

    JoinPath(longSource, szSrcDir, szSrcFileName, TRUE);
    JoinPath(longTarget, szDestDir, szDestFileName, TRUE);

    len = GetShortPathNameA(longSource, shortSourceName, MAX_PATH);
    fits = CHECK_TEXT(613, len <= MAX_PATH, "len <= NElems(shortSourceName)");
    KeepShortName(shortSourceName, len, fits);

    if (FileExists(longTarget)) {
        len = GetShortPathNameA(longTarget, shortTargetName, MAX_PATH);
        fits = CHECK_TEXT(620, len <= MAX_PATH, "len <= NElems(shortTargetName)");
        KeepShortName(shortTargetName, len, fits);
        if (shortTargetName[0] != '\0')
            return;
    }

    if (GetTempFileNameA(szDestDir, "kwi", 0, shortTargetName) == 0) {
        shortTargetName[0] = '\0';
        return;
    }
    /* Only the name is wanted; the service creates the file itself. */
    DeleteFileA(shortTargetName);
    SplitPath(shortTargetName, shortTargetName, NULL);
    *pfTempName = TRUE;
}

/* What a first result of the service comes to: its InstallResult, or a
   forced second call (*pfForceAgain) when it only reports a temporary copy
   or a mismatch; *pfDeleteCopy when it failed and left a temporary copy. */
static InstallResult SettleResult(DWORD r, BOOL *pfForceAgain, BOOL *pfDeleteCopy)
{
    BOOL fTempCopy;

    *pfForceAgain = FALSE;
    *pfDeleteCopy = FALSE;
    if (r & VIF_FILEINUSE)
        return MapVersionResult(r);
    if (r == 0)
        return 0;

    fTempCopy = (r & VIF_TEMPFILE) != 0;
    r &= ~(DWORD)(VIF_MISMATCH | VIF_TEMPFILE);
    if (r == 0) {
        *pfForceAgain = TRUE;
        return 0;
    }
    *pfDeleteCopy = fTempCopy;
    return MapVersionResult(r);
}

/* Gives the file its real name after an install under a short or temporary
   name, or removes the temporary file after a failure.  Returns the result
   of the installation as it now stands: a file that keeps its temporary
   name is not installed, so it is removed and the install fails. */
static InstallResult FinishShortName(InstallResult result, LPCSTR szDestDir,
                                     LPCSTR szDestFileName, LPCSTR shortTargetName,
                                     BOOL fTempName)
{
    char sourceRename[MAX_PATH], targetRename[MAX_PATH];
    BOOL fRenamed;

    JoinPath(sourceRename, szDestDir, shortTargetName, FALSE);
    if (result != 0) {
        if (fTempName)
            DeleteFileA(sourceRename);
        return result;
    }
    if (!FileExists(sourceRename))
        return result;
    if (!CHECK_TEXT(755, szDestFileName[0] != '\0', "Str::Length(szDestFileName)")) {
        fRenamed = FALSE; /* there is no name to rename to */
    } else {
        JoinPath(targetRename, szDestDir, szDestFileName, FALSE);
        /* A target without a short form is there still: the install is
           forced, so the new file replaces it, as the service itself does
           under the long name.  (Renaming never replaces a file.) */
        if (fTempName && FileExists(targetRename))
            DeleteFileA(targetRename);
        fRenamed = CHECK_TEXT(757, MoveFileA(sourceRename, targetRename),
                              "MoveFileA(sourceRename,targetRename)");
    }
    /* The target reached by its short name is in place whatever its name;
       a temporary name that stayed is not: a target held open by another
       program cannot be replaced. */
    if (fRenamed || !fTempName)
        return result;
    DeleteFileA(sourceRename);
    return IR_OTHER;
}

InstallResult VersionInstall(UINT uFlags, LPSTR szSrcFileName, LPSTR szDestFileName,
                             LPSTR szSrcDir, LPSTR szDestDir, LPSTR szCurDir, LPSTR szTmpFile,
                             PUINT lpuTmpFileLen)
{
    char shortSourceName[MAX_PATH], shortTargetName[MAX_PATH], probe[MAX_PATH], tmpCopy[MAX_PATH];
    LPSTR srcName = szSrcFileName, destName = szDestFileName;
    BOOL fTempName = FALSE, fForceAgain, fDeleteCopy, ok;
    InstallResult result;
    DWORD r;

    ok = CHECK(573, szSrcFileName);
    ok = CHECK(574, szDestFileName) && ok;
    ok = CHECK(575, szSrcDir) && ok;
    ok = CHECK(576, szDestDir) && ok;
    ok = CHECK(577, szCurDir) && ok;
    ok = CHECK(578, szTmpFile) && ok;
    ok = CHECK(579, lpuTmpFileLen) && ok;
    if (!ok)
        return IR_OTHER;

    /* Every path built below must fit whole; a cut path is never used.
       The source and target paths bound the rename and the short names. */
    if (!JoinPath(probe, szSrcDir, szSrcFileName, FALSE) ||
        !JoinPath(probe, szDestDir, szDestFileName, FALSE) ||
        (IsWin9x() && strlen(szDestDir) + SHORT_NAME_ROOM >= MAX_PATH))
        return IR_BUFFTOOSMALL;

    shortSourceName[0] = '\0';
    shortTargetName[0] = '\0';
    if (IsWin9x()) {
        ChooseShortNames(szSrcFileName, szDestFileName, szSrcDir, szDestDir, shortSourceName,
                         shortTargetName, &fTempName);
        if (shortTargetName[0] != '\0') {
            destName = shortTargetName;
            if (shortSourceName[0] != '\0')
                srcName = shortSourceName;
        }
    }

    r = SysVerInstallFileA(uFlags, srcName, destName, szSrcDir, szDestDir, szCurDir, szTmpFile,
                           lpuTmpFileLen);
    result = SettleResult(r, &fForceAgain, &fDeleteCopy);
    if (fForceAgain) {
        /* The same names, and the temporary copy the first call left. */
        r = SysVerInstallFileA(VIFF_FLAGS_FORCED, srcName, destName, szSrcDir, szDestDir, szCurDir,
                               szTmpFile, lpuTmpFileLen);
        result = r == 0 ? 0 : MapVersionResult(r);
    }
    /* A cut path could name another file: delete only what fits. */
    if (fDeleteCopy && JoinPath(tmpCopy, szDestDir, szTmpFile, FALSE))
        DeleteFileA(tmpCopy);

    if (IsWin9x() && shortTargetName[0] != '\0')
        result = FinishShortName(result, szDestDir, szDestFileName, shortTargetName, fTempName);
    return result;
}

UINT SourcePromise(const BYTE *head, DWORD cbHead, DWORD cbFile, DWORD *pcbExpanded)
{
    static const BYTE lzSignature[8] = { 'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33 };

    if (cbFile == 0)
        return PROMISE_BROKEN;
    /* Four bytes of the signature or more make a compressed file. */
    if (cbHead < 4 || memcmp(head, lzSignature, cbHead < 8 ? cbHead : 8) != 0)
        return PROMISE_NOTHING;
    if (cbHead < LZ_HEADER_CB)
        return PROMISE_BROKEN;
    *pcbExpanded = head[10] | (DWORD)head[11] << 8 | (DWORD)head[12] << 16 | (DWORD)head[13] << 24;
    return PROMISE_LENGTH;
}

/* The length of file path, and its first *pcbHead bytes into head (*pcbHead
   set to the count read); NO_FILE when it cannot be opened. */
#define NO_FILE 0xFFFFFFFF
static DWORD ReadFileHead(LPCSTR path, BYTE *head, DWORD *pcbHead)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    DWORD cbFile;

    if (h == INVALID_HANDLE_VALUE)
        return NO_FILE;
    cbFile = GetFileSize(h, NULL);
    if (!ReadFile(h, head, *pcbHead, pcbHead, NULL))
        *pcbHead = 0;
    CloseHandle(h);
    return cbFile;
}

/* What the source szSourceFile promises; a file that cannot be opened
   promises nothing, and the service reports it. */
static UINT ReadSourcePromise(LPCSTR szSourceFile, DWORD *pcbExpanded)
{
    BYTE head[LZ_HEADER_CB]; /* the header alone: the read is bounded by it */
    DWORD cbHead = sizeof(head), cbFile = ReadFileHead(szSourceFile, head, &cbHead);

    if (cbFile == NO_FILE)
        return PROMISE_NOTHING;
    return SourcePromise(head, cbHead, cbFile, pcbExpanded);
}

/* Whether the file the service installed is cbExpanded bytes long.  One
   that cannot be opened any more cannot be checked, and stands. */
static InstallResult CheckInstalledLength(const StringInfo *pStringInfo, DWORD cbExpanded)
{
    char szInstalled[MAX_PATH];
    BYTE head[1];
    DWORD cbHead = 0, cbFile;

    if (!JoinPath(szInstalled, pStringInfo->szDestDir, pStringInfo->szDestFileName, FALSE))
        return 0;
    cbFile = ReadFileHead(szInstalled, head, &cbHead);
    return cbFile == cbExpanded || cbFile == NO_FILE ? 0 : IR_DAMAGEDSRC;
}

InstallResult InstallFile(LPCSTR szSourceFile, LPCSTR szDestFile, BOOL bForceInstall)
{
    StringInfo *pStringInfo;
    InstallResult result;
    UINT promise;
    DWORD cbExpanded = 0;

    if (!CHECK(447, szSourceFile))
        return IR_NOSRCNAME;

    pStringInfo = (StringInfo *)GlobalAlloc(GPTR, sizeof(StringInfo));
    if (pStringInfo == NULL)
        return IR_OUTOFMEMORY;

    SplitPath(szSourceFile, pStringInfo->szSrcFileName, pStringInfo->szSrcDir);
    SplitPath(szDestFile, pStringInfo->szDestFileName, pStringInfo->szAppDir);

    if (pStringInfo->szSrcFileName[0] == '\0') {
        result = IR_NOSRCNAME;
    } else if ((promise = ReadSourcePromise(szSourceFile, &cbExpanded)) == PROMISE_BROKEN) {
        result = IR_DAMAGEDSRC; /* nothing installed */
    } else {
        result = FindInstallTarget(pStringInfo);
        if (result == 0)
            result = InstallFromRequest(pStringInfo, bForceInstall);
        if (result == 0 && promise == PROMISE_LENGTH)
            result = CheckInstalledLength(pStringInfo, cbExpanded);
    }

    GlobalFree(pStringInfo);
    return result;
}
