/*
 * sysdll.cpp - system DLLs from the system directory only: the start-up's
 * hardening of the DLL search, the version-checked installation service
 * (SysVerFindFileA, SysVerInstallFileA), the wide-character functions
 * that the 95/98 family lacks and the user's languages.
 *
 * A DLL that a program loads by name is looked for first in the program's
 * own folder.  A medium copied into a download folder may have a DLL
 * planted beside it, which would run with the rights the bootstrap needs
 * to write into the Windows directory.  The DLLs the program imports
 * (KERNEL32, USER32 and what they import) are loaded before its first
 * instruction and are KnownDLLs on the Windows that elevate, always taken
 * from the system.  Against the rest, HardenDllSearch first thing restricts
 * the search of the process to the system directory where the platform
 * offers it (SetDefaultDllDirectories: Windows 8 on, Vista and 7 with
 * KB2533623), looked up at run time, since a program that imports a
 * function Windows 95 lacks does not start there.  Then, for the Windows
 * without it and for loads that do not heed it (Wine's delay-loaded
 * imports), it loads the DLLs that the first window pulls in by name
 * (UXTHEME, DWMAPI through it, and OLE32, which IMM32 delay-loads) by their
 * full path in the system directory, so that a later load by name finds
 * them loaded.  SetDllDirectory is not used: the setup program would
 * inherit it; SetDefaultDllDirectories holds for this process only.
 *
 * VERSION is not on every Windows, so the program does not import it: it is
 * loaded by its full path in the system directory, with
 * LOAD_WITH_ALTERED_SEARCH_PATH so that the DLLs it needs in turn (LZ32.DLL
 * on older releases) are looked for beside it, in the system directory,
 * too.  That works alike from Windows 95 and NT 3.51 to today's Windows.
 */
#include "platform.h"
#include "text.h"

#include "win32/sysdll.h"

/* The same signatures as the program's own declarations in platform.h. */
typedef decltype(&SysVerFindFileA) VerFindFileProc;
typedef decltype(&SysVerInstallFileA) VerInstallFileProc;
typedef decltype(&SysGetModuleFileNameW) GetModuleFileNameWProc;
typedef decltype(&SysGetShortPathNameW) GetShortPathNameWProc;
typedef BOOL(WINAPI *SetDefaultDllDirectoriesProc)(DWORD DirectoryFlags);

#define SEARCH_SYSTEM32 0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */

/* The DLLs the first window loads by name: themes (XP on), desktop
   composition (Vista, 7), and COM for the input method manager. */
static const char *const preloadNames[] = { "\\UXTHEME.DLL", "\\DWMAPI.DLL", "\\OLE32.DLL" };

