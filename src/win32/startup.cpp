/*
 * startup.cpp - the program's own start-up, in place of a C runtime's.
 *
 * The program needs nothing of a runtime but its start: without one it
 * imports only KERNEL32 and USER32, which every 32-bit Windows has (not
 * every release of the 95 family ships MSVCRT.DLL), and stays small.
 *
 * It does what a runtime's start-up does for a GUI program: WinMain gets
 * the module handle, no previous instance, the command line behind the
 * program name, and the show command of the start-up record (or
 * SW_SHOWDEFAULT); its result is the exit code.  The arguments are split
 * from GetCommandLineA where they are used (see launcher.cpp).  Before
 * anything else it hardens the DLL search (sysdll.cpp).
 */
#include "bootstrap/bootstrap.h"
#include "bootstrap/launcher.h"
#include "win32/sysdll.h"

/* The program's own image, where the linker put it: its module handle.
   Of no size the compiler knows: the program reads its own headers and
   resources through it (image.cpp). */
extern "C" BYTE __ImageBase[];

/* The entry point; kept whole by the link-time optimiser, which sees no
   caller of it. */
extern "C" __attribute__((used)) void WinMainCRTStartup(void)
{
    STARTUPINFOA startup;
    LPSTR cmdLine = (LPSTR)SkipProgramName(GetCommandLineA());
    int nCmdShow = SW_SHOWDEFAULT;

    HardenDllSearch();
    while (*cmdLine == ' ' || *cmdLine == '\t')
        cmdLine++;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    if (startup.dwFlags & STARTF_USESHOWWINDOW)
        nCmdShow = startup.wShowWindow;

    ExitProcess((UINT)WinMain((HINSTANCE)__ImageBase, NULL, cmdLine, nCmdShow));
}
