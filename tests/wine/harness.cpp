/*
 * harness.cpp - the Wine test harness.
 */
#include "harness.h"

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace harness {

static int passed, failed;

/* A copy of a screen rectangle: 24-bit rows, bottom-up, each padded to
   four bytes. */
struct Capture {
    BITMAPINFOHEADER info;
    std::vector<BYTE> bits;
    DWORD rowBytes;
};

static Capture CaptureScreen(const RECT &rc)
{
    Capture cap;
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    cap.info = {};
    cap.info.biSize = sizeof cap.info;
    cap.info.biWidth = width;
    cap.info.biHeight = height;
    cap.info.biPlanes = 1;
    cap.info.biBitCount = 24;
    cap.info.biCompression = BI_RGB;
    cap.rowBytes = ((DWORD)width * 3 + 3) & ~3u;
    cap.bits.resize((size_t)cap.rowBytes * (size_t)height);
    HDC screen = GetDC(NULL), mem = CreateCompatibleDC(screen);
    void *bits = NULL;
    HBITMAP bitmap = CreateDIBSection(screen, (BITMAPINFO *)&cap.info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(mem, bitmap);
    BitBlt(mem, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY);
    GdiFlush();
    if (bits)
        memcpy(cap.bits.data(), bits, cap.bits.size());
    SelectObject(mem, old);
    DeleteObject(bitmap);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return cap;
}

void SaveScreen(const std::string &path)
{
    RECT rc = { 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) };
    Capture cap = CaptureScreen(rc);
    DWORD headers = (DWORD)(sizeof(BITMAPFILEHEADER) + sizeof cap.info);
    BITMAPFILEHEADER header = { 0x4D42, headers + (DWORD)cap.bits.size(), 0, 0, headers };
    FILE *f = fopen(path.c_str(), "wb");
    if (f) {
        fwrite(&header, sizeof header, 1, f);
        fwrite(&cap.info, sizeof cap.info, 1, f);
        fwrite(cap.bits.data(), 1, cap.bits.size(), f);
        fclose(f);
    }
}

void CountPixels(const RECT &rc, long *dark, long *light)
{
    Capture cap = CaptureScreen(rc);
    *dark = *light = 0;
    for (LONG y = 0; y < cap.info.biHeight; y++)
        for (LONG x = 0; x < cap.info.biWidth; x++) {
            const BYTE *p = &cap.bits[(size_t)y * cap.rowBytes + (size_t)x * 3];
            int sum = p[0] + p[1] + p[2];
            if (sum < 3 * 64)
                (*dark)++;
            else if (sum > 3 * 192)
                (*light)++;
        }
}

RECT DarkBounds(const RECT &rc)
{
    Capture cap = CaptureScreen(rc);
    RECT found = { rc.right, rc.bottom, rc.left - 1, rc.top - 1 };
    for (LONG y = 0; y < cap.info.biHeight; y++)
        for (LONG x = 0; x < cap.info.biWidth; x++) {
            const BYTE *p = &cap.bits[(size_t)y * cap.rowBytes + (size_t)x * 3];
            if (p[0] + p[1] + p[2] >= 3 * 64)
                continue;
            /* The capture is bottom-up: its first row is the rectangle's last. */
            LONG sx = rc.left + x, sy = rc.top + (cap.info.biHeight - 1 - y);
            found.left = std::min(found.left, sx);
            found.right = std::max(found.right, sx);
            found.top = std::min(found.top, sy);
            found.bottom = std::max(found.bottom, sy);
        }
    return found;
}

void Expect(bool ok, const char *what, const char *file, int line, const std::string &detail)
{
    if (ok) {
        passed++;
        return;
    }
    failed++;
    char name[MAX_PATH];
    GetModuleFileNameA(NULL, name, MAX_PATH);
    std::string shot = std::string(name) + "-failure-" + std::to_string(failed) + "-line" +
                       std::to_string(line) + ".bmp";
    SaveScreen(shot);
    printf("%s:%d: FAILED: %s%s\n  screen: %s\n", file, line, what, detail.c_str(), shot.c_str());
    fflush(stdout);
}

void ExpectEqual(const std::string &got, const std::string &expected, const char *what,
                 const char *file, int line)
{
    Expect(got == expected, what, file, line,
           "\n  got:      " + Quote(got) + "\n  expected: " + Quote(expected));
}

void ExpectEqual(long long got, long long expected, const char *what, const char *file, int line)
{
    Expect(got == expected, what, file, line,
           "\n  got: " + std::to_string(got) + " expected: " + std::to_string(expected));
}

void ExpectPlatform(void)
{
    OSVERSIONINFOA v = {};
    char winDir[MAX_PATH] = "";
    v.dwOSVersionInfoSize = sizeof v;
    GetVersionExA(&v);
    GetWindowsDirectoryA(winDir, MAX_PATH);
    std::string seen = std::to_string(v.dwPlatformId) + " " + std::to_string(v.dwMajorVersion) +
                       "." + std::to_string(v.dwMinorVersion);
    printf("platform %s build %u (%s family), ANSI code page %u, %d-bit test program, Windows "
           "directory %s\n", seen.c_str(), (unsigned)LOWORD(v.dwBuildNumber),
           v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? "95/98" : "NT", GetACP(),
           (int)sizeof(void *) * 8, winDir);
    const char *expected = getenv("BOOTSTRAP_EXPECT_WINDOWS");
    /* "PLATFORM MAJOR.MINOR", and the build where the run names one. */
    if (expected && std::count(expected, expected + strlen(expected), ' ') == 2)
        seen += " " + std::to_string(LOWORD(v.dwBuildNumber));
    if (expected)
        ExpectEqual(seen, expected, "GetVersionExA: the Windows version of this run", __FILE__,
                    __LINE__);
}

bool IsWin9x(void)
{
    OSVERSIONINFOA v = {};
    v.dwOSVersionInfoSize = sizeof v;
    GetVersionExA(&v);
    return v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

int Finish(void)
{
    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}

std::string Sibling(const char *name)
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    char *slash = strrchr(path, '\\');
    if (slash)
        slash[1] = '\0';
    return std::string(path) + name;
}

struct Search {
    DWORD pid;
    const char *caption;
    HWND found;
};

static BOOL CALLBACK Visit(HWND hwnd, LPARAM lParam)
{
    Search *search = (Search *)lParam;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->pid || !IsWindowVisible(hwnd))
        return TRUE;
    if (search->caption && WindowText(hwnd) != search->caption)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

HWND FindProcessWindow(DWORD pid, const char *caption)
{
    Search search = { pid, caption, NULL };
    EnumWindows(Visit, (LPARAM)&search);
    return search.found;
}

static void Pump(DWORD ms)
{
    MSG msg;
    MsgWaitForMultipleObjects(0, NULL, FALSE, ms, QS_ALLINPUT);
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

HWND WaitForProcessWindow(DWORD pid, const char *caption, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND hwnd = FindProcessWindow(pid, caption);
        if (hwnd || GetTickCount() - start > timeoutMs)
            return hwnd;
        Pump(50);
    }
}

std::string WindowText(HWND hwnd)
{
    char text[4096] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

static BOOL CALLBACK VisitChild(HWND child, LPARAM lParam)
{
    std::string *longest = (std::string *)lParam;
    char cls[32] = "";
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0) {
        char text[4096] = "";
        DWORD_PTR got = 0; /* a box that hangs must not hang the test */
        SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, &got);
        if (strlen(text) > longest->size())
            *longest = text;
    }
    return TRUE;
}

