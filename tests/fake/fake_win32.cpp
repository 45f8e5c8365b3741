/*
 * fake_win32.cpp - the fake Win32 calls: each records itself and answers
 * from fake::state.
 */
#include "fake.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "expected_strings.h"
#include "install/record.h"

namespace fake {

State state;
HINSTANCE const hTestInstance = (HINSTANCE)0x400000;

static std::string Key(const std::string &path)
{
    std::string key = path;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return (char)std::tolower(c); });
    return key;
}

bool FileIs(const std::string &path)
{
    return state.files.count(Key(path)) != 0;
}

void AddFile(const std::string &path)
{
    state.files.insert(Key(path));
}

void AddFile(const std::string &path, const std::string &data)
{
    AddFile(path);
    state.fileData[Key(path)] = data;
}

std::string FileData(const std::string &path)
{
    auto found = state.fileData.find(Key(path));
    return found != state.fileData.end() ? found->second : "data";
}

std::string Compressed(uint32_t expanded, const std::string &body)
{
    std::string header = "SZDD\x88\xf0\x27\x33" "A" "e";
    for (int i = 0; i < 4; i++)
        header += (char)(expanded >> (8 * i));
    return header + body;
}

static bool RemoveFile(const std::string &path)
{
    state.fileData.erase(Key(path));
    return state.files.erase(Key(path)) != 0;
}

static std::string Arg(const char *s)
{
    return s ? std::string(s) : std::string("NULL");
}
static std::string Arg(char *s)
{
    return Arg((const char *)s);
}
static std::string Arg(const WCHAR *s)
{
    std::string out;
    for (; s && *s; s++)
        out += *s < 0x80 ? std::string(1, (char)*s) : "\\u" + std::to_string((unsigned)*s);
    return s ? out : "NULL";
}
static std::string Arg(const void *p)
{
    char buf[32];
    if (!p)
        return "NULL";
    snprintf(buf, sizeof buf, "%p", p);
    return buf;
}
static std::string Arg(void *p)
{
    return Arg((const void *)p);
}
template <typename T> static std::string Arg(T n)
{
    return std::to_string(n);
}

static void Log(const char *name)
{
    state.calls.push_back(std::string(name) + "()");
}

template <typename... T> static void Log(const char *name, T... args)
{
    std::string line = std::string(name) + "(";
    std::string parts[] = { Arg(args)... };
    for (size_t i = 0; i < sizeof...(T); i++)
        line += (i ? "," : "") + parts[i];
    state.calls.push_back(line + ")");
}

/* Copies text into an out-buffer of cch characters as the platform does. */
static DWORD CopyOut(const std::string &text, LPSTR out, DWORD cch)
{
    if (text.size() + 1 > cch)
        return (DWORD)text.size() + 1;
    memcpy(out, text.c_str(), text.size() + 1);
    return (DWORD)text.size();
}

/* Joins as the platform does: a directory ending in a backslash (a
   character, not the second byte of one) gets no second one. */
static std::string Join(const std::string &dir, const std::string &name)
{
    bool endsInBackslash = false;
    for (size_t i = 0; i < dir.size(); i++) {
        endsInBackslash = dir[i] == '\\';
        if (IsDBCSLeadByte((BYTE)dir[i]) && i + 1 < dir.size())
            i++;
    }
    return endsInBackslash ? dir + name : dir + "\\" + name;
}

/* 8.3 form of the last path element, upper case: a plausible short name. */
static std::string ShortForm(const std::string &path)
{
    size_t slash = path.find_last_of('\\');
    std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = path.substr(dir.size());
    size_t dot = name.find_last_of('.');
    std::string base = name.substr(0, std::min(dot, (size_t)8));
    std::string ext = dot == std::string::npos ? "" : name.substr(dot, 4);
    std::string shortName = base + ext;
    std::transform(shortName.begin(), shortName.end(), shortName.begin(),
                   [](unsigned char c) { return (char)std::toupper(c); });
    return dir + shortName;
}

static DWORD DefaultVerFind(const VerFindCall &c, LPSTR curDir, LPSTR destDir)
{
    std::string found = FileIs(Join(c.appDir, c.fileName)) ? c.appDir : "";
    CopyOut(found, curDir, c.curDirLen);
    CopyOut(c.appDir, destDir, c.destDirLen);
    return 0;
}

