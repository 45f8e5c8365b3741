/*
 * Path and platform helpers.
 */
#include "test_support.h"

static const struct {
    const char *path, *name, *dir;
} splitCases[] = {
    { "C:\\WINDOWS\\Riredud.exe", "Riredud.exe", "C:\\WINDOWS" },
    { "C:\\Riredud.exe", "Riredud.exe", "C:" },
    { "Setup.inf", "Setup.inf", "" },
    { "C:Setup.inf", "Setup.inf", "C:" },
    { "\\\\server\\share\\Setup.inf", "Setup.inf", "\\\\server\\share" },
    { "D:\\setup\\", "", "D:\\setup" },
    { "C:/dir/file", "file", "C:/dir/" },
    { "D:\\disk.1\\Setup", "Setup", "D:\\disk.1" },
    { "D:\\a\\.profile", ".profile", "D:\\a" },
    { "D:\\a\\b.c.d", "b.c.d", "D:\\a" },
    { "", "", "" },
    { "C:", "", "C:" },
    { "\\", "", "" },
};

class PathTest : public FakeTest {};

TEST_F(PathTest, SplitPathCutsDirectoryAndName)
{
    for (const auto &c : splitCases) {
        char name[MAX_PATH] = "junk", dir[MAX_PATH] = "junk";
        SplitPath(c.path, name, dir);
        EXPECT_STREQ(name, c.name) << c.path;
        EXPECT_STREQ(dir, c.dir) << c.path;
    }
}

TEST_F(PathTest, SplitPathIntoItsOwnBufferKeepsTheName)
{
    char buffer[MAX_PATH] = "C:\\WINDOWS\\kwi1A2B.tmp";
    SplitPath(buffer, buffer, NULL);
    EXPECT_STREQ(buffer, "kwi1A2B.tmp");

    strcpy(buffer, "C:\\WINDOWS\\kwi1A2B.tmp");
    SplitPath(buffer, NULL, buffer);
    EXPECT_STREQ(buffer, "C:\\WINDOWS");
}

TEST_F(PathTest, TrailBytesOfDoubleByteCharactersNeverSplit)
{
    /* 0x95 0x5C and 0x83 0x2E are characters of code page 932. */
    const char path[] = "C:\\dir\\\x95\x5C\x83\x2Ename";
    char name[MAX_PATH], dir[MAX_PATH];

    fake::state.doubleByteCodePage = true;
    SplitPath(path, name, dir);
    EXPECT_STREQ(name, "\x95\x5C\x83\x2Ename");
    EXPECT_STREQ(dir, "C:\\dir");

    /* A directory ending in such a character gets its backslash. */
    fake::state.doubleByteCodePage = true;
    JoinPath(name, "D:\\\x95\x5C", "Setup.i#f", TRUE);
    EXPECT_STREQ(name, "D:\\\x95\x5C\\Setup.i#f");
    JoinPath(name, "D:\\\x95\x5C\\", "Setup.i#f", TRUE);
    EXPECT_STREQ(name, "D:\\\x95\x5C\\Setup.i#f");

    fake::state.doubleByteCodePage = false;
    SplitPath(path, name, dir);
    EXPECT_STREQ(name, "\x83\x2Ename");
}

TEST_F(PathTest, LongPartsAreCutTo255Characters)
{
    std::string longName(300, 'n');
    char name[MAX_PATH], dir[MAX_PATH];

    SplitPath(("C:\\d\\" + longName).c_str(), name, dir);
    EXPECT_EQ(std::string(name), std::string(255, 'n'));

    /* A base and an extension of 255 each still fit the name buffer. */
    SplitPath(("C:\\" + longName + "." + longName).c_str(), name, dir);
    EXPECT_EQ(strlen(name), (size_t)MAX_PATH - 1);
}

TEST_F(PathTest, IsWin9xAsksThePlatformOnce)
{
    static const struct {
        DWORD platformId;
        int expected;
    } cases[] = { { 1, 1 }, { 2, 0 }, { 0, 0 } };

    for (const auto &c : cases) {
        fake::Reset();
        fPlatformAsked = 0;
        fake::state.platformId = c.platformId;
        EXPECT_EQ(IsWin9x(), c.expected) << c.platformId;
        EXPECT_EQ(IsWin9x(), c.expected) << c.platformId;
        EXPECT_THAT(fake::CallsNamed({ "GetVersionExA" }), ElementsAre("GetVersionExA(148)"));
    }
}

TEST_F(PathTest, AFailedVersionQueryIsReportedAndAnswersNT)
{
    fake::state.platformId = VER_PLATFORM_WIN32_WINDOWS;
    fake::state.versionQueryOk = FALSE;

    EXPECT_EQ(IsWin9x(), 0);
    EXPECT_EQ(IsWin9x(), 0);
    ASSERT_EQ(fake::state.boxes.size(), 1u);
    EXPECT_THAT(fake::state.boxes[0].text, ::testing::StartsWith(
                                               "File: stub, Line#: 395\nAssert( GetVersionExA(&verInfo) );"));
}

TEST_F(PathTest, FileExistsAsksOpenFileOrForLongPathsTheAttributes)
{
    std::string longPath = "C:\\" + std::string(140, 'l') + "\\Riredud.exe";
    fake::AddFile("C:\\WINDOWS\\Setup.inf");
    fake::AddFile(longPath);

    EXPECT_EQ(FileExists("C:\\WINDOWS\\Setup.inf"), 1);
    EXPECT_EQ(FileExists("C:\\WINDOWS\\Riredud.exe"), 0);
    EXPECT_EQ(FileExists(longPath.c_str()), 1);
    EXPECT_EQ(FileExists((longPath + "x").c_str()), 0);
    EXPECT_THAT(fake::CallsNamed({ "OpenFile", "GetFileAttributesA" }),
                ElementsAre("OpenFile(C:\\WINDOWS\\Setup.inf,16384)",
                            "OpenFile(C:\\WINDOWS\\Riredud.exe,16384)",
                            "GetFileAttributesA(" + longPath + ")",
                            "GetFileAttributesA(" + longPath + "x)"));
}
