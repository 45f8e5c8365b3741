/*
 * Installation for real: the platform's own VerFindFileA/VerInstallFileA
 * install and expand files from real media made with mscompress, and the
 * real Setup.exe is run from them as a user would run it.  Runs once in a
 * prefix of the NT family and once in one of the 95/98 family.
 */
#include "debugger.h"
#include "harness.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <set>
#include <vector>

#include "expected_strings.h"
#include "install/install.h"
#include "install/record.h"
#include "sha256_examples.h"
#include "ui/assertion.h"
#include "win32/sysdll.h"

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
        /* The service expands what it is given and calls it a success;
           its length is not what the header promised. */
        { "compressed data corrupt", "corrupt", HOLD_NOTHING, IR_DAMAGEDSRC, 0 },
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

/* SHA-256 in the program's 32-bit code, on each path this CPU can run (the
   SHA extensions' wherever the CPU has them: Linux saves the SSE registers
   whatever Windows Wine plays), with the FIPS 180-4 examples; and which
   path the program takes at this version setting. */
static void Sha256Paths(void)
{
    CpuFeatures cpu;
    ReadCpuFeatures(&cpu);
    BOOL cpuHas = CanUseShaExtensions(&cpu, VER_PLATFORM_WIN32_NT, 10, 0, 19045);
    printf("SHA-256 in %u-bit code: portable path tested; SHA extensions %s; at this version "
           "setting the program takes the %s path\n", (unsigned)(8 * sizeof(void *)),
           cpuHas ? "tested" : "not tested (this CPU lacks them)",
           ShaExtensionsUsable() ? "SHA extensions'" : "portable");
    for (BOOL fShaExtensions : { FALSE, TRUE }) {
        if (fShaExtensions && !cpuHas)
            continue;
        for (const auto &c : sha256Examples) {
            Sha256 sha;
            BYTE digest[SHA256_CB];
            char hex[2 * SHA256_CB + 1];
            Sha256Init(&sha, fShaExtensions);
            Sha256Update(&sha, (const BYTE *)c.message.data(), (DWORD)c.message.size());
            Sha256Final(&sha, digest);
            for (int i = 0; i < SHA256_CB; i++)
                sprintf(hex + 2 * i, "%02x", digest[i]);
            EXPECT_EQ_STR(hex, c.digest);
        }
    }
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

/* What the platform's WinVerifyTrust (Authenticode policy) says of file. */
static LONG Trust(const std::string &file)
{
    std::wstring path(file.begin(), file.end());
    WINTRUST_FILE_INFO info = {};
    WINTRUST_DATA data = {};
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;

    info.cbStruct = sizeof info;
    info.pcwszFilePath = path.c_str();
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &info;
    return WinVerifyTrust((HWND)INVALID_HANDLE_VALUE, &action, &data);
}

/* The signed medium's Setup.exe as the platform checks it, its test root
   not yet trusted, then trusted; a copy with one byte of code changed; an
   unsigned one.  Wine 8 checks that there is a signature and that its
   digest is the file's, but not that the chain ends in a trusted root
   (Windows answers CERT_E_UNTRUSTEDROOT there): asserted as seen. */
static void SignedAsThePlatformChecksIt(void)
{
    std::string signedExe = Medium("signed", "Setup.exe");
    LONG untrusted = Trust(signedExe);
    std::string root = Contents(harness::Sibling("certificates\\root.der"));
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0,
                                     CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
    BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, (const BYTE *)root.data(),
                                                  (DWORD)root.size(), CERT_STORE_ADD_REPLACE_EXISTING,
                                                  NULL);
    CertCloseStore(store, 0);
    LONG trusted = Trust(signedExe);
    LONG altered = Trust(harness::Sibling("certificates\\altered.exe"));
    LONG unsigned_ = Trust(Medium("complete", "Setup.exe"));
    printf("WinVerifyTrust: signed, root unknown 0x%08lx; root trusted 0x%08lx; a byte changed "
           "0x%08lx; unsigned 0x%08lx\n", (unsigned long)untrusted, (unsigned long)trusted,
           (unsigned long)altered, (unsigned long)unsigned_);
    EXPECT_TRUE(added);
    EXPECT_EQ_INT(untrusted, ERROR_SUCCESS);
    EXPECT_EQ_INT(unsigned_, TRUST_E_NOSIGNATURE);
    EXPECT_EQ_INT(trusted, ERROR_SUCCESS);
    EXPECT_EQ_INT(altered, TRUST_E_BAD_DIGEST);
}

