/*
 * The launcher: splitting the command line, passing arguments on, waiting.
 */
#include "test_support.h"

#include "bootstrap/launcher.h"

class LauncherTest : public FakeTest {};

static std::vector<std::string> Split(const std::string &cmdLine)
{
    static char arg[CMDLINE_CCH];
    std::vector<std::string> args;
    LPCSTR pos = SkipProgramName(cmdLine.c_str());
    BOOL fits = TRUE;
    while (NextArgument(&pos, arg, NElems(arg), &fits))
        args.push_back(arg);
    return args;
}

static const struct {
    const char *cmdLine;
    std::vector<std::string> args;
    bool doubleByte;
} splitCases[] = {
    { "SETUP.EXE", {}, false },
    { "SETUP.EXE   \t ", {}, false },
    { "SETUP.EXE a\"b c\"d", { "ab cd" }, false },
    { "SETUP.EXE \"a\"\"b\"", { "a\"b" }, false },
    { "SETUP.EXE \"a\"\"b c\"", { "a\"b", "c" }, false },
    { "SETUP.EXE \\\\\\\"x", { "\\\"x" }, false },
    { "SETUP.EXE \\\\\\\\\"a b\"", { "\\\\a b" }, false },
    { "SETUP.EXE x\\\\y a\\", { "x\\\\y", "a\\" }, false },
    { "SETUP.EXE \"a b\"c", { "a bc" }, false },
    { "SETUP.EXE \"\"", { "" }, false },
    { "SETUP.EXE \"\" x", { "", "x" }, false },
    { "SETUP.EXE\ta\t\tb", { "a", "b" }, false },
    { "SETUP.EXE \"open ended", { "open ended" }, false },
    { "SETUP.EXE \x0b\x01", { "\x0b\x01" }, false },
    { "\"D:\\My Setup\\SETUP.EXE\"next arg", { "next", "arg" }, false },
    { "\"D:\\a\\b \" c", { "c" }, false },
    { "\"D:\\unterminated name", {}, false },
    /* Double-byte pairs: a trail byte 0x5C or 0x22 means nothing. */
    { "SETUP.EXE \x95\x5C\"a b\"", { "\x95\x5C" "a b" }, true },
    { "SETUP.EXE \x95\x5C\"a b\"", { "\x95\"a", "b" }, false },
    { "SETUP.EXE \x95\"x y", { "\x95\"x", "y" }, true },
    { "\"\x95\" x\" y", { "y" }, true },
    { "\"\x95\" x\" y", { "x y" }, false },
};

TEST_F(LauncherTest, CommandLinesSplitIntoArguments)
{
    for (const auto &c : splitCases) {
        fake::state.doubleByteCodePage = c.doubleByte;
        EXPECT_EQ(Split(c.cmdLine), c.args) << c.cmdLine << (c.doubleByte ? " (932)" : "");
    }
}

static const struct {
    const char *cmdLine;
    const char *appended;
    int wait;
} appendCases[] = {
    { "SETUP.EXE", "", 0 },
    { "SETUP.EXE /s -wait C:\\Temp", " /s \"C:\\Temp\"", 1 },
    { "SETUP.EXE -WAIT /Wait -wait", "", 1 },
    { "SETUP.EXE -wAiT", "", 1 },
    { "SETUP.EXE -S x", " -S \"x\"", 0 },
    { "SETUP.EXE -waiting --wait -wait:1 wait", " -waiting --wait -wait:1 \"wait\"", 0 },
    { "SETUP.EXE \"C:\\My Files\"", " \"C:\\My Files\"", 0 },
    { "SETUP.EXE \"-dir=C:\\My Files\"", " -dir=C:\\My Files", 0 },
    { "SETUP.EXE \"\"", " ", 0 },
    { "SETUP.EXE a\\\"b", " \"a\"b\"", 0 },
    { "SETUP.EXE \\\"x", " \"x", 0 },
    { "SETUP.EXE \"/wait\"", "", 1 },
    { "SETUP.EXE /wa\xC9t", " /wa\xC9t", 0 },
};

