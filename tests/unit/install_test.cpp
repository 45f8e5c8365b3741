/*
 * Installing one file: lookup, the service's results, and the 95/98 names.
 */
#include "test_support.h"

#include "install/install.h"

#define SRC "D:\\Riredud.e#e"
#define DEST "C:\\WINDOWS\\Riredud.exe"

class InstallTest : public FakeTest {
protected:
    void SetUp() override
    {
        FakeTest::SetUp();
        fake::AddFile(SRC);
    }

    /* VerInstallFileA answers these in order and leaves a temporary copy
       named VER1.TMP whenever it reports VIF_TEMPFILE. */
    void ScriptInstall(std::vector<DWORD> answers)
    {
        fake::state.verInstallFile = [answers, n = size_t(0)](const fake::VerInstallCall &,
                                                              LPSTR tmp, PUINT) mutable {
            DWORD r = n < answers.size() ? answers[n++] : 0;
            if (r & VIF_TEMPFILE)
                strcpy(tmp, "VER1.TMP");
            return r;
        };
    }

    std::vector<std::string> Installs()
    {
        return fake::CallsNamed({ "SysVerInstallFileA" });
    }
};

static const struct {
    const char *name;
    std::vector<DWORD> answers;
    InstallResult result;
    UINT message;
    size_t installCalls;
    bool tmpCopyDeleted;
} settleCases[] = {
    { "installed", { 0 }, 0, 0, 1, false },
    { "temporary copy alone is forced", { VIF_TEMPFILE, 0 }, 0, 0, 2, false },
    { "mismatch alone is forced", { VIF_MISMATCH, 0 }, 0, 0, 2, false },
    { "both are forced", { VIF_TEMPFILE | VIF_MISMATCH, 0 }, 0, 0, 2, false },
    { "forced call keeps a temporary copy", { VIF_TEMPFILE, VIF_TEMPFILE }, IR_OTHER,
      IDS_EXPAND_ERROR, 2, false },
    { "forced call fails", { VIF_MISMATCH, VIF_OUTOFSPACE }, IR_OUTOFSPACE, IDS_WRITE_ERROR, 2,
      false },
    { "older source drops the temporary copy", { VIF_TEMPFILE | VIF_SRCOLD }, IR_SRCOLD,
      IDS_EXPAND_ERROR, 1, true },
    { "in use keeps the temporary copy", { VIF_FILEINUSE | VIF_TEMPFILE }, IR_FILEINUSE,
      IDS_EXPAND_ERROR, 1, false },
    { "write protected", { VIF_WRITEPROT }, IR_OTHER, IDS_EXPAND_ERROR, 1, false },
    { "cannot create", { VIF_CANNOTCREATE }, IR_OTHER, IDS_EXPAND_ERROR, 1, false },
    { "sharing violation", { VIF_SHARINGVIOLATION }, IR_OTHER, IDS_EXPAND_ERROR, 1, false },
    { "unknown high bit", { 0x80000000u }, IR_OTHER, IDS_EXPAND_ERROR, 1, false },
    { "out of space", { VIF_OUTOFSPACE }, IR_OUTOFSPACE, IDS_WRITE_ERROR, 1, false },
    { "out of space and unreadable target", { VIF_OUTOFSPACE | VIF_CANNOTREADDST }, 0x44,
      IDS_EXPAND_ERROR, 1, false },
    { "out of memory", { VIF_OUTOFMEMORY }, IR_OUTOFMEMORY, IDS_MEMORY_ERROR, 1, false },
    { "other language", { VIF_DIFFLANG }, IR_DIFFLANG, IDS_UNKNOWN_VERSION, 1, false },
    { "other code page", { VIF_DIFFCODEPG }, IR_DIFFCODEPG, IDS_UNKNOWN_VERSION, 1, false },
    { "other type", { VIF_DIFFTYPE }, IR_DIFFTYPE, IDS_UNKNOWN_VERSION, 1, false },
    { "mismatch with other language", { VIF_MISMATCH | VIF_DIFFLANG }, IR_DIFFLANG,
      IDS_UNKNOWN_VERSION, 1, false },
    { "two version bits", { VIF_DIFFLANG | VIF_DIFFTYPE }, IR_DIFFLANG | IR_DIFFTYPE,
      IDS_EXPAND_ERROR, 1, false },
    { "unreadable source", { VIF_CANNOTREADSRC }, IR_CANNOTREADSRC, IDS_READ_ERROR, 1, false },
    { "unreadable target", { VIF_CANNOTREADDST }, IR_CANNOTREADDST, IDS_EXPAND_ERROR, 1, false },
    { "access violation", { VIF_ACCESSVIOLATION }, IR_ACCESSVIOLATION, IDS_EXPAND_ERROR, 1,
      false },
};