/* The installation of a bootstrap with a VERSION.DLL planted beside it goes
   through the system's service, even where DLLs beside a program are
   preferred to the system's (as Windows does; Wine is told so by the
   WINEDLLOVERRIDES of this suite, see CMakeLists.txt). */
static void PlantedVersionDll(void)
{
    RemoveInstalled();
    DeleteFileA(WinPath("planted-version-dll-was-called.txt").c_str());
    harness::Run run = RunSetup("planted", true);

    EXPECT_EQ_INT(run.exitCode, 1);
    EXPECT_TRUE(run.errorBoxes.empty());
    EXPECT_TRUE(!Exists(WinPath("planted-version-dll-was-called.txt")));
    EXPECT_TRUE(Contents(WinPath("Riredud.exe")) == Contents(Medium("originals", "Riredud.exe")));
    RemoveInstalled();
}

static std::string Lower(std::string text)
{
    CharLowerA(&text[0]);
    return text;
}

static std::string BaseName(const std::string &path)
{
    return path.substr(path.find_last_of('\\') + 1);
}

/* Every DLL the bootstrap's process maps, and from where (the census);
   then one DLL of each name mapped after its first instruction, and of
   UXTHEME and DWMAPI, planted beside Setup.exe, with Wine told to prefer
   DLLs beside a program (as Windows does for all but its KnownDLLs): the
   run succeeds and none of them is loaded. */
static void PlantedSystemDlls(void)
{
    RemoveInstalled();
    std::vector<harness::Breakpoint> none;
    harness::Debuggee census =
        harness::Debug(harness::QuotedPath(Medium("complete", "Setup.exe")), none, NULL, 30000);
    std::string mediumDir = Lower(harness::Sibling("media\\"));
    std::set<std::string> planted = { "uxtheme.dll", "dwmapi.dll" };
    EXPECT_EQ_INT(census.exitCode, 1);
    for (const std::string &dll : census.dllsBeforeEntry)
        printf("  census: before the first instruction: %s\n", dll.c_str());
    for (const std::string &dll : census.dllsAfterEntry) {
        printf("  census: after it: %s\n", dll.c_str());
        EXPECT_TRUE(Lower(dll).find(mediumDir) == std::string::npos);
        planted.insert(Lower(BaseName(dll)));
    }
    EXPECT_TRUE(!census.dllsBeforeEntry.empty() && !census.dllsAfterEntry.empty());
    Sleep(500); /* lets the stand-in close */

    /* A copy of the complete medium in a folder of its own, planted.  Wine
       takes its load order from the environment the test started with
       (WINEDLLOVERRIDES, set in CMakeLists.txt), not from this process's:
       every name planted must be there. */
    char overrides[1024] = "";
    GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
    std::string preferred = "," + Lower(overrides);
    std::string dir = harness::WinDir() + "\\temp\\planted-medium";
    CreateDirectoryA(dir.c_str(), NULL);
    for (const char *name : { "Setup.exe", "Riredud.e#e", "Setup.i#f" })
        CopyFileA(Medium("complete", name).c_str(), (dir + "\\" + name).c_str(), FALSE);
    for (const std::string &name : planted) {
        CopyFileA(harness::Sibling("plant\\recorder.dll").c_str(), (dir + "\\" + name).c_str(),
                  FALSE);
        /* Wine names a DLL without its extension, any other module with it. */
        std::string key = name.size() > 4 && name.compare(name.size() - 4, 4, ".dll") == 0
                              ? name.substr(0, name.size() - 4)
                              : name;
        if (preferred.find("," + key + ",") == std::string::npos &&
            preferred.find("," + key + "=") == std::string::npos)
            EXPECT_EQ_STR(key, "<in WINEDLLOVERRIDES of tests/wine/CMakeLists.txt>");
    }
    printf("Setup.exe, beside it DLLs Wine prefers to its own: %s\n", overrides);
    RemoveInstalled();
    harness::Run run = harness::RunSetup(harness::QuotedPath(dir + "\\Setup.exe"), true);

    EXPECT_EQ_INT(run.exitCode, 1);
    EXPECT_TRUE(run.errorBoxes.empty());
    EXPECT_TRUE(Contents(WinPath("Riredud.exe")) == Contents(Medium("originals", "Riredud.exe")));
    EXPECT_TRUE(Contents(WinPath("Setup.inf")) == Contents(Medium("originals", "Setup.inf")));
    EXPECT_EQ_STR(run.setupCommandLine, WinPath("Riredud.exe") + " -S \"" + dir + "\"");
    for (const std::string &marker : harness::LeftInWindows("planted-*-was-loaded.txt"))
        EXPECT_EQ_STR(marker, "<no planted DLL loaded>");
    RemoveInstalled();
}