/* What the service makes of a source: a compressed one expands to the
   length its header says (or state.expandedLength), any other is copied. */
static std::string Expand(const std::string &source)
{
    if (source.size() < 14 || source.compare(0, 4, "SZDD") != 0)
        return source;
    uint32_t length = 0;
    for (int i = 3; i >= 0; i--)
        length = length << 8 | (unsigned char)source[10 + i];
    return std::string(state.expandedLength >= 0 ? (size_t)state.expandedLength : length, 'x');
}

static DWORD DefaultVerInstall(const VerInstallCall &c, LPSTR tmpFile, PUINT tmpFileLen)
{
    (void)tmpFile;
    (void)tmpFileLen;
    std::string source = Join(c.srcDir, c.srcName);
    if (!FileIs(source))
        return VIF_CANNOTREADSRC;
    AddFile(Join(c.destDir, c.destName), Expand(FileData(source)));
    return 0;
}

static DWORD DefaultShortPath(LPCSTR longPath, LPSTR shortPath, DWORD cch)
{
    if (!FileIs(longPath))
        return 0;
    return CopyOut(ShortForm(longPath), shortPath, cch);
}

static UINT DefaultTempFileName(LPCSTR dir, LPCSTR prefix, LPSTR out)
{
    char name[32];
    unsigned counter = ++state.tempCounter;
    snprintf(name, sizeof name, "%s%X.tmp", prefix, counter);
    std::string path = Join(dir, name);
    CopyOut(path, out, MAX_PATH);
    AddFile(path);
    return counter;
}

void Reset()
{
    state = State();
    state.verFindFile = DefaultVerFind;
    state.verInstallFile = DefaultVerInstall;
    state.getShortPathName = DefaultShortPath;
    state.getTempFileName = DefaultTempFileName;
    state.rcdata[IDR_MEDIUM_RECORD] = std::string(RECORD_CB, '\0');
    state.rcdata[IDR_MEDIUM_SETTINGS] = std::string(SETTINGS_CB, '\0');
}

void LoadProductStrings()
{
    for (const auto &s : expectedStrings) {
        state.strings[s.id] = s.text;
        std::string text = s.text;
        state.stringTables[0x0409][s.id] = std::u16string(text.begin(), text.end());
    }
}

std::vector<std::string> CallsNamed(std::initializer_list<const char *> names)
{
    std::vector<std::string> out;
    for (const std::string &call : state.calls)
        for (const char *name : names)
            if (call.compare(0, strlen(name) + 1, std::string(name) + "(") == 0)
                out.push_back(call);
    return out;
}

} // namespace fake

using fake::state;

/* KERNEL32 */

LPSTR WINAPI GetCommandLineA(void)
{
    fake::Log("GetCommandLineA");
    return (LPSTR)state.commandLine.c_str();
}

/* Copies a wide text into an out-buffer of cch code units as the platform
   does: its length, or the length it needs when it does not fit. */
static DWORD CopyOutWide(const std::u16string &text, LPWSTR out, DWORD cch)
{
    if (text.size() + 1 > cch)
        return (DWORD)text.size() + 1;
    std::copy(text.c_str(), text.c_str() + text.size() + 1, out);
    return (DWORD)text.size();
}

