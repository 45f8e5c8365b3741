/*
 * A VERSION.DLL planted beside the bootstrap, as one could be in a download
 * folder.  If the bootstrap's installation ever calls it, it leaves a marker
 * file in the Windows directory and reports a foreign version.
 *
 * Wine's own USER32 imports VERSION.DLL, so under a native-first load order
 * this DLL is mapped into every program started beside it before the
 * program runs; the functions USER32 uses are passed on to the system's.
 */
#include <windows.h>

static void Mark(void)
{
    char path[MAX_PATH];
    GetWindowsDirectoryA(path, MAX_PATH);
    lstrcatA(path, "\\planted-version-dll-was-called.txt");
    CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
}

static FARPROC SystemProc(const char *name)
{
    char path[MAX_PATH];
    GetSystemDirectoryA(path, MAX_PATH);
    lstrcatA(path, "\\version.dll");
    return GetProcAddress(LoadLibraryA(path), name);
}

extern "C" {

__declspec(dllexport) DWORD WINAPI VerFindFileA(DWORD, LPSTR, LPSTR, LPSTR, LPSTR cur, PUINT,
                                                LPSTR dest, PUINT)
{
    Mark();
    cur[0] = '\0';
    lstrcpyA(dest, "C:\\");
    return 0;
}

__declspec(dllexport) DWORD WINAPI VerInstallFileA(DWORD, LPSTR, LPSTR, LPSTR, LPSTR, LPSTR, LPSTR,
                                                   PUINT)
{
    Mark();
    return VIF_DIFFLANG;
}

__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle)
{
    return ((DWORD(WINAPI *)(LPCWSTR, LPDWORD))(void *)SystemProc("GetFileVersionInfoSizeW"))(
        file, handle);
}

__declspec(dllexport) BOOL WINAPI GetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD len,
                                                      LPVOID data)
{
    return ((BOOL(WINAPI *)(LPCWSTR, DWORD, DWORD, LPVOID))(void *)SystemProc(
        "GetFileVersionInfoW"))(file, handle, len, data);
}

__declspec(dllexport) BOOL WINAPI VerQueryValueW(LPCVOID block, LPCWSTR sub, LPVOID *buffer,
                                                 PUINT len)
{
    return ((BOOL(WINAPI *)(LPCVOID, LPCWSTR, LPVOID *, PUINT))(void *)SystemProc(
        "VerQueryValueW"))(block, sub, buffer, len);
}

} // extern "C"
