/*
 * demo_peek - what tools/demo cannot see from outside Wine.
 *
 *   demo_peek splash SETUP_EXE BMP_FILE
 *       runs SETUP_EXE under the tests' debugger, stops it where it
 *       destroys its splash window (both files installed, the window still
 *       up), saves the screen to BMP_FILE and prints the window's text;
 *       when it saw none, says why in one line on standard error
 *   demo_peek box TIMEOUT_MS BMP_FILE
 *       waits for a message box (a dialog with an OK button, in whatever
 *       language its caption is), saves the screen to BMP_FILE, prints its
 *       caption and then its text on a line each, as the window holds them,
 *       and answers it with OK
 *
 * Texts are printed in UTF-8, read through the Unicode calls.
 *
 * Exit 0 when it saw what it looked for, 1 otherwise.
 */
#include "debugger.h"
#include "harness.h"

static std::string Utf8Text(HWND hwnd)
{
    WCHAR text[2048] = L"";
    char out[8192] = "";
    GetWindowTextW(hwnd, text, 2048);
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, NULL, NULL);
    return out;
}

static int Splash(const char *setup, const char *bmp)
{
    std::string text;
    std::vector<harness::Breakpoint> breakpoints = {
        harness::SplashDestroyed([&](HWND splash) {
            text = Utf8Text(GetDlgItem(splash, 101));
            harness::SaveScreen(bmp);
        }),
    };
    harness::Debuggee run = harness::Debug(harness::QuotedPath(setup), breakpoints, NULL, 60000);
    if (!text.empty()) {
        printf("%s\n", text.c_str());
        return 0;
    }
    if (!run.breakpointsSet)
        fprintf(stderr, "the debugger could not stop Setup.exe where it destroys a window\n");
    else if (run.exitCode == -1)
        fprintf(stderr, "Setup.exe had not destroyed a splash window after 60 s\n");
    else
        fprintf(stderr, "Setup.exe ended with exit code %ld, its splash window never destroyed\n",
                run.exitCode);
    return 1;
}

static int Box(DWORD timeoutMs, const char *bmp)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50)) {
        HWND box = FindWindowW(L"#32770", NULL);
        HWND message = box && GetDlgItem(box, IDOK) ? GetDlgItem(box, 0xFFFF) : NULL;
        std::string text = message ? Utf8Text(message) : "";
        if (text.empty() || !IsWindowVisible(box))
            continue; /* not there, or not filled in yet */
        Sleep(500); /* drawn */
        harness::SaveScreen(bmp);
        printf("%s\n%s\n", Utf8Text(box).c_str(), text.c_str());
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return 0;
    }
    return 1;
}

int main(int argc, char **argv)
{
    if (argc == 4 && strcmp(argv[1], "splash") == 0)
        return Splash(argv[2], argv[3]);
    if (argc == 4 && strcmp(argv[1], "box") == 0)
        return Box((DWORD)atol(argv[2]), argv[3]);
    fprintf(stderr, "usage: demo_peek splash SETUP_EXE BMP_FILE | box TIMEOUT_MS BMP_FILE\n");
    return 2;
}
