/*
 * assertion.cpp - the assertion report.
 */
#include "ui/assertion.h"
#include "resource.h"
#include "text.h"
#include "ui/messages.h"

/* Used when the string table has no report texts. */
static const char szFallbackFormat[] =
    "File: %s, Line#: %d\n"
    "Assert( %s );\n"
    "Please contact Varnik (setup-support@varnik.example).\n"
    "\n"
    "Do you want to continue?";
static const char szFallbackCaption[] = "Assertion Failure!";

#define ASSERT_BOX_STYLE (MB_YESNO | MB_ICONEXCLAMATION | MB_SYSTEMMODAL | MB_TOPMOST)

static HINSTANCE hResModule;

void SetResourceModule(HINSTANCE hInstance)
{
    hResModule = hInstance;
}

/* Every string lives in the program's own module, whatever its id. */
HINSTANCE GetResourceModule(UINT id)
{
    (void)id;
    return hResModule;
}

int LoadResString(UINT id, LPSTR buffer, int capacity)
{
    return LoadStringA(GetResourceModule(id), id, buffer, capacity);
}

/* A hook for a tracing build; the report has already reached the debugger. */
void DebugTrace(LPCSTR text)
{
    (void)text;
}

void FormatAssertReport(LPSTR report, size_t cchReport, LPCSTR expression, LPCSTR file,
                        int line)
{
    char format[ASSERT_BUFFER_CCH];

    format[0] = '\0';
    LoadResString(IDS_ASSERT_FORMAT, format, (int)NElems(format));
    if (format[0] == '\0')
        CopyBounded(format, NElems(format), szFallbackFormat);

    /* The report buffer is fixed; a longer report is cut, never overrun. */
    report[0] = '\0';
    FormatBounded(report, cchReport, format, file, line, expression);
}

void AssertFailed(LPCSTR expression, LPCSTR file, int line)
{
    char report[ASSERT_BUFFER_CCH];
    char caption[ASSERT_BUFFER_CCH];

    FormatAssertReport(report, NElems(report), expression, file, line);

    caption[0] = '\0';
    LoadResString(IDS_ASSERT_CAPTION, caption, (int)NElems(caption));
    if (caption[0] == '\0')
        CopyBounded(caption, NElems(caption), szFallbackCaption);

    OutputDebugStringA(report);
    DebugTrace(report);

    /* Where nobody can see a box, nobody can answer Yes: the run ends as
       No ends it, the report already in the debugger output. */
    if (!BoxesCanBeSeen())
        ExitProcess(1);
    /* No owner: the box stands on its own, even over the splash window. */
    if (MessageBoxA(NULL, report, caption, ASSERT_BOX_STYLE) == IDNO)
        ExitProcess(1);
}

int CheckAt(int ok, LPCSTR text, int line)
{
    if (!ok)
        AssertFailed(text, CHECK_MODULE, line);
    return ok;
}
