/*
 * launcher.cpp - passing the program's arguments on, and waiting for the
 * setup program.
 *
 * The arguments are split from GetCommandLineA by this program's own rules
 * rather than a C runtime's, whose rules differ between releases:
 *   - only blanks and tabs separate arguments;
 *   - argument 0 runs to the next blank, or, when it starts with a double
 *     quote, to the next double quote (backslashes mean nothing there);
 *   - 2N backslashes and a quote give N backslashes and toggle quoting;
 *     inside quotes, a doubled quote gives one quote and ends the quoting;
 *   - 2N+1 backslashes and a quote give N backslashes and a literal quote;
 *   - other backslashes are literal;
 *   - on a double-byte code page a lead byte takes the byte behind it along,
 *     and that byte is never a blank, quote or backslash.
 */
#include "bootstrap/launcher.h"
#include "bootstrap/bootstrap.h"
#include "text.h"
#include "ui/assertion.h"

#define STARTUP_FLAGS (CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS)

/* How long a started setup program may take to show its window, as
   WinExec waits for a program's input (30 s). */
#define WINDOW_WAIT_MS 30000
#define WINDOW_POLL_MS 100

/* The setup mutex, while this bootstrap holds it. */
static HANDLE hSetupMutex;

void TakeSetupMutex(void)
{
    LPCSTR name = SETUP_MUTEX_NAME;
    HANDLE h;

    /* The 95/98 family and NT 4 without Terminal Services have no Global
       namespace, and refuse the name: the same name without it. */
    while ((h = CreateMutexA(NULL, FALSE, name)) == NULL && name[0] == 'G')
        name += 7;
    /* WAIT_ABANDONED: the bootstrap that held it died; it is ours now. */
    if (h != NULL && WaitForSingleObject(h, INFINITE) == WAIT_FAILED) {
        CloseHandle(h);
        h = NULL;
    }
    hSetupMutex = h;
}

void ReleaseSetupMutex(void)
{
    if (hSetupMutex == NULL)
        return;
    ReleaseMutex(hSetupMutex);
    CloseHandle(hSetupMutex);
    hSetupMutex = NULL;
}

/* Until the setup program's window is up, so that the next bootstrap finds
   it; or the setup program has ended, or WINDOW_WAIT_MS have passed. */
static void AwaitSetupWindow(HANDLE hProcess)
{
    DWORD waited;

    for (waited = 0; waited < WINDOW_WAIT_MS && FindWindowA(SETUP_WINDOW_CLASS, NULL) == NULL;
         waited += WINDOW_POLL_MS)
        if (WaitForSingleObject(hProcess, WINDOW_POLL_MS) != WAIT_TIMEOUT)
            break;
}

static BOOL IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

/* A lead byte with a byte behind it starts a pair. */
static BOOL IsPairStart(LPCSTR p)
{
    return IsDBCSLeadByte((BYTE)p[0]) && p[1] != '\0';
}

LPCSTR SkipProgramName(LPCSTR p)
{
    if (*p == '"') {
        for (p++; *p != '\0' && *p != '"'; p++)
            if (IsPairStart(p))
                p++;
        return *p == '"' ? p + 1 : p;
    }
    for (; *p != '\0' && !IsBlank(*p); p++)
        if (IsPairStart(p))
            p++;
    return p;
}

/* Appends one character to arg; used keeps the count, *pfFits turns FALSE
   once the argument does not fit (room is kept for the NUL). */
static void PutChar(LPSTR arg, size_t cchArg, size_t *used, char c, BOOL *pfFits)
{
    if (*used + 1 < cchArg)
        arg[(*used)++] = c;
    else
        *pfFits = FALSE;
}

