/*
 * A DLL to plant beside the bootstrap under the name of a system DLL, as
 * one could be in a download folder.  If it is ever loaded, it leaves the
 * marker file planted-NAME-was-loaded.txt in the Windows directory.
 */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hinst, DWORD reason, LPVOID reserved)
{
    char name[MAX_PATH], marker[MAX_PATH * 2];
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    GetModuleFileNameA(hinst, name, MAX_PATH);
    const char *base = strrchr(name, '\\') ? strrchr(name, '\\') + 1 : name;
    GetWindowsDirectoryA(marker, MAX_PATH);
    lstrcatA(marker, "\\planted-");
    lstrcatA(marker, base);
    lstrcatA(marker, "-was-loaded.txt");
    CloseHandle(CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    return TRUE;
}
