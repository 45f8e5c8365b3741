/*
 * Faults a user meets, made for real on the program under test:
 *
 *   faults_test full-drive   the Windows drive full (a tmpfs the fixture
 *                            mounted over C:\windows, filled here)
 *   faults_test cd           the medium on read-only CD-ROM drives D: and E:
 *   faults_test japanese     code page 932: an argument and a medium folder
 *                            whose characters end in the byte of a backslash
 *   faults_test paths        medium folders with blanks and of 240
 *                            characters; a Windows directory of 247;
 *                            an old Riredud.exe without a short name
 *   faults_test damaged      damaged and changed media: compressed files
 *                            cut short, garbled, empty, replaced or changed
 *                            at their length; a signed Setup.exe without a
 *                            record, a bare build without one; a setup
 *                            program Windows cannot start, with and
 *                            without -wait
 *
 * Each case checks every box the user sees (caption and text), the exit
 * code, whether the setup program was started and with what, the Windows
 * directory afterwards (the two files, ver*.tmp and kwi*.tmp), and that
 * nothing was written to the medium.
 */
#include "debugger.h"
#include "harness.h"

#include "expected_strings.h"

using harness::Contents;
using harness::Exists;
using harness::LeftInWindows;
using harness::Medium;
using harness::WinPath;

#define SKIPPED 77 /* ctest's SKIP_RETURN_CODE */

/* What a run should come to. */
struct Expected {
    UINT message;           /* the one "Setup Error" box, 0 for none */
    bool installed;         /* both files in place, byte for byte, and started */
    std::string setupArgs;  /* behind the program's path, when started */
    size_t verTmpLeft;      /* ver*.tmp files the platform leaves behind */
};

/* Names, sizes and contents of every file below dir. */
static std::string Snapshot(const std::string &dir)
{
    std::string all;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return "<unreadable>";
    do {
        std::string name = found.cFileName, path = dir + "\\" + name;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            all += name + "/{" + Snapshot(path) + "}";
        else
            all += name + ":" + std::to_string(Contents(path).size()) + ":" +
                   std::to_string(std::hash<std::string>()(Contents(path))) + ";";
    } while (FindNextFileA(h, &found));
    FindClose(h);
    return all;
}

static void Clean(void)
{
    harness::RemoveInstalled();
    for (const char *pattern : { "ver*.tmp", "kwi*.tmp", "ballast.bin" })
        for (const std::string &left : LeftInWindows(pattern))
            DeleteFileA(WinPath(left.substr(0, left.find(' ')).c_str()).c_str());
}

/* Checks one run of the bootstrap of folder against what was expected. */
static void Check(const char *name, const harness::Run &run, const Expected &e,
                  const std::string &folder, const std::string &mediumBefore)
{
    printf("  %s: exit %ld, %u box(es), setup program %s\n", name, run.exitCode,
           (unsigned)run.errorBoxes.size(),
           run.setupCommandLine.empty() ? "not started" : harness::Quote(run.setupCommandLine).c_str());
    for (const std::string &box : run.errorBoxes)
        printf("  box: %s\n", harness::Quote(box).c_str());
    for (const std::string &left : LeftInWindows("*.tmp"))
        printf("  left in the Windows directory: %s\n", left.c_str());
    EXPECT_EQ_INT(run.exitCode, 1);
    EXPECT_EQ_INT(run.errorBoxes.size(), e.message ? 1 : 0);
    if (e.message && !run.errorBoxes.empty())
        EXPECT_EQ_STR(run.errorBoxes[0], ExpectedString(e.message));
    EXPECT_TRUE(run.assertReports.empty());
    if (e.installed) {
        EXPECT_EQ_STR(run.setupCommandLine, WinPath("Riredud.exe") + e.setupArgs);
        EXPECT_TRUE(Contents(WinPath("Riredud.exe")) == Contents(Medium("originals", "Riredud.exe")));
        EXPECT_TRUE(Contents(WinPath("Setup.inf")) == Contents(Medium("originals", "Setup.inf")));
    } else {
        EXPECT_TRUE(run.setupCommandLine.empty());
        EXPECT_TRUE(!Exists(WinPath("Riredud.exe")));
        EXPECT_TRUE(!Exists(WinPath("Setup.inf")));
    }
    EXPECT_EQ_INT(LeftInWindows("ver*.tmp").size(), e.verTmpLeft);
    EXPECT_TRUE(LeftInWindows("kwi*.tmp").empty());
    EXPECT_EQ_STR(Snapshot(folder), mediumBefore);
}

static harness::Run RunFrom(const std::string &folder, const std::string &args, bool expectLaunch)
{
    return harness::RunSetup(harness::QuotedPath(folder + "\\Setup.exe") + args, expectLaunch);
}

