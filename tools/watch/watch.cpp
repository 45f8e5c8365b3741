/*
 * watch.cpp - try-medium's eyes inside Windows: runs a command line (a
 * medium's Setup.exe and its arguments) as its debugger, and tells on its
 * standard output, a line each, what a script outside cannot see: every
 * process the run makes and how each ends, with its whole 32-bit exit code
 * (a Linux parent sees its low byte only), and every text sent to the
 * debugger output (the bootstrap's assertion reports, and its failures
 * where no box can be seen).
 *
 *   watch.exe [--hidden] COMMAND-LINE
 *
 * --hidden starts it on the desktop of a window station made without
 * WSF_VISIBLE, as a service's and a deployment's in session 0 are: there
 * nobody can see or answer a box.
 *
 * Lines: "process PID PATH", "exit PID CODE" (decimal), "debug PID TEXT"
 * (line breaks as \n), "failed ERROR" when the command could not start.
 * It ends when every process of the run has ended, with the first one's
 * exit code.
 */
#define _WIN32_WINNT 0x0600 /* QueryFullProcessImageNameW: Wine has it at every setting */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#define STATION L"try-medium-hidden"

/* The command line after this program's own name and its option. */
static LPWSTR CommandAfterOwnName(BOOL *pfHidden)
{
    LPWSTR p = GetCommandLineW();
    BOOL quoted = FALSE;

    for (; *p && (quoted || (*p != L' ' && *p != L'\t')); p++)
        if (*p == L'"')
            quoted = !quoted;
    while (*p == L' ' || *p == L'\t')
        p++;
    *pfHidden = wcsncmp(p, L"--hidden ", 9) == 0;
    if (*pfHidden)
        for (p += 9; *p == L' ' || *p == L'\t'; p++)
            ;
    return p;
}

/* A window station without visible surfaces, with a desktop "Default". */
static BOOL MakeHiddenStation(void)
{
    HWINSTA own = GetProcessWindowStation();
    HWINSTA hidden = CreateWindowStationW(STATION, 0, WINSTA_ALL_ACCESS, NULL);
    HDESK desk;

    if (hidden == NULL || !SetProcessWindowStation(hidden))
        return FALSE;
    desk = CreateDesktopW(L"Default", NULL, NULL, 0, GENERIC_ALL, NULL);
    SetProcessWindowStation(own);
    return desk != NULL; /* both stay open while the run lasts */
}

/* Writes text in UTF-8, its line breaks as \n, on one line. */
static void PutText(const WCHAR *text, size_t n)
{
    for (size_t i = 0; i < n && text[i]; i++) {
        char utf8[8];
        if (text[i] == L'\n') {
            fputs("\\n", stdout);
            continue;
        }
        if (text[i] == L'\r')
            continue;
        int k = WideCharToMultiByte(CP_UTF8, 0, &text[i], 1, utf8, sizeof utf8, NULL, NULL);
        fwrite(utf8, 1, (size_t)k, stdout);
    }
}

/* A debug string of the debuggee: ANSI in its code page, or UTF-16; read
   through a buffer of fixed size (a longer text is cut there). */
static void PutDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO *info)
{
    static char bytes[4096];
    static WCHAR text[4096];
    SIZE_T want = info->nDebugStringLength, got = 0;
    size_t n;

    if (info->fUnicode)
        want *= 2;
    if (want > sizeof bytes)
        want = sizeof bytes;
    if (!ReadProcessMemory(process, info->lpDebugStringData, bytes, want, &got))
        return;
    if (info->fUnicode) {
        n = got / 2;
        memcpy(text, bytes, n * 2);
    } else {
        n = (size_t)MultiByteToWideChar(CP_ACP, 0, bytes, (int)got, text, 4096);
    }
    PutText(text, n);
}

int main(void)
{
    BOOL fHidden;
    LPWSTR command = CommandAfterOwnName(&fHidden);
    STARTUPINFOW si;
    PROCESS_INFORMATION pi;
    WCHAR desktop[] = STATION L"\\Default";
    DWORD firstPid, firstExit = 1, live = 0;
    static HANDLE processes[64];
    static DWORD pids[64];

    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (fHidden) {
        if (!MakeHiddenStation()) {
            printf("failed %lu\n", GetLastError());
            return 1;
        }
        si.lpDesktop = desktop;
    }
    if (!CreateProcessW(NULL, command, NULL, NULL, FALSE, DEBUG_PROCESS, NULL, NULL, &si, &pi)) {
        printf("failed %lu\n", GetLastError());
        return 1;
    }
    firstPid = pi.dwProcessId;
    CloseHandle(pi.hThread);
    for (;;) {
        DEBUG_EVENT e;
        DWORD status = DBG_CONTINUE;
        if (!WaitForDebugEvent(&e, INFINITE))
            break;
        switch (e.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT: {
            WCHAR path[MAX_PATH] = L"";
            DWORD cch = MAX_PATH;
            QueryFullProcessImageNameW(e.u.CreateProcessInfo.hProcess, 0, path, &cch);
            printf("process %lu ", e.dwProcessId);
            PutText(path, MAX_PATH);
            printf("\n");
            /* The handle stays the system's; a copy of it is kept for the
               debug strings, at most 64 processes. */
            if (live < 64) {
                pids[live] = e.dwProcessId;
                processes[live++] = e.u.CreateProcessInfo.hProcess;
            }
            if (e.u.CreateProcessInfo.hFile)
                CloseHandle(e.u.CreateProcessInfo.hFile);
            break;
        }
        case LOAD_DLL_DEBUG_EVENT:
            if (e.u.LoadDll.hFile)
                CloseHandle(e.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT:
            for (DWORD i = 0; i < live; i++)
                if (pids[i] == e.dwProcessId) {
                    printf("debug %lu ", e.dwProcessId);
                    PutDebugString(processes[i], &e.u.DebugString);
                    printf("\n");
                }
            break;
        case EXCEPTION_DEBUG_EVENT:
            /* The system's breakpoint as each process starts is the
               debugger's; every other exception is the program's own. */
            if (e.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            printf("exit %lu %lu\n", e.dwProcessId, e.u.ExitProcess.dwExitCode);
            if (e.dwProcessId == firstPid)
                firstExit = e.u.ExitProcess.dwExitCode;
            for (DWORD i = 0; i < live; i++)
                if (pids[i] == e.dwProcessId)
                    pids[i] = 0;
            break;
        default:
            break;
        }
        fflush(stdout);
        ContinueDebugEvent(e.dwProcessId, e.dwThreadId, status);
        if (e.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
            BOOL any = FALSE;
            for (DWORD i = 0; i < live; i++)
                any = any || pids[i] != 0;
            if (!any)
                break;
        }
    }
    CloseHandle(pi.hProcess);
    return (int)firstExit;
}
