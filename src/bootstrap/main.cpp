/*
 * main.cpp - the bootstrap's main flow.
 *
 * One straight pass on one thread: bring a running setup program forward,
 * or show the splash window, install the setup program and its information
 * file into the Windows directory, and start the setup program with the
 * source directory and the bootstrap's own arguments.
 *
 * Before it starts the setup program it checks both installed files
 * against the record of the medium it carries (install/record.h): what is
 * started, with the rights the program was given, is what the publisher
 * put on the medium.
 */
#include "bootstrap/bootstrap.h"
#include "bootstrap/launcher.h"
#include "install/install.h"
#include "install/pathutil.h"
#include "install/record.h"
#include "resource.h"
#include "text.h"
#include "ui/assertion.h"
#include "ui/messages.h"
#include "ui/splash.h"

/* The files on the medium, compressed, and their names once installed;
   each name with its NUL fits its 12 characters (the longest has 11). */
static const struct {
    char szSource[12];
    char szDest[12];
} fileTable[] = {
    { "Riredud.e#e", "Riredud.exe" },
    { "Setup.i#f", "Setup.inf" },
};
/* The record holds the files of the table, in its order. */
static_assert(NElems(fileTable) == RECORD_FILES, "one record entry for each file");

void DeleteIfExists(LPCSTR path)
{
    OFSTRUCT of;

    if (!FileExists(path))
        return;
    if (OpenFileCanTake(path))
        OpenFile(path, &of, OF_DELETE);
    else
        DeleteFileA(path);
}

/* The Windows directory, without the backslash of a drive root. */
static void GetInstallDirectory(LPSTR szWinDir)
{
    szWinDir[0] = '\0';
    GetWindowsDirectoryA(szWinDir, MAX_PATH);
    szWinDir[MAX_PATH - 1] = '\0';
    if (strlen(szWinDir) == 3 && szWinDir[2] == '\\')
        szWinDir[2] = '\0';
}

/* wsz in the ANSI code page into szAnsi (MAX_PATH characters); FALSE when
   it does not fit or cannot be written there unchanged (a character the
   code page lacks becomes '?' or a look-alike: the way back tells). */
static BOOL WideToAnsiExactly(LPCWSTR wsz, LPSTR szAnsi)
{
    WCHAR wszBack[MAX_PATH];
    int i;

    if (WideCharToMultiByte(CP_ACP, 0, wsz, -1, szAnsi, MAX_PATH, NULL, NULL) == 0 ||
        MultiByteToWideChar(CP_ACP, 0, szAnsi, -1, wszBack, MAX_PATH) == 0)
        return FALSE;
    for (i = 0; wsz[i] == wszBack[i]; i++)
        if (wsz[i] == 0)
            return TRUE;
    return FALSE;
}

/* On the NT family, where the name of the bootstrap's folder cannot be
   written in the ANSI code page (a folder in the Downloads of a user whose
   name is in another script), the folder's short (8.3) name, which can:
   into szShortDir, returning TRUE.  FALSE, leaving the ANSI name in use,
   when the name can be written, or the volume keeps no short names. */
static BOOL GetShortSourceDirectory(HINSTANCE hInstance, LPSTR szShortDir)
{
    WCHAR wszDir[MAX_PATH], wszShort[MAX_PATH];
    DWORD len, i, lastSlash = 0;

    if (IsWin9x())
        return FALSE;
    len = SysGetModuleFileNameW(hInstance, wszDir, MAX_PATH);
    if (len == 0 || len >= MAX_PATH)
        return FALSE;
    for (i = 0; i < len; i++)
        if (wszDir[i] == '\\')
            lastSlash = i;
    wszDir[lastSlash] = 0;
    if (lastSlash == 0 || WideToAnsiExactly(wszDir, szShortDir))
        return FALSE;
    len = SysGetShortPathNameW(wszDir, wszShort, MAX_PATH);
    return len > 0 && len < MAX_PATH && WideToAnsiExactly(wszShort, szShortDir);
}

