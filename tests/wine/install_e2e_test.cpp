/*
 * Installation for real: the platform's own VerFindFileA/VerInstallFileA
 * install and expand files from real media made with mscompress, and the
 * real Setup.exe is run from them as a user would run it.  Runs once in a
 * prefix of the NT family and once in one of the 95/98 family.
 */
#include "harness.h"

#include <vector>

#include "expected_strings.h"
#include "install/install.h"
#include "ui/assertion.h"

using harness::Contents;
using harness::Exists;
using harness::Medium;
using harness::RemoveInstalled;
using harness::WinPath;

static bool fWin9x;

enum Hold { HOLD_NOTHING, HOLD_OPEN, HOLD_READONLY };

/* Puts an old Riredud.exe into the Windows directory as hold says; returns
   the handle that keeps it open, or INVALID_HANDLE_VALUE. */
static HANDLE PrepareDestination(Hold hold)
{
    if (hold == HOLD_NOTHING)
        return INVALID_HANDLE_VALUE;
    HANDLE h = CreateFileA(WinPath("Riredud.exe").c_str(), GENERIC_READ | GENERIC_WRITE,
                           hold == HOLD_OPEN ? 0 : FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written;
    WriteFile(h, "old", 3, &written, NULL);
    if (hold == HOLD_OPEN)
        return h;
    CloseHandle(h);
    SetFileAttributesA(WinPath("Riredud.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    return INVALID_HANDLE_VALUE;
}

/* What the platform's service gives for each fault, through the real
   InstallFile.  Observed under Wine 8 in both families. */
static void InstallFileFaults(void)
{
    static const struct {
        const char *name, *medium;
        Hold hold;
        InstallResult result;
        int renameReports9x; /* reports of a failed final rename, 95/98 family */
    } cases[] = {
        { "complete", "complete", HOLD_NOTHING, 0, 0 },
        { "source missing", "missing-first", HOLD_NOTHING, IR_CANNOTREADSRC, 0 },
        /* The service expands what it is given and calls it a success. */
        { "compressed data corrupt", "corrupt", HOLD_NOTHING, 0, 0 },
        /* 95/98: the target cannot be probed, so it is installed under a
           temporary name that cannot be renamed onto the open file. */
        { "destination open without sharing", "complete", HOLD_OPEN, IR_OTHER, 1 },
        { "destination read-only", "complete", HOLD_READONLY, IR_OTHER, 0 },
    };
    for (const auto &c : cases) {
        RemoveInstalled();
        HANDLE held = PrepareDestination(c.hold);
        InstallResult result = InstallFile(Medium(c.medium, "Riredud.e#e").c_str(),
                                           WinPath("Riredud.exe").c_str(), TRUE);
        Sleep(300); /* lets the box answerer finish */
        std::vector<std::string> reports = harness::AnsweredBoxes();
        printf("InstallFile, %s: result 0x%lx, message %u, reports %u\n", c.name,
               (unsigned long)result, result ? MessageIdForResult(result) : 0,
               (unsigned)reports.size());
        EXPECT_EQ_INT(result, c.result);
        EXPECT_EQ_INT(reports.size(), fWin9x ? c.renameReports9x : 0);
        for (const std::string &report : reports)
            EXPECT_TRUE(report.find("Line#: 757\nAssert( MoveFileA(sourceRename,targetRename) );") !=
                        std::string::npos);
        EXPECT_TRUE(harness::LeftInWindows("kwi*").empty());
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
    }
    RemoveInstalled();
}

static harness::Run RunSetup(const char *medium, bool expectLaunch)
{
    return harness::RunSetup(harness::QuotedPath(Medium(medium, "Setup.exe")), expectLaunch);
}

/* A complete medium, its bootstrap signed or not. */
static void CompleteMedium(const char *medium)
{
    printf("Setup.exe, %s medium\n", medium);
    RemoveInstalled();
    harness::Run run = RunSetup(medium, true);

    EXPECT_EQ_INT(run.exitCode, 1);
    EXPECT_TRUE(run.errorBoxes.empty());
    EXPECT_TRUE(Contents(WinPath("Riredud.exe")) == Contents(Medium("originals", "Riredud.exe")));
    EXPECT_TRUE(Contents(WinPath("Setup.inf")) == Contents(Medium("originals", "Setup.inf")));
    std::string mediumDir = harness::Sibling("media\\") + medium;
    EXPECT_EQ_STR(run.setupCommandLine, WinPath("Riredud.exe") + " -S \"" + mediumDir + "\"");
    /* The 95/98 family installs under names the platform makes from "kwi". */
    bool sawTemp = false;
    for (const std::string &name : run.added) {
        printf("  appeared: %s\n", name.c_str());
        sawTemp = sawTemp || _strnicmp(name.c_str(), "kwi", 3) == 0;
    }
    EXPECT_TRUE(sawTemp == fWin9x);
    EXPECT_TRUE(harness::LeftInWindows("kwi*").empty());
}

/* The installation of a bootstrap with a VERSION.DLL planted beside it goes
   through the system's service, even where DLLs beside a program are
   preferred to the system's (as Windows does; Wine is told so here). */
static void PlantedVersionDll(void)
{
    RemoveInstalled();
    DeleteFileA(WinPath("planted-version-dll-was-called.txt").c_str());
    putenv("WINEDLLOVERRIDES=version=n,b");
    harness::Run run = RunSetup("planted", true);
    putenv("WINEDLLOVERRIDES=");

    EXPECT_EQ_INT(run.exitCode, 1);
    EXPECT_TRUE(run.errorBoxes.empty());
    EXPECT_TRUE(!Exists(WinPath("planted-version-dll-was-called.txt")));
    EXPECT_TRUE(Contents(WinPath("Riredud.exe")) == Contents(Medium("originals", "Riredud.exe")));
    RemoveInstalled();
}

/* Every error box a user can meet for real, and the disk afterwards; the
   first count cases only, when count is not 0. */
static void FailingMedia(size_t count)
{
    static const struct {
        const char *name, *medium;
        Hold hold;
        bool oldInfPresent;
        UINT message; /* 0: no box */
        int renameReports9x;
        bool riredudLeft, infLeft;
    } cases[] = {
        { "first file missing", "missing-first", HOLD_NOTHING, true, IDS_READ_ERROR, 0, false,
          false },
        { "second file missing", "missing-second", HOLD_NOTHING, false, IDS_READ_ERROR, 0, false,
          false },
        /* The service reports success; the garbled program is installed. */
        { "compressed data corrupt", "corrupt", HOLD_NOTHING, false, 0, 0, true, true },
        /* The open file cannot be deleted by the clean-up either. */
        { "destination in use", "complete", HOLD_OPEN, true, IDS_EXPAND_ERROR, 1, true, false },
        { "destination read-only", "complete", HOLD_READONLY, true, IDS_EXPAND_ERROR, 0, true,
          false },
    };
    for (size_t i = 0; i < NElems(cases) && (count == 0 || i < count); i++) {
        const auto &c = cases[i];
        printf("Setup.exe, %s\n", c.name);
        RemoveInstalled();
        if (c.oldInfPresent) {
            HANDLE h = CreateFileA(WinPath("Setup.inf").c_str(), GENERIC_WRITE, 0, NULL,
                                   CREATE_ALWAYS, 0, NULL);
            CloseHandle(h);
        }
        HANDLE held = PrepareDestination(c.hold);
        harness::Run run = RunSetup(c.medium, false);
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);

        EXPECT_EQ_INT(run.exitCode, 1);
        EXPECT_EQ_INT(run.errorBoxes.size(), c.message ? 1 : 0);
        if (c.message && !run.errorBoxes.empty())
            EXPECT_EQ_STR(run.errorBoxes[0], ExpectedString(c.message));
        EXPECT_EQ_INT(run.assertReports.size(), fWin9x ? c.renameReports9x : 0);
        EXPECT_TRUE(Exists(WinPath("Riredud.exe")) == c.riredudLeft);
        EXPECT_TRUE(Exists(WinPath("Setup.inf")) == c.infLeft);
        EXPECT_TRUE(harness::LeftInWindows("kwi*").empty());
        if (c.message)
            EXPECT_TRUE(run.setupCommandLine.empty());
    }
    RemoveInstalled();
}

int main(int argc, char **argv)
{
    harness::ExpectPlatform();
    fWin9x = harness::IsWin9x();
    SetResourceModule(GetModuleHandleA(NULL));
    harness::AnswerBoxes("Assertion Failure!", IDYES);

    std::string report = "STANDIN_REPORT=" + harness::StandinReportPath();
    putenv(report.c_str());
    putenv("STANDIN_CLOSE_MS=300");

    if (argc > 1 && strcmp(argv[1], "quick") == 0) {
        /* Success, and one failure with its box and clean-up. */
        CompleteMedium("complete");
        FailingMedia(1);
        return harness::Finish();
    }
    InstallFileFaults();
    CompleteMedium("complete");
    CompleteMedium("signed");
    PlantedVersionDll();
    FailingMedia(0);
    return harness::Finish();
}