HMODULE LoadSystemDll(LPCSTR szName)
{
    char path[MAX_PATH];
    UINT len = GetSystemDirectoryA(path, NElems(path));

    /* A name this Windows does not have is not tried: no error box. */
    if (len == 0 || len >= NElems(path) || !AppendBounded(path, NElems(path), szName) ||
        GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return NULL;
    return LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void PreloadSystemDlls(void)
{
    size_t i;

    for (i = 0; i < NElems(preloadNames); i++)
        LoadSystemDll(preloadNames[i]);
}

/* A function of a DLL the program imports (so loaded before its first
   instruction), or NULL where this Windows lacks it.  The module is found
   once, by GetModuleHandleA, which loads and searches nothing.  As a plain
   pointer, as VersionProc's. */
static void *ImportedDllProc(HMODULE *phModule, LPCSTR szDll, LPCSTR name)
{
    if (*phModule == NULL)
        *phModule = GetModuleHandleA(szDll);
    return *phModule != NULL ? (void *)GetProcAddress(*phModule, name) : NULL;
}

static void *KernelProc(LPCSTR name)
{
    static HMODULE hKernel;

    return ImportedDllProc(&hKernel, "KERNEL32.DLL", name);
}

void HardenDllSearch(void)
{
    SetDefaultDllDirectoriesProc setDefault =
        (SetDefaultDllDirectoriesProc)KernelProc("SetDefaultDllDirectories");

    if (setDefault != NULL)
        setDefault(SEARCH_SYSTEM32);
    PreloadSystemDlls();
}

/* The address of a function of VERSION.DLL, or NULL.  Returned as a plain
   pointer: the callers know each function's type. */
static void *VersionProc(LPCSTR name)
{
    static HMODULE hVersion;
    static BOOL fLoaded;

    if (!fLoaded) {
        fLoaded = TRUE;
        hVersion = LoadSystemDll("\\VERSION.DLL");
    }
    return hVersion != NULL ? (void *)GetProcAddress(hVersion, name) : NULL;
}

/* A function of USER32, which the program imports. */
static void *UserProc(LPCSTR name)
{
    static HMODULE hUser;

    return ImportedDllProc(&hUser, "USER32.DLL", name);
}

typedef HWINSTA(WINAPI *GetProcessWindowStationProc)(void);
typedef BOOL(WINAPI *GetUserObjectInformationWProc)(HANDLE hObj, int nIndex, PVOID pvInfo,
                                                    DWORD nLength, LPDWORD lpnLengthNeeded);

BOOL WINAPI SysWindowStationFlags(DWORD *pdwFlags)
{
    GetProcessWindowStationProc getStation =
        (GetProcessWindowStationProc)UserProc("GetProcessWindowStation");
    GetUserObjectInformationWProc getInformation =
        (GetUserObjectInformationWProc)UserProc("GetUserObjectInformationW");
    USEROBJECTFLAGS flags;
    DWORD cbNeeded = 0;
    HWINSTA hStation;

    if (getStation == NULL || getInformation == NULL)
        return FALSE;
    hStation = getStation();
    /* The structure's size bounds what the call writes. */
    if (hStation == NULL ||
        !getInformation(hStation, UOI_FLAGS, &flags, (DWORD)sizeof(flags), &cbNeeded))
        return FALSE;
    *pdwFlags = flags.dwFlags;
    return TRUE;
}

/* The user's languages, and the Unicode calls of a translated text. */
typedef LANGID(WINAPI *LanguageProc)(void);
typedef decltype(&SysMessageBoxW) MessageBoxWProc;
typedef decltype(&SysCreateDialogParamW) CreateDialogParamWProc;
typedef decltype(&SysSetDlgItemTextW) SetDlgItemTextWProc;
typedef decltype(&SysSetDlgItemTextA) SetDlgItemTextAProc;

static LANGID Language(LPCSTR name)
{
    LanguageProc proc = (LanguageProc)KernelProc(name);
    return proc != NULL ? proc() : 0;
}

LANGID WINAPI SysGetUserDefaultUILanguage(void)
{
    return Language("GetUserDefaultUILanguage");
}

LANGID WINAPI SysGetUserDefaultLangID(void)
{
    return Language("GetUserDefaultLangID");
}

int WINAPI SysMessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType)
{
    MessageBoxWProc proc = (MessageBoxWProc)UserProc("MessageBoxW");
    return proc != NULL ? proc(hWnd, lpText, lpCaption, uType) : 0;
}

HWND WINAPI SysCreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                                  DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    CreateDialogParamWProc proc = (CreateDialogParamWProc)UserProc("CreateDialogParamW");
    return proc != NULL ? proc(hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam)
                        : NULL;
}

BOOL WINAPI SysSetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString)
{
    SetDlgItemTextWProc proc = (SetDlgItemTextWProc)UserProc("SetDlgItemTextW");
    return proc != NULL ? proc(hDlg, nIDDlgItem, lpString) : FALSE;
}

BOOL WINAPI SysSetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString)
{
    SetDlgItemTextAProc proc = (SetDlgItemTextAProc)UserProc("SetDlgItemTextA");
    return proc != NULL ? proc(hDlg, nIDDlgItem, lpString) : FALSE;
}

/* The 95/98 family has these only as stubs, or not at all: 0, as a
   failure, where they are missing. */
DWORD WINAPI SysGetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize)
{
    GetModuleFileNameWProc proc = (GetModuleFileNameWProc)KernelProc("GetModuleFileNameW");
    return proc != NULL ? proc(hModule, lpFilename, nSize) : 0;
}

DWORD WINAPI SysGetShortPathNameW(LPCWSTR lpszLongPath, LPWSTR lpszShortPath, DWORD cchBuffer)
{
    GetShortPathNameWProc proc = (GetShortPathNameWProc)KernelProc("GetShortPathNameW");
    return proc != NULL ? proc(lpszLongPath, lpszShortPath, cchBuffer) : 0;
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
