/*
 * The main flow: from WinMain to the exit code.
 */
#include "test_support.h"

#include "bootstrap/bootstrap.h"
#include "bootstrap/launcher.h"
#include "install/install.h"
#include "install/record.h"

using ::testing::HasSubstr;
using ::testing::Not;

class MainFlowTest : public FakeTest {
protected:
    void SetUp() override
    {
        FakeTest::SetUp();
        fake::AddFile("D:\\Riredud.e#e");
        fake::AddFile("D:\\Setup.i#f");
    }

    int Run(int nCmdShow = SW_SHOWNORMAL)
    {
        return WinMain(fake::hTestInstance, NULL, (LPSTR) "", nCmdShow);
    }

    /* The visible steps of a run, in order. */
    std::vector<std::string> Steps()
    {
        return fake::CallsNamed({ "FindWindowA", "SetForegroundWindow", "CreateDialogParamA",
                                  "SysVerInstallFileA", "OpenFile", "DestroyWindow", "MessageBoxA",
                                  "WinExec", "CreateProcessA" });
    }

    void FailInstallOf(const std::string &srcName)
    {
        fake::state.verInstallFile = [srcName](const fake::VerInstallCall &c, LPSTR, PUINT) {
            if (c.srcName == srcName)
                return (DWORD)VIF_CANNOTREADSRC;
            fake::AddFile(c.destDir + "\\" + c.destName);
            return (DWORD)0;
        };
    }
};

TEST_F(MainFlowTest, ARunningSetupProgramIsBroughtForwardAndNothingElseHappens)
{
    fake::state.setupWindow = (HWND)0x99;

    EXPECT_EQ(Run(), 0);
    EXPECT_THAT(fake::state.calls,
                ElementsAre("CreateMutexA(NULL,0,Global\\RiredudSetup)",
                            "WaitForSingleObject(0x6001,4294967295)",
                            "FindWindowA(QVInstallWin,NULL)", "SetForegroundWindow(0x99)",
                            "ReleaseMutex(0x6001)", "CloseHandle(0x6001)"));
}

TEST_F(MainFlowTest, SuccessInstallsBothFilesThenStartsTheSetupProgram)
{
    EXPECT_EQ(Run(SW_SHOWMINIMIZED), 1);

    EXPECT_THAT(Steps(),
                ElementsAre("FindWindowA(QVInstallWin,NULL)",
                            "CreateDialogParamA(0x400000,100,NULL,0)",
                            "SysVerInstallFileA(3,Riredud.e#e,Riredud.exe,D:,C:\\WINDOWS,,,260)",
                            "SysVerInstallFileA(3,Setup.i#f,Setup.inf,D:,C:\\WINDOWS,,,260)",
                            "DestroyWindow(0x5100)",
                            "WinExec(C:\\WINDOWS\\Riredud.exe -S \"D:\",2)"));
    EXPECT_TRUE(fake::FileIs("C:\\WINDOWS\\Riredud.exe"));
    EXPECT_TRUE(fake::FileIs("C:\\WINDOWS\\Setup.inf"));
}

TEST_F(MainFlowTest, TheWaitOptionRunsTheSetupProgramAndWaits)
{
    fake::state.commandLine = "D:\\SETUP.EXE /s -wait";
    fake::state.childExitCode = 3;

    EXPECT_EQ(Run(), 1);
    EXPECT_THAT(fake::CallsNamed({ "WinExec", "CreateProcessA", "WaitForSingleObject" }),
                ElementsAre("WaitForSingleObject(0x6001,4294967295)",
                            "CreateProcessA(NULL,C:\\WINDOWS\\Riredud.exe -S \"D:\" /s,NULL,"
                            "NULL,0,67108896,NULL,NULL)",
                            "WaitForSingleObject(0x7001,100)",
                            "WaitForSingleObject(0x7001,4294967295)"));
}

