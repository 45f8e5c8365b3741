/*
 * demo_peek - what tools/demo cannot see from outside Wine.
 *
 *   demo_peek splash SETUP_EXE BMP_FILE
 *       runs SETUP_EXE under the tests' debugger, stops it where it
 *       destroys its splash window (both files installed, the window still
 *       up), saves the screen to BMP_FILE and prints the window's text;
 *       when it saw none, says why in one line on standard error
 *   demo_peek box CAPTION TIMEOUT_MS
 *       waits for a message box with this caption, prints its text as the
 *       window holds it and answers it with OK
 *
 * Exit 0 when it saw what it looked for, 1 otherwise.
 */
#include "debugger.h"
#include "harness.h"

static int Splash(const char *setup, const char *bmp)
{
    std::string text;
    std::vector<harness::Breakpoint> breakpoints = {
        harness::SplashDestroyed([&](HWND splash) {
            text = harness::WindowText(GetDlgItem(splash, 101));
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

static int Box(const char *caption, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50)) {
        HWND box = FindWindowA("#32770", caption);
        std::string text = box ? harness::BoxText(box) : "";
        if (text.empty())
            continue; /* not there, or not filled in yet */
        printf("%s\n", text.c_str());
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
        return Box(argv[2], (DWORD)atol(argv[3]));
    fprintf(stderr, "usage: demo_peek splash SETUP_EXE BMP_FILE | box CAPTION TIMEOUT_MS\n");
    return 2;
}
