/*
 * platform.h - the one door to the operating system.
 *
 * Every source file of the program reaches Win32 through this header and
 * nothing else.  A Windows build gets the real SDK headers; the native unit
 * test build gets a small fake that declares the same names and records
 * every call, so the logic compiles unchanged for both.
 */
#ifndef BOOTSTRAP_PLATFORM_H
#define BOOTSTRAP_PLATFORM_H

#if defined(_WIN32)
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  include <windows.h>
#  include <winver.h>
#else
#  include "fake_win32.h"
#endif

/*
 * The version-checked installation service, VerFindFileA and
 * VerInstallFileA, with their contract, but always those of VERSION.DLL in
 * the system directory: src/win32/sysdll.cpp on Windows, the fake in the
 * unit tests.
 */
DWORD WINAPI SysVerFindFileA(DWORD uFlags, LPSTR szFileName, LPSTR szWinDir, LPSTR szAppDir,
                             LPSTR szCurDir, PUINT lpuCurDirLen, LPSTR szDestDir,
                             PUINT lpuDestDirLen);
DWORD WINAPI SysVerInstallFileA(DWORD uFlags, LPSTR szSrcFileName, LPSTR szDestFileName,
                                LPSTR szSrcDir, LPSTR szDestDir, LPSTR szCurDir, LPSTR szTmpFile,
                                PUINT lpuTmpFileLen);

/*
 * Why some calls are looked up at run time (GetProcAddress) and not
 * imported: Windows' loader refuses to start a program whose import table
 * names a function its DLLs lack, before the program's first instruction,
 * without a word the user could act on.  So the import table holds only
 * functions that KERNEL32 and USER32 of Windows 95 and of NT 4.0 both
 * export (tools/check-release keeps it so), and every other call below is
 * looked up when it is needed, its absence an ordinary failure.
 *
 * GetModuleFileNameW and GetShortPathNameW, looked up at run time (the 95/98
 * family has them as stubs at most, and a release without the stub would
 * not start the program): 0, as a failure, where they are missing.
 * src/win32/sysdll.cpp on Windows, the fake in the unit tests.
 */
DWORD WINAPI SysGetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
DWORD WINAPI SysGetShortPathNameW(LPCWSTR lpszLongPath, LPWSTR lpszShortPath, DWORD cchBuffer);

/*
 * The size of the Authenticode signature that the program hModule's file
 * carries (the certificate table of its PE header), 0 when it is not
 * signed.  src/win32/image.cpp on Windows, the fake in the unit tests.
 */
DWORD WINAPI SysSignatureSize(HMODULE hModule);

/*
 * The data of the resource idName of type idType in language wLanguage
 * (RESOURCE_FIRST_LANGUAGE: the first it has) of the program hModule, and
 * its size into *pcb; NULL when there is none.  src/win32/image.cpp on
 * Windows, the fake in the unit tests.
 */
#define RESOURCE_FIRST_LANGUAGE 0xFFFF
const BYTE *WINAPI SysResourceData(HMODULE hModule, WORD idType, WORD idName, WORD wLanguage,
                                   DWORD *pcb);

/*
 * The user's languages and the Unicode calls that show a translated text,
 * looked up at run time (see above): GetUserDefaultUILanguage came with
 * Windows 2000, and the 95/98 family has the Unicode calls as stubs at
 * most.  0 (or NULL), as a failure, where missing.
 * src/win32/sysdll.cpp on Windows, the fake in the unit tests.
 */
LANGID WINAPI SysGetUserDefaultUILanguage(void);
LANGID WINAPI SysGetUserDefaultLangID(void);
int WINAPI SysMessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);
HWND WINAPI SysCreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                                  DLGPROC lpDialogFunc, LPARAM dwInitParam);
BOOL WINAPI SysSetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString);
BOOL WINAPI SysSetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString);

/*
 * The flags of the process's window station (UOI_FLAGS: WSF_VISIBLE where
 * its display surfaces can be seen, which a service's and a deployment's
 * in session 0 cannot), through GetProcessWindowStation and
 * GetUserObjectInformationW, looked up at run time (Windows 95 lacks
 * them): FALSE where they are missing or fail.  src/win32/sysdll.cpp on
 * Windows, the fake in the unit tests.
 */
BOOL WINAPI SysWindowStationFlags(DWORD *pdwFlags);

#include <stdarg.h>
#include <stddef.h>
#include <string.h>

/* Number of elements of a fixed array. */
#define NElems(a) (sizeof(a) / sizeof((a)[0]))

#endif
