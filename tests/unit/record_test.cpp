/*
 * The record of the medium: SHA-256 on both paths, the choice of path, the
 * record's reader and the check of an installed file against it.
 */
#include "test_support.h"

#include <cstdio>
#include <random>

#include "install/record.h"
#include "sha256_examples.h"

static std::string Hex(const BYTE *bytes, size_t n)
{
    std::string hex;
    char two[3];
    for (size_t i = 0; i < n; i++) {
        snprintf(two, sizeof two, "%02x", bytes[i]);
        hex += two;
    }
    return hex;
}

/* The digest of data, fed to Update in pieces of at most piece bytes. */
static std::string Digest(const std::string &data, BOOL fShaExtensions, size_t piece)
{
    Sha256 sha;
    BYTE digest[SHA256_CB];
    Sha256Init(&sha, fShaExtensions);
    for (size_t at = 0; at < data.size(); at += piece)
        Sha256Update(&sha, (const BYTE *)data.data() + at,
                     (DWORD)std::min(piece, data.size() - at));
    Sha256Final(&sha, digest);
    return Hex(digest, SHA256_CB);
}

/* The host's SHA-256 (coreutils) of each text, in one run. */
static std::vector<std::string> HostDigests(const std::vector<std::string> &texts)
{
    char dir[] = "/tmp/sha256-test.XXXXXX";
    std::string command = "cd " + std::string(mkdtemp(dir)) + " && sha256sum";
    for (size_t i = 0; i < texts.size(); i++) {
        std::string name = std::string(dir) + "/" + std::to_string(i);
        FILE *f = fopen(name.c_str(), "wb");
        fwrite(texts[i].data(), 1, texts[i].size(), f);
        fclose(f);
        command += " " + std::to_string(i);
    }
    std::vector<std::string> digests;
    FILE *p = popen((command + "; rm -rf " + dir).c_str(), "r");
    char line[256];
    while (p && fgets(line, sizeof line, p))
        digests.push_back(std::string(line).substr(0, 64));
    if (p)
        pclose(p);
    return digests;
}

/* Each path, named by what ran it; the SHA extensions' only where this
   machine's CPU has them (said in the output either way). */
class Sha256Path : public ::testing::TestWithParam<BOOL> {
protected:
    void SetUp() override
    {
        CpuFeatures cpu;
        ReadCpuFeatures(&cpu);
        bool has = CanUseShaExtensions(&cpu, VER_PLATFORM_WIN32_NT, 10, 0, 19045);
        printf("SHA-256 path: %s%s\n", GetParam() ? "SHA extensions" : "portable",
               GetParam() && !has ? ": not tested, this CPU lacks them" : ", tested on this CPU");
        if (GetParam() && !has)
            GTEST_SKIP() << "this CPU has no SHA extensions";
    }
};

TEST_P(Sha256Path, GivesTheDigestsOfFips180Examples)
{
    for (const auto &c : sha256Examples)
        for (size_t piece : { (size_t)1000000, (size_t)1, (size_t)63, (size_t)65536 })
            EXPECT_EQ(Digest(c.message, GetParam(), piece), c.digest)
                << c.message.size() << " bytes in pieces of " << piece;
}

TEST_P(Sha256Path, AgreesWithTheHostAroundTheBlockBoundaries)
{
    std::mt19937 random(20261209);
    std::vector<std::string> texts;
    for (size_t length = 0; length < 300; length++) {
        if (length % 64 > 2 && length % 64 < 53 && length % 7 != 0)
            continue; /* around 0, 55, 56 and 64 modulo a block, and some between */
        std::string text(length, '\0');
        for (char &c : text)
            c = (char)random();
        texts.push_back(text);
    }
    texts.push_back(std::string(200000 + random() % 1000, '\xA5'));
    std::vector<std::string> host = HostDigests(texts);
    ASSERT_EQ(host.size(), texts.size());
    for (size_t i = 0; i < texts.size(); i++)
        EXPECT_EQ(Digest(texts[i], GetParam(), 1 + random() % 100), host[i])
            << texts[i].size() << " bytes";
}

INSTANTIATE_TEST_SUITE_P(BothPaths, Sha256Path, ::testing::Values(FALSE, TRUE),
                         [](const ::testing::TestParamInfo<BOOL> &info) {
                             return info.param ? "ShaExtensions" : "Portable";
                         });