TEST_F(MainFlowTest, FirstFileFailingStopsCleansUpBothAndReports)
{
    fake::AddFile("C:\\WINDOWS\\Setup.inf"); /* left by an earlier run */
    FailInstallOf("Riredud.e#e");

    EXPECT_EQ(Run(), 1);

    EXPECT_THAT(Steps(),
                ElementsAre("FindWindowA(QVInstallWin,NULL)",
                            "CreateDialogParamA(0x400000,100,NULL,0)",
                            "SysVerInstallFileA(3,Riredud.e#e,Riredud.exe,D:,C:\\WINDOWS,,,260)",
                            "OpenFile(C:\\WINDOWS\\Riredud.exe,16384)",
                            "OpenFile(C:\\WINDOWS\\Setup.inf,16384)",
                            "OpenFile(C:\\WINDOWS\\Setup.inf,512)", "DestroyWindow(0x5100)",
                            HasSubstr("MessageBoxA(")));
    EXPECT_FALSE(fake::FileIs("C:\\WINDOWS\\Setup.inf"));
    ASSERT_EQ(fake::state.boxes.size(), 1u);
    EXPECT_EQ(fake::state.boxes[0].text, fake::state.strings[IDS_READ_ERROR]);
    EXPECT_EQ(fake::state.boxes[0].caption, "Setup Error");
}

TEST_F(MainFlowTest, SecondFileFailingRemovesTheFirstAgain)
{
    FailInstallOf("Setup.i#f");

    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(fake::CallsNamed({ "SysVerInstallFileA" }).size(), 2u);
    EXPECT_FALSE(fake::FileIs("C:\\WINDOWS\\Riredud.exe"));
    EXPECT_THAT(fake::CallsNamed({ "WinExec", "CreateProcessA" }), IsEmpty());
}

TEST_F(MainFlowTest, UnknownVersionNamesTheWindowsDirectory)
{
    static const struct {
        std::string windowsDir, named;
    } cases[] = {
        { "C:\\WINDOWS", "C:\\WINDOWS" },
        { "C:\\", "C:" },
        /* Longer than the message's text leaves room for in a path buffer. */
        { "C:\\" + std::string(230, 'w'), "C:\\" + std::string(230, 'w') },
    };
    for (const auto &c : cases) {
        SetUp();
        fake::state.windowsDir = c.windowsDir;
        fake::state.verInstallFile = [](const fake::VerInstallCall &, LPSTR, PUINT) {
            return (DWORD)VIF_DIFFLANG;
        };

        EXPECT_EQ(Run(), 1);
        ASSERT_EQ(fake::state.boxes.size(), 1u);
        EXPECT_EQ(fake::state.boxes[0].text,
                  "An unknown version of RIREDUD.EXE was detected in " + c.named +
                      ". You must remove this file and run Setup.exe again.");
    }
}

TEST_F(MainFlowTest, WindowsDirectoryAtADriveRootLosesItsBackslash)
{
    fake::state.windowsDir = "C:\\";

    EXPECT_EQ(Run(), 1);
    EXPECT_TRUE(fake::FileIs("C:\\Riredud.exe"));
    EXPECT_THAT(fake::CallsNamed({ "WinExec" }),
                ElementsAre("WinExec(C:\\Riredud.exe -S \"D:\",1)"));
}