TEST_F(InstallTest, ServiceResultsSettleIntoResultAndMessage)
{
    for (const auto &c : settleCases) {
        SetUp();
        ScriptInstall(c.answers);

        InstallResult result = InstallFile(SRC, DEST, TRUE);

        EXPECT_EQ(result, c.result) << c.name;
        if (result != 0) {
            EXPECT_EQ(MessageIdForResult(result), c.message) << c.name;
        }
        auto installs = Installs();
        ASSERT_EQ(installs.size(), c.installCalls) << c.name;
        EXPECT_THAT(installs[0], ::testing::StartsWith("SysVerInstallFileA(3,")) << c.name;
        if (c.installCalls == 2) {
            EXPECT_EQ(installs[1], "SysVerInstallFileA(3,Riredud.e#e,Riredud.exe,D:,C:\\WINDOWS,,"
                                   + std::string(c.answers[0] & VIF_TEMPFILE ? "VER1.TMP" : "")
                                   + ",260)")
                << c.name;
        }
        EXPECT_EQ(fake::CallsNamed({ "DeleteFileA" }).size(), c.tmpCopyDeleted ? 1u : 0u)
            << c.name;
        if (c.tmpCopyDeleted) {
            EXPECT_EQ(fake::CallsNamed({ "DeleteFileA" })[0],
                      "DeleteFileA(C:\\WINDOWS\\VER1.TMP)");
        }
    }
}

TEST_F(InstallTest, MessagesMatchWholeValuesOnly)
{
    static const struct {
        InstallResult result;
        UINT message;
    } cases[] = {
        { IR_OUTOFMEMORY, IDS_MEMORY_ERROR },    { IR_OUTOFSPACE, IDS_WRITE_ERROR },
        { IR_DIFFLANG, IDS_UNKNOWN_VERSION },    { IR_DIFFCODEPG, IDS_UNKNOWN_VERSION },
        { IR_DIFFTYPE, IDS_UNKNOWN_VERSION },    { IR_CANNOTREADSRC, IDS_READ_ERROR },
        { IR_FILEINUSE, IDS_EXPAND_ERROR },      { IR_NOSRCNAME, IDS_EXPAND_ERROR },
        { IR_BUFFTOOSMALL, IDS_EXPAND_ERROR },   { IR_OTHER, IDS_EXPAND_ERROR },
        { IR_OUTOFMEMORY | IR_FILEINUSE, IDS_EXPAND_ERROR }, { 0x12345678, IDS_EXPAND_ERROR },
    };
    for (const auto &c : cases)
        EXPECT_EQ(MessageIdForResult(c.result), c.message) << std::hex << c.result;
}

TEST_F(InstallTest, WithoutForceTheFirstCallAsksNoForceButTheRetryDoes)
{
    ScriptInstall({ VIF_MISMATCH, 0 });
    EXPECT_EQ(InstallFile(SRC, DEST, FALSE), 0u);
    auto installs = Installs();
    ASSERT_EQ(installs.size(), 2u);
    EXPECT_THAT(installs[0], ::testing::StartsWith("SysVerInstallFileA(2,"));
    EXPECT_THAT(installs[1], ::testing::StartsWith("SysVerInstallFileA(3,"));
}