/* A fixture's note: "ready ..." or "REFUSED ...". */
static bool FixtureReady(const char *fixture)
{
    std::string note = Contents(std::string("C:\\fixture-") + fixture + ".txt");
    printf("fixture %s: %s", fixture, note.c_str());
    if (note.compare(0, 5, "ready") == 0)
        return true;
    printf("\n*****************************************************************\n"
           "***  NOT TESTED: the %s fixture could not be made (%s).\n"
           "***  Run the tests as root to make the fault for real.\n"
           "*****************************************************************\n",
           fixture, note.c_str());
    return false;
}

static ULONGLONG FreeBytes(void)
{
    ULARGE_INTEGER avail, total, free;
    GetDiskFreeSpaceExA((harness::WinDir() + "\\").c_str(), &avail, &total, &free);
    return avail.QuadPart;
}

/* Fills the Windows drive with a ballast file until only leave bytes (a
   multiple of the 4 KiB page) are free. */
static void LeaveFree(ULONGLONG leave)
{
    static char zeros[65536];
    HANDLE h = CreateFileA(WinPath("ballast.bin").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0,
                           NULL);
    for (ULONGLONG n = FreeBytes() - leave; n > 0;) {
        DWORD chunk = n > sizeof zeros ? (DWORD)sizeof zeros : (DWORD)n, written = 0;
        if (!WriteFile(h, zeros, chunk, &written, NULL) || written == 0)
            break;
        n -= written;
    }
    CloseHandle(h);
}

static int FullDrive(void)
{
    if (!FixtureReady("full-drive"))
        return SKIPPED;
    ULONGLONG page = 4096, program = Contents(Medium("originals", "Riredud.exe")).size();
    static const struct {
        const char *name;
        ULONGLONG leave;
    } cases[] = {
        /* The first file does not fit. */
        { "48 KiB free", 48 * 1024 },
        /* Exactly room for the first file: the second one fails. */
        { "room for the setup program only", (program + page - 1) / page * page },
    };
    std::string folder = harness::Sibling("media\\complete");
    for (const auto &c : cases) {
        Clean();
        LeaveFree(c.leave);
        printf("%s: %llu bytes free\n", c.name, (unsigned long long)FreeBytes());
        std::string before = Snapshot(folder);
        harness::Run run = RunFrom(folder, "", false);
        /* The service reports VIF_OUTOFSPACE alone and does not name the
           partial copy it leaves as ver*.tmp (49,152 bytes, then 0). */
        Check(c.name, run, { IDS_WRITE_ERROR, false, "", 1 }, folder, before);
    }
    Clean();
    return harness::Finish();
}

static int CdRom(void)
{
    if (!FixtureReady("cd"))
        return SKIPPED;
    static const struct {
        const char *name, *drive;
        Expected expected;
    } cases[] = {
        { "complete medium on D:", "D:", { 0, true, " -S \"D:\"", 0 } },
        { "Riredud.e#e missing on E:", "E:", { IDS_READ_ERROR, false, "", 0 } },
    };
    for (const auto &c : cases) {
        Clean();
        EXPECT_EQ_INT(GetDriveTypeA((std::string(c.drive) + "\\").c_str()), DRIVE_CDROM);
        std::string before = Snapshot(c.drive);
        harness::Run run = RunFrom(c.drive, "", c.expected.installed);
        Check(c.name, run, c.expected, c.drive, before);
    }
    Clean();
    return harness::Finish();
}

/* Code page 932: "ソフト表" is 83 5C 83 74 83 67 95 5C, and "表" 95 5C. */
#define JAPANESE_FOLDER "\x83\x5C\x83\x74\x83\x67\x95\x5C"

static int Japanese(void)
{
    EXPECT_EQ_INT(GetACP(), 932);
    std::string complete = harness::Sibling("media\\complete");
    std::string japanese = harness::Sibling("media\\" JAPANESE_FOLDER);
    static const struct {
        const char *name;
        bool inJapaneseFolder;
        const char *args, *passed;
    } cases[] = {
        /* Whole, in double quotes, byte for byte. */
        { "argument \"C:\\\x95\x5C\"", false, " \"C:\\\x95\x5C\"", " \"C:\\\x95\x5C\"" },
        { "medium in " JAPANESE_FOLDER, true, "", "" },
    };
    for (const auto &c : cases) {
        Clean();
        std::string folder = c.inJapaneseFolder ? japanese : complete;
        std::string before = Snapshot(folder);
        harness::Run run = RunFrom(folder, c.args, true);
        Check(c.name, run, { 0, true, " -S \"" + folder + "\"" + c.passed, 0 }, folder, before);
    }
    Clean();
    return harness::Finish();
}

/* The medium folder of test-media whose Windows path has length
   characters: "path-LENGTH-xxx...". */
