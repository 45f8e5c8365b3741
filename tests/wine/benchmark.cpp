/*
 * benchmark.cpp - how long the bootstrap takes from its start to the setup
 * program's window, beside the same work done without it (the platform's
 * expand of both files, then a direct start of the setup program), and the
 * bootstrap's peak memory.  Prints medians over RUNS runs (default 15).
 *
 *   benchmark [RUNS]      (tools/benchmark runs it under Wine)
 */
#include "harness.h"

#include <psapi.h>

#include <algorithm>
#include <vector>

static char winDir[MAX_PATH];

static double Now(void)
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return (double)counter.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

static std::string WinPath(const char *name)
{
    return std::string(winDir) + "\\" + name;
}

static void RemoveInstalled(void)
{
    DeleteFileA(WinPath("Riredud.exe").c_str());
    DeleteFileA(WinPath("Setup.inf").c_str());
}

/* Waits until the setup program's window is up, then until it is gone. */
static double WaitForSetupWindow(double start)
{
    while (!FindWindowA("QVInstallWin", NULL))
        Sleep(1);
    double shown = Now() - start;
    while (FindWindowA("QVInstallWin", NULL))
        Sleep(5);
    return shown;
}

static void RunAndWait(const std::string &cmdLine, PROCESS_MEMORY_COUNTERS *memory)
{
    PROCESS_INFORMATION pi;
    if (!harness::Start(cmdLine, &pi))
        return;
    WaitForSingleObject(pi.hProcess, INFINITE);
    if (memory) {
        memory->cb = sizeof *memory;
        GetProcessMemoryInfo(pi.hProcess, memory, sizeof *memory);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

static double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int main(int argc, char **argv)
{
    int runs = argc > 1 ? atoi(argv[1]) : 15;
    std::string medium = harness::Sibling("media\\complete\\");
    std::vector<double> withBootstrap, withoutBootstrap, peakKiB;

    GetWindowsDirectoryA(winDir, MAX_PATH);
    putenv("STANDIN_CLOSE_MS=50");
    putenv("STANDIN_REPORT=");
    for (int i = 0; i < runs; i++) {
        PROCESS_MEMORY_COUNTERS memory = {};
        RemoveInstalled();
        double start = Now();
        RunAndWait("\"" + medium + "Setup.exe\"", &memory);
        withBootstrap.push_back(WaitForSetupWindow(start));
        peakKiB.push_back((double)memory.PeakWorkingSetSize / 1024.0);

        RemoveInstalled();
        start = Now();
        RunAndWait("expand \"" + medium + "Riredud.e#e\" \"" + WinPath("Riredud.exe") + "\"", NULL);
        RunAndWait("expand \"" + medium + "Setup.i#f\" \"" + WinPath("Setup.inf") + "\"", NULL);
        PROCESS_INFORMATION pi;
        if (harness::Start(WinPath("Riredud.exe") + " -S \"" + medium + "\"", &pi)) {
            withoutBootstrap.push_back(WaitForSetupWindow(start));
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }
    RemoveInstalled();
    printf("runs: %d\n", runs);
    printf("bootstrap, start to setup window:           median %.0f ms\n", Median(withBootstrap));
    printf("expand twice + direct start, to the window: median %.0f ms\n", Median(withoutBootstrap));
    printf("bootstrap peak working set:                 median %.0f KiB\n", Median(peakKiB));
    return 0;
}