TEST_F(InstallTest, RecordIsZeroFilledAndGivenBack)
{
    InstallFile(SRC, DEST, TRUE);
    EXPECT_THAT(fake::CallsNamed({ "GlobalAlloc", "GlobalFree" }),
                ElementsAre("GlobalAlloc(64," + std::to_string(sizeof(StringInfo)) + ")",
                            "GlobalFree()"));
}

TEST_F(InstallTest, NoRecordMeansOutOfMemoryAndNothingTouched)
{
    fake::state.globalAllocFails = true;
    EXPECT_EQ(InstallFile(SRC, DEST, TRUE), (InstallResult)IR_OUTOFMEMORY);
    EXPECT_THAT(fake::CallsNamed({ "SysVerFindFileA", "SysVerInstallFileA", "GlobalFree" }),
                IsEmpty());
}

TEST_F(InstallTest, SourceWithoutNameAsksNoService)
{
    EXPECT_EQ(InstallFile("D:\\setup\\", DEST, TRUE), (InstallResult)IR_NOSRCNAME);
    EXPECT_THAT(fake::CallsNamed({ "SysVerFindFileA", "SysVerInstallFileA" }), IsEmpty());
}

TEST_F(InstallTest, NullSourceIsReportedAndRefused)
{
    EXPECT_EQ(InstallFile(NULL, DEST, TRUE), (InstallResult)IR_NOSRCNAME);
    ASSERT_EQ(fake::state.boxes.size(), 1u);
    EXPECT_THAT(fake::state.boxes[0].text,
                ::testing::StartsWith("File: stub, Line#: 447\nAssert( szSourceFile );"));
    EXPECT_THAT(fake::CallsNamed({ "GlobalAlloc" }), IsEmpty());
}

TEST_F(InstallTest, LookupWithoutDirectoryIsSharedInTheWindowsDirectory)
{
    InstallFile(SRC, "Riredud.exe", TRUE);
    InstallFile(SRC, DEST, TRUE);
    EXPECT_THAT(fake::CallsNamed({ "SysVerFindFileA" }),
                ElementsAre("SysVerFindFileA(1,Riredud.exe,C:\\WINDOWS,C:\\WINDOWS,260,260)",
                            "SysVerFindFileA(0,Riredud.exe,C:\\WINDOWS,C:\\WINDOWS,260,260)"));
}

TEST_F(InstallTest, LookupOutcomes)
{
    static const struct {
        const char *name;
        DWORD found;
        const char *curDir;
        InstallResult result;
        bool installs;
    } cases[] = {
        { "current copy elsewhere", VFF_CURNEDEST, "C:\\OTHER", 0, true },
        { "in use where wanted", VFF_FILEINUSE, "C:\\WINDOWS", IR_FILEINUSE, false },
        { "in use where wanted, buffer small too", VFF_FILEINUSE | VFF_BUFFTOOSMALL,
          "C:\\WINDOWS", IR_FILEINUSE, false },
        { "in use elsewhere", VFF_FILEINUSE, "C:\\OTHER", 0, true },
        { "in use, letter case differs", VFF_FILEINUSE, "C:\\windows", 0, true },
        { "buffer too small", VFF_BUFFTOOSMALL, "", IR_BUFFTOOSMALL, false },
    };
    for (const auto &c : cases) {
        SetUp();
        fake::state.verFindFile = [&](const fake::VerFindCall &, LPSTR cur, LPSTR dest) {
            strcpy(cur, c.curDir);
            strcpy(dest, "C:\\WINDOWS\\SYSTEM");
            return c.found;
        };
        fake::AddFile(std::string(SRC));

        EXPECT_EQ(InstallFile(SRC, DEST, TRUE), c.result) << c.name;
        auto installs = Installs();
        EXPECT_EQ(installs.size(), c.installs ? 1u : 0u) << c.name;
        if (c.installs) { /* into the directory the service chose */
            EXPECT_EQ(installs[0], "SysVerInstallFileA(3,Riredud.e#e,Riredud.exe,D:,"
                                   "C:\\WINDOWS\\SYSTEM," + std::string(c.curDir) + ",,260)")
                << c.name;
        }
    }
}