TEST_F(MainFlowTest, SourceDirectoryIsTheBootstrapsFolder)
{
    /* The folder "中文 Ünï" as the ANSI functions of a Western code page
       give it, and its short name. */
    static const char16_t *wideCjk = u"D:\\\u4E2D\u6587 \u00DCn\u00EF\\SETUP.EXE";
    static const std::pair<const std::u16string, std::u16string> shortCjk = {
        u"D:\\\u4E2D\u6587 \u00DCn\u00EF", u"D:\\4E2D~1"
    };
    static const struct {
        const char *modulePath, *source;
        bool doubleByte;
        const char16_t *wideModulePath; /* NULL: GetModuleFileNameW missing */
        bool hasShortName, win9x, shortAsked;
    } cases[] = {
        { "D:\\SETUP.EXE", "D:", false, NULL, false, false, false },
        { "E:\\disk 1\\SETUP.EXE", "E:\\disk 1", false, NULL, false, false, false },
        { "\\\\server\\share\\SETUP.EXE", "\\\\server\\share", false, NULL, false, false,
          false },
        /* Code page 932: the bootstrap named with a character whose second
           byte is 0x5C, in a folder that ends with one. */
        { "D:\\\x95\x5C\\\x83\x5C.EXE", "D:\\\x95\x5C", true, NULL, false, false, false },
        /* A name the code page writes: as the ANSI functions give it. */
        { "D:\\\xDCn\xEF\\SETUP.EXE", "D:\\\xDCn\xEF", false,
          u"D:\\\u00DCn\u00EF\\SETUP.EXE", true, false, false },
        /* One it cannot: its short name on NT; where the volume keeps none,
           and on the 95/98 family, the ANSI name as before. */
        { "D:\\?? \xDCn\xEF\\SETUP.EXE", "D:\\4E2D~1", false, wideCjk, true, false, true },
        { "D:\\?? \xDCn\xEF\\SETUP.EXE", "D:\\?? \xDCn\xEF", false, wideCjk, false, false,
          true },
        { "D:\\?? \xDCn\xEF\\SETUP.EXE", "D:\\?? \xDCn\xEF", false, wideCjk, true, true,
          false },
    };
    for (const auto &c : cases) {
        SetUp();
        fake::state.modulePath = c.modulePath;
        fake::state.doubleByteCodePage = c.doubleByte;
        fake::state.wideModulePath = c.wideModulePath ? c.wideModulePath : u"";
        if (c.hasShortName)
            fake::state.shortPaths.insert(shortCjk);
        if (c.win9x)
            fake::state.platformId = VER_PLATFORM_WIN32_WINDOWS;
        fake::AddFile(std::string(c.source) + "\\Riredud.e#e");
        fake::AddFile(std::string(c.source) + "\\Setup.i#f");

        EXPECT_EQ(Run(), 1) << c.modulePath;
        EXPECT_THAT(fake::CallsNamed({ "WinExec" }),
                    ElementsAre("WinExec(C:\\WINDOWS\\Riredud.exe -S \"" + std::string(c.source) +
                                "\",1)"))
            << c.modulePath;
        EXPECT_EQ(fake::CallsNamed({ "SysGetShortPathNameW" }).size(), c.shortAsked ? 1u : 0u)
            << c.modulePath;
        if (c.win9x) {
            EXPECT_THAT(fake::CallsNamed({ "SysGetModuleFileNameW" }), IsEmpty());
        }
    }
}

TEST_F(MainFlowTest, AWindowsDirectoryWithABlankIsQuoted)
{
    static const char *dirs[] = { "C:\\My Windows", "C:\\Tab\tWindows" };
    for (const char *dir : dirs) {
        SetUp();
        fake::state.windowsDir = dir;
        EXPECT_EQ(Run(), 1);
        EXPECT_THAT(fake::CallsNamed({ "WinExec" }),
                    ElementsAre("WinExec(\"" + std::string(dir) +
                                "\\Riredud.exe\" -S \"D:\",1)"));
    }
}

TEST_F(MainFlowTest, TheLongestCommandLineIsPassedWhole)
{
    std::string prefix = "C:\\WINDOWS\\Riredud.exe -S \"D:\" ";
    std::string arg = "-" + std::string(CMDLINE_CCH - 1 - prefix.size() - 1, 'a');
    fake::state.commandLine = "D:\\SETUP.EXE " + arg;

    EXPECT_EQ(Run(), 1);
    EXPECT_THAT(fake::CallsNamed({ "WinExec" }), ElementsAre("WinExec(" + prefix + arg + ",1)"));
}

TEST_F(MainFlowTest, ArgumentsBeyondTheLongestCommandLineStopTheRunWithAMessage)
{
    std::string prefix = "C:\\WINDOWS\\Riredud.exe -S \"D:\" ";
    std::string arg = "-" + std::string(CMDLINE_CCH - prefix.size() - 1, 'a');
    fake::state.commandLine = "D:\\SETUP.EXE " + arg;

    EXPECT_EQ(Run(), 1);
    EXPECT_THAT(fake::CallsNamed({ "WinExec", "CreateProcessA" }), IsEmpty());
    ASSERT_EQ(fake::state.boxes.size(), 1u);
    EXPECT_EQ(fake::state.boxes[0].text, fake::state.strings[IDS_CMDLINE_TOO_LONG]);
    EXPECT_FALSE(fake::FileIs("C:\\WINDOWS\\Riredud.exe"));
    EXPECT_FALSE(fake::FileIs("C:\\WINDOWS\\Setup.inf"));
}