TEST_F(LauncherTest, ArgumentsArePassedOnAndTheWaitOptionWithheld)
{
    for (const auto &c : appendCases) {
        char cmdLine[CMDLINE_CCH] = "X";
        BOOL allFit = FALSE;
        fake::state.commandLine = c.cmdLine;
        EXPECT_EQ(AppendPassedArgs(cmdLine + 1, NElems(cmdLine) - 1, &allFit), c.wait)
            << c.cmdLine;
        EXPECT_EQ(std::string(cmdLine + 1), c.appended) << c.cmdLine;
        EXPECT_TRUE(allFit) << c.cmdLine;
    }
}

TEST_F(LauncherTest, AnEmptyCommandLineIsSplitFromTheProgramPath)
{
    char cmdLine[64] = "";
    BOOL allFit;
    fake::state.commandLine = "";
    fake::state.modulePath = "D:\\My Setup\\SETUP.EXE";

    EXPECT_EQ(AppendPassedArgs(cmdLine, NElems(cmdLine), &allFit), 0);
    EXPECT_STREQ(cmdLine, " \"Setup\\SETUP.EXE\"");
}

TEST_F(LauncherTest, ArgumentsThatDoNotFitAreLeftOutWhole)
{
    char cmdLine[16];
    BOOL allFit;

    /* ' "abc"' takes 6 of 15 characters; ' "defghij"' would need 10 more. */
    fake::state.commandLine = "SETUP.EXE abc defghij x -wait";
    memset(cmdLine, 0, sizeof cmdLine);
    EXPECT_EQ(AppendPassedArgs(cmdLine, 16, &allFit), 1);
    EXPECT_STREQ(cmdLine, " \"abc\"");
    EXPECT_FALSE(allFit);

    /* Exactly room for the text and its NUL. */
    fake::state.commandLine = "SETUP.EXE abc defgh";
    cmdLine[0] = '\0';
    EXPECT_EQ(AppendPassedArgs(cmdLine, 15, &allFit), 0);
    EXPECT_STREQ(cmdLine, " \"abc\" \"defgh\"");
    EXPECT_TRUE(allFit);
}

TEST_F(LauncherTest, AnArgumentLongerThanAnyCommandLineIsNotCut)
{
    static char cmdLine[CMDLINE_CCH * 2];
    BOOL allFit;
    fake::state.commandLine = "SETUP.EXE -" + std::string(CMDLINE_CCH + 10, 'a');

    cmdLine[0] = '\0';
    AppendPassedArgs(cmdLine, NElems(cmdLine), &allFit);
    EXPECT_FALSE(allFit);
    EXPECT_STREQ(cmdLine, "");
}

TEST_F(LauncherTest, NullCommandLineBufferIsReported)
{
    BOOL allFit;
    EXPECT_EQ(AppendPassedArgs(NULL, 10, &allFit), 0);
    ASSERT_EQ(fake::state.boxes.size(), 1u);
    EXPECT_THAT(fake::state.boxes[0].text,
                ::testing::StartsWith("File: stub, Line#: 211\nAssert( outCmdLine );"));
}

TEST_F(LauncherTest, RunAndWaitStartsAtNormalPriorityWaitsIdleAndClosesBoth)
{
    char cmdLine[] = "C:\\WINDOWS\\Riredud.exe -S \"D:\"";
    fake::state.childExitCode = 3;
    BOOL started = FALSE, ended = FALSE;

    EXPECT_EQ(RunAndWait(cmdLine, &started, &ended), 3u);
    EXPECT_TRUE(started);
    EXPECT_TRUE(ended);

    EXPECT_THAT(fake::state.calls,
                ElementsAre("CreateProcessA(NULL,C:\\WINDOWS\\Riredud.exe -S \"D:\",NULL,NULL,0,"
                            "67108896,NULL,NULL)",
                            "GetCurrentProcess()", "SetPriorityClass(0xffffffffffffffff,64)",
                            "FindWindowA(QVInstallWin,NULL)", "WaitForSingleObject(0x7001,100)",
                            "WaitForSingleObject(0x7001,4294967295)",
                            "GetExitCodeProcess(0x7001)", "CloseHandle(0x7002)",
                            "CloseHandle(0x7001)"));
    STARTUPINFOA expected = {};
    expected.cb = sizeof(STARTUPINFOA);
    EXPECT_EQ(memcmp(&fake::state.lastStartup, &expected, sizeof expected), 0);
    EXPECT_THAT(fake::state.boxes, IsEmpty());
}

