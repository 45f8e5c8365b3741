/*
 * The real assertion report, seen from outside: a debugger starts a program
 * that raises it, reads the debug output, answers the box Yes or No, and
 * sees the program go on or end with exit code 1.
 */
#include "harness.h"

#include "expected_strings.h"

static const char expectedReport[] =
    "File: stub, Line#: 447\n"
    "Assert( szSourceFile );\n"
    "Please note this information and contact Varnik (" SUPPORT_ADDRESS ").\n"
    "\n"
    "Do you want to continue?";

struct Seen {
    std::string debugOutput, boxText, caption;
    bool yesNo = false, topmost = false;
    long exitCode = -1;
};

static void ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO &info, Seen *seen)
{
    char text[4096] = "";
    SIZE_T got = 0, len = info.nDebugStringLength;
    if (len > sizeof text - 1)
        len = sizeof text - 1;
    ReadProcessMemory(process, info.lpDebugStringData, text, len, &got);
    text[got] = '\0';
    seen->debugOutput += text;
}

/* Runs the debuggee as its debugger and answers its box with answer. */
static Seen Debug(int answer)
{
    Seen seen;
    PROCESS_INFORMATION pi;
    HANDLE process = NULL;
    bool answered = false;
    DWORD start = GetTickCount();

    if (!harness::Start(harness::Sibling("assert_debuggee.exe"), &pi, DEBUG_ONLY_THIS_PROCESS))
        return seen;

    for (;;) {
        DEBUG_EVENT ev;
        if (GetTickCount() - start > 30000) {
            TerminateProcess(pi.hProcess, 99);
            break;
        }
        if (!WaitForDebugEvent(&ev, 100)) {
            HWND box = answered ? NULL : harness::FindProcessWindow(pi.dwProcessId, NULL);
            if (box) {
                seen.caption = harness::WindowText(box);
                seen.boxText = harness::BoxText(box);
                seen.yesNo = GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO) &&
                             !GetDlgItem(box, IDOK);
                seen.topmost = (GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
                PostMessageA(box, WM_COMMAND, answer, 0);
                answered = true;
            }
            continue;
        }
        DWORD status = DBG_CONTINUE;
        switch (ev.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            process = ev.u.CreateProcessInfo.hProcess;
            CloseHandle(ev.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            CloseHandle(ev.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT:
            ReadDebugString(process, ev.u.DebugString, &seen);
            break;
        case EXCEPTION_DEBUG_EVENT:
            if (ev.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            seen.exitCode = (long)ev.u.ExitProcess.dwExitCode;
            break;
        }
        ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
        if (ev.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT)
            break;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return seen;
}

int main(void)
{
    static const struct {
        const char *name;
        int answer;
        long exitCode;
    } cases[] = {
        { "Yes continues after the check", IDYES, 42 },
        { "No ends the process with exit code 1", IDNO, 1 },
    };

    for (const auto &c : cases) {
        printf("%s\n", c.name);
        Seen seen = Debug(c.answer);
        EXPECT_EQ_STR(seen.debugOutput, expectedReport);
        EXPECT_EQ_STR(seen.boxText, expectedReport);
        EXPECT_EQ_STR(seen.caption, "Assertion Failure!");
        EXPECT_TRUE(seen.yesNo);
        EXPECT_TRUE(seen.topmost);
        EXPECT_EQ_INT(seen.exitCode, c.exitCode);
    }
    return harness::Finish();
}