TEST_F(MainFlowTest, LongDestinationPathsAreDeletedBeyondOpenFilesReach)
{
    std::string dir = "C:\\" + std::string(130, 'w');
    fake::state.windowsDir = dir;
    fake::AddFile(dir + "\\Setup.inf");
    fake::state.verInstallFile = [](const fake::VerInstallCall &, LPSTR, PUINT) {
        return (DWORD)VIF_CANNOTREADSRC;
    };

    EXPECT_EQ(Run(), 1);
    EXPECT_FALSE(fake::FileIs(dir + "\\Setup.inf"));
    EXPECT_THAT(fake::CallsNamed({ "DeleteFileA" }), ElementsAre("DeleteFileA(" + dir +
                                                                 "\\Setup.inf)"));
}

/* A damaged medium: the file that is not what the medium promised, and
   everything installed before it, is removed; message 1; nothing started. */
/* A medium that is not what it was made as, with or without a record of
   it: one box that says so, nothing left, nothing started. */
TEST_F(MainFlowTest, ADamagedOrChangedMediumIsRefusedAndLeavesNothing)
{
    enum { NO_RECORD, RECORDED, OTHER_BYTES, OTHER_LENGTH, BROKEN };
    static const struct {
        const char *name, *file;
        std::string data;
        long expanded; /* what the service expands to; -1: as promised */
        int record;
        DWORD signatureSize;
        size_t installCalls; /* 0: refused before installing */
    } cases[] = {
        { "the program cut short", "D:\\Riredud.e#e", fake::Compressed(241645, "cut"), 105616,
          NO_RECORD, 0, 1 },
        { "the program garbled", "D:\\Riredud.e#e", fake::Compressed(241645, "xx"), 241661,
          NO_RECORD, 0, 1 },
        { "the program empty", "D:\\Riredud.e#e", "", -1, NO_RECORD, 0, 0 },
        { "the information file cut short", "D:\\Setup.i#f", fake::Compressed(138, "c"), 70,
          NO_RECORD, 0, 2 },
        { "the same with a record", "D:\\Setup.i#f", fake::Compressed(138, "c"), 70, RECORDED, 0,
          2 },
        { "a file of the record's length, other bytes", "D:\\Riredud.e#e", "data", -1,
          OTHER_BYTES, 0, 2 },
        { "the record's bytes, another length", "D:\\Riredud.e#e", "data", -1, OTHER_LENGTH, 0, 2 },
        { "a record make-medium did not write", "D:\\Riredud.e#e", "data", -1, BROKEN, 0, 0 },
        { "a signed program without a record", "D:\\Riredud.e#e", "data", -1, NO_RECORD, 9000, 0 },
    };
    for (DWORD platform : { VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS }) {
        for (const auto &c : cases) {
            SetUp();
            fake::state.platformId = platform;
            fake::AddFile(c.file, c.data);
            fake::state.expandedLength = c.expanded;
            fake::state.signatureSize = c.signatureSize;
            std::string digest = c.record == OTHER_BYTES ? SHA256_OF_EMPTY : SHA256_OF_DATA;
            uint32_t length = c.record == OTHER_LENGTH ? 5 : 4;
            if (c.record != NO_RECORD)
                fake::state.rcdata[IDR_MEDIUM_RECORD] = RecordBytes(
                    { { length, digest }, { 4, SHA256_OF_DATA } }, c.record == BROKEN ? "REC0" : "REC1");
            std::string name = std::string(c.name) + ", platform " + std::to_string(platform);

            EXPECT_EQ(Run(), 1) << name;
            ASSERT_EQ(fake::state.boxes.size(), 1u) << name;
            EXPECT_EQ(fake::state.boxes[0].text, fake::state.strings[IDS_MEDIUM_CHANGED]) << name;
            EXPECT_EQ(fake::CallsNamed({ "SysVerInstallFileA" }).size(), c.installCalls) << name;
            EXPECT_EQ(fake::state.files.size(), 2u) << name; /* the medium alone */
            EXPECT_THAT(fake::CallsNamed({ "WinExec", "CreateProcessA" }), IsEmpty()) << name;
        }
    }
}