/* The longest destination directory each family's paths fit behind:
   Riredud.exe and its backslash on NT, an 8.3 name and its backslash on
   the 95/98 family.  Anything longer is refused before any file operation. */
TEST_F(InstallTest, DirectoryTooLongForItsPathsIsRefusedBeforeAnyFileOperation)
{
    static const struct {
        DWORD platformId;
        size_t dirLength;
        bool installs;
    } cases[] = {
        { VER_PLATFORM_WIN32_NT, 247, true },      { VER_PLATFORM_WIN32_NT, 248, false },
        { VER_PLATFORM_WIN32_NT, 250, false },     { VER_PLATFORM_WIN32_WINDOWS, 246, true },
        { VER_PLATFORM_WIN32_WINDOWS, 247, false },
    };
    for (const auto &c : cases) {
        FreshProgram();
        fake::AddFile(SRC);
        fake::state.platformId = c.platformId;
        std::string deep = "C:\\" + std::string(c.dirLength - 3, 'd');
        fake::state.verFindFile = [&](const fake::VerFindCall &, LPSTR cur, LPSTR dest) {
            cur[0] = '\0';
            strcpy(dest, deep.c_str());
            return (DWORD)0;
        };
        std::string what = "platform " + std::to_string(c.platformId) + ", directory of " +
                           std::to_string(c.dirLength);
        EXPECT_EQ(InstallFile(SRC, DEST, TRUE), c.installs ? 0u : (InstallResult)IR_BUFFTOOSMALL)
            << what;
        EXPECT_EQ(Installs().size(), c.installs ? 1u : 0u) << what;
        EXPECT_EQ(fake::FileIs(deep + "\\Riredud.exe"), c.installs) << what;
    }
}

TEST_F(InstallTest, NullArgumentsAreReportedInOrderAndRefused)
{
    char name[] = "a", dir[] = "D:";
    UINT len = MAX_PATH;

    EXPECT_EQ(VersionInstall(3, name, NULL, dir, NULL, dir, name, &len), (InstallResult)IR_OTHER);
    EXPECT_EQ(FindInstallTarget(NULL), (InstallResult)IR_OTHER);
    EXPECT_EQ(InstallFromRequest(NULL, TRUE), (InstallResult)IR_OTHER);

    ASSERT_EQ(fake::state.boxes.size(), 4u);
    EXPECT_THAT(fake::state.boxes[0].text, ::testing::HasSubstr("574\nAssert( szDestFileName )"));
    EXPECT_THAT(fake::state.boxes[1].text, ::testing::HasSubstr("576\nAssert( szDestDir )"));
    EXPECT_THAT(fake::state.boxes[2].text, ::testing::HasSubstr("479\nAssert( pStringInfo )"));
    EXPECT_THAT(fake::state.boxes[3].text, ::testing::HasSubstr("539\nAssert( pStringInfo )"));
    EXPECT_THAT(Installs(), IsEmpty());
}

/* The Windows 95/98 family: short and temporary names. */
class Win9xInstallTest : public InstallTest {
protected:
    void SetUp() override
    {
        InstallTest::SetUp();
        fake::state.platformId = VER_PLATFORM_WIN32_WINDOWS;
    }
};