/* The folder that holds the bootstrap, without a trailing backslash. */
static void GetSourceDirectory(HINSTANCE hInstance, LPSTR szSrcDir)
{
    char szModule[MAX_PATH], szShort[MAX_PATH];
    LPCSTR lastSlash;

    szModule[0] = '\0';
    GetModuleFileNameA(hInstance, szModule, NElems(szModule));
    szModule[MAX_PATH - 1] = '\0';
    CopyBounded(szSrcDir, MAX_PATH, szModule);
    /* By characters: in a file name such as "\x83\x5C.exe" (code page
       932) the second byte is no backslash. */
    lastSlash = LastBackslash(szSrcDir);
    if (lastSlash != NULL)
        szSrcDir[lastSlash - szSrcDir] = '\0';
    /* Its name as the ANSI functions give it, unless that names no folder. */
    if (!GetShortSourceDirectory(hInstance, szShort))
        return;
    CopyBounded(szSrcDir, MAX_PATH, szShort);
}

/* Installs the files of the table in order; stops at the first failure. */
static InstallResult InstallFileTable(LPCSTR szSrcDir, LPCSTR szWinDir)
{
    char szSrcPath[MAX_PATH], szDestPath[MAX_PATH];
    InstallResult result = 0;
    size_t i;

    for (i = 0; i < NElems(fileTable) && result == 0; i++) {
        if (!JoinPath(szSrcPath, szSrcDir, fileTable[i].szSource, FALSE) ||
            !JoinPath(szDestPath, szWinDir, fileTable[i].szDest, FALSE))
            return IR_BUFFTOOSMALL;
        result = InstallFile(szSrcPath, szDestPath, TRUE);
    }
    return result;
}

/* The record the program carries (*pfRecord: whether it has one); or
   IR_DAMAGEDSRC when it may install nothing: a record make-medium did not
   write, or a signed program without one, which would start with the
   publisher's name whatever files lay beside it. */
static InstallResult ReadOwnRecord(HINSTANCE hInstance, MediumRecord *pRecord, BOOL *pfRecord)
{
    UINT found = LoadMediumRecord(hInstance, pRecord);

    *pfRecord = found == RECORD_PRESENT;
    if (found == RECORD_BROKEN || (found == RECORD_NONE && SysSignatureSize(hInstance) != 0))
        return IR_DAMAGEDSRC;
    return 0;
}

/* Whether each installed file is the one the record names. */
static InstallResult CheckInstalledFiles(LPCSTR szWinDir, const MediumRecord *pRecord)
{
    char szDestPath[MAX_PATH];
    BOOL fShaExtensions = ShaExtensionsUsable();
    InstallResult result = 0;
    size_t i;

    for (i = 0; i < NElems(fileTable) && result == 0; i++) {
        if (!JoinPath(szDestPath, szWinDir, fileTable[i].szDest, FALSE))
            return IR_BUFFTOOSMALL;
        result = CheckInstalledFile(szDestPath, &pRecord->files[i], fShaExtensions);
    }
    return result;
}

/* Removes every destination file of the table, installed by this run or
   left by an earlier one. */
static void RemoveInstalledFiles(LPCSTR szWinDir)
{
    char szDestPath[MAX_PATH];
    size_t i;

    for (i = 0; i < NElems(fileTable); i++)
        if (JoinPath(szDestPath, szWinDir, fileTable[i].szDest, FALSE))
            DeleteIfExists(szDestPath);
}

void FormatErrorMessage(LPSTR szText, UINT idMessage, LPCSTR szWinDir)
{
    /* Copied out of szMessage, which ShowSetupError reuses for its caption. */
    FormatBounded(szText, ERROR_TEXT_CCH, LoadMessage(idMessage), szWinDir);
}

static void ReportFailure(UINT idMessage, LPCSTR szWinDir)
{
    char szText[ERROR_TEXT_CCH];

    /* Where nobody can see a box (a service, a deployment in session 0),
       the text goes where the assertion reports go, and the run ends at
       once instead of waiting for ever on a box nobody can answer. */
    if (!BoxesCanBeSeen()) {
        FormatErrorMessage(szText, idMessage, szWinDir);
        OutputDebugStringA(szText);
        return;
    }
    if (ShowTranslatedError(idMessage, szWinDir))
        return;
    FormatErrorMessage(szText, idMessage, szWinDir);
    ShowSetupError(szText);
}