/* The files the record names, installed, are checked where they were
   installed before the setup program starts; signed or not.  Without a
   record, an unsigned program starts what it installed, as a build does. */
TEST_F(MainFlowTest, ARecordedMediumIsCheckedThenStarted)
{
    static const struct {
        const char *name;
        bool record;
        DWORD signatureSize;
    } cases[] = {
        { "recorded, signed", true, 9000 },
        { "recorded, not signed", true, 0 },
        { "a build beside compressed files", false, 0 },
    };
    for (const auto &c : cases) {
        SetUp();
        fake::state.signatureSize = c.signatureSize;
        if (c.record)
            fake::state.rcdata[IDR_MEDIUM_RECORD] =
                RecordBytes({ { 4, SHA256_OF_DATA }, { 4, SHA256_OF_DATA } });

        EXPECT_EQ(Run(), 1) << c.name;
        EXPECT_THAT(fake::state.boxes, IsEmpty()) << c.name;
        std::vector<std::string> steps;
        for (const std::string &call : fake::CallsNamed({ "SysVerInstallFileA", "CreateFileA", "WinExec" }))
            if (call.find("CreateFileA(D:") != 0) /* what the medium's files promise */
                steps.push_back(call.substr(0, call.find(',')));
        std::vector<std::string> expected = { "SysVerInstallFileA(3", "SysVerInstallFileA(3" };
        if (c.record)
            expected.insert(expected.end(), { "CreateFileA(C:\\WINDOWS\\Riredud.exe",
                                              "CreateFileA(C:\\WINDOWS\\Setup.inf" });
        expected.push_back("WinExec(C:\\WINDOWS\\Riredud.exe -S \"D:\"");
        EXPECT_EQ(steps, expected) << c.name;
    }
}

/* One bootstrap at a time: the setup mutex is taken before the look for
   the setup program's window and given up once the setup program has been
   started (with -wait: once its window is up, or it has ended, not when it
   ends), or the user has answered the box; it is never taken twice.  One
   left by a bootstrap that died is taken over; without it the run goes
   on as before. */