TEST_F(Win9xInstallTest, AbsentTargetIsInstalledUnderATemporaryNameThenRenamed)
{
    EXPECT_EQ(InstallFile(SRC, DEST, TRUE), 0u);

    EXPECT_THAT(fake::CallsNamed({ "GetShortPathNameA", "GetTempFileNameA", "DeleteFileA",
                                   "SysVerInstallFileA", "MoveFileA" }),
                ElementsAre("GetShortPathNameA(D:\\Riredud.e#e,260)",
                            "GetTempFileNameA(C:\\WINDOWS,kwi,0)",
                            "DeleteFileA(C:\\WINDOWS\\kwi1A2C.tmp)",
                            "SysVerInstallFileA(3,RIREDUD.E#E,kwi1A2C.tmp,D:,C:\\WINDOWS,,,260)",
                            "MoveFileA(C:\\WINDOWS\\kwi1A2C.tmp,C:\\WINDOWS\\Riredud.exe)"));
    EXPECT_TRUE(fake::FileIs(DEST));
    EXPECT_FALSE(fake::FileIs("C:\\WINDOWS\\kwi1A2C.tmp"));
}

TEST_F(Win9xInstallTest, AFailureRemovesTheTemporaryName)
{
    fake::state.verInstallFile = [](const fake::VerInstallCall &c, LPSTR, PUINT) {
        fake::AddFile(c.destDir + "\\" + c.destName); /* a partial copy */
        return (DWORD)VIF_OUTOFSPACE;
    };
    EXPECT_EQ(InstallFile(SRC, DEST, TRUE), (InstallResult)IR_OUTOFSPACE);

    auto deletes = fake::CallsNamed({ "DeleteFileA" });
    ASSERT_EQ(deletes.size(), 2u);
    EXPECT_EQ(deletes[0], deletes[1]);
    EXPECT_EQ(fake::state.files.size(), 1u); /* the source alone */
    EXPECT_THAT(fake::CallsNamed({ "MoveFileA" }), IsEmpty());
}

TEST_F(Win9xInstallTest, PresentTargetIsReachedByItsShortNameThenRenamed)
{
    fake::AddFile(DEST);
    EXPECT_EQ(InstallFile(SRC, DEST, TRUE), 0u);

    EXPECT_THAT(fake::CallsNamed({ "GetShortPathNameA", "GetTempFileNameA", "SysVerInstallFileA",
                                   "MoveFileA" }),
                ElementsAre("GetShortPathNameA(D:\\Riredud.e#e,260)",
                            "GetShortPathNameA(C:\\WINDOWS\\Riredud.exe,260)",
                            "SysVerInstallFileA(3,RIREDUD.E#E,RIREDUD.EXE,D:,C:\\WINDOWS,"
                            "C:\\WINDOWS,,260)",
                            "MoveFileA(C:\\WINDOWS\\RIREDUD.EXE,C:\\WINDOWS\\Riredud.exe)"));
}

TEST_F(Win9xInstallTest, AFailureLeavesAPresentTargetAlone)
{
    fake::AddFile(DEST);
    ScriptInstall({ VIF_CANNOTREADSRC });
    EXPECT_EQ(InstallFile(SRC, DEST, TRUE), (InstallResult)IR_CANNOTREADSRC);
    EXPECT_THAT(fake::CallsNamed({ "DeleteFileA", "MoveFileA" }), IsEmpty());
    EXPECT_TRUE(fake::FileIs(DEST));
}

TEST_F(Win9xInstallTest, WithoutATemporaryNameTheLongNamesAreUsed)
{
    fake::state.getTempFileName = [](LPCSTR, LPCSTR, LPSTR) { return 0u; };
    EXPECT_EQ(InstallFile(SRC, DEST, TRUE), 0u);
    EXPECT_THAT(Installs(),
                ElementsAre("SysVerInstallFileA(3,Riredud.e#e,Riredud.exe,D:,C:\\WINDOWS,,,260)"));
    EXPECT_THAT(fake::CallsNamed({ "MoveFileA", "DeleteFileA" }), IsEmpty());
}

