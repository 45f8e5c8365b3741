/*
 * The real program with the setup program's window already open: it brings
 * that window to the front and ends with 0, showing nothing and installing
 * nothing.
 *
 *   single_instance_test double   Setup.exe started twice or three times at
 *                                 once and shortly after one another: one
 *                                 setup program, no box, both files whole
 */
#include "harness.h"

#include <tlhelp32.h>

#include <set>
#include <string>
#include <vector>

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

/* The process that started process pid. */
static DWORD ParentOf(DWORD pid)
{
    PROCESSENTRY32 entry = {};
    DWORD parent = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == pid)
            parent = entry.th32ParentProcessID;
    CloseHandle(snapshot);
    return parent;
}

struct Seen {
    std::set<DWORD> setupPrograms; /* processes with a window of its class */
    std::set<DWORD> withWindows;   /* bootstraps that showed a window */
};

static BOOL CALLBACK SeeWindow(HWND hwnd, LPARAM lParam)
{
    Seen *seen = (Seen *)lParam;
    char cls[64] = "";
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    GetClassNameA(hwnd, cls, sizeof cls);
    if (strcmp(cls, "QVInstallWin") == 0)
        seen->setupPrograms.insert(pid);
    else
        seen->withWindows.insert(pid);
    return TRUE;
}

/* Setup.exe of the complete medium started once at each of delays (ms
   after the one before), watched until every one has ended: exactly one
   setup program, started by the one bootstrap that ended with 1; the
   others end with 0 and show nothing; no box; both files as on the medium. */
static void DoubleStarts(void)
{
    static const struct {
        const char *name;
        std::vector<DWORD> delays;
    } rounds[] = {
        { "two starts 0.05 s apart", { 0, 50 } },
        { "two starts 1 s apart", { 0, 1000 } },
        { "three starts at once", { 0, 0, 0 } },
    };
    std::string setup = harness::QuotedPath(harness::Medium("complete", "Setup.exe"));
    for (int repeat = 1; repeat <= 2; repeat++) {
        for (const auto &round : rounds) {
            harness::RemoveInstalled();
            std::vector<PROCESS_INFORMATION> starts(round.delays.size());
            std::vector<std::string> boxes;
            Seen seen;
            for (size_t i = 0; i < starts.size(); i++) {
                Sleep(round.delays[i]);
                EXPECT_TRUE(harness::Start(setup, &starts[i]));
            }
            std::vector<long> exits(starts.size(), -1);
            for (DWORD start = GetTickCount(); GetTickCount() - start < 60000;) {
                EnumWindows(SeeWindow, (LPARAM)&seen);
                bool running = false;
                for (size_t i = 0; i < starts.size(); i++) {
                    harness::AnswerBox(starts[i].dwProcessId, "Setup Error", IDOK, &boxes);
                    harness::AnswerBox(starts[i].dwProcessId, "Assertion Failure!", IDNO, &boxes);
                    running = running || WaitForSingleObject(starts[i].hProcess, 0) == WAIT_TIMEOUT;
                }
                if (!running)
                    break;
                Sleep(10);
            }
            EnumWindows(SeeWindow, (LPARAM)&seen);
            DWORD setupProgram = seen.setupPrograms.empty() ? 0 : *seen.setupPrograms.begin();
            DWORD starter = ParentOf(setupProgram);
            std::string exitCodes;
            for (size_t i = 0; i < starts.size(); i++) {
                exits[i] = harness::WaitForExit(starts[i].hProcess, 1000);
                exitCodes += " " + std::to_string(exits[i]);
                bool started = starts[i].dwProcessId == starter;
                EXPECT_EQ_INT(exits[i], started ? 1 : 0);
                if (!started) /* it waited, and showed nothing */
                    EXPECT_TRUE(!seen.withWindows.count(starts[i].dwProcessId));
                CloseHandle(starts[i].hThread);
                CloseHandle(starts[i].hProcess);
            }
            printf("%s (round %d): exit codes%s; %u setup program(s); %u box(es)\n", round.name,
                   repeat, exitCodes.c_str(), (unsigned)seen.setupPrograms.size(),
                   (unsigned)boxes.size());
            for (const std::string &box : boxes)
                printf("  box: %s\n", harness::Quote(box).c_str());
            EXPECT_EQ_INT(seen.setupPrograms.size(), 1);
            EXPECT_TRUE(boxes.empty());
            EXPECT_TRUE(harness::Contents(harness::WinPath("Riredud.exe")) ==
                        harness::Contents(harness::Medium("originals", "Riredud.exe")));
            EXPECT_TRUE(harness::Contents(harness::WinPath("Setup.inf")) ==
                        harness::Contents(harness::Medium("originals", "Setup.inf")));
            for (DWORD pid : seen.setupPrograms) {
                HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
                TerminateProcess(process, 0);
                WaitForSingleObject(process, 10000);
                CloseHandle(process);
            }
        }
    }
    harness::RemoveInstalled();
}

int main(int argc, char **argv)
{
    harness::ExpectPlatform();
    harness::RemoveInstalled();
    if (argc > 1 && strcmp(argv[1], "double") == 0) {
        DoubleStarts();
        return harness::Finish();
    }
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
