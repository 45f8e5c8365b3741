/*
 * The bootstrap's arguments reach the setup program exactly, and -wait
 * really waits: the real Setup.exe runs from a real medium whose setup
 * program is the stand-in, which reports the command line it received, its
 * priority class, its parent's and its show command.
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
    return harness::Finish();
}