TEST_F(MainFlowTest, TheSetupMutexIsHeldFromTheWindowCheckUntilTheStart)
{
    static const std::string global = "create Global\\RiredudSetup";
    static const struct {
        const char *name, *commandLine;
        bool windowFound, installFails;
        std::set<std::string> names; /* the mutex names the platform accepts */
        DWORD waitResult;
        std::vector<std::string> steps;
    } cases[] = {
        { "started", "D:\\SETUP.EXE", false, false, { "Global\\RiredudSetup" }, WAIT_OBJECT_0,
          { global, "wait", "find window", "start", "release", "close" } },
        { "started with -wait", "D:\\SETUP.EXE -wait", false, false, { "Global\\RiredudSetup" },
          WAIT_OBJECT_0,
          { global, "wait", "find window", "start", "find window", "release", "close",
            "wait for the setup program" } },
        { "a box", "D:\\SETUP.EXE", false, true, { "Global\\RiredudSetup" }, WAIT_OBJECT_0,
          { global, "wait", "find window", "box", "release", "close" } },
        { "the setup program runs", "D:\\SETUP.EXE", true, false, { "Global\\RiredudSetup" },
          WAIT_OBJECT_0, { global, "wait", "find window", "release", "close" } },
        { "left by a bootstrap that died", "D:\\SETUP.EXE", false, false,
          { "Global\\RiredudSetup" }, WAIT_ABANDONED,
          { global, "wait", "find window", "start", "release", "close" } },
        { "no Global namespace (95/98, NT 4)", "D:\\SETUP.EXE", false, false, { "RiredudSetup" },
          WAIT_OBJECT_0,
          { global, "create RiredudSetup", "wait", "find window", "start", "release", "close" } },
        { "no mutex to be had", "D:\\SETUP.EXE", false, false, {}, WAIT_OBJECT_0,
          { global, "create RiredudSetup", "find window", "start" } },
        { "a wait that fails", "D:\\SETUP.EXE", false, false, { "Global\\RiredudSetup" },
          WAIT_FAILED, { global, "wait", "close", "find window", "start" } },
    };
    for (const auto &c : cases) {
        SetUp();
        fake::state.commandLine = c.commandLine;
        fake::state.setupWindow = c.windowFound ? (HWND)0x99 : NULL;
        fake::state.mutexNames = c.names;
        fake::state.mutexWaitResult = c.waitResult;
        if (c.installFails)
            FailInstallOf("Setup.i#f");

        Run();
        std::vector<std::string> steps;
        for (const std::string &call : fake::state.calls) {
            if (call.rfind("CreateMutexA(NULL,0,", 0) == 0)
                steps.push_back("create " + call.substr(20, call.size() - 21));
            else if (call == "WaitForSingleObject(0x6001,4294967295)")
                steps.push_back("wait");
            else if (call == "ReleaseMutex(0x6001)")
                steps.push_back("release");
            else if (call == "CloseHandle(0x6001)")
                steps.push_back("close");
            else if (call.rfind("FindWindowA(", 0) == 0)
                steps.push_back("find window");
            else if (call.rfind("WinExec(", 0) == 0 || call.rfind("CreateProcessA(", 0) == 0)
                steps.push_back("start");
            else if (call.rfind("MessageBoxA(", 0) == 0)
                steps.push_back("box");
            else if (call == "WaitForSingleObject(0x7001,4294967295)")
                steps.push_back("wait for the setup program");
        }
        EXPECT_EQ(steps, c.steps) << c.name;
        /* The waiting bootstrap shows nothing until it has the mutex. */
        EXPECT_EQ(fake::CallsNamed({ "CreateDialogParamA" }).size(), c.windowFound ? 0u : 1u)
            << c.name;
    }
}

/* The exit code: 1 after every run, as always; with the publisher's choice
   written by make-medium (--exit-code setup-program) and -wait, the setup
   program's own, as GetExitCodeProcess gives it.  Never a success where the
   setup program was not started or its end not seen. */
TEST_F(MainFlowTest, TheExitCodeIsOneOrWithThePublishersChoiceTheSetupPrograms)
{
    static const std::string chosen("SET1\x01\0\0\0", 8), other("SET1\x02\0\0\0", 8),
        broken("SET2\x01\0\0\0", 8), empty(8, '\0');
    static const DWORD results[] = { 0, 1, 3010, 1641, 0xC0000005 };
    static const struct {
        const char *name;
        const std::string *settings;
        const char *commandLine;
        bool passedOn; /* the setup program's exit code is the run's */
    } cases[] = {
        { "a build, -wait", &empty, "D:\\SETUP.EXE -wait", false },
        { "chosen, -wait", &chosen, "D:\\SETUP.EXE /s -wait", true },
        { "chosen, /WAIT", &chosen, "D:\\SETUP.EXE /WAIT", true },
        { "chosen, no wait", &chosen, "D:\\SETUP.EXE /s", false },
        { "another flag, -wait", &other, "D:\\SETUP.EXE -wait", false },
        { "not what make-medium writes, -wait", &broken, "D:\\SETUP.EXE -wait", false },
    };
    for (const auto &c : cases)
        for (DWORD result : results) {
            SetUp();
            fake::state.rcdata[IDR_MEDIUM_SETTINGS] = *c.settings;
            fake::state.commandLine = c.commandLine;
            fake::state.childExitCode = result;
            EXPECT_EQ((DWORD)Run(), c.passedOn ? result : 1u) << c.name << ", " << result;
            EXPECT_THAT(fake::state.boxes, IsEmpty()) << c.name;
        }
    /* A failure before the start, a wait that failed: 1. */
    SetUp();
    fake::state.rcdata[IDR_MEDIUM_SETTINGS] = chosen;
    fake::state.commandLine = "D:\\SETUP.EXE -wait";
    FailInstallOf("Setup.i#f");
    EXPECT_EQ(Run(), 1);
    SetUp();
    fake::state.rcdata[IDR_MEDIUM_SETTINGS] = chosen;
    fake::state.commandLine = "D:\\SETUP.EXE -wait";
    fake::state.childExitCode = 0;
    fake::state.waitResult = WAIT_FAILED;
    fake::state.boxAnswers = { IDYES };
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(ChooseExitCode(SETTING_SETUP_EXIT_CODE, TRUE, FALSE, 0), 1u);
}