TEST(ShaExtensions, AreTakenOnlyWhereTheCpuHasThemAndTheSystemSavesSse)
{
    const DWORD sseEdx = 7u << 24, sseEcx = 1u << 9 | 1u << 19, sha = 1u << 29;
    /* Each system as GetVersionExA reports it (the 95/98 family repeats
       the version in the build number's high word), with whether it saves
       the SSE registers at a thread switch. */
    static const struct {
        const char *name;
        DWORD platform, major, minor, build;
        BOOL saves;
    } systems[] = {
        { "Windows 95", 1, 4, 0, 0x040003B6, FALSE },
        { "Windows 98 (4.10.1998): neither turns SSE on nor saves it", 1, 4, 10, 0x040A07CE, FALSE },
        { "Windows 98 Second Edition (4.10.2222)", 1, 4, 10, 0x040A08AE, TRUE },
        { "Windows Me", 1, 4, 90, 0x045A0BB8, TRUE },
        { "NT 4.0", 2, 4, 0, 1381, FALSE },
        { "Windows 2000", 2, 5, 0, 2195, TRUE },
        { "Windows XP", 2, 5, 1, 2600, TRUE },
        { "Windows 10", 2, 10, 0, 19045, TRUE },
        { "Win32s", 0, 3, 10, 0, FALSE },
        { "a version query that failed", 0, 0, 0, 0, FALSE },
    };
    static const struct {
        const char *name;
        CpuFeatures cpu;
        BOOL has;
    } cpus[] = {
        { "a CPU with them", { 7, sseEcx, sseEdx, sha }, TRUE },
        { "a CPU with more leaves", { 20, sseEcx, sseEdx, sha }, TRUE },
        { "no SHA extensions", { 7, sseEcx, sseEdx, 0 }, FALSE },
        { "no SSSE3", { 7, 1u << 19, sseEdx, sha }, FALSE },
        { "no SSE4.1", { 7, 1u << 9, sseEdx, sha }, FALSE },
        { "no FXSAVE", { 7, sseEcx, 3u << 25, sha }, FALSE },
        { "no leaf 7", { 6, sseEcx, sseEdx, sha }, FALSE },
        { "no CPUID", { 0, 0, 0, 0 }, FALSE },
    };
    for (const auto &s : systems)
        for (const auto &c : cpus)
            EXPECT_EQ(CanUseShaExtensions(&c.cpu, s.platform, s.major, s.minor, s.build),
                      s.saves && c.has) << s.name << ", " << c.name;
}

TEST(MediumRecord, IsReadOnlyAsMakeMediumWritesIt)
{
    std::string present = RecordBytes({ { 4, SHA256_OF_DATA }, { 0x01020304, SHA256_OF_EMPTY } });
    static const struct {
        const char *name;
        std::string bytes;
        UINT found;
    } cases[] = {
        { "a build's empty record", std::string(RECORD_CB, '\0'), RECORD_NONE },
        { "a record", present, RECORD_PRESENT },
        { "another signature", RecordBytes({ { 4, SHA256_OF_DATA }, { 4, SHA256_OF_DATA } }, "REC2"),
          RECORD_BROKEN },
        { "one byte short", present.substr(1), RECORD_BROKEN },
        { "one byte over", present + '\0', RECORD_BROKEN },
        { "empty but one byte", std::string(RECORD_CB - 1, '\0') + '\1', RECORD_BROKEN },
    };
    for (const auto &c : cases) {
        MediumRecord record = {};
        EXPECT_EQ(ReadMediumRecord((const BYTE *)c.bytes.data(), (DWORD)c.bytes.size(), &record),
                  c.found)
            << c.name;
    }
    MediumRecord record = {};
    ReadMediumRecord((const BYTE *)present.data(), RECORD_CB, &record);
    EXPECT_EQ(record.files[0].cbFile, 4u);
    EXPECT_EQ(record.files[1].cbFile, 0x01020304u);
    EXPECT_EQ(Hex(record.files[0].digest, SHA256_CB), SHA256_OF_DATA);
}

TEST_F(FakeTest, AnInstalledFileStandsOnlyWithTheRecordsLengthAndDigest)
{
    static const struct {
        const char *name;
        std::string installed; /* "<absent>": not there */
        DWORD cbRecorded;
        bool readFails;
        InstallResult result;
    } cases[] = {
        { "as recorded", "data", 4, false, 0 },
        { "another file of the same length", "date", 4, false, IR_DAMAGEDSRC },
        { "longer than recorded", "data" + std::string(70000, 'x'), 4, false, IR_DAMAGEDSRC },
        { "shorter than recorded", "dat", 4, false, IR_DAMAGEDSRC },
        { "the record's digest, another length", "data", 5, false, IR_DAMAGEDSRC },
        { "not there", "<absent>", 4, false, IR_DAMAGEDSRC },
        { "unreadable", "data", 4, true, IR_DAMAGEDSRC },
    };
    std::string bytes = RecordBytes({ { 0, SHA256_OF_DATA }, { 0, SHA256_OF_DATA } });
    for (const auto &c : cases) {
        for (BOOL fShaExtensions : { FALSE, TRUE }) {
            FreshProgram();
            MediumRecord record = {};
            ReadMediumRecord((const BYTE *)bytes.data(), RECORD_CB, &record);
            record.files[0].cbFile = c.cbRecorded;
            if (c.installed != "<absent>")
                fake::AddFile("C:\\WINDOWS\\Riredud.exe", c.installed);
            fake::state.readFileFails = c.readFails;
            CpuFeatures cpu;
            ReadCpuFeatures(&cpu);
            if (fShaExtensions && !CanUseShaExtensions(&cpu, VER_PLATFORM_WIN32_NT, 10, 0, 19045))
                continue;

            EXPECT_EQ(CheckInstalledFile("C:\\WINDOWS\\Riredud.exe", &record.files[0],
                                         fShaExtensions),
                      c.result)
                << c.name;
            /* Opened so that nobody writes it meanwhile, and closed. */
            if (c.installed != "<absent>") {
                EXPECT_THAT(fake::CallsNamed({ "CreateFileA" }),
                            ElementsAre("CreateFileA(C:\\WINDOWS\\Riredud.exe,2147483648,1,NULL,3,0,NULL)"));
                EXPECT_EQ(fake::CallsNamed({ "CloseHandle" }).size(), 1u) << c.name;
            }
        }
    }
}
