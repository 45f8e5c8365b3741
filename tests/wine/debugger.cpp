/*
 * debugger.cpp - a small debugger for the Wine tests.
 */
#include "debugger.h"

#include <psapi.h>
#include <stdio.h>

namespace harness {

#define TRAP_FLAG 0x100

#ifdef _WIN64
#define PC(c) (c).Rip
#define SP(c) (c).Rsp
#define RESULT(c) (c).Rax
#else
#define PC(c) (c).Eip
#define SP(c) (c).Esp
#define RESULT(c) (c).Eax
#endif

bool Stop::Read(ULONG_PTR address, void *buffer, SIZE_T size) const
{
    SIZE_T got = 0;
    return ReadProcessMemory(process, (LPCVOID)address, buffer, size, &got) && got == size;
}

bool Stop::Write(ULONG_PTR address, const void *data, SIZE_T size) const
{
    SIZE_T done = 0;
    return WriteProcessMemory(process, (LPVOID)address, data, size, &done) && done == size;
}

bool Stop::FromProgram(void) const
{
    ULONG_PTR ret = 0;
    return Read(SP(context), &ret, sizeof ret) && ret >= imageBase && ret < imageEnd;
}

/* Where the program file lies in the debuggee. */
static ULONG_PTR ImageEnd(HANDLE process, ULONG_PTR base)
{
    IMAGE_DOS_HEADER dos = {};
    IMAGE_NT_HEADERS nt = {};
    SIZE_T got = 0;
    if (!ReadProcessMemory(process, (LPCVOID)base, &dos, sizeof dos, &got) ||
        !ReadProcessMemory(process, (LPCVOID)(base + (ULONG_PTR)dos.e_lfanew), &nt, sizeof nt, &got))
        return base;
    return base + nt.OptionalHeader.SizeOfImage;
}

ULONG_PTR Stop::Argument(int i) const
{
#ifdef _WIN64
    const DWORD64 regs[] = { context.Rcx, context.Rdx, context.R8, context.R9 };
    if (i < 4)
        return (ULONG_PTR)regs[i];
#endif
    /* At the entry the return address is on top, the arguments above it. */
    ULONG_PTR value = 0;
    Read(SP(context) + sizeof(ULONG_PTR) * (ULONG_PTR)(i + 1), &value, sizeof value);
    return value;
}

/* Writes one byte of code.  Under QEMU the write reaches the memory but not
   the code QEMU has already translated from it: a function the debuggee ran
   before would go on without its breakpoint.  A change of the page's
   protection, made in the debuggee, makes QEMU drop that translation;
   natively it changes nothing. */
static bool Poke(HANDLE process, ULONG_PTR address, BYTE value)
{
    SIZE_T done = 0;
    DWORD protection = 0;
    bool ok = WriteProcessMemory(process, (LPVOID)address, &value, 1, &done) && done == 1;
    FlushInstructionCache(process, (LPCVOID)address, 1);
    if (VirtualProtectEx(process, (LPVOID)address, 1, PAGE_EXECUTE_READWRITE, &protection))
        VirtualProtectEx(process, (LPVOID)address, 1, protection, &protection);
    return ok;
}

/* Puts every breakpoint in place; FALSE when a function cannot be found or
   the debuggee's code there differs from this process's. */
static bool Arm(HANDLE process, std::vector<Breakpoint> &breakpoints)
{
    for (Breakpoint &bp : breakpoints) {
        HMODULE module = LoadLibraryA(bp.module);
        bp.address = (ULONG_PTR)(module ? GetProcAddress(module, bp.function) : NULL);
        BYTE mine[16], theirs[16];
        SIZE_T got = 0;
        if (!bp.address ||
            !ReadProcessMemory(process, (LPCVOID)bp.address, theirs, sizeof theirs, &got) ||
            got != sizeof theirs) {
            printf("debugger: %s!%s not found in the debuggee\n", bp.module, bp.function);
            return false;
        }
        memcpy(mine, (const void *)bp.address, sizeof mine);
        if (memcmp(mine, theirs, sizeof mine) != 0) {
            printf("debugger: %s!%s lies elsewhere in the debuggee\n", bp.module, bp.function);
            return false;
        }
        bp.original = theirs[0];
        if (!Poke(process, bp.address, 0xCC))
            return false;
    }
    return true;
}

/* Returns from the function the debuggee has just entered, with result. */
static void ForceReturn(CONTEXT &context, HANDLE process, const Breakpoint &bp, ULONG_PTR result)
{
    ULONG_PTR ret = 0;
    SIZE_T got = 0;
    ReadProcessMemory(process, (LPCVOID)SP(context), &ret, sizeof ret, &got);
    PC(context) = ret;
    SP(context) += sizeof(ULONG_PTR);
#ifdef _WIN64
    (void)bp; /* the caller takes its arguments off the stack */
#else
    SP(context) += (DWORD)bp.argumentBytes;
#endif
    RESULT(context) = result;
}

/*
 * How an int3 and a single step arrive.  Natively Wine reports a breakpoint
 * at the address of its int3 and a step as EXCEPTION_SINGLE_STEP, with the
 * trap flag cleared.  Under QEMU's user-mode emulator (32-bit Wine on a
 * kernel that runs no 32-bit code) the signal frame carries no trap number:
 * Wine then reports both as EXCEPTION_BREAKPOINT, a breakpoint one byte past
 * its int3, and a step with the trap flag still set.
 */
static bool IsBreakAt(const EXCEPTION_RECORD &er, ULONG_PTR address)
{
    ULONG_PTR at = (ULONG_PTR)er.ExceptionAddress;
    return er.ExceptionCode == EXCEPTION_BREAKPOINT && address != 0 &&
           (at == address || at == address + 1);
}

static bool IsStepOrBreak(const EXCEPTION_RECORD &er)
{
    return er.ExceptionCode == EXCEPTION_SINGLE_STEP || er.ExceptionCode == EXCEPTION_BREAKPOINT;
}

Breakpoint SplashDestroyed(const std::function<void(HWND splash)> &onSplash)
{
    return { "user32.dll", "DestroyWindow", 4, [onSplash](Stop &stop) {
                Verdict verdict;
                HWND hwnd = (HWND)stop.Argument(0);
                DWORD owner = 0;
                GetWindowThreadProcessId(hwnd, &owner);
                if (owner == stop.pid && GetDlgItem(hwnd, 101)) {
                    onSplash(hwnd);
                    verdict.fDisarm = true;
                }
                return verdict;
            } };
}

/* The full path of a DLL the debuggee has just mapped. */
static std::string DllPath(HANDLE process, const LOAD_DLL_DEBUG_INFO &info)
{
    char path[MAX_PATH] = "";
    if (info.hFile && GetFinalPathNameByHandleA(info.hFile, path, MAX_PATH, 0) > 0)
        return strncmp(path, "\\\\?\\", 4) == 0 ? path + 4 : path;
    GetMappedFileNameA(process, info.lpBaseOfDll, path, MAX_PATH);
    return path;
}

Debuggee Debug(const std::string &cmdLine, std::vector<Breakpoint> &breakpoints,
               const std::function<void(DWORD pid)> &idle, DWORD timeoutMs)
{
    Debuggee run;
    STARTUPINFOA si = {};
    PROCESS_INFORMATION pi;
    std::vector<char> line(cmdLine.begin(), cmdLine.end());
    HANDLE process = NULL;
    ULONG_PTR imageBase = 0, imageEnd = 0;
    Breakpoint *rearm = NULL; /* put back after the next single step */
    DWORD stepping = 0;       /* the thread of that step */
    bool initialBreak = true;
    ULONG_PTR entry = 0; /* the program's entry point, until it is reached */
    BYTE entryByte = 0;
    DWORD start = GetTickCount();

    si.cb = sizeof si;
    line.push_back('\0');
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, DEBUG_ONLY_THIS_PROCESS, NULL, NULL,
                        &si, &pi))
        return run;

    for (;;) {
        DEBUG_EVENT ev;
        if (GetTickCount() - start > timeoutMs) {
            printf("debugger: time limit of %lu ms reached\n", (unsigned long)timeoutMs);
            TerminateProcess(pi.hProcess, 99);
            run.exitCode = -1;
            break;
        }
        if (!WaitForDebugEvent(&ev, 50)) {
            if (idle)
                idle(pi.dwProcessId);
            continue;
        }
        DWORD status = DBG_CONTINUE;
        HANDLE thread = OpenThread(THREAD_ALL_ACCESS, FALSE, ev.dwThreadId);
        switch (ev.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            process = ev.u.CreateProcessInfo.hProcess;
            imageBase = (ULONG_PTR)ev.u.CreateProcessInfo.lpBaseOfImage;
            imageEnd = ImageEnd(process, imageBase);
            entry = (ULONG_PTR)ev.u.CreateProcessInfo.lpStartAddress;
            CloseHandle(ev.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            (entry ? run.dllsBeforeEntry : run.dllsAfterEntry)
                .push_back(DllPath(process, ev.u.LoadDll));
            CloseHandle(ev.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT: {
            const OUTPUT_DEBUG_STRING_INFO &info = ev.u.DebugString;
            std::string text(info.nDebugStringLength, '\0');
            SIZE_T got = 0;
            ReadProcessMemory(process, info.lpDebugStringData, &text[0], text.size(), &got);
            text.resize(got);
            run.debugOutput += text.c_str();
            break;
        }
        case EXCEPTION_DEBUG_EVENT: {
            const EXCEPTION_RECORD &er = ev.u.Exception.ExceptionRecord;
            CONTEXT context = {};
            context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
            if (er.ExceptionCode == EXCEPTION_BREAKPOINT && initialBreak) {
                /* The loader's breakpoint: every import is in place now. */
                initialBreak = false;
                run.breakpointsSet = Arm(process, breakpoints);
                if (!run.breakpointsSet) {
                    TerminateProcess(process, 98);
                }
                /* And one on the program's first instruction. */
                SIZE_T got = 0;
                if (!ReadProcessMemory(process, (LPCVOID)entry, &entryByte, 1, &got) ||
                    !Poke(process, entry, 0xCC))
                    entry = 0;
                break;
            }
            /* One instruction has run since the breakpoint was lifted: the
               next exception of that thread is the step, however it is
               reported. */
            if (rearm && ev.dwThreadId == stepping && IsStepOrBreak(er) &&
                GetThreadContext(thread, &context)) {
                context.EFlags &= ~(DWORD)TRAP_FLAG;
                SetThreadContext(thread, &context);
                Poke(process, rearm->address, 0xCC);
                rearm = NULL;
                break;
            }
            if (IsBreakAt(er, entry) && GetThreadContext(thread, &context)) {
                Poke(process, entry, entryByte);
                PC(context) = entry;
                SetThreadContext(thread, &context);
                entry = 0;
                break;
            }
            Breakpoint *hit = NULL;
            for (Breakpoint &bp : breakpoints)
                if (IsBreakAt(er, bp.address))
                    hit = &bp;
            if (hit && GetThreadContext(thread, &context)) {
                Poke(process, hit->address, hit->original);
                PC(context) = hit->address;
                hit->calls++;
                Stop stop = { process, thread, context, pi.dwProcessId, imageBase, imageEnd };
                Verdict verdict = hit->onCall ? hit->onCall(stop) : Verdict();
                context = stop.context;
                if (verdict.fForceReturn)
                    ForceReturn(context, process, *hit, verdict.result);
                if (!verdict.fDisarm) {
                    if (verdict.fForceReturn)
                        Poke(process, hit->address, 0xCC);
                    else {
                        context.EFlags |= TRAP_FLAG;
                        rearm = hit;
                        stepping = ev.dwThreadId;
                    }
                }
                SetThreadContext(thread, &context);
            } else if (er.ExceptionCode != EXCEPTION_BREAKPOINT) {
                status = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        }
        case EXIT_PROCESS_DEBUG_EVENT:
            run.exitCode = (long)ev.u.ExitProcess.dwExitCode;
            break;
        }
        if (thread)
            CloseHandle(thread);
        ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
        if (ev.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT)
            break;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return run;
}

} // namespace harness
