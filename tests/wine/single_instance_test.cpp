/*
 * The real program with the setup program's window already open: it brings
 * that window to the front and ends with 0, showing nothing and installing
 * nothing.
 */
#include "harness.h"

#include <string>

static HWND CreateTopWindow(const char *cls, const char *title)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = cls;
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowA(cls, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                              NULL, NULL, wc.hInstance, NULL);
    UpdateWindow(hwnd);
    return hwnd;
}

int main(void)
{
    harness::ExpectPlatform();
    harness::RemoveInstalled();
    HWND setup = CreateTopWindow("QVInstallWin", "Stand-in setup window");
    HWND other = CreateTopWindow("OtherWin", "Some other window");
    SetForegroundWindow(other);
    EXPECT_TRUE(GetForegroundWindow() == other);

    PROCESS_INFORMATION pi;
    EXPECT_TRUE(harness::Start(harness::QuotedPath(harness::Medium("complete", "Setup.exe")), &pi));
    /* Nothing of the bootstrap may appear while it runs. */
    HWND shown = harness::WaitForProcessWindow(pi.dwProcessId, NULL, 1500);
    long exitCode = harness::WaitForExit(pi.hProcess, 20000);

    EXPECT_TRUE(shown == NULL);
    EXPECT_EQ_INT(exitCode, 0);
    EXPECT_TRUE(GetForegroundWindow() == setup);
    EXPECT_TRUE(!harness::Exists(harness::WinPath("Riredud.exe")));
    EXPECT_TRUE(!harness::Exists(harness::WinPath("Setup.inf")));
    return harness::Finish();
}