/* The ANSI code page of the fake (state.codePage): whether it holds c. */
static bool CodePageHolds(char16_t c)
{
    switch (state.codePage) {
    case 1251:
        return c < 0x80 || (c >= 0x400 && c < 0x460);
    case 932:
        return c < 0x80 || (c >= 0x3000 && c < 0x3100) || (c >= 0x4E00 && c < 0xA000) ||
               (c >= 0xFF00 && c < 0xFFF0);
    default:
        return c < 0x100;
    }
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               BOOL *lpUsedDefaultChar)
{
    fake::Log("WideCharToMultiByte", CodePage, dwFlags, lpWideCharStr, cchWideChar, cbMultiByte);
    (void)lpDefaultChar;
    std::string out;
    for (const WCHAR *p = lpWideCharStr;; p++) {
        char16_t c = *p;
        if (!CodePageHolds(c))
            out += '?';
        else if (state.codePage == 1252 || c < 0x80)
            out += (char)c;
        else if (c < 0x800)
            out += std::string{ (char)(0xC0 | c >> 6), (char)(0x80 | (c & 0x3F)) };
        else
            out += std::string{ (char)(0xE0 | c >> 12), (char)(0x80 | ((c >> 6) & 0x3F)),
                                (char)(0x80 | (c & 0x3F)) };
        if (c == 0)
            break;
    }
    if (lpUsedDefaultChar)
        *lpUsedDefaultChar = FALSE;
    if ((int)out.size() > cbMultiByte)
        return 0;
    memcpy(lpMultiByteStr, out.data(), out.size());
    return (int)out.size();
}

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar)
{
    fake::Log("MultiByteToWideChar", CodePage, dwFlags, lpMultiByteStr, cbMultiByte, cchWideChar);
    std::u16string out;
    for (const unsigned char *p = (const unsigned char *)lpMultiByteStr;; p++) {
        char16_t c = *p;
        if (state.codePage != 1252 && c >= 0xE0 && p[1] && p[2]) {
            c = (char16_t)((c & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F));
            p += 2;
        } else if (state.codePage != 1252 && c >= 0xC0 && p[1]) {
            c = (char16_t)((c & 0x1F) << 6 | (p[1] & 0x3F));
            p += 1;
        }
        out += c;
        if (c == 0)
            break;
    }
    if ((int)out.size() > cchWideChar)
        return 0;
    std::copy(out.begin(), out.end(), lpWideCharStr);
    return (int)out.size();
}

DWORD WINAPI SysGetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize)
{
    fake::Log("SysGetModuleFileNameW", (void *)hModule, nSize);
    if (state.wideModulePath.empty())
        return 0;
    DWORD n = CopyOutWide(state.wideModulePath, lpFilename, nSize);
    return n < nSize ? n : nSize;
}

DWORD WINAPI SysGetShortPathNameW(LPCWSTR lpszLongPath, LPWSTR lpszShortPath, DWORD cchBuffer)
{
    fake::Log("SysGetShortPathNameW", lpszLongPath, cchBuffer);
    auto found = state.shortPaths.find(lpszLongPath);
    return CopyOutWide(found != state.shortPaths.end() ? found->second : lpszLongPath,
                       lpszShortPath, cchBuffer);
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    fake::Log("GetModuleFileNameA", (void *)hModule, nSize);
    /* As Windows XP does: a cut name is not terminated. */
    DWORD n = std::min<DWORD>((DWORD)state.modulePath.size(), nSize);
    memcpy(lpFilename, state.modulePath.data(), n);
    if (n < nSize)
        lpFilename[n] = '\0';
    return n;
}

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    fake::Log("GetWindowsDirectoryA", uSize);
    return fake::CopyOut(state.windowsDir, lpBuffer, uSize);
}

HFILE WINAPI OpenFile(LPCSTR lpFileName, LPOFSTRUCT lpReOpenBuff, UINT uStyle)
{
    fake::Log("OpenFile", lpFileName, uStyle);
    memset(lpReOpenBuff, 0, sizeof(*lpReOpenBuff));
    /* The real OpenFile cannot take a path of OFS_MAXPATHNAME or more. */
    if (strlen(lpFileName) >= OFS_MAXPATHNAME || !fake::FileIs(lpFileName))
        return HFILE_ERROR;
    if (uStyle & OF_DELETE)
        fake::RemoveFile(lpFileName);
    return 1;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName)
{
    fake::Log("GetFileAttributesA", lpFileName);
    return fake::FileIs(lpFileName) ? 0x20 : INVALID_FILE_ATTRIBUTES;
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    fake::Log("CreateFileA", lpFileName, dwDesiredAccess, dwShareMode,
              (void *)lpSecurityAttributes, dwCreationDisposition, dwFlagsAndAttributes,
              hTemplateFile);
    if (!fake::FileIs(lpFileName))
        return INVALID_HANDLE_VALUE;
    state.openFiles.push_back({ lpFileName, 0 });
    return (HANDLE)(uintptr_t)(0x4000 + state.openFiles.size() - 1);
}

static fake::State::OpenFile &Opened(HANDLE hFile)
{
    return state.openFiles.at((uintptr_t)hFile - 0x4000);
}

