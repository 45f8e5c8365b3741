/*
 * bootstrap.h - the program's entry and its main flow.
 */
#ifndef BOOTSTRAP_BOOTSTRAP_H
#define BOOTSTRAP_BOOTSTRAP_H

#include "platform.h"
#include "ui/messages.h"

/* The setup program's main window; when one exists the bootstrap only
   brings it forward. */
#define SETUP_WINDOW_CLASS "QVInstallWin"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

/* Deletes path when the file exists; the outcome is not examined. */
void DeleteIfExists(LPCSTR path);

/* A loaded message (at most 500 characters) with the Windows directory in
   place of its %s: always fits. */
#define ERROR_TEXT_CCH (MESSAGE_CCH + MAX_PATH)

/* Formats message idMessage with the Windows directory into szText, which
   has room for ERROR_TEXT_CCH characters. */
void FormatErrorMessage(LPSTR szText, UINT idMessage, LPCSTR szWinDir);

/* Builds the setup command line into cmdLine (CMDLINE_CCH characters) and
   appends the passed arguments.  Returns FALSE when they do not all fit;
   *pfWait tells whether the bootstrap is to wait for the setup program. */
BOOL BuildSetupCommandLine(LPSTR cmdLine, LPCSTR szWinDir, LPCSTR szSrcDir, BOOL *pfWait);

/* The exit code of a run that started the setup program: 1, as always;
   with the publisher's SETTING_SETUP_EXIT_CODE and the wait option, the
   setup program's own, dwSetupExitCode, where fEnded tells it is known
   (a failed wait is no success). */
DWORD ChooseExitCode(DWORD dwSettings, BOOL fWait, BOOL fEnded, DWORD dwSetupExitCode);

#endif
