/*
 * The splash window of the shipped program, seen as a user sees it: the
 * real Setup.exe runs from a complete medium under a debugger that stops it
 * where it destroys its splash window, after both files are installed.  At
 * that moment the window must be up, centred on the screen, with its style
 * and text, painted (no update region left, dark text pixels on the
 * screen: its light face with dark text in it), although the program
 * pumps no messages.
 */
#include "debugger.h"
#include "harness.h"

#include <math.h>

#include "expected_strings.h"

struct Seen {
    bool found = false, visible = false;
    RECT rc = {}, screen = {};
    LONG style = 0;
    std::string text;
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
    seen->text = harness::WindowText(text);
    seen->updatePending = GetUpdateRect(splash, NULL, FALSE) != 0;
    seen->textUpdatePending = GetUpdateRect(text, NULL, FALSE) != 0;
    GetWindowRect(text, &rcText);
    harness::CountPixels(rcText, &seen->darkPixels, &seen->lightPixels);
    seen->textArea = (rcText.right - rcText.left) * (rcText.bottom - rcText.top);
    harness::SaveScreen(harness::Sibling("splash-seen.bmp"));
}

int main(void)
{
    harness::ExpectPlatform();
    Seen seen;
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
    EXPECT_EQ_INT(seen.rc.left, floor((seen.screen.left + seen.screen.right - width) / 2.0));
    EXPECT_EQ_INT(seen.rc.top, floor((seen.screen.top + seen.screen.bottom - height) / 2.0));
    EXPECT_EQ_STR(seen.text, SPLASH_TEXT);
    EXPECT_TRUE((seen.style & (WS_POPUP | WS_DLGFRAME | WS_SYSMENU)) ==
                (WS_POPUP | WS_DLGFRAME | WS_SYSMENU));
    EXPECT_TRUE((seen.style & WS_CAPTION) != WS_CAPTION);
    /* Nothing is left to paint, and the text really is on the screen. */
    EXPECT_TRUE(!seen.updatePending);
    EXPECT_TRUE(!seen.textUpdatePending);
    EXPECT_TRUE(seen.darkPixels > 50);
    EXPECT_TRUE(seen.lightPixels > seen.textArea / 2);
    harness::RemoveInstalled();
    return harness::Finish();
}
