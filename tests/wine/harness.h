/*
 * harness.h - a small test harness for programs that run under Wine.
 *
 * Each test program is a console program: it checks with EXPECT_*, prints
 * one line per failure and a closing "N passed, N failed" line, and exits
 * with 0 only when nothing failed.
 */
#ifndef WINE_HARNESS_H
#define WINE_HARNESS_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace harness {

void Expect(bool ok, const char *what, const char *file, int line, const std::string &detail);
int Finish(void);

/* Checks first thing that the platform is the one this run is for:
   BOOTSTRAP_EXPECT_WINDOWS holds "PLATFORM MAJOR.MINOR" as GetVersionExA
   reports them (for example "1 4.10" for Windows 98), so that a prefix
   that fell back to another version fails instead of passing. */
void ExpectPlatform(void);
bool IsWin9x(void);

/* Full path of a program that lies beside this test program. */
std::string Sibling(const char *name);

/* The top-level window with this caption (NULL: any) owned by process
   pid, or NULL. */
HWND FindProcessWindow(DWORD pid, const char *caption);

/* Waits up to timeoutMs for such a window, handling this thread's
   messages meanwhile. */
HWND WaitForProcessWindow(DWORD pid, const char *caption, DWORD timeoutMs);

/* The text of a message box. */
std::string BoxText(HWND box);

std::string WindowText(HWND hwnd);

/* Starts cmdLine, with show as its show command unless it is NO_SHOW; the
   process and thread handles are the caller's. */
#define NO_SHOW 0xFFFF
bool Start(const std::string &cmdLine, PROCESS_INFORMATION *pi, DWORD flags = 0,
           WORD show = NO_SHOW);

/* Waits up to timeoutMs for the process to end, handling this thread's
   messages; returns its exit code, or -1 after a time-out (the process is
   then ended). */
long WaitForExit(HANDLE process, DWORD timeoutMs);

/* text with non-printing bytes written as \n, \t, \xNN: for messages. */
std::string Quote(const std::string &text);

/* path in double quotes, for a command line. */
std::string QuotedPath(const std::string &path);

/* The Windows directory, a file in it, and a file of a test medium
   (media\MEDIUM beside the test program). */
std::string WinDir(void);
std::string WinPath(const char *name);
std::string Medium(const char *medium, const char *name);

bool Exists(const std::string &path);
std::string Contents(const std::string &path); /* "<absent>" when unreadable */

/* Removes Riredud.exe and Setup.inf from the Windows directory. */
void RemoveInstalled(void);

/* Saves the screen as a bitmap file; counts the pixels of a screen
   rectangle that are darker than a quarter grey, and lighter than three
   quarters. */
void SaveScreen(const std::string &path);
void CountPixels(const RECT &rc, long *dark, long *light);
/* The smallest rectangle (screen coordinates) holding every dark pixel of
   rc on the screen; empty (left > right) where there is none. */
RECT DarkBounds(const RECT &rc);

/* The stand-in setup program's report (sample/standin): the file it is
   told to write through STANDIN_REPORT, and its key=value lines, empty
   while there is no report. */
std::string StandinReportPath(void);
std::map<std::string, std::string> ReadStandinReport(void);

/* What became of the stand-in, looked at right after the bootstrap ended:
   waits up to timeoutMs until it has reported (or, when fExpectStart is
   FALSE, one second for it to report at all), and ends it if it still
   runs. */
struct AfterExit {
    bool runningAfterExit = false; /* it had not ended when the bootstrap did */
    std::map<std::string, std::string> report;
};
AfterExit WatchStandin(bool fExpectStart, DWORD timeoutMs = 10000);

/* What a user sees of one run of the bootstrap, and what it started. */
struct Run {
    long exitCode = -1;
    std::vector<std::string> errorBoxes, assertReports;
    std::string setupCommandLine;
    std::vector<std::string> added; /* files that appeared in the Windows directory */
};

/* Reads and answers a box of process pid with this caption, if one is up,
   keeps its text in texts and waits until it is gone. */
void AnswerBox(DWORD pid, const char *caption, int answer, std::vector<std::string> *texts);

/* Runs cmdLine (the bootstrap and its arguments) to its end, answering its
   "Setup Error" boxes OK and its reports Yes, and watching the Windows
   directory; then waits up to 10 s for the setup program's report when
   expectLaunch.  (The splash window is the splash suite's: it stops the
   program where the window is destroyed, since a poll may miss a window
   that lives some milliseconds.) */
Run RunSetup(const std::string &cmdLine, bool expectLaunch);
/* The same, started as a user starts it, with a UTF-16 command line. */
Run RunSetupW(const std::wstring &cmdLine, bool expectLaunch);

/* The files of dir, or of the Windows directory, that match pattern
   ("ver*.tmp"), each as "name size". */
std::vector<std::string> FilesIn(const std::string &dir, const char *pattern);
std::vector<std::string> LeftInWindows(const char *pattern);

/* Answers every box with this caption that this process shows, from a
   thread of its own, and keeps the texts it answered. */
void AnswerBoxes(const char *caption, int answer);
std::vector<std::string> AnsweredBoxes(void);

} // namespace harness

namespace harness {
void ExpectEqual(const std::string &got, const std::string &expected, const char *what,
                 const char *file, int line);
void ExpectEqual(long long got, long long expected, const char *what, const char *file, int line);
} // namespace harness

/* Each evaluates its arguments once. */
#define EXPECT_TRUE(c) harness::Expect((c), #c, __FILE__, __LINE__, "")
#define EXPECT_EQ_STR(a, b)                                                                    \
    harness::ExpectEqual(std::string(a), std::string(b), #a " == " #b, __FILE__, __LINE__)
#define EXPECT_EQ_INT(a, b)                                                                    \
    harness::ExpectEqual((long long)(a), (long long)(b), #a " == " #b, __FILE__, __LINE__)

#endif
