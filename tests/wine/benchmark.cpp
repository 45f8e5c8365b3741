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
 *
 * And the check of the installed files against the medium's record:
 *
 *   benchmark check RUNS       media large (a 20 MiB setup program, its
 *                              record) and large-bare (the same beside a
 *                              bare build, nothing checked): start to the
 *                              setup window of each, in turn, and what the
 *                              check adds; and the throughput below
 *   benchmark throughput RUNS  the check of a 20 MiB file on each path of
 *                              SHA-256 this CPU has, in MB/s
 */
#include "harness.h"

#include "install/record.h"

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

#define LARGE_CB (20u << 20)

/* The check of the file at path against its own record, on each path this
   CPU has: the median time of runs, and the throughput. */
static void Throughput(const std::string &path, int runs)
{
    static BYTE chunk[1 << 16];
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0,
                           NULL);
    RecordEntry entry = {};
    Sha256 sha;
    DWORD n;
    Sha256Init(&sha, FALSE);
    while (ReadFile(h, chunk, sizeof chunk, &n, NULL) && n > 0) {
        Sha256Update(&sha, chunk, n);
        entry.cbFile += n;
    }
    CloseHandle(h);
    Sha256Final(&sha, entry.digest);

    CpuFeatures cpu;
    ReadCpuFeatures(&cpu);
    for (BOOL fShaExtensions : { FALSE, TRUE }) {
        if (fShaExtensions && !CanUseShaExtensions(&cpu, VER_PLATFORM_WIN32_NT, 10, 0, 19045)) {
            printf("  SHA extensions: this CPU has none\n");
            continue;
        }
        std::vector<double> times;
        bool ok = true;
        for (int i = 0; i < runs; i++) {
            double start = Now();
            ok = ok && CheckInstalledFile(path.c_str(), &entry, fShaExtensions) == 0;
            times.push_back(Now() - start);
        }
        double ms = Median(times);
        printf("  %-15s %u bytes checked in %.1f ms (median of %d): %.0f MB/s%s\n",
               fShaExtensions ? "SHA extensions:" : "portable:", (unsigned)entry.cbFile, ms, runs,
               entry.cbFile / 1000.0 / ms, ok ? "" : " (FAILED: the check refused the file)");
    }
}

/* Start to the setup window, a run of medium's Setup.exe. */
static double TimeToWindow(const std::string &medium)
{
    PROCESS_INFORMATION pi;
    double start = Now(), shown = 0;
    harness::RemoveInstalled();
    if (harness::Start(harness::QuotedPath(medium + "Setup.exe"), &pi)) {
        shown = WaitForSetupWindow(start);
        WaitForSingleObject(pi.hProcess, INFINITE);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    return shown;
}

static int Check(int runs)
{
    std::string large = harness::Sibling("media\\large\\");
    std::string bare = harness::Sibling("media\\large-bare\\");
    std::vector<double> checked, unchecked;

    for (int i = 0; i < runs; i++) {
        checked.push_back(TimeToWindow(large));
        unchecked.push_back(TimeToWindow(bare));
    }
    double with = Median(checked), without = Median(unchecked);
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    printf("the check of a medium with a setup program of %u bytes, Windows %lu.%lu (platform %lu): "
           "the program takes the %s path here\n",
           (unsigned)harness::Contents(harness::WinPath("Riredud.exe")).size(),
           version.dwMajorVersion, version.dwMinorVersion, version.dwPlatformId,
           ShaExtensionsUsable() ? "SHA extensions'" : "portable");
    printf("  start to the setup window: with the record median %.0f ms, beside a bare build "
           "median %.0f ms: the check adds %.0f ms, %.1f %% of the run\n",
           with, without, with - without, with > 0 ? 100.0 * (with - without) / with : 0);
    Throughput(harness::WinPath("Riredud.exe"), runs);
    harness::RemoveInstalled();
    return 0;
}

int main(int argc, char **argv)
{
    putenv("STANDIN_CLOSE_MS=50");
    putenv("STANDIN_REPORT=");
    if (argc > 2 && strcmp(argv[1], "check") == 0)
        return Check(atoi(argv[2]));
    if (argc > 2 && strcmp(argv[1], "throughput") == 0) {
        /* A file of its own: the same source on a build without media. */
        std::string path = harness::WinPath("throughput.bin");
        std::string data(LARGE_CB, '\0');
        for (size_t i = 0; i < data.size(); i++)
            data[i] = (char)(i * 2654435761u >> 24);
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        DWORD written;
        WriteFile(h, data.data(), (DWORD)data.size(), &written, NULL);
        CloseHandle(h);
        printf("the check of a file of %u bytes in %d-bit code\n", LARGE_CB, (int)sizeof(void *) * 8);
        Throughput(path, atoi(argv[2]));
        DeleteFileA(path.c_str());
        return 0;
    }
    int runs = argc > 1 ? atoi(argv[1]) : 15;
    std::string medium = harness::Sibling("media\\complete\\");
    std::vector<double> bootstrapWindow, bootstrapEnd, baseline, peakKiB;

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
