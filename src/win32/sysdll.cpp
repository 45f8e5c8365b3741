/*
 * sysdll.cpp - SysVerFindFileA and SysVerInstallFileA: the version-checked
 * installation service, from the system directory only.
 *
 * A DLL that a program imports is looked for first in the program's own
 * folder.  A medium copied into a download folder may have a VERSION.DLL
 * planted beside it, which would run with the rights the bootstrap needs to
 * write into the Windows directory.  KERNEL32 and USER32 are always taken
 * from the system, but VERSION is not on every Windows, so the program does
 * not import it: it loads it by its full path in the system directory, with
 * LOAD_WITH_ALTERED_SEARCH_PATH so that the DLLs VERSION.DLL needs in turn
 * (LZ32.DLL on older releases) are looked for beside it, in the system
 * directory, too.  This works alike from Windows 95 and NT 3.51 to today's
 * Windows, unlike SetDefaultDllDirectories, which older releases lack.
 */
#include "platform.h"
#include "text.h"

/* The same signatures as the program's own declarations in platform.h. */
typedef decltype(&SysVerFindFileA) VerFindFileProc;
typedef decltype(&SysVerInstallFileA) VerInstallFileProc;

/* The address of a function of VERSION.DLL, or NULL.  Returned as a plain
   pointer: the callers know each function's type. */
static void *VersionProc(LPCSTR name)
{
    static HMODULE hVersion;
    static BOOL fLoaded;
    char path[MAX_PATH];
    UINT len;

    if (!fLoaded) {
        fLoaded = TRUE;
        len = GetSystemDirectoryA(path, NElems(path));
        if (len > 0 && len < NElems(path) &&
            AppendBounded(path, NElems(path), "\\VERSION.DLL"))
            hVersion = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return hVersion != NULL ? (void *)GetProcAddress(hVersion, name) : NULL;
}

/* Without the service nothing can be looked up or installed; the failures
   lead to the "error expanding a file" message. */
DWORD WINAPI SysVerFindFileA(DWORD uFlags, LPSTR szFileName, LPSTR szWinDir, LPSTR szAppDir,
                             LPSTR szCurDir, PUINT lpuCurDirLen, LPSTR szDestDir,
                             PUINT lpuDestDirLen)
{
    VerFindFileProc proc = (VerFindFileProc)VersionProc("VerFindFileA");
    if (proc == NULL)
        return VFF_BUFFTOOSMALL;
    return proc(uFlags, szFileName, szWinDir, szAppDir, szCurDir, lpuCurDirLen, szDestDir,
                lpuDestDirLen);
}

DWORD WINAPI SysVerInstallFileA(DWORD uFlags, LPSTR szSrcFileName, LPSTR szDestFileName,
                                LPSTR szSrcDir, LPSTR szDestDir, LPSTR szCurDir, LPSTR szTmpFile,
                                PUINT lpuTmpFileLen)
{
    VerInstallFileProc proc = (VerInstallFileProc)VersionProc("VerInstallFileA");
    if (proc == NULL)
        return VIF_CANNOTCREATE;
    return proc(uFlags, szSrcFileName, szDestFileName, szSrcDir, szDestDir, szCurDir, szTmpFile,
                lpuTmpFileLen);
}