static std::string MediumOfLength(int length)
{
    WIN32_FIND_DATAA found;
    std::string pattern = "media\\path-" + std::to_string(length) + "-*";
    HANDLE h = FindFirstFileA(harness::Sibling(pattern.c_str()).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return "";
    FindClose(h);
    return harness::Sibling("media\\") + found.cFileName;
}

/* A run of the bootstrap of the complete medium under the debugger, with
   its "Setup Error" boxes answered OK and its reports Yes. */
struct DebugRun {
    long exitCode;
    std::vector<std::string> boxes, reports;
    std::string setupCommandLine;
};

static DebugRun RunDebugged(std::vector<harness::Breakpoint> &breakpoints, bool expectLaunch)
{
    DebugRun result;
    DeleteFileA(harness::StandinReportPath().c_str());
    std::string folder = harness::Sibling("media\\complete");
    harness::Debuggee run = harness::Debug(
        harness::QuotedPath(folder + "\\Setup.exe"), breakpoints, [&](DWORD pid) {
            harness::AnswerBox(pid, "Setup Error", IDOK, &result.boxes);
            harness::AnswerBox(pid, "Assertion Failure!", IDYES, &result.reports);
        });
    result.exitCode = run.exitCode;
    result.setupCommandLine = harness::WatchStandin(expectLaunch).report["cmdline"];
    printf("  exit %ld, %u box(es), setup program %s\n", result.exitCode,
           (unsigned)result.boxes.size(), harness::Quote(result.setupCommandLine).c_str());
    for (const std::string &box : result.boxes)
        printf("  box: %s\n", harness::Quote(box).c_str());
    for (const std::string &report : result.reports)
        printf("  report: %s\n", harness::Quote(report).c_str());
    return result;
}

/* A Windows directory of 247 characters: the debugger hands it to the
   bootstrap wherever it asks for the Windows directory.  On NT the
   bootstrap's paths fit behind it, but the service cannot create its
   temporary copy there (its path would be longer than OpenFile takes)
   and leaves an empty ver*.tmp: message 1.  The 95/98 family needs room
   for an 8.3 name too: refused before any file operation, message 1. */
static void LongWindowsDirectory(void)
{
    std::string winDir = "C:\\" + std::string(244, 'w');
    CreateDirectoryA(winDir.c_str(), NULL);
    std::vector<harness::Breakpoint> breakpoints = {
        { "kernel32.dll", "GetWindowsDirectoryA", 8,
          [&](harness::Stop &stop) {
              harness::Verdict verdict;
              if (stop.FromProgram() && stop.Argument(1) > winDir.size()) {
                  stop.Write(stop.Argument(0), winDir.c_str(), winDir.size() + 1);
                  verdict.fForceReturn = true;
                  verdict.result = winDir.size();
              }
              return verdict;
          } },
    };
    printf("Windows directory of %u characters\n", (unsigned)winDir.size());
    DebugRun run = RunDebugged(breakpoints, false);
    EXPECT_EQ_INT(run.exitCode, 1);
    EXPECT_TRUE(breakpoints[0].calls >= 2);
    EXPECT_EQ_INT(run.boxes.size(), 1);
    if (!run.boxes.empty())
        EXPECT_EQ_STR(run.boxes[0], ExpectedString(IDS_EXPAND_ERROR));
    EXPECT_TRUE(run.reports.empty());
    EXPECT_TRUE(run.setupCommandLine.empty());
    EXPECT_TRUE(!Exists(winDir + "\\Riredud.exe"));
    EXPECT_TRUE(!Exists(winDir + "\\Setup.inf"));
    std::vector<std::string> left = harness::FilesIn(winDir, "*.tmp");
    for (const std::string &file : left) {
        printf("  left in that directory: %s\n", file.c_str());
        DeleteFileA((winDir + "\\" + file.substr(0, file.find(' '))).c_str());
    }
    EXPECT_EQ_INT(left.size(), harness::IsWin9x() ? 0 : 1);
    RemoveDirectoryA(winDir.c_str());
}

/* An old Riredud.exe in the Windows directory that has no short name (a
   volume without 8.3 names): the debugger makes GetShortPathNameA fail for
   it.  The 95/98 family then installs under a temporary name and puts the
   new file in the old one's place; NT asks for no short name at all. */
static void TargetWithoutShortName(void)
{
    std::string target = WinPath("Riredud.exe");
    HANDLE h = CreateFileA(target.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written;
    WriteFile(h, "old", 3, &written, NULL);
    CloseHandle(h);
    int refused = 0;
    std::vector<harness::Breakpoint> breakpoints = {
        { "kernel32.dll", "GetShortPathNameA", 12,
          [&](harness::Stop &stop) {
              harness::Verdict verdict;
              char path[MAX_PATH] = "";
              if (stop.FromProgram() && stop.Read(stop.Argument(0), path, sizeof path - 1) &&
                  _stricmp(path, target.c_str()) == 0) {
                  verdict.fForceReturn = true; /* 0: no short form */
                  refused++;
              }
              return verdict;
          } },
    };
    printf("old Riredud.exe without a short name\n");
    DebugRun run = RunDebugged(breakpoints, true);
    EXPECT_EQ_INT(run.exitCode, 1);
    EXPECT_EQ_INT(refused, harness::IsWin9x() ? 1 : 0);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_TRUE(run.reports.empty());
    EXPECT_EQ_STR(run.setupCommandLine,
                  target + " -S \"" + harness::Sibling("media\\complete") + "\"");
    EXPECT_TRUE(Contents(target) == Contents(Medium("originals", "Riredud.exe")));
    EXPECT_TRUE(LeftInWindows("kwi*.tmp").empty());
    EXPECT_TRUE(LeftInWindows("ver*.tmp").empty());
}

static int Paths(void)
{
    static const struct {
        const char *name;
        int length; /* of the folder's path, 0: the folder with blanks */
        UINT message;
    } cases[] = {
        { "medium folder with blanks", 0, 0 },
        /* The compressed file's path is 127 characters: the longest the
           installation service opens (through OpenFile). */
        { "medium folder of 115 characters", 115, 0 },
        /* Beyond it the service cannot read the file: the platform's limit. */
        { "medium folder of 240 characters", 240, IDS_READ_ERROR },
    };
    for (const auto &c : cases) {
        Clean();
        std::string folder = c.length ? MediumOfLength(c.length)
                                       : harness::Sibling("media\\with blanks in its name");
        printf("%s\n", c.name);
        if (c.length)
            EXPECT_EQ_INT(folder.size(), c.length);
        std::string before = Snapshot(folder);
        harness::Run run = RunFrom(folder, "", c.message == 0);
        Check(c.name, run, { c.message, c.message == 0, " -S \"" + folder + "\"", 0 }, folder,
              before);
    }
    Clean();
    LongWindowsDirectory();
    Clean();
    TargetWithoutShortName();
    Clean();
    return harness::Finish();
}

/* Damaged and changed media (made by test-media): each gives its one box;
   nothing is left in the Windows directory and nothing started.  A bare
   build beside compressed files, without a record, installs and starts. */
static int Damaged(void)
{
    static const struct {
        const char *name, *medium, *args;
        UINT message; /* 0: installed and started */
    } cases[] = {
        { "Riredud.e#e cut to half its length", "cut-first", "", IDS_MEDIUM_CHANGED },
        { "two bytes of Riredud.e#e changed", "garbled-first", "", IDS_MEDIUM_CHANGED },
        { "Riredud.e#e empty", "empty-first", "", IDS_MEDIUM_CHANGED },
        { "Setup.i#f cut to half its length", "cut-second", "", IDS_MEDIUM_CHANGED },
        { "compressed data cut short and garbled", "corrupt", "", IDS_MEDIUM_CHANGED },
        { "Riredud.e#e another program of its length", "replaced-first", "", IDS_MEDIUM_CHANGED },
        { "Riredud.e#e changed, its length kept", "changed-first", "", IDS_MEDIUM_CHANGED },
        { "Setup.i#f another file of its length", "replaced-second", "", IDS_MEDIUM_CHANGED },
        { "a signed Setup.exe without a record", "signed-bare", "", IDS_MEDIUM_CHANGED },
        { "a bare build beside compressed files", "bare", "", 0 },
        { "a setup program cut to 200 bytes", "cut-program", "", IDS_START_ERROR },
        { "the same, with -wait", "cut-program", " -wait", IDS_START_ERROR },
        { "Setup.inf in the place of the setup program", "not-a-program", "", IDS_START_ERROR },
    };
    for (const auto &c : cases) {
        Clean();
        std::string folder = harness::Sibling("media\\") + c.medium;
        std::string before = Snapshot(folder);
        harness::Run run = RunFrom(folder, c.args, c.message == 0);
        Check(c.name, run, { c.message, c.message == 0, " -S \"" + folder + "\"", 0 }, folder,
              before);
    }
    Clean();
    return harness::Finish();
}

int main(int argc, char **argv)
{
    static const struct {
        const char *mode;
        int (*run)(void);
    } modes[] = {
        { "full-drive", FullDrive }, { "cd", CdRom },         { "japanese", Japanese },
        { "paths", Paths },          { "damaged", Damaged },
    };
    harness::ExpectPlatform();
    std::string report = "STANDIN_REPORT=" + harness::StandinReportPath();
    putenv(report.c_str());
    putenv("STANDIN_CLOSE_MS=300");
    for (const auto &m : modes)
        if (argc > 1 && strcmp(argv[1], m.mode) == 0)
            return m.run();
    printf("usage: faults_test full-drive|cd|japanese|paths|damaged\n");
    return 2;
}