TEST_F(Win9xInstallTest, AnOversizedShortPathIsReportedAndTheLongNameUsed)
{
    fake::state.getShortPathName = [](LPCSTR, LPSTR, DWORD) { return (DWORD)300; };
    EXPECT_EQ(InstallFile(SRC, DEST, TRUE), 0u);

    ASSERT_EQ(fake::state.boxes.size(), 1u);
    EXPECT_THAT(fake::state.boxes[0].text,
                ::testing::StartsWith(
                    "File: stub, Line#: 613\nAssert( len <= NElems(shortSourceName) );"));
    EXPECT_THAT(Installs()[0], ::testing::StartsWith("SysVerInstallFileA(3,Riredud.e#e,kwi"));
}

/* A file that keeps its temporary name after a reported check is not
   installed: it is removed and the install fails. */
TEST_F(Win9xInstallTest, AFileLeftUnderItsTemporaryNameIsRemovedAndFailsTheInstall)
{
    static const struct {
        const char *name, *destName, *report;
    } cases[] = {
        { "the rename fails", "Riredud.exe",
          "File: stub, Line#: 757\nAssert( MoveFileA(sourceRename,targetRename) );" },
        { "no name to rename to", "",
          "File: stub, Line#: 755\nAssert( Str::Length(szDestFileName) );" },
    };
    for (const auto &c : cases) {
        FreshProgram();
        fake::AddFile(SRC);
        fake::state.platformId = VER_PLATFORM_WIN32_WINDOWS;
        fake::state.moveFileOk = FALSE;
        char src[] = "Riredud.e#e", dir[] = "D:", destDir[] = "C:\\WINDOWS", cur[] = "";
        char tmp[MAX_PATH] = "";
        std::string dest = c.destName;
        UINT len = MAX_PATH;
        EXPECT_EQ(VersionInstall(3, src, &dest[0], dir, destDir, cur, tmp, &len),
                  (InstallResult)IR_OTHER)
            << c.name;
        ASSERT_EQ(fake::state.boxes.size(), 1u) << c.name;
        EXPECT_THAT(fake::state.boxes[0].text, ::testing::StartsWith(c.report)) << c.name;
        EXPECT_EQ(fake::state.files.size(), 1u) << c.name; /* the source alone */
    }
}

/* A present target without a short form: the file is installed under a
   temporary name and replaces the target, as the forced install asks. */
TEST_F(Win9xInstallTest, APresentTargetWithoutAShortFormIsReplaced)
{
    fake::AddFile(DEST);
    fake::state.getShortPathName = [](LPCSTR path, LPSTR out, DWORD cch) {
        if (strcmp(path, DEST) == 0)
            return (DWORD)0;
        strncpy(out, "D:\\RIREDUD.E#E", cch);
        return (DWORD)strlen(out);
    };
    EXPECT_EQ(InstallFile(SRC, DEST, TRUE), 0u);
    EXPECT_THAT(fake::CallsNamed({ "SysVerInstallFileA", "DeleteFileA", "MoveFileA" }),
                ElementsAre("DeleteFileA(C:\\WINDOWS\\kwi1A2C.tmp)",
                            "SysVerInstallFileA(3,RIREDUD.E#E,kwi1A2C.tmp,D:,C:\\WINDOWS,C:\\WINDOWS,,260)",
                            "DeleteFileA(C:\\WINDOWS\\Riredud.exe)",
                            "MoveFileA(C:\\WINDOWS\\kwi1A2C.tmp,C:\\WINDOWS\\Riredud.exe)"));
    EXPECT_TRUE(fake::state.boxes.empty());
    EXPECT_TRUE(fake::FileIs(DEST));
    EXPECT_FALSE(fake::FileIs("C:\\WINDOWS\\kwi1A2C.tmp"));
}

