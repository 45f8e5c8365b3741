/*
 * The bootstrap's arguments reach the setup program exactly, and -wait
 * really waits: the real Setup.exe runs from a real medium whose setup
 * program is the stand-in, which reports the command line it received, its
 * priority class, its parent's and its show command.  Where no one
 * watches: the exit code a deployment tool reads, and a failure in a
 * window station without visible surfaces, where no box could be answered.
 */
#include "harness.h"


struct Launch {
    long exitCode = -1;
    bool setupGoneAtExit = false; /* the setup program had ended when the bootstrap did */
    bool setupRanAfterExit = false;
    bool errorBox = false;
    std::map<std::string, std::string> report;
};

/* Runs Setup.exe of a medium folder, or X:\Setup.exe when medium is "X:". */
static Launch RunBootstrap(const char *medium, const std::string &args, WORD show)
{
    Launch launch;
    PROCESS_INFORMATION pi;

    DeleteFileA(harness::StandinReportPath().c_str());
    std::string folder = strcmp(medium, "X:") == 0 ? "X:" : harness::Sibling("media\\") + medium;
    std::string cmd = "\"" + folder + "\\Setup.exe\"" + args;
    if (!harness::Start(cmd, &pi, 0, show))
        return launch;
    DWORD start = GetTickCount();
    while (WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT && GetTickCount() - start < 30000)
        launch.errorBox = launch.errorBox || harness::FindProcessWindow(pi.dwProcessId, "Setup Error");
    launch.setupGoneAtExit = FindWindowA("QVInstallWin", NULL) == NULL &&
                             GetFileAttributesA(harness::StandinReportPath().c_str()) !=
                                 INVALID_FILE_ATTRIBUTES;
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    launch.exitCode = (long)code;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    /* Without waiting, the stand-in shows up after the bootstrap is gone. */
    for (DWORD t = GetTickCount(); GetTickCount() - t < 10000; Sleep(50)) {
        if (FindWindowA("QVInstallWin", NULL))
            launch.setupRanAfterExit = true;
        if (!FindWindowA("QVInstallWin", NULL) && !harness::ReadStandinReport().empty())
            break;
    }
    launch.report = harness::ReadStandinReport();
    /* The next case replaces Riredud.exe: this one's process must be gone,
       not only its window. */
    auto pid = launch.report.find("pid");
    HANDLE standin = pid == launch.report.end()
                         ? NULL
                         : OpenProcess(SYNCHRONIZE, FALSE, strtoul(pid->second.c_str(), NULL, 10));
    if (standin) {
        WaitForSingleObject(standin, 10000);
        CloseHandle(standin);
    }
    return launch;
}

/* The exit code for deployment tools: a medium made with --exit-code
   setup-program passes the setup program's on with -wait, else 1. */
static void ExitCodes(void)
{
    static const struct {
        const char *medium, *args, *exit;
        long expected;
    } cases[] = {
        { "exit-code", " -wait", "STANDIN_EXIT=3010", 3010 },
        { "exit-code", " /s -WAIT", "STANDIN_EXIT=1641", 1641 },
        { "exit-code", " -wait", "STANDIN_EXIT=0", 0 },
        { "exit-code", "", "STANDIN_EXIT=3010", 1 },
        { "complete", " -wait", "STANDIN_EXIT=3010", 1 },
    };
    putenv("STANDIN_CLOSE_MS=300");
    for (const auto &c : cases) {
        printf("exit code: %s medium,%s, %s\n", c.medium, c.args, c.exit);
        putenv(c.exit);
        Launch launch = RunBootstrap(c.medium, c.args, SW_SHOWNORMAL);
        EXPECT_EQ_INT(launch.exitCode, c.expected);
        EXPECT_TRUE(!launch.errorBox);
    }
    putenv("STANDIN_EXIT=3");
}

/* Setup.exe of medium started on the desktop Default of a window station
   made without WSF_VISIBLE, as a service's is; its exit code, or -1 when it
   had not ended within 20 s (a box nobody can answer). */