BOOL BuildSetupCommandLine(LPSTR cmdLine, LPCSTR szWinDir, LPCSTR szSrcDir, BOOL *pfWait)
{
    BOOL fAllFit;
    size_t used;

    /* An unquoted path with a blank would let the platform try a shorter
       program path first ("C:\Program.exe" for "C:\Program Files\..."). */
    if (strpbrk(szWinDir, " \t") != NULL)
        FormatBounded(cmdLine, CMDLINE_CCH, "\"%s\\Riredud.exe\" -S \"%s\"", szWinDir, szSrcDir);
    else
        FormatBounded(cmdLine, CMDLINE_CCH, "%s\\Riredud.exe -S \"%s\"", szWinDir, szSrcDir);

    used = strlen(cmdLine);
    *pfWait = AppendPassedArgs(cmdLine + used, CMDLINE_CCH - used, &fAllFit);
    return fAllFit;
}

DWORD ChooseExitCode(DWORD dwSettings, BOOL fWait, BOOL fEnded, DWORD dwSetupExitCode)
{
    if ((dwSettings & SETTING_SETUP_EXIT_CODE) != 0 && fWait && fEnded)
        return dwSetupExitCode;
    return 1;
}

/* Starts the setup program, and waits for it with fWait; FALSE when
   Windows could not start it (WinExec answers 31 or less then).  After a
   wait, *pfEnded tells whether its exit code, *pdwExitCode, is known. */
static BOOL StartSetupProgram(LPSTR cmdLine, BOOL fWait, int nCmdShow, DWORD *pdwExitCode,
                              BOOL *pfEnded)
{
    BOOL fStarted;

    *pfEnded = FALSE;
    *pdwExitCode = 0;
    if (fWait)
        *pdwExitCode = RunAndWait(cmdLine, &fStarted, pfEnded);
    else
        fStarted = WinExec(cmdLine, (UINT)nCmdShow) > 31;
    return fStarted;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    /* Far longer than MAX_PATH: the arguments are passed on whole. */
    static char cmdLine[CMDLINE_CCH];
    char szWinDir[MAX_PATH], szSrcDir[MAX_PATH];
    MediumRecord record;
    InstallResult result;
    UINT idMessage = 0;
    BOOL fWait = FALSE, fRecord, fEnded = FALSE;
    DWORD dwSetupExitCode = 0, dwExitCode = 1;
    HWND hSetup;

    (void)hPrevInstance;
    (void)lpCmdLine;
    SetResourceModule(hInstance);

    /* Another bootstrap that is installing or starting the setup program
       is waited for, without a splash: its setup program's window is then
       found here. */
    TakeSetupMutex();
    hSetup = FindWindowA(SETUP_WINDOW_CLASS, NULL);
    if (hSetup != NULL) {
        SetForegroundWindow(hSetup);
        ReleaseSetupMutex();
        return 0;
    }

    ShowSplash();
    GetInstallDirectory(szWinDir);
    GetSourceDirectory(hInstance, szSrcDir);

    result = ReadOwnRecord(hInstance, &record, &fRecord);
    if (result == 0)
        result = InstallFileTable(szSrcDir, szWinDir);
    if (result == 0 && fRecord)
        result = CheckInstalledFiles(szWinDir, &record);
    if (result != 0)
        idMessage = MessageIdForResult(result);
    else if (!BuildSetupCommandLine(cmdLine, szWinDir, szSrcDir, &fWait))
        idMessage = IDS_CMDLINE_TOO_LONG;

    if (idMessage != 0)
        RemoveInstalledFiles(szWinDir);
    HideSplash();

    /* A setup program Windows cannot start (a damaged medium) is no
       success: nothing of it is left behind. */
    if (idMessage == 0) {
        if (StartSetupProgram(cmdLine, fWait, nCmdShow, &dwSetupExitCode, &fEnded)) {
            dwExitCode = ChooseExitCode(LoadMediumSettings(hInstance), fWait, fEnded,
                                        dwSetupExitCode);
        } else {
            RemoveInstalledFiles(szWinDir);
            idMessage = IDS_START_ERROR;
        }
    }
    /* Held while a box is up: the next bootstrap then meets the medium
       the user was told of. */
    if (idMessage != 0)
        ReportFailure(idMessage, szWinDir);
    ReleaseSetupMutex();
    return (int)dwExitCode;
}