TEST_F(Win9xInstallTest, AFailedRenameOfTheTargetsShortNameLeavesTheInstallStanding)
{
    fake::AddFile(DEST);
    fake::state.moveFileOk = FALSE;
    EXPECT_EQ(InstallFile(SRC, DEST, TRUE), 0u);
    EXPECT_EQ(fake::state.boxes.size(), 1u);
    EXPECT_TRUE(fake::FileIs(DEST));
}

TEST_F(Win9xInstallTest, NoRenameWhenTheInstalledFileIsNotThere)
{
    fake::state.verInstallFile = [](const fake::VerInstallCall &, LPSTR, PUINT) {
        return (DWORD)0;
    };
    EXPECT_EQ(InstallFile(SRC, DEST, TRUE), 0u);
    EXPECT_THAT(fake::CallsNamed({ "MoveFileA" }), IsEmpty());
}

TEST_F(Win9xInstallTest, TheNTFamilyGetsTheLongNamesOnly)
{
    fake::state.platformId = VER_PLATFORM_WIN32_NT;
    EXPECT_EQ(InstallFile(SRC, DEST, TRUE), 0u);
    EXPECT_THAT(fake::CallsNamed({ "GetShortPathNameA", "GetTempFileNameA", "MoveFileA" }),
                IsEmpty());
    EXPECT_THAT(Installs(),
                ElementsAre("SysVerInstallFileA(3,Riredud.e#e,Riredud.exe,D:,C:\\WINDOWS,,,260)"));
}

/* What the medium promises of a file (a compressed one: the length its
   header says), and what the service makes of it, on both families: a file
   that is not what was promised is a failed installation. */
TEST_F(InstallTest, WhatTheMediumPromisesIsWhatIsInstalled)
{
    static const struct {
        const char *name;
        std::string source; /* the file on the medium */
        long expanded;      /* what the service expands it to; -1: as promised */
        InstallResult result;
        size_t installCalls;
    } cases[] = {
        { "compressed, expanded whole", fake::Compressed(5000, "body"), -1, 0, 1 },
        { "compressed and cut short", fake::Compressed(5000, "bo"), 2100, IR_DAMAGEDSRC, 1 },
        { "compressed and garbled", fake::Compressed(5000, "bXdy"), 5016, IR_DAMAGEDSRC, 1 },
        { "empty", "", -1, IR_DAMAGEDSRC, 0 },
        { "cut inside its header", fake::Compressed(5000).substr(0, 9), -1, IR_DAMAGEDSRC, 0 },
        { "the signature's first four bytes", "SZDD", -1, IR_DAMAGEDSRC, 0 },
        { "not compressed: copied as it is", "MZ plain", -1, 0, 1 },
        { "shorter than a signature", "SZD", -1, 0, 1 },
    };
    for (DWORD platform : { VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS }) {
        for (const auto &c : cases) {
            SetUp();
            fake::state.platformId = platform;
            fake::AddFile(SRC, c.source);
            fake::state.expandedLength = c.expanded;
            std::string name = std::string(c.name) + ", platform " + std::to_string(platform);

            InstallResult result = InstallFile(SRC, DEST, TRUE);

            EXPECT_EQ(result, c.result) << name;
            if (result != 0) {
                EXPECT_EQ(MessageIdForResult(result), (UINT)IDS_MEDIUM_CHANGED) << name;
            }
            EXPECT_EQ(Installs().size(), c.installCalls) << name;
            EXPECT_FALSE(fake::FileIs("C:\\WINDOWS\\kwi1A2C.tmp")) << name;
        }
    }
}

TEST(SourcePromise, TheExpandedLengthIsReadLittleEndian)
{
    std::string file = fake::Compressed(0x01020304u, "x");
    DWORD cbExpanded = 0;

    EXPECT_EQ(SourcePromise((const BYTE *)file.data(), LZ_HEADER_CB, (DWORD)file.size(),
                            &cbExpanded),
              (UINT)PROMISE_LENGTH);
    EXPECT_EQ(cbExpanded, 0x01020304u);
}