static long RunWhereNobodyWatches(const char *medium, bool *boxes)
{
    HWINSTA own = GetProcessWindowStation();
    HWINSTA hidden = CreateWindowStationW(L"bootstrap-hidden", 0, WINSTA_ALL_ACCESS, NULL);
    EXPECT_TRUE(hidden != NULL);
    if (!hidden)
        return -2;
    SetProcessWindowStation(hidden);
    HDESK desk = CreateDesktopW(L"Default", NULL, NULL, 0, GENERIC_ALL, NULL);
    SetProcessWindowStation(own);
    EXPECT_TRUE(desk != NULL);
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    GetUserObjectInformationW(hidden, UOI_FLAGS, &flags, sizeof flags, &needed);
    EXPECT_TRUE((flags.dwFlags & WSF_VISIBLE) == 0);

    std::string cmd = "\"" + harness::Sibling("media\\") + medium + "\\Setup.exe\"";
    STARTUPINFOA si = {};
    PROCESS_INFORMATION pi;
    char desktop[] = "bootstrap-hidden\\Default";
    si.cb = sizeof si;
    si.lpDesktop = desktop;
    long code = -2;
    *boxes = false;
    if (CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        DWORD start = GetTickCount(), exitCode = 0;
        while (WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT &&
               GetTickCount() - start < 20000)
            *boxes = *boxes || harness::FindProcessWindow(pi.dwProcessId, "Setup Error");
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(pi.hProcess, 99);
            code = -1;
        } else if (GetExitCodeProcess(pi.hProcess, &exitCode)) {
            code = (long)exitCode;
        }
        printf("  in a hidden window station: %s after %lu ms\n",
               code == -1 ? "still running" : "ended", GetTickCount() - start);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    if (desk)
        CloseDesktop(desk);
    CloseWindowStation(hidden);
    return code;
}

/* A failure where nobody can see a box: none is shown, the files are
   removed, the run ends at once with 1.  Where one can, the box as ever. */
static void NobodyWatching(void)
{
    printf("a medium without Setup.i#f, in the visible window station\n");
    harness::RemoveInstalled();
    harness::Run seen = harness::RunSetup(
        "\"" + harness::Sibling("media\\missing-second") + "\\Setup.exe\"", false);
    EXPECT_EQ_INT(seen.exitCode, 1);
    EXPECT_EQ_INT(seen.errorBoxes.size(), 1);
    if (harness::IsWin9x())
        return; /* no window stations */
    printf("the same, in a window station without visible surfaces\n");
    harness::RemoveInstalled();
    bool boxes = false;
    EXPECT_EQ_INT(RunWhereNobodyWatches("missing-second", &boxes), 1);
    EXPECT_TRUE(!boxes);
    EXPECT_TRUE(GetFileAttributesA(harness::WinPath("Riredud.exe").c_str()) ==
                INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(GetFileAttributesA(harness::WinPath("Setup.inf").c_str()) ==
                INVALID_FILE_ATTRIBUTES);
}

int main(void)
{
    static const struct {
        const char *args, *appended;
        bool wait;
    } cases[] = {
        { "", "", false },
        { " /s -wait C:\\Temp", " /s \"C:\\Temp\"", true },
        { " -WAIT /Wait -wait", "", true },
        { " \"C:\\My Files\"", " \"C:\\My Files\"", false },
        { " \"-dir=C:\\My Files\"", " -dir=C:\\My Files", false },
        { " \"\"", " ", false },
        { " a\\\"b", " \"a\"b\"", false },
        { " \\\"x", " \"x", false },
        { " -S other", " -S \"other\"", false },
    };
    harness::ExpectPlatform();
    std::string setupProgram = harness::WinPath("Riredud.exe");
    std::string prefix = setupProgram + " -S \"" + harness::Sibling("media\\complete") + "\"";
    std::string reportVar = "STANDIN_REPORT=" + harness::StandinReportPath();
    putenv(reportVar.c_str());
    putenv("STANDIN_EXIT=3");

    for (const auto &c : cases) {
        printf("arguments:%s\n", harness::Quote(c.args).c_str());
        putenv(c.wait ? "STANDIN_CLOSE_MS=1500" : "STANDIN_CLOSE_MS=300");
        Launch launch = RunBootstrap("complete", c.args, SW_SHOWMINNOACTIVE);

        EXPECT_EQ_INT(launch.exitCode, 1);
        EXPECT_TRUE(!launch.errorBox);
        EXPECT_EQ_STR(launch.report["cmdline"], prefix + c.appended);
        if (c.wait) {
            /* Ended after the stand-in, which ran normally while it idled. */
            EXPECT_TRUE(launch.setupGoneAtExit);
            EXPECT_TRUE(!launch.setupRanAfterExit);
            EXPECT_EQ_STR(launch.report["priority"], "0x20");
            EXPECT_EQ_STR(launch.report["parent_priority"], "0x40");
            EXPECT_EQ_STR(launch.report["show"], "none");
        } else {
            EXPECT_TRUE(launch.setupRanAfterExit);
            EXPECT_EQ_STR(launch.report["show"], "7"); /* the bootstrap's own */
        }
    }

    /* A medium at the root of a drive (X: is the complete medium, mapped by
       the test fixture) is handed over as "X:". */
    printf("bootstrap at the root of drive X:\n");
    putenv("STANDIN_CLOSE_MS=300");
    Launch root = RunBootstrap("X:", "", SW_SHOWNORMAL);
    EXPECT_EQ_INT(root.exitCode, 1);
    EXPECT_EQ_STR(root.report["cmdline"], setupProgram + " -S \"X:\"");
    /* A setup program that cannot start: the fault suite (damaged). */
    ExitCodes();
    NobodyWatching();
    return harness::Finish();
}