/* Where SetDefaultDllDirectories is missing, the start-up loads these by
   their full path; a name this Windows lacks is skipped. */
static void PreloadedFromTheSystemDirectory(void)
{
    char system[MAX_PATH], loaded[MAX_PATH] = "";
    GetSystemDirectoryA(system, MAX_PATH);
    PreloadSystemDlls();
    HMODULE uxtheme = GetModuleHandleA("uxtheme.dll");
    GetModuleFileNameA(uxtheme, loaded, MAX_PATH);
    EXPECT_EQ_STR(Lower(loaded), Lower(std::string(system) + "\\uxtheme.dll"));
    EXPECT_TRUE(LoadSystemDll("\\NO-SUCH.DLL") == NULL);
}

/* A medium in a folder whose name code page 1252 cannot write, started as
   a user starts it (not through an ANSI command line): on NT the setup
   program gets the folder's short name; the 95/98 family, which has only
   ANSI names, cannot read the medium, as before. */
static void FolderTheCodePageCannotWrite(void)
{
    WCHAR self[MAX_PATH], shortDir[MAX_PATH] = L"", back[MAX_PATH] = L"";
    char expected[MAX_PATH] = "";
    GetModuleFileNameW(NULL, self, MAX_PATH);
    *wcsrchr(self, L'\\') = 0;
    std::wstring dir = std::wstring(self) + L"\\media\\\u4E2D\u6587 \u00DCn\u00EF";
    GetShortPathNameW(dir.c_str(), shortDir, MAX_PATH);
    WideCharToMultiByte(CP_ACP, 0, shortDir, -1, expected, MAX_PATH, NULL, NULL);
    printf("Setup.exe from a folder code page %u cannot write; its short name %s\n", GetACP(),
           expected);
    EXPECT_EQ_INT(GetACP(), 1252);

    RemoveInstalled();
    harness::Run run = harness::RunSetupW(L"\"" + dir + L"\\Setup.exe\"", !fWin9x);
    EXPECT_EQ_INT(run.exitCode, 1);
    if (fWin9x) {
        EXPECT_EQ_INT(run.errorBoxes.size(), 1);
        if (!run.errorBoxes.empty())
            EXPECT_EQ_STR(run.errorBoxes[0], ExpectedString(IDS_READ_ERROR));
        EXPECT_TRUE(!Exists(WinPath("Riredud.exe")) && !Exists(WinPath("Setup.inf")));
        return;
    }
    EXPECT_TRUE(run.errorBoxes.empty());
    EXPECT_TRUE(Contents(WinPath("Riredud.exe")) == Contents(Medium("originals", "Riredud.exe")));
    EXPECT_EQ_STR(run.setupCommandLine, WinPath("Riredud.exe") + " -S \"" + expected + "\"");
    /* The folder the setup program is given is the medium's. */
    MultiByteToWideChar(CP_ACP, 0, expected, -1, back, MAX_PATH);
    GetLongPathNameW(back, back, MAX_PATH);
    EXPECT_TRUE(lstrcmpiW(back, dir.c_str()) == 0);
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
        /* The service reports success; the garbled program is not as long
           as its header says. */
        { "compressed data corrupt", "corrupt", HOLD_NOTHING, false, IDS_MEDIUM_CHANGED, 0, false,
          false },
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
        /* Which SHA-256 path, success, and one failure with its box and
           clean-up. */
        Sha256Paths();
        CompleteMedium("complete");
        FailingMedia(1);
        PlantedSystemDlls();
        FolderTheCodePageCannotWrite();
        return harness::Finish();
    }
    Sha256Paths();
    InstallFileFaults();
    CompleteMedium("complete");
    CompleteMedium("signed");
    CompleteMedium("signed-sha256");
    CompleteMedium("branded");
    SignedAsThePlatformChecksIt();
    PlantedVersionDll();
    PlantedSystemDlls();
    PreloadedFromTheSystemDirectory();
    FolderTheCodePageCannotWrite();
    FailingMedia(0);
    return harness::Finish();
}