std::string BoxText(HWND box)
{
    std::string text;
    EnumChildWindows(box, VisitChild, (LPARAM)&text);
    return text;
}

bool Start(const std::string &cmdLine, PROCESS_INFORMATION *pi, DWORD flags, WORD show)
{
    STARTUPINFOA si;
    char line[32768];

    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (show != NO_SHOW) {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = show;
    }
    lstrcpynA(line, cmdLine.c_str(), sizeof line);
    return CreateProcessA(NULL, line, NULL, NULL, FALSE, flags, NULL, NULL, &si, pi) != 0;
}

long WaitForExit(HANDLE process, DWORD timeoutMs)
{
    DWORD start = GetTickCount(), code = 0;
    while (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        if (GetTickCount() - start > timeoutMs) {
            TerminateProcess(process, 99);
            return -1;
        }
        Pump(50);
    }
    GetExitCodeProcess(process, &code);
    return (long)code;
}

std::string Quote(const std::string &text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else
            out += (char)c;
    }
    return out + "\"";
}

std::string QuotedPath(const std::string &path)
{
    return "\"" + path + "\"";
}

std::string WinDir(void)
{
    char dir[MAX_PATH] = "";
    GetWindowsDirectoryA(dir, MAX_PATH);
    return dir;
}

std::string WinPath(const char *name)
{
    return WinDir() + "\\" + name;
}