static std::string OpenData(HANDLE hFile)
{
    return fake::FileData(Opened(hFile).path);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped)
{
    fake::Log("ReadFile", hFile, nNumberOfBytesToRead, (void *)lpOverlapped);
    std::string data = OpenData(hFile);
    size_t &position = Opened(hFile).position;
    *lpNumberOfBytesRead = 0;
    if (state.readFileFails)
        return FALSE;
    *lpNumberOfBytesRead =
        (DWORD)std::min<size_t>(data.size() - std::min(position, data.size()), nNumberOfBytesToRead);
    memcpy(lpBuffer, data.data() + std::min(position, data.size()), *lpNumberOfBytesRead);
    position += *lpNumberOfBytesRead;
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
    fake::Log("GetFileSize", hFile, (void *)lpFileSizeHigh);
    return (DWORD)OpenData(hFile).size();
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    fake::Log("DeleteFileA", lpFileName);
    return fake::RemoveFile(lpFileName);
}

BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName)
{
    fake::Log("MoveFileA", lpExistingFileName, lpNewFileName);
    /* As the platform: a rename never replaces another file. */
    bool sameFile = fake::Key(lpExistingFileName) == fake::Key(lpNewFileName);
    std::string data = fake::FileData(lpExistingFileName);
    if (!state.moveFileOk || (!sameFile && fake::FileIs(lpNewFileName)) ||
        !fake::RemoveFile(lpExistingFileName))
        return FALSE;
    fake::AddFile(lpNewFileName, data);
    return TRUE;
}

UINT WINAPI WinExec(LPCSTR lpCmdLine, UINT uCmdShow)
{
    fake::Log("WinExec", lpCmdLine, uCmdShow);
    return state.winExecResult;
}

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                           LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                           DWORD dwCreationFlags, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                           LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation)
{
    fake::Log("CreateProcessA", lpApplicationName, lpCommandLine, (void *)lpProcessAttributes,
              (void *)lpThreadAttributes, bInheritHandles, dwCreationFlags, lpEnvironment,
              lpCurrentDirectory);
    state.lastStartup = *lpStartupInfo;
    state.lastCreateCommandLine = lpCommandLine;
    if (!state.createProcessOk)
        return FALSE;
    lpProcessInformation->hProcess = (HANDLE)0x7001;
    lpProcessInformation->hThread = (HANDLE)0x7002;
    lpProcessInformation->dwProcessId = 71;
    lpProcessInformation->dwThreadId = 72;
    return TRUE;
}

HANDLE WINAPI GetCurrentProcess(void)
{
    fake::Log("GetCurrentProcess");
    return state.currentProcess;
}

BOOL WINAPI SetPriorityClass(HANDLE hProcess, DWORD dwPriorityClass)
{
    fake::Log("SetPriorityClass", hProcess, dwPriorityClass);
    return state.setPriorityOk;
}

/* The mutex's handle; a process's is another. */
static HANDLE const hFakeMutex = (HANDLE)0x6001;

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName)
{
    fake::Log("CreateMutexA", (void *)lpMutexAttributes, bInitialOwner, lpName);
    return state.mutexNames.count(lpName) ? hFakeMutex : NULL;
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex)
{
    fake::Log("ReleaseMutex", hMutex);
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    fake::Log("WaitForSingleObject", hHandle, dwMilliseconds);
    return hHandle == hFakeMutex ? state.mutexWaitResult : state.waitResult;
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
    fake::Log("GetExitCodeProcess", hProcess);
    *lpExitCode = state.childExitCode;
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    fake::Log("CloseHandle", hObject);
    return TRUE;
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation)
{
    fake::Log("GetVersionExA", lpVersionInformation->dwOSVersionInfoSize);
    if (!state.versionQueryOk)
        return FALSE;
    lpVersionInformation->dwPlatformId = state.platformId;
    lpVersionInformation->dwMajorVersion = state.majorVersion;
    lpVersionInformation->dwMinorVersion = state.minorVersion;
    lpVersionInformation->dwBuildNumber = state.buildNumber;
    return TRUE;
}

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar)
{
    /* Not logged: asked once per character. */
    return state.doubleByteCodePage &&
           ((TestChar >= 0x81 && TestChar <= 0x9F) || (TestChar >= 0xE0 && TestChar <= 0xFC));
}

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes)
{
    fake::Log("GlobalAlloc", uFlags, dwBytes);
    if (state.globalAllocFails)
        return NULL;
    /* Filled with a pattern, so a missing zero-fill request shows. */
    void *block = malloc(dwBytes);
    memset(block, (uFlags & GMEM_ZEROINIT) ? 0 : 0xA5, dwBytes);
    return block;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem)
{
    fake::Log("GlobalFree");
    free(hMem);
    return NULL;
}