TEST_F(LauncherTest, AProgramThatCannotStartReturnsZeroQuietlyAndSaysSo)
{
    char cmdLine[] = "C:\\WINDOWS\\Riredud.exe";
    fake::state.createProcessOk = FALSE;
    BOOL started = TRUE, ended = TRUE;

    EXPECT_EQ(RunAndWait(cmdLine, &started, &ended), 0u);
    EXPECT_FALSE(started);
    EXPECT_FALSE(ended);
    EXPECT_EQ(fake::state.calls.size(), 1u);
    EXPECT_THAT(fake::state.boxes, IsEmpty());
}

TEST_F(LauncherTest, FailingPlatformCallsAreReportedAndTheWaitGoesOn)
{
    static const struct {
        const char *name;
        HANDLE process;
        BOOL priorityOk;
        DWORD wait;
        const char *report;
        DWORD exitCode;
    } cases[] = {
        { "own process", NULL, TRUE, WAIT_OBJECT_0, "184\nAssert( hStub );", 3 },
        { "priority", (HANDLE)-1, FALSE, WAIT_OBJECT_0,
          "187\nAssert( SetPriorityClass(hStub,0x00000040) );", 3 },
        { "wait", (HANDLE)-1, TRUE, WAIT_FAILED,
          "193\nAssert( WaitForSingleObject() failed!! );", 0 },
    };
    for (const auto &c : cases) {
        char cmdLine[] = "C:\\WINDOWS\\Riredud.exe";
        SetUp();
        fake::state.currentProcess = c.process;
        fake::state.setPriorityOk = c.priorityOk;
        fake::state.waitResult = c.wait;
        fake::state.childExitCode = 3;

        BOOL started = FALSE, ended = FALSE;
        EXPECT_EQ(RunAndWait(cmdLine, &started, &ended), c.exitCode) << c.name;
        EXPECT_TRUE(started) << c.name;
        /* A failed wait leaves the exit code unknown: no success is made of it. */
        EXPECT_EQ(ended, c.wait != WAIT_FAILED) << c.name;
        ASSERT_EQ(fake::state.boxes.size(), 1u) << c.name;
        EXPECT_THAT(fake::state.boxes[0].text, ::testing::HasSubstr(c.report)) << c.name;
        /* The look for its window, and the wait for its end. */
        EXPECT_EQ(fake::CallsNamed({ "WaitForSingleObject" }).size(), 2u) << c.name;
        EXPECT_EQ(fake::CallsNamed({ "CloseHandle" }).size(), 2u) << c.name;
    }
}

/* Before it waits for the setup program to end, RunAndWait looks for its
   window every 100 ms: the next bootstrap finds it then.  It stops looking
   when the window is up, when the setup program has ended, or after 30 s,
   as WinExec waits for a program's input. */
TEST_F(LauncherTest, RunAndWaitLooksForTheSetupWindowBeforeItWaits)
{
    static const struct {
        const char *name;
        HWND window;
        DWORD wait; /* what each wait on the setup program gives */
        size_t looks;
    } cases[] = {
        { "its window is up at once", (HWND)0x99, WAIT_OBJECT_0, 1 },
        { "it ends without one", NULL, WAIT_OBJECT_0, 1 },
        { "it never shows one", NULL, WAIT_TIMEOUT, 300 },
    };
    for (const auto &c : cases) {
        char cmdLine[] = "C:\\WINDOWS\\Riredud.exe";
        SetUp();
        fake::state.setupWindow = c.window;
        fake::state.waitResult = c.wait;
        BOOL started = FALSE, ended = FALSE;

        RunAndWait(cmdLine, &started, &ended);
        EXPECT_EQ(fake::CallsNamed({ "FindWindowA" }).size(), c.looks) << c.name;
        EXPECT_EQ(fake::CallsNamed({ "WaitForSingleObject" }).back(),
                  "WaitForSingleObject(0x7001,4294967295)")
            << c.name;
    }
}

TEST_F(LauncherTest, NullCommandLineIsReportedAndNothingStarted)
{
    BOOL started = TRUE, ended = TRUE;
    EXPECT_EQ(RunAndWait(NULL, &started, &ended), 0u);
    EXPECT_FALSE(ended);
    EXPECT_FALSE(started);
    EXPECT_THAT(fake::state.boxes[0].text,
                ::testing::StartsWith("File: stub, Line#: 163\nAssert( cmdLine );"));
    EXPECT_THAT(fake::CallsNamed({ "CreateProcessA" }), IsEmpty());
}