std::string Medium(const char *medium, const char *name)
{
    return Sibling("media\\") + medium + "\\" + name;
}

bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Contents(const std::string &path)
{
    std::string data;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return "<absent>";
    char buffer[65536];
    DWORD got;
    while (ReadFile(h, buffer, sizeof buffer, &got, NULL) && got)
        data.append(buffer, got);
    CloseHandle(h);
    return data;
}

void RemoveInstalled(void)
{
    static const char *names[] = { "Riredud.exe", "Setup.inf" };
    for (const char *name : names) {
        SetFileAttributesA(WinPath(name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(WinPath(name).c_str());
    }
}

std::string StandinReportPath(void)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "standin-report.txt";
}

std::map<std::string, std::string> ReadStandinReport(void)
{
    std::map<std::string, std::string> report;
    static char line[40000];
    FILE *f = fopen(StandinReportPath().c_str(), "rb");
    if (!f)
        return report;
    while (fgets(line, sizeof line, f)) {
        std::string text = line;
        size_t eq = text.find('=');
        if (eq != std::string::npos && text.back() == '\n')
            report[text.substr(0, eq)] = text.substr(eq + 1, text.size() - eq - 2);
    }
    fclose(f);
    return report;
}

AfterExit WatchStandin(bool fExpectStart, DWORD timeoutMs)
{
    AfterExit after;
    DWORD start = GetTickCount(), limit = fExpectStart ? timeoutMs : 1000;
    for (bool first = true; after.report["pid"].empty(); first = false) {
        after.report = ReadStandinReport();
        if (after.report["pid"].empty()) {
            /* Not even reported yet: it is still starting. */
            after.runningAfterExit = after.runningAfterExit || first;
            if (GetTickCount() - start > limit)
                return AfterExit();
            Sleep(20);
        }
    }
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE,
                                 strtoul(after.report["pid"].c_str(), NULL, 10));
    if (process) {
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            after.runningAfterExit = true;
            TerminateProcess(process, 0);
        }
        WaitForSingleObject(process, timeoutMs);
        CloseHandle(process);
    }
    return after;
}

/* Names of the files that appear in the Windows directory while it runs. */
struct DirWatch {
    HANDLE dir = INVALID_HANDLE_VALUE;
    OVERLAPPED ov = {};
    DWORD buffer[16384];
    std::vector<std::string> added;

    void Arm()
    {
        ReadDirectoryChangesW(dir, buffer, sizeof buffer, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME,
                              NULL, &ov, NULL);
    }
    void Start()
    {
        dir = CreateFileA(WinDir().c_str(), FILE_LIST_DIRECTORY,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, NULL);
        ov.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
        Arm();
    }
    void Collect()
    {
        DWORD got;
        while (WaitForSingleObject(ov.hEvent, 300) == WAIT_OBJECT_0 &&
               GetOverlappedResult(dir, &ov, &got, FALSE) && got) {
            for (BYTE *p = (BYTE *)buffer;;) {
                FILE_NOTIFY_INFORMATION *info = (FILE_NOTIFY_INFORMATION *)p;
                char name[MAX_PATH] = "";
                WideCharToMultiByte(CP_ACP, 0, info->FileName, info->FileNameLength / 2, name,
                                    MAX_PATH - 1, NULL, NULL);
                if (info->Action == FILE_ACTION_ADDED || info->Action == FILE_ACTION_RENAMED_NEW_NAME)
                    added.push_back(name);
                if (!info->NextEntryOffset)
                    break;
                p += info->NextEntryOffset;
            }
            ResetEvent(ov.hEvent);
            Arm();
        }
        CancelIo(dir);
        CloseHandle(dir);
        CloseHandle(ov.hEvent);
    }
};