DWORD WINAPI GetShortPathNameA(LPCSTR lpszLongPath, LPSTR lpszShortPath, DWORD cchBuffer)
{
    fake::Log("GetShortPathNameA", lpszLongPath, cchBuffer);
    return state.getShortPathName(lpszLongPath, lpszShortPath, cchBuffer);
}

UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique,
                             LPSTR lpTempFileName)
{
    fake::Log("GetTempFileNameA", lpPathName, lpPrefixString, uUnique);
    return state.getTempFileName(lpPathName, lpPrefixString, lpTempFileName);
}

void WINAPI OutputDebugStringA(LPCSTR lpOutputString)
{
    fake::Log("OutputDebugStringA");
    state.debugOutput.push_back(lpOutputString);
}

/* The program's own image: an RT_RCDATA resource of state.rcdata, a
   block of the string table of a language of state.stringTables (16
   strings, each its length and its code units), and the size of its
   signature. */
const BYTE *WINAPI SysResourceData(HMODULE hModule, WORD idType, WORD idName, WORD wLanguage,
                                   DWORD *pcb)
{
    static std::string block;
    fake::Log("SysResourceData", (void *)hModule, idType, idName, wLanguage);
    if (idType == 6) {
        auto table = state.stringTables.find(wLanguage);
        if (table == state.stringTables.end())
            return NULL;
        block.clear();
        bool any = false;
        for (UINT id = (idName - 1u) * 16; id < idName * 16u; id++) {
            auto text = table->second.find(id);
            std::u16string s = text != table->second.end() ? text->second : u"";
            any = any || !s.empty();
            block += (char)(s.size() & 0xFF);
            block += (char)(s.size() >> 8);
            for (char16_t c : s) {
                block += (char)(c & 0xFF);
                block += (char)(c >> 8);
            }
        }
        *pcb = (DWORD)block.size();
        return any ? (const BYTE *)block.data() : NULL;
    }
    auto found = state.rcdata.find(idName);
    if (idType != RT_RCDATA_ID || found == state.rcdata.end())
        return NULL;
    *pcb = (DWORD)found->second.size();
    return (const BYTE *)found->second.data();
}

BOOL WINAPI SysWindowStationFlags(DWORD *pdwFlags)
{
    fake::Log("SysWindowStationFlags");
    if (!state.stationAsked)
        return FALSE;
    *pdwFlags = state.stationFlags;
    return TRUE;
}

LANGID WINAPI SysGetUserDefaultUILanguage(void)
{
    fake::Log("SysGetUserDefaultUILanguage");
    return state.uiLanguage;
}

LANGID WINAPI SysGetUserDefaultLangID(void)
{
    fake::Log("SysGetUserDefaultLangID");
    return state.userLanguage;
}

DWORD WINAPI SysSignatureSize(HMODULE hModule)
{
    fake::Log("SysSignatureSize", (void *)hModule);
    return state.signatureSize;
}

void WINAPI ExitProcess(UINT uExitCode)
{
    /* Tests reach this inside a death test; the child ends here. */
    fflush(NULL);
    _exit((int)uExitCode);
}

/* USER32 */

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName)
{
    fake::Log("FindWindowA", lpClassName, lpWindowName);
    return state.setupWindow;
}

BOOL WINAPI SetForegroundWindow(HWND hWnd)
{
    fake::Log("SetForegroundWindow", (void *)hWnd);
    return TRUE;
}

HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    fake::Log("CreateDialogParamA", (void *)hInstance, (UINT_PTR)lpTemplateName,
              (void *)hWndParent, dwInitParam ? 1 : 0);
    if (state.dialog != NULL)
        lpDialogFunc(state.dialog, WM_INITDIALOG, 0, dwInitParam);
    return state.dialog;
}

HWND WINAPI SysCreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                                  DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    fake::Log("SysCreateDialogParamW", (void *)hInstance, (UINT_PTR)lpTemplateName,
              (void *)hWndParent, dwInitParam ? 1 : 0);
    if (state.dialog != NULL)
        lpDialogFunc(state.dialog, WM_INITDIALOG, 0, dwInitParam);
    return state.dialog;
}

BOOL WINAPI SysSetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString)
{
    fake::Log("SysSetDlgItemTextW", (void *)hDlg, nIDDlgItem, lpString);
    state.dialogTextsW.push_back(lpString);
    return TRUE;
}

