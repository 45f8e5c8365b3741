/*
 * The splash window of the shipped program, seen as a user sees it: the
 * real Setup.exe runs from a complete medium under a debugger that stops it
 * where it destroys its splash window, after both files are installed.  At
 * that moment the window must be up, centred on the screen, with its style
 * and text, painted (no update region left, dark text pixels on the
 * screen: its light face with dark text in it), although the program
 * pumps no messages.  With a resolution (splash_test 144), the display is
 * set to it first (LogPixels): the window grows with it, and its text lies
 * whole inside its field, no letter cut off at an edge.
 */
#include "debugger.h"
#include "harness.h"

#include <math.h>

#include "expected_strings.h"

struct Seen {
    bool found = false, visible = false;
    RECT rc = {}, screen = {}, text = {}, ink = {};
    LONG style = 0;
    std::string caption;
    bool updatePending = true, textUpdatePending = true;
    long darkPixels = 0, lightPixels = 0, textArea = 0;
};

static void Inspect(HWND splash, Seen *seen)
{
    HWND text = GetDlgItem(splash, 101);
    RECT rcText;

    seen->found = true;
    seen->visible = IsWindowVisible(splash) != 0;
    GetWindowRect(splash, &seen->rc);
    GetWindowRect(GetDesktopWindow(), &seen->screen);
    seen->style = GetWindowLongA(splash, GWL_STYLE);
    seen->caption = harness::WindowText(text);
    seen->updatePending = GetUpdateRect(splash, NULL, FALSE) != 0;
    seen->textUpdatePending = GetUpdateRect(text, NULL, FALSE) != 0;
    GetWindowRect(text, &rcText);
    seen->text = rcText;
    harness::CountPixels(rcText, &seen->darkPixels, &seen->lightPixels);
    seen->ink = harness::DarkBounds(rcText);
    seen->textArea = (rcText.right - rcText.left) * (rcText.bottom - rcText.top);
    harness::SaveScreen(harness::Sibling("splash-seen.bmp"));
}

/* The display's resolution for the programs started from now on: Wine
   reads it from the user's desktop settings as each program starts. */
static void SetResolution(DWORD dpi)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, NULL, 0, KEY_SET_VALUE,
                        NULL, &key, NULL) != ERROR_SUCCESS)
        return;
    if (dpi)
        RegSetValueExA(key, "LogPixels", 0, REG_DWORD, (const BYTE *)&dpi, sizeof dpi);
    else
        RegDeleteValueA(key, "LogPixels");
    RegCloseKey(key);
}

int main(int argc, char **argv)
{
    harness::ExpectPlatform();
    DWORD dpi = argc > 1 ? (DWORD)atoi(argv[1]) : 0;
    Seen seen;
    if (dpi)
        SetResolution(dpi);
    std::vector<harness::Breakpoint> breakpoints = {
        harness::SplashDestroyed([&](HWND splash) { Inspect(splash, &seen); }),
    };
    std::string report = "STANDIN_REPORT=" + harness::StandinReportPath();
    putenv(report.c_str());
    putenv("STANDIN_CLOSE_MS=300");

    harness::RemoveInstalled();
    harness::Debuggee run = harness::Debug(
        harness::QuotedPath(harness::Medium("complete", "Setup.exe")), breakpoints, NULL);
    EXPECT_TRUE(run.breakpointsSet);
    EXPECT_EQ_INT(run.exitCode, 1);
    EXPECT_TRUE(seen.found);

    long width = seen.rc.right - seen.rc.left, height = seen.rc.bottom - seen.rc.top;
    printf("screen %ldx%ld, splash %ldx%ld at %ld,%ld; its text field: %ld dark, %ld light pixels\n",
           seen.screen.right - seen.screen.left, seen.screen.bottom - seen.screen.top, width,
           height, seen.rc.left, seen.rc.top, seen.darkPixels, seen.lightPixels);
    EXPECT_TRUE(seen.visible);
    EXPECT_TRUE(width > 200 && height > 50); /* 200 x 50 dialog units */
    if (dpi) {
        printf("at %lu DPI: the text's ink %ld,%ld to %ld,%ld in its field %ld,%ld to %ld,%ld\n",
               (unsigned long)dpi, seen.ink.left, seen.ink.top, seen.ink.right, seen.ink.bottom,
               seen.text.left, seen.text.top, seen.text.right, seen.text.bottom);
        /* The window grows with the resolution: 200 dialog units are at
           least 200 pixels at 96 DPI. */
        EXPECT_TRUE(width > (long)(200 * dpi / 96) && height > (long)(50 * dpi / 96));
        /* The text's ink touches no edge of its field: a text wider or
           taller than the field would be cut off there. */
        EXPECT_TRUE(seen.ink.left <= seen.ink.right); /* there is text */
        EXPECT_TRUE(seen.ink.left > seen.text.left && seen.ink.right < seen.text.right - 1);
        EXPECT_TRUE(seen.ink.bottom < seen.text.bottom - 1);
    }
    EXPECT_EQ_INT(seen.rc.left, floor((seen.screen.left + seen.screen.right - width) / 2.0));
    EXPECT_EQ_INT(seen.rc.top, floor((seen.screen.top + seen.screen.bottom - height) / 2.0));
    EXPECT_EQ_STR(seen.caption, SPLASH_TEXT);
    EXPECT_TRUE((seen.style & (WS_POPUP | WS_DLGFRAME | WS_SYSMENU)) ==
                (WS_POPUP | WS_DLGFRAME | WS_SYSMENU));
    EXPECT_TRUE((seen.style & WS_CAPTION) != WS_CAPTION);
    /* Nothing is left to paint, and the text really is on the screen. */
    EXPECT_TRUE(!seen.updatePending);
    EXPECT_TRUE(!seen.textUpdatePending);
    EXPECT_TRUE(seen.darkPixels > 50);
    EXPECT_TRUE(seen.lightPixels > seen.textArea / 2);
    harness::RemoveInstalled();
    if (dpi)
        SetResolution(0);
    return harness::Finish();
}
