/*
 * launcher.h - handing over to the setup program.
 */
#ifndef BOOTSTRAP_LAUNCHER_H
#define BOOTSTRAP_LAUNCHER_H

#include "platform.h"

/* The longest command line Windows starts a program with: 32,767
   characters including the terminating NUL. */
#define CMDLINE_CCH 32767

/* Reads the program name at the start of a command line and returns where
   the arguments begin. */
LPCSTR SkipProgramName(LPCSTR cmdLine);

/* Reads the next argument at *pos into arg (cchArg characters) and moves
   *pos behind it; FALSE when there are no more arguments.  *pfFits is
   cleared when the argument had to be cut. */
BOOL NextArgument(LPCSTR *pos, LPSTR arg, size_t cchArg, BOOL *pfFits);

/* The text the program's arguments are split from. */
LPCSTR GetArgumentText(void);

/* Appends the program's arguments to the setup command line at outCmdLine,
   which has room for cchRoom characters including the NUL.  Returns 1 when
   -wait or /wait was among them (it is never passed on), else 0.
   *pfAllFit is cleared when an argument did not fit; it is then left out
   whole, together with every argument after it. */
int AppendPassedArgs(LPSTR outCmdLine, size_t cchRoom, BOOL *pfAllFit);

/* Starts the setup program and waits for it to end; returns its exit
   code, or 0 when it could not be started or waited for.  *pfStarted tells
   whether it was started, *pfEnded whether it was seen to end and its exit
   code is known.  Once the setup program is started (its window is up),
   the setup mutex is released, before the wait. */
DWORD RunAndWait(LPSTR cmdLine, BOOL *pfStarted, BOOL *pfEnded);

/*
 * One bootstrap at a time checks for the setup program, installs and
 * starts it: every bootstrap of every medium installs the same two files
 * into the one Windows directory of the machine.  TakeSetupMutex waits for
 * the named mutex of all bootstraps (in the Global namespace, which reaches
 * every session, where the platform has one; else under a name of the one
 * namespace there is) and takes it, also from a bootstrap that died
 * holding it; where no such mutex can be made, the run goes on without.
 * ReleaseSetupMutex gives it up, once; later calls do nothing.
 */
#define SETUP_MUTEX_NAME "Global\\RiredudSetup"
void TakeSetupMutex(void);
void ReleaseSetupMutex(void);

#endif
