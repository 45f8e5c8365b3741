/*
 * splash.cpp - the splash window.
 *
 * A modeless dialog from the resources, centred on the screen when it is
 * created.  The program runs no message loop, so nothing would ever paint
 * the dialog's text: ShowSplash paints it once, and then the window is left
 * alone until HideSplash destroys it.
 */
#include "ui/splash.h"
#include "resource.h"
#include "ui/assertion.h"

HWND hSplash;

/* Half of n, rounded towards negative infinity (as an arithmetic shift
   would, which C++ leaves to the compiler for negative n): an odd
   overhang puts the larger part on the left (or top). */
static LONG HalfDown(LONG n)
{
    return n / 2 - (n % 2 < 0 ? 1 : 0);
}

BOOL CenterRect(const RECT *outer, RECT *inner)
{
    LONG dx = HalfDown(outer->left + outer->right - inner->left - inner->right);
    LONG dy = HalfDown(outer->top + outer->bottom - inner->top - inner->bottom);

    return OffsetRect(inner, (int)dx, (int)dy);
}

INT_PTR CALLBACK SplashDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    RECT rcDlg, rcScreen;

    (void)wParam;
    (void)lParam;
    if (message != WM_INITDIALOG)
        return FALSE;

    GetWindowRect(hDlg, &rcDlg);
    GetWindowRect(GetDesktopWindow(), &rcScreen);
    CenterRect(&rcScreen, &rcDlg);
    MoveWindow(hDlg, rcDlg.left, rcDlg.top, rcDlg.right - rcDlg.left, rcDlg.bottom - rcDlg.top,
               FALSE);
    return TRUE;
}

void ShowSplash(void)
{
    HWND owner = GetFocus();

    /* Without a splash the run simply goes on; HideSplash then does nothing. */
    hSplash = CreateDialogParamA(GetResourceModule(IDD_SPLASH), MAKEINTRESOURCEA(IDD_SPLASH),
                                 owner, SplashDlgProc, 0);
    if (hSplash != NULL)
        UpdateWindow(hSplash);
}

void HideSplash(void)
{
    if (hSplash == NULL)
        return;
    DestroyWindow(hSplash);
    hSplash = NULL;
}
