/*
 * The real splash dialog: created from the resources, centred on the
 * screen before ShowSplash returns, showing its text, gone after HideSplash.
 */
#include "harness.h"

#include <math.h>

#include "expected_strings.h"
#include "ui/assertion.h"
#include "ui/splash.h"

int main(void)
{
    RECT rcDlg, rcScreen;
    char text[256] = "";

    SetResourceModule(GetModuleHandleA(NULL));
    ShowSplash();
    HWND shown = hSplash;

    EXPECT_TRUE(shown != NULL);
    EXPECT_TRUE(IsWindowVisible(shown));
    GetWindowRect(shown, &rcDlg);
    GetWindowRect(GetDesktopWindow(), &rcScreen);
    long width = rcDlg.right - rcDlg.left, height = rcDlg.bottom - rcDlg.top;
    printf("screen %ldx%ld, splash %ldx%ld at %ld,%ld\n", rcScreen.right - rcScreen.left,
           rcScreen.bottom - rcScreen.top, width, height, rcDlg.left, rcDlg.top);

    EXPECT_TRUE(width > 200 && height > 50); /* 200 x 50 dialog units */
    EXPECT_EQ_INT(rcDlg.left, floor((rcScreen.left + rcScreen.right - width) / 2.0));
    EXPECT_EQ_INT(rcDlg.top, floor((rcScreen.top + rcScreen.bottom - height) / 2.0));

    /* The program pumps no messages: everything must be painted already. */
    EXPECT_TRUE(!GetUpdateRect(shown, NULL, FALSE));
    EXPECT_TRUE(!GetUpdateRect(GetDlgItem(shown, 101), NULL, FALSE));

    GetDlgItemTextA(shown, 101, text, sizeof text);
    EXPECT_EQ_STR(text, SPLASH_TEXT);
    LONG style = GetWindowLongA(shown, GWL_STYLE);
    EXPECT_TRUE((style & (WS_POPUP | WS_DLGFRAME | WS_SYSMENU)) == (WS_POPUP | WS_DLGFRAME | WS_SYSMENU));
    EXPECT_TRUE((style & WS_CAPTION) != WS_CAPTION);

    HideSplash();
    EXPECT_TRUE(hSplash == NULL);
    EXPECT_TRUE(!IsWindow(shown));
    return harness::Finish();
}