void AnswerBox(DWORD pid, const char *caption, int answer, std::vector<std::string> *texts)
{
    HWND box = FindProcessWindow(pid, caption);
    if (!box)
        return;
    std::string text = BoxText(box);
    if (text.empty())
        return; /* not filled in yet */
    texts->push_back(text);
    PostMessageA(box, WM_COMMAND, answer, 0);
    while (IsWindow(box))
        Sleep(10);
}

static bool StartW(const std::wstring &cmdLine, PROCESS_INFORMATION *pi)
{
    STARTUPINFOW si = {};
    std::wstring line = cmdLine;

    si.cb = sizeof si;
    return CreateProcessW(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, pi) != 0;
}

static Run RunSetupBy(const std::string *cmdLine, const std::wstring *wideCmdLine,
                      bool expectLaunch);

Run RunSetup(const std::string &cmdLine, bool expectLaunch)
{
    return RunSetupBy(&cmdLine, NULL, expectLaunch);
}

Run RunSetupW(const std::wstring &cmdLine, bool expectLaunch)
{
    return RunSetupBy(NULL, &cmdLine, expectLaunch);
}

static Run RunSetupBy(const std::string *cmdLine, const std::wstring *wideCmdLine,
                      bool expectLaunch)
{
    Run run;
    PROCESS_INFORMATION pi;
    DirWatch watch;

    DeleteFileA(StandinReportPath().c_str());
    watch.Start();
    if (!(cmdLine ? Start(*cmdLine, &pi) : StartW(*wideCmdLine, &pi))) {
        watch.Collect();
        return run;
    }
    DWORD started = GetTickCount();
    while (WaitForSingleObject(pi.hProcess, 2) == WAIT_TIMEOUT && GetTickCount() - started < 60000) {
        AnswerBox(pi.dwProcessId, "Setup Error", IDOK, &run.errorBoxes);
        AnswerBox(pi.dwProcessId, "Assertion Failure!", IDYES, &run.assertReports);
    }
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    run.exitCode = (long)code;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    /* A started stand-in writes its report at once and closes itself soon. */
    for (DWORD t = GetTickCount(); expectLaunch && GetTickCount() - t < 10000; Sleep(100))
        if (!ReadStandinReport()["cmdline"].empty() && !FindWindowA("QVInstallWin", NULL))
            break;
    run.setupCommandLine = ReadStandinReport()["cmdline"];
    watch.Collect();
    run.added = watch.added;
    return run;
}

std::vector<std::string> FilesIn(const std::string &dir, const char *pattern)
{
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "\\" + pattern).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return files;
    do
        files.push_back(std::string(found.cFileName) + " " + std::to_string(found.nFileSizeLow));
    while (FindNextFileA(h, &found));
    FindClose(h);
    return files;
}

std::vector<std::string> LeftInWindows(const char *pattern)
{
    return FilesIn(WinDir(), pattern);
}

static const char *answerCaption;
static int answerWith;
static std::vector<std::string> answered;
static CRITICAL_SECTION answeredLock;

static DWORD WINAPI Answerer(LPVOID)
{
    for (;;) {
        HWND box = FindProcessWindow(GetCurrentProcessId(), answerCaption);
        if (box) {
            std::string text = BoxText(box);
            EnterCriticalSection(&answeredLock);
            answered.push_back(text);
            LeaveCriticalSection(&answeredLock);
            PostMessageA(box, WM_COMMAND, answerWith, 0);
            while (IsWindow(box))
                Sleep(20);
        }
        Sleep(50);
    }
    return 0;
}

void AnswerBoxes(const char *caption, int answer)
{
    answerCaption = caption;
    answerWith = answer;
    InitializeCriticalSection(&answeredLock);
    CreateThread(NULL, 0, Answerer, NULL, 0, NULL);
}

std::vector<std::string> AnsweredBoxes(void)
{
    EnterCriticalSection(&answeredLock);
    std::vector<std::string> copy = answered;
    answered.clear();
    LeaveCriticalSection(&answeredLock);
    return copy;
}

} // namespace harness
