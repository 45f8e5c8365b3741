/*
 * assertion.h - checks of internal preconditions, and the report they raise.
 *
 * A check is evaluated in every build.  When its condition is false the
 * report names the expression, the module "stub" and the check's line, goes
 * to the debugger output, and asks the user whether to continue.  Yes comes
 * back and the caller carries on after the check; No ends the process with
 * exit code 1.
 *
 * The report is the module's fixed report: every check names the module
 * "stub", a line number and an expression text of its own that stay the
 * same in every build, whatever file and line the check stands on now, so
 * that a report a user reads out over the telephone always names the same
 * place.  CHECK reports the expression as it is written; where the fixed
 * text differs from the code, CHECK_TEXT gives the text.
 *
 * CHECK(line, expr) yields expr's truth (1 or 0), so that code which cannot
 * sensibly go on after a "continue" can still stop safely.
 */
#ifndef BOOTSTRAP_ASSERTION_H
#define BOOTSTRAP_ASSERTION_H

#include "platform.h"

#define CHECK_MODULE "stub"

/* The report names expr exactly as it is written here. */
#define CHECK(line, expr) CheckAt((expr) ? 1 : 0, #expr, (line))
/* The report names text in place of the expression. */
#define CHECK_TEXT(line, expr, text) CheckAt((expr) ? 1 : 0, (text), (line))
/* Marks an error path: reports text whenever it is reached. */
#define CHECK_FAILED(line, text) CheckAt(0, (text), (line))

/* Room of each report buffer: 499 characters and the NUL. */
#define ASSERT_BUFFER_CCH 500

/* The process-wide resource module, stored first thing by WinMain. */
void SetResourceModule(HINSTANCE hInstance);
HINSTANCE GetResourceModule(UINT id);

int LoadResString(UINT id, LPSTR buffer, int capacity);
void DebugTrace(LPCSTR text);
void AssertFailed(LPCSTR expression, LPCSTR file, int line);

/* Builds the report text; exposed for tests.  Always terminated, cut at
   cchReport - 1 characters. */
void FormatAssertReport(LPSTR report, size_t cchReport, LPCSTR expression, LPCSTR file,
                        int line);

int CheckAt(int ok, LPCSTR text, int line);

#endif
