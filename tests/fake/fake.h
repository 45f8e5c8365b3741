/*
 * fake.h - how a unit test scripts the fake Win32 and reads what happened.
 *
 * Every fake call is appended to fake::state.calls as "Name(arg,arg,...)",
 * texts as they are, numbers in decimal, NULL as "NULL".  Answers come from
 * the fields below; Reset() sets the defaults of a plain NT machine with the
 * Windows directory C:\WINDOWS, the bootstrap at D:\SETUP.EXE and an empty
 * file system.
 */
#ifndef FAKE_H
#define FAKE_H

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform.h"

namespace fake {

struct Box {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
    /* Shown through MessageBoxW: its texts as they came. */
    bool wide = false;
    std::u16string wideText, wideCaption;
};

struct VerFindCall {
    DWORD flags;
    std::string fileName, winDir, appDir;
    UINT curDirLen, destDirLen;
};

struct VerInstallCall {
    DWORD flags;
    std::string srcName, destName, srcDir, destDir, curDir, tmpFile;
    UINT tmpFileLen;
};

struct State {
    std::vector<std::string> calls;

    /* Resources and the process.  strings: what LoadStringA gives;
       stringTables: the string table of each language, read block by block
       through SysResourceData. */
    std::map<UINT, std::string> strings;
    std::map<LANGID, std::map<UINT, std::u16string>> stringTables;
    /* The user's display language (GetUserDefaultUILanguage, 0: the call
       fails) and default language; the ANSI code page: 1252 holds the
       first 256 code points (its bytes as Latin-1), 1251 ASCII and
       Cyrillic, 932 ASCII, kana and CJK ideographs (in the fake as UTF-8);
       anything else comes out as '?'. */
    LANGID uiLanguage = 0x0409, userLanguage = 0x0409;
    UINT codePage = 1252;
    std::string commandLine = "D:\\SETUP.EXE";
    std::string modulePath = "D:\\SETUP.EXE";
    /* What GetModuleFileNameW gives; empty: the function is missing. */
    std::u16string wideModulePath;
    /* GetShortPathNameW's answers; a path not here has no short form and
       comes back unchanged, as on a volume without short names. */
    std::map<std::u16string, std::u16string> shortPaths;
    std::string windowsDir = "C:\\WINDOWS";
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    DWORD majorVersion = 10, minorVersion = 0;
    DWORD buildNumber = 19045; /* as GetVersionExA gives it: on 95/98 with the version above */
    BOOL versionQueryOk = TRUE;
    bool doubleByteCodePage = false; /* lead bytes of code page 932 */
    /* The program's RT_RCDATA resources by id (Reset: the empty record of
       a build), and the size of its Authenticode signature (0: none). */
    std::map<UINT, std::string> rcdata;
    DWORD signatureSize = 0;
    /* The process's window station: whether it can be asked (the calls are
       missing on the 95/98 family) and its flags (WSF_VISIBLE: boxes can
       be seen). */
    bool stationAsked = true;
    DWORD stationFlags = WSF_VISIBLE;

    /* Windows. */
    HWND setupWindow = NULL; /* what FindWindowA finds */
    HWND focus = NULL;
    HWND dialog = (HWND)0x5100; /* what CreateDialogParamA and W create */
    int messageBoxWResult = IDOK; /* 0: MessageBoxW fails */
    /* The texts SetDlgItemTextW and A set, in order. */
    std::vector<std::u16string> dialogTextsW;
    std::vector<std::string> dialogTextsA;
    RECT dialogRect = { 0, 0, 300, 100 };
    RECT screenRect = { 0, 0, 640, 480 };
    std::vector<int> boxAnswers; /* answered in order, then IDOK/IDYES */
    std::vector<Box> boxes;
    std::vector<std::string> debugOutput;

    /* Files: full paths, compared without regard to letter case; their
       bytes, where a test gives them (else "data"). */
    std::set<std::string> files;
    std::map<std::string, std::string> fileData;
    /* The length the service expands a compressed (SZDD) source to; -1:
       the length its header says. */
    long expandedLength = -1;
    /* Files opened by CreateFileA, and where each is read next: a handle is
       0x4000 + an index here.  ReadFile fails with readFileFails. */
    struct OpenFile {
        std::string path;
        size_t position;
    };
    std::vector<OpenFile> openFiles;
    bool readFileFails = false;
    bool globalAllocFails = false;
    BOOL moveFileOk = TRUE;

    /* The installation service and names; defaults act on `files`. */
    std::function<DWORD(const VerFindCall &, LPSTR curDir, LPSTR destDir)> verFindFile;
    std::function<DWORD(const VerInstallCall &, LPSTR tmpFile, PUINT tmpFileLen)> verInstallFile;
    std::function<DWORD(LPCSTR longPath, LPSTR shortPath, DWORD cch)> getShortPathName;
    std::function<UINT(LPCSTR dir, LPCSTR prefix, LPSTR out)> getTempFileName;
    unsigned tempCounter = 0x1a2b; /* the default names kwi1A2C.tmp, ... */

    /* Processes. */
    UINT winExecResult = 33; /* 31 or less: Windows could not start it */
    BOOL createProcessOk = TRUE;
    HANDLE currentProcess = (HANDLE)-1;
    BOOL setPriorityOk = TRUE;
    DWORD waitResult = WAIT_OBJECT_0; /* of a process */
    /* The setup mutex: the names CreateMutexA accepts (the others fail)
       and what a wait on it gives. */
    std::set<std::string> mutexNames = { "Global\\RiredudSetup" };
    DWORD mutexWaitResult = WAIT_OBJECT_0;
    DWORD childExitCode = 0;
    STARTUPINFOA lastStartup = {};
    std::string lastCreateCommandLine;
};

extern State state;

void Reset();

/* The string table as the product ships it. */
void LoadProductStrings();

bool FileIs(const std::string &path);
void AddFile(const std::string &path);
/* A file with these bytes; and the bytes of a file. */
void AddFile(const std::string &path, const std::string &data);
std::string FileData(const std::string &path);
/* A compressed (SZDD) file's bytes: its header, which says it expands to
   expanded bytes, and body. */
std::string Compressed(uint32_t expanded, const std::string &body = "");

/* The calls whose name is one of names, in order. */
std::vector<std::string> CallsNamed(std::initializer_list<const char *> names);

/* The instance handle the tests pass to WinMain. */
extern HINSTANCE const hTestInstance;

} // namespace fake

#endif