/* Where nobody can see a box, a failure shows none: its text goes to the
   debugger output, both files are removed, the run ends at once with 1.
   Where the station is visible, or cannot be asked (95/98), the box. */
TEST_F(MainFlowTest, AFailureWhereNobodyCanSeeABoxShowsNone)
{
    static const struct {
        const char *name;
        bool asked;
        DWORD flags;
        bool box;
    } cases[] = {
        { "a visible window station", true, WSF_VISIBLE, true },
        { "a service's window station", true, 0, false },
        { "the 95/98 family: no window station to ask", false, 0, true },
    };
    for (const auto &c : cases) {
        SetUp();
        fake::state.stationAsked = c.asked;
        fake::state.stationFlags = c.flags;
        FailInstallOf("Setup.i#f");

        EXPECT_EQ(Run(), 1) << c.name;
        EXPECT_EQ(fake::state.boxes.size(), c.box ? 1u : 0u) << c.name;
        if (c.box)
            EXPECT_THAT(fake::state.debugOutput, IsEmpty()) << c.name;
        else
            EXPECT_THAT(fake::state.debugOutput,
                        ElementsAre(fake::state.strings[IDS_READ_ERROR])) << c.name;
        EXPECT_FALSE(fake::FileIs("C:\\WINDOWS\\Riredud.exe")) << c.name;
        EXPECT_FALSE(fake::FileIs("C:\\WINDOWS\\Setup.inf")) << c.name;
        EXPECT_THAT(fake::CallsNamed({ "WinExec", "CreateProcessA" }), IsEmpty()) << c.name;
    }
}

/* A setup program that Windows cannot start is reported, and both files
   are removed again. */
TEST_F(MainFlowTest, ASetupProgramWindowsCannotStartIsReported)
{
    static const struct {
        const char *name, *commandLine;
        UINT winExec;
        BOOL created;
    } cases[] = {
        { "not a program (WinExec 11)", "D:\\SETUP.EXE", 11, TRUE },
        { "no such file (WinExec 2)", "D:\\SETUP.EXE", 2, TRUE },
        { "the highest failure (WinExec 31)", "D:\\SETUP.EXE", 31, TRUE },
        { "with -wait, CreateProcessA fails", "D:\\SETUP.EXE -wait", 33, FALSE },
    };
    for (const auto &c : cases) {
        SetUp();
        fake::state.commandLine = c.commandLine;
        fake::state.winExecResult = c.winExec;
        fake::state.createProcessOk = c.created;

        EXPECT_EQ(Run(), 1) << c.name;
        ASSERT_EQ(fake::state.boxes.size(), 1u) << c.name;
        EXPECT_EQ(fake::state.boxes[0].text, fake::state.strings[IDS_START_ERROR]) << c.name;
        EXPECT_EQ(fake::state.boxes[0].caption, "Setup Error") << c.name;
        EXPECT_FALSE(fake::FileIs("C:\\WINDOWS\\Riredud.exe")) << c.name;
        EXPECT_FALSE(fake::FileIs("C:\\WINDOWS\\Setup.inf")) << c.name;
        for (const std::string &wait : fake::CallsNamed({ "WaitForSingleObject" }))
            EXPECT_THAT(wait, Not(HasSubstr("0x7001"))) << c.name; /* the setup program's */
    }
}
