/*
 * benchmark.cpp - how long the bootstrap takes from its start until the
 * setup program's window is up, beside the same work done without it (the
 * platform's expand of both files, then a direct start of the setup
 * program), run for run in turn; and until the bootstrap has ended, and
 * its peak memory.  Prints medians over RUNS runs (default 15) and the
 * ratio of the two times.  The bootstrap is polled for its window while it
 * runs: it ends only once the setup program waits for input.
 *
 *   benchmark [RUNS]      (tools/benchmark runs it under Wine)
 */
#include "harness.h"

#include <psapi.h>

#include <algorithm>
#include <vector>

static double Now(void)
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return (double)counter.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

/* The peak working set of a running process, in KiB, as far as seen. */
static void SampleMemory(HANDLE process, double *peakKiB)
{
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    /* Wine answers for a process only while it runs. */
    if (process && GetProcessMemoryInfo(process, &memory, sizeof memory))
        *peakKiB = std::max(*peakKiB, (double)memory.PeakWorkingSetSize / 1024.0);
}

/* Polls for the setup program's window from start on; returns when it is
   up, in milliseconds since start, and waits until it is gone again.
   Meanwhile samples the memory of process, when given. */
static double WaitForSetupWindow(double start, HANDLE process = NULL, double *peakKiB = NULL)
{
    while (!FindWindowA("QVInstallWin", NULL)) {
        SampleMemory(process, peakKiB);
        Sleep(1);
    }
    double shown = Now() - start;
    while (FindWindowA("QVInstallWin", NULL)) {
        SampleMemory(process, peakKiB);
        Sleep(5);
    }
    return shown;
}

/* Runs cmdLine to its end. */
static void RunToEnd(const std::string &cmdLine)
{
    PROCESS_INFORMATION pi;
    if (!harness::Start(cmdLine, &pi))
        return;
    WaitForSingleObject(pi.hProcess, INFINITE);
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
    std::vector<double> bootstrapWindow, bootstrapEnd, baseline, peakKiB;

    putenv("STANDIN_CLOSE_MS=50");
    putenv("STANDIN_REPORT=");
    for (int i = 0; i < runs; i++) {
        PROCESS_INFORMATION pi;
        harness::RemoveInstalled();
        double start = Now();
        if (harness::Start(harness::QuotedPath(medium + "Setup.exe"), &pi)) {
            double peak = 0;
            bootstrapWindow.push_back(WaitForSetupWindow(start, pi.hProcess, &peak));
            while (WaitForSingleObject(pi.hProcess, 1) == WAIT_TIMEOUT)
                SampleMemory(pi.hProcess, &peak);
            bootstrapEnd.push_back(Now() - start);
            peakKiB.push_back(peak);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }

        harness::RemoveInstalled();
        start = Now();
        RunToEnd("expand " + harness::QuotedPath(medium + "Riredud.e#e") + " " +
                 harness::QuotedPath(harness::WinPath("Riredud.exe")));
        RunToEnd("expand " + harness::QuotedPath(medium + "Setup.i#f") + " " +
                 harness::QuotedPath(harness::WinPath("Setup.inf")));
        if (harness::Start(harness::WinPath("Riredud.exe") + " -S " + harness::QuotedPath(medium),
                           &pi)) {
            baseline.push_back(WaitForSetupWindow(start));
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }
    harness::RemoveInstalled();
    double withIt = Median(bootstrapWindow), without = Median(baseline);
    printf("runs: %d, %d-bit bootstrap\n", runs, (int)sizeof(void *) * 8);
    printf("bootstrap, start to setup window:           median %.0f ms\n", withIt);
    printf("expand twice + direct start, to the window: median %.0f ms\n", without);
    printf("ratio:                                      %.2f\n", without > 0 ? withIt / without : 0);
    printf("bootstrap, start to its end:                median %.0f ms\n", Median(bootstrapEnd));
    printf("bootstrap peak working set:                 median %.0f KiB\n", Median(peakKiB));
    return 0;
}