BOOL WINAPI SysSetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString)
{
    fake::Log("SysSetDlgItemTextA", (void *)hDlg, nIDDlgItem, lpString);
    state.dialogTextsA.push_back(lpString);
    return TRUE;
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    fake::Log("DestroyWindow", (void *)hWnd);
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hWnd)
{
    fake::Log("UpdateWindow", (void *)hWnd);
    return TRUE;
}

HWND WINAPI GetFocus(void)
{
    fake::Log("GetFocus");
    return state.focus;
}

static HWND const hFakeDesktop = (HWND)0xDE5C;

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    fake::Log("GetWindowRect", (void *)hWnd);
    *lpRect = hWnd == hFakeDesktop ? state.screenRect : state.dialogRect;
    return TRUE;
}

HWND WINAPI GetDesktopWindow(void)
{
    fake::Log("GetDesktopWindow");
    return hFakeDesktop;
}

BOOL WINAPI OffsetRect(LPRECT lprc, int dx, int dy)
{
    /* Not logged: plain arithmetic, as the platform does it. */
    lprc->left += dx;
    lprc->right += dx;
    lprc->top += dy;
    lprc->bottom += dy;
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint)
{
    fake::Log("MoveWindow", (void *)hWnd, X, Y, nWidth, nHeight, bRepaint);
    return TRUE;
}

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax)
{
    fake::Log("LoadStringA", (void *)hInstance, uID, cchBufferMax);
    auto it = state.strings.find(uID);
    /* A missing string leaves the buffer as it was. */
    if (it == state.strings.end() || cchBufferMax <= 0)
        return 0;
    size_t n = std::min(it->second.size(), (size_t)cchBufferMax - 1);
    memcpy(lpBuffer, it->second.data(), n);
    lpBuffer[n] = '\0';
    return (int)n;
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    fake::Log("MessageBoxA", (void *)hWnd, lpText, lpCaption, uType);
    fake::Box box;
    box.owner = hWnd;
    box.text = lpText;
    box.caption = lpCaption;
    box.style = uType;
    state.boxes.push_back(box);
    if (!state.boxAnswers.empty()) {
        int answer = state.boxAnswers.front();
        state.boxAnswers.erase(state.boxAnswers.begin());
        return answer;
    }
    return (uType & MB_YESNO) ? IDYES : IDOK;
}

int WINAPI SysMessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType)
{
    fake::Log("SysMessageBoxW", (void *)hWnd, lpText, lpCaption, uType);
    if (state.messageBoxWResult == 0)
        return 0;
    fake::Box box;
    box.owner = hWnd;
    box.style = uType;
    box.wide = true;
    box.wideText = lpText;
    box.wideCaption = lpCaption;
    state.boxes.push_back(box);
    return state.messageBoxWResult;
}

/* The installation service, of the system directory (see platform.h) */

DWORD WINAPI SysVerFindFileA(DWORD uFlags, LPSTR szFileName, LPSTR szWinDir, LPSTR szAppDir,
                          LPSTR szCurDir, PUINT lpuCurDirLen, LPSTR szDestDir,
                          PUINT lpuDestDirLen)
{
    fake::Log("SysVerFindFileA", uFlags, szFileName, szWinDir, szAppDir, *lpuCurDirLen,
              *lpuDestDirLen);
    fake::VerFindCall call = { uFlags, szFileName, szWinDir, szAppDir, *lpuCurDirLen,
                               *lpuDestDirLen };
    return state.verFindFile(call, szCurDir, szDestDir);
}

DWORD WINAPI SysVerInstallFileA(DWORD uFlags, LPSTR szSrcFileName, LPSTR szDestFileName,
                             LPSTR szSrcDir, LPSTR szDestDir, LPSTR szCurDir, LPSTR szTmpFile,
                             PUINT lpuTmpFileLen)
{
    fake::Log("SysVerInstallFileA", uFlags, szSrcFileName, szDestFileName, szSrcDir, szDestDir,
              szCurDir, szTmpFile, *lpuTmpFileLen);
    fake::VerInstallCall call = { uFlags,    szSrcFileName, szDestFileName, szSrcDir,
                                  szDestDir, szCurDir,      szTmpFile,      *lpuTmpFileLen };
    return state.verInstallFile(call, szTmpFile, lpuTmpFileLen);
}