BOOL NextArgument(LPCSTR *pos, LPSTR arg, size_t cchArg, BOOL *pfFits)
{
    LPCSTR p = *pos;
    BOOL fQuoted = FALSE;
    size_t used = 0, slashes, i;

    while (IsBlank(*p))
        p++;
    if (*p == '\0') {
        *pos = p;
        return FALSE;
    }

    while (*p != '\0' && (fQuoted || !IsBlank(*p))) {
        if (*p == '\\') {
            for (slashes = 0; *p == '\\'; p++)
                slashes++;
            if (*p != '"') {
                for (i = 0; i < slashes; i++)
                    PutChar(arg, cchArg, &used, '\\', pfFits);
                continue;
            }
            for (i = 0; i < slashes / 2; i++)
                PutChar(arg, cchArg, &used, '\\', pfFits);
            if (slashes % 2) {
                PutChar(arg, cchArg, &used, '"', pfFits);
                p++;
                continue;
            }
        }
        if (*p == '"') {
            if (fQuoted && p[1] == '"') {
                PutChar(arg, cchArg, &used, '"', pfFits);
                p += 2;
                fQuoted = FALSE;
            } else {
                fQuoted = !fQuoted;
                p++;
            }
            continue;
        }
        if (IsPairStart(p))
            PutChar(arg, cchArg, &used, *p++, pfFits);
        PutChar(arg, cchArg, &used, *p++, pfFits);
    }

    arg[used] = '\0';
    *pos = p;
    return TRUE;
}

LPCSTR GetArgumentText(void)
{
    /* Holds the program's path when the command line is empty. */
    static char szModulePath[MAX_PATH];
    LPCSTR cmdLine = GetCommandLineA();

    if (cmdLine != NULL && cmdLine[0] != '\0')
        return cmdLine;
    szModulePath[0] = '\0';
    GetModuleFileNameA(NULL, szModulePath, NElems(szModulePath));
    szModulePath[MAX_PATH - 1] = '\0';
    return szModulePath;
}

/* Case-insensitive for the letters A to Z only, whatever the locale. */
static BOOL IsWaitOption(LPCSTR arg)
{
    static const char szWait[] = "wait";
    size_t i;

    if (arg[0] != '-' && arg[0] != '/')
        return FALSE;
    for (i = 0; i < NElems(szWait); i++) {
        char c = arg[i + 1];
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
        if (c != szWait[i])
            return FALSE;
    }
    return TRUE;
}

int AppendPassedArgs(LPSTR outCmdLine, size_t cchRoom, BOOL *pfAllFit)
{
    /* One argument; none can be longer than a command line. */
    static char arg[CMDLINE_CCH];
    LPCSTR pos;
    size_t used;
    BOOL fWait = FALSE, fFits = TRUE;

    *pfAllFit = TRUE;
    if (!CHECK(211, outCmdLine))
        return 0;

    used = strlen(outCmdLine);
    pos = SkipProgramName(GetArgumentText());
    while (NextArgument(&pos, arg, NElems(arg), &fFits)) {
        if (IsWaitOption(arg)) {
            fWait = TRUE;
            continue;
        }
        if (!*pfAllFit)
            continue;

        /* The argument goes in whole or not at all. */
        char *start = outCmdLine + used;
        BOOL fQuote = arg[0] != '\0' && arg[0] != '"' && arg[0] != '-' && arg[0] != '/';
        BOOL fOk = fFits && used < cchRoom &&
                   FormatBounded(start, cchRoom - used, fQuote ? " \"%s\"" : " %s", arg);
        if (fOk) {
            used += strlen(start);
        } else {
            *start = '\0';
            *pfAllFit = FALSE;
        }
    }
    return fWait ? 1 : 0;
}

DWORD RunAndWait(LPSTR cmdLine, BOOL *pfStarted, BOOL *pfEnded)
{
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    DWORD exitCode;
    HANDLE hStub;

    *pfStarted = FALSE;
    *pfEnded = FALSE;
    if (!CHECK(163, cmdLine))
        return 0;

    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    exitCode = 0;

    if (!CreateProcessA(NULL, cmdLine, NULL, NULL, FALSE, STARTUP_FLAGS, NULL, NULL, &startup,
                        &process))
        return exitCode;
    *pfStarted = TRUE;

    hStub = GetCurrentProcess();
    CHECK(184, hStub);
    /* The bootstrap only waits: it yields the processor to the setup
       program, and stays in the idle class until it ends. */
    CHECK_TEXT(187, SetPriorityClass(hStub, IDLE_PRIORITY_CLASS),
               "SetPriorityClass(hStub,0x00000040)");
    AwaitSetupWindow(process.hProcess);
    ReleaseSetupMutex();

    if (WaitForSingleObject(process.hProcess, INFINITE) == WAIT_FAILED)
        CHECK_FAILED(193, "WaitForSingleObject() failed!!");
    else
        *pfEnded = GetExitCodeProcess(process.hProcess, &exitCode) != 0;

    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}
