/*
 * standin.cpp - a stand-in for the main setup program.
 *
 * It opens a top-level window of class "QVInstallWin" that shows the
 * command line it received, as the real setup program's window would be
 * found by the bootstrap.  Tests steer it through its environment, which it
 * inherits from the bootstrap, so its command line stays exactly as the
 * bootstrap built it:
 *
 *   STANDIN_REPORT=path   write what it saw to this file (one key=value a line:
 *                         cmdline, pid, priority, parent_priority, show)
 *   STANDIN_EXIT=n        end with exit code n (default 0)
 *   STANDIN_CLOSE_MS=n    close the window after n milliseconds (default: stay)
 */
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>

#define ID_CLOSE_TIMER 1

static char szCmdLine[32768];

static DWORD EnvNumber(LPCSTR name, DWORD fallback)
{
    char value[32];
    if (!GetEnvironmentVariableA(name, value, sizeof value))
        return fallback;
    return (DWORD)strtoul(value, NULL, 10);
}

/* The priority class of the process that started this one, or 0. */
static DWORD ParentPriority(void)
{
    PROCESSENTRY32 entry;
    DWORD self = GetCurrentProcessId(), parent = 0, priority = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);

    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == self)
            parent = entry.th32ParentProcessID;
    CloseHandle(snapshot);

    HANDLE hParent = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, parent);
    if (hParent) {
        priority = GetPriorityClass(hParent);
        CloseHandle(hParent);
    }
    return priority;
}

static void WriteReport(void)
{
    char path[MAX_PATH];
    STARTUPINFOA startup;

    if (!GetEnvironmentVariableA("STANDIN_REPORT", path, sizeof path))
        return;
    GetStartupInfoA(&startup);
    FILE *f = fopen(path, "wb");
    if (!f)
        return;
    fprintf(f, "cmdline=%s\n", szCmdLine);
    fprintf(f, "pid=%lu\n", (unsigned long)GetCurrentProcessId());
    fprintf(f, "priority=0x%lx\n", (unsigned long)GetPriorityClass(GetCurrentProcess()));
    fprintf(f, "parent_priority=0x%lx\n", (unsigned long)ParentPriority());
    if (startup.dwFlags & STARTF_USESHOWWINDOW)
        fprintf(f, "show=%u\n", (unsigned)startup.wShowWindow);
    else
        fprintf(f, "show=none\n");
    fclose(f);
}

static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_TIMER:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage((int)EnvNumber("STANDIN_EXIT", 0));
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrev, LPSTR lpCmdLine, int nCmdShow)
{
    WNDCLASSA wc;
    MSG msg;
    char text[33000];

    (void)hPrev;
    (void)lpCmdLine;
    lstrcpynA(szCmdLine, GetCommandLineA(), sizeof szCmdLine);
    WriteReport();

    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = "QVInstallWin";
    RegisterClassA(&wc);

    HWND hwnd = CreateWindowA("QVInstallWin", "Stand-in setup program", WS_OVERLAPPEDWINDOW,
                              CW_USEDEFAULT, CW_USEDEFAULT, 560, 220, NULL, NULL, hInstance, NULL);
    snprintf(text, sizeof text, "The setup program was started with this command line:\r\n\r\n%s",
             szCmdLine);
    CreateWindowA("EDIT", text, WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | WS_VSCROLL,
                  10, 10, 525, 160, hwnd, NULL, hInstance, NULL);
    ShowWindow(hwnd, nCmdShow);
    UpdateWindow(hwnd);

    DWORD closeMs = EnvNumber("STANDIN_CLOSE_MS", 0);
    if (closeMs)
        SetTimer(hwnd, ID_CLOSE_TIMER, closeMs, NULL);

    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}
