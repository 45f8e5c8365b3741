/*
 * harness.cpp - the Wine test harness.
 */
#include "harness.h"

#include <stdio.h>

namespace harness {

static int passed, failed;

/* Saves the screen as a bitmap file beside the test program, so that a red
   run can be seen and not only read. */
static void SaveScreen(const std::string &path)
{
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(NULL), mem = CreateCompatibleDC(screen);
    BITMAPINFOHEADER info = { sizeof info, width, height, 1, 24, BI_RGB };
    DWORD rowBytes = ((DWORD)width * 3 + 3) & ~3u, bytes = rowBytes * (DWORD)height;
    void *bits = NULL;
    HBITMAP bitmap = CreateDIBSection(screen, (BITMAPINFO *)&info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(mem, bitmap);
    BitBlt(mem, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();

    BITMAPFILEHEADER header = { 0x4D42, (DWORD)(sizeof(BITMAPFILEHEADER) + sizeof info + bytes), 0, 0,
                                (DWORD)(sizeof(BITMAPFILEHEADER) + sizeof info) };
    FILE *f = fopen(path.c_str(), "wb");
    if (f) {
        fwrite(&header, sizeof header, 1, f);
        fwrite(&info, sizeof info, 1, f);
        fwrite(bits, 1, bytes, f);
        fclose(f);
    }
    SelectObject(mem, old);
    DeleteObject(bitmap);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
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
        SendMessageA(child, WM_GETTEXT, sizeof text, (LPARAM)text);
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
