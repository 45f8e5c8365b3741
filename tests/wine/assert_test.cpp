/*
 * The assertion report of the shipped program, seen from outside.  A
 * debugger runs the real Setup.exe from a complete medium and makes one
 * system call that a check guards fail for real (the call returns the
 * failure at once); it reads the report from the debug output, reads the
 * box, answers it Yes or No, and sees the program go on or end.
 */
#include "debugger.h"
#include "harness.h"

#include "expected_strings.h"

struct Seen {
    std::string boxText, caption;
    bool yesNo = false, topmost = false, answered = false;
};

/* Reads and answers the report box of process pid, once. */
static void AnswerReport(DWORD pid, int answer, Seen *seen)
{
    HWND box = seen->answered ? NULL : harness::FindProcessWindow(pid, "Assertion Failure!");
    if (!box)
        return;
    seen->boxText = harness::BoxText(box);
    if (seen->boxText.empty())
        return; /* not filled in yet: read it again next time */
    seen->caption = harness::WindowText(box);
    seen->yesNo = GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO) && !GetDlgItem(box, IDOK);
    seen->topmost = (GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    PostMessageA(box, WM_COMMAND, answer, 0);
    seen->answered = true;
}

static std::string Report(int line, const char *expression)
{
    char text[1024];
    snprintf(text, sizeof text, ExpectedString(IDS_ASSERT_FORMAT), "stub", line, expression);
    return text;
}

int main(void)
{
    enum After { WAITED, DID_NOT_WAIT, INSTALLED_AND_STARTED };
    static const struct {
        const char *name, *args, *function;
        int argumentBytes;
        int skip; /* calls let through first (of a wait: waits without a time limit) */
        ULONG_PTR failure;
        int line;
        const char *expression;
        int answer;
        long exitCode;
        After after;
    } cases[] = {
        { "priority change fails, Yes goes on and waits", " -wait", "SetPriorityClass", 8, 0, 0,
          187, "SetPriorityClass(hStub,0x00000040)", IDYES, 1, WAITED },
        { "priority change fails, No ends at once", " -wait", "SetPriorityClass", 8, 0, 0, 187,
          "SetPriorityClass(hStub,0x00000040)", IDNO, 1, DID_NOT_WAIT },
        /* The first wait is the one for the mutex of all bootstraps. */
        { "the wait fails, Yes returns without waiting", " -wait", "WaitForSingleObject", 8, 1,
          WAIT_FAILED, 193, "WaitForSingleObject() failed!!", IDYES, 1, DID_NOT_WAIT },
        { "the version query fails, Yes installs with long names", "", "GetVersionExA", 4, 0, 0,
          395, "GetVersionExA(&verInfo)", IDYES, 1, INSTALLED_AND_STARTED },
    };
    harness::ExpectPlatform();
    std::string report = "STANDIN_REPORT=" + harness::StandinReportPath();
    putenv(report.c_str());

    for (const auto &c : cases) {
        printf("%s\n", c.name);
        harness::RemoveInstalled();
        DeleteFileA(harness::StandinReportPath().c_str());
        /* Long enough to be seen running by a bootstrap that did not wait. */
        putenv(c.after == WAITED ? "STANDIN_CLOSE_MS=1500" : "STANDIN_CLOSE_MS=20000");
        Seen seen;
        int passed = 0;
        std::vector<harness::Breakpoint> breakpoints = {
            { "kernel32.dll", c.function, c.argumentBytes,
              [&](harness::Stop &stop) {
                  harness::Verdict verdict;
                  bool counts = c.skip == 0 || stop.Argument(1) == INFINITE;
                  if (stop.FromProgram() && counts && passed++ >= c.skip) {
                      verdict.fForceReturn = true;
                      verdict.result = c.failure;
                      verdict.fDisarm = true;
                  }
                  return verdict;
              } },
        };
        std::string cmdLine = harness::QuotedPath(harness::Medium("complete", "Setup.exe")) + c.args;
        harness::Debuggee run = harness::Debug(
            cmdLine, breakpoints, [&](DWORD pid) { AnswerReport(pid, c.answer, &seen); });
        harness::AfterExit after = harness::WatchStandin(true);

        EXPECT_TRUE(run.breakpointsSet);
        EXPECT_EQ_INT(breakpoints[0].calls > 0, 1);
        EXPECT_EQ_STR(run.debugOutput, Report(c.line, c.expression));
        EXPECT_EQ_STR(seen.boxText, Report(c.line, c.expression));
        EXPECT_EQ_STR(seen.caption, "Assertion Failure!");
        EXPECT_TRUE(seen.yesNo);
        EXPECT_TRUE(seen.topmost);
        EXPECT_EQ_INT(run.exitCode, c.exitCode);
        /* The setup program was started in every case; a bootstrap that
           waited saw it end. */
        EXPECT_TRUE(!after.report["cmdline"].empty());
        EXPECT_TRUE(after.runningAfterExit == (c.after != WAITED));
        if (c.after == INSTALLED_AND_STARTED)
            EXPECT_TRUE(harness::Contents(harness::WinPath("Riredud.exe")) ==
                        harness::Contents(harness::Medium("originals", "Riredud.exe")));
    }
    harness::RemoveInstalled();
    return harness::Finish();
}
