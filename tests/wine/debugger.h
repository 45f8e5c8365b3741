/*
 * debugger.h - runs a program as its debugger: reads its debug output, stops
 * it where it calls a system function, and can make that call fail.
 *
 * A breakpoint goes on the first byte of an exported function of a system
 * DLL (USER32!DestroyWindow, KERNEL32!SetPriorityClass, ...).  The address
 * is taken from this process, whose system DLLs lie where the debuggee's
 * do; Start checks that the bytes there are the same in both processes.
 */
#ifndef WINE_DEBUGGER_H
#define WINE_DEBUGGER_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace harness {

/* The debuggee, stopped at the entry of a function it called. */
struct Stop {
    HANDLE process, thread;
    CONTEXT context;
    DWORD pid;
    ULONG_PTR imageBase, imageEnd; /* the program file's image */

    /* The function's argument i (0 = first), as a pointer-sized value. */
    ULONG_PTR Argument(int i) const;
    /* Reads size bytes of the debuggee's memory at address. */
    bool Read(ULONG_PTR address, void *buffer, SIZE_T size) const;
    /* Writes size bytes into the debuggee's memory at address. */
    bool Write(ULONG_PTR address, const void *data, SIZE_T size) const;
    /* TRUE when the program's own code made the call, not a system DLL. */
    bool FromProgram(void) const;
};

/* What to do at a call: nothing, or return at once with a result. */
struct Verdict {
    bool fForceReturn = false;
    ULONG_PTR result = 0;
    bool fDisarm = false; /* take the breakpoint away after this call */
};

struct Breakpoint {
    const char *module, *function;
    int argumentBytes; /* what the function's return pops (32-bit stdcall) */
    std::function<Verdict(Stop &)> onCall;
    ULONG_PTR address = 0;
    BYTE original = 0;
    int calls = 0;
};

/* A breakpoint where the debuggee destroys its splash window (the dialog
   with the text field 101): onSplash sees the window while it is still up;
   then the breakpoint is taken away. */
Breakpoint SplashDestroyed(const std::function<void(HWND splash)> &onSplash);

struct Debuggee {
    long exitCode = -1; /* -1: did not start, or ended by the time limit */
    std::string debugOutput;
    bool breakpointsSet = false;
    /* Every DLL mapped into it, by full path: before the program's first
       instruction (at its entry point), and after. */
    std::vector<std::string> dllsBeforeEntry, dllsAfterEntry;
};

/* Runs cmdLine under this debugger until it ends or timeoutMs pass.  While
   it runs without a debug event, idle(pid) is called every 50 ms (to read
   and answer its boxes). */
Debuggee Debug(const std::string &cmdLine, std::vector<Breakpoint> &breakpoints,
               const std::function<void(DWORD pid)> &idle, DWORD timeoutMs = 60000);

} // namespace harness

#endif
