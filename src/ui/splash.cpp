/*
 * splash.cpp - the splash window.
 *
 * A modeless dialog from the resources, centred on the screen when it is
 * created.  The program runs no message loop, so nothing would ever paint
 * the dialog's text: ShowSplash paints it once, and then the window is left
 * alone until HideSplash destroys it.  In English it is dialog 100 as it
 * always was; in another language dialog 102, in the shell's dialog font,
 * with the text of the string table set as it is created, through the
 * Unicode calls where the system has them (an ANSI dialog would convert
 * the text to the code page), else only where the code page holds it.
 */
#include "ui/splash.h"
#include "resource.h"
#include "ui/assertion.h"
#include "ui/language.h"
#include "ui/messages.h"

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
    if (message != WM_INITDIALOG)
        return FALSE;
    if (lParam != 0) {
        const SplashText *pText = (const SplashText *)lParam;
        if (pText->wszText != NULL)
            SysSetDlgItemTextW(hDlg, IDC_SPLASH_TEXT, pText->wszText);
        else
            SysSetDlgItemTextA(hDlg, IDC_SPLASH_TEXT, pText->szText);
    }

    GetWindowRect(hDlg, &rcDlg);
    GetWindowRect(GetDesktopWindow(), &rcScreen);
    CenterRect(&rcScreen, &rcDlg);
    MoveWindow(hDlg, rcDlg.left, rcDlg.top, rcDlg.right - rcDlg.left, rcDlg.bottom - rcDlg.top,
               FALSE);
    return TRUE;
}

/* The splash in the user's language where it can be shown so, else NULL. */
static HWND ShowTranslatedSplash(HWND owner)
{
    Speech speech;
    /* Off the stack, as language.cpp says why; two bytes a character in a
       double-byte code page. */
    static WCHAR wszText[MESSAGE_CCH];
    static char szText[2 * MESSAGE_CCH];
    SplashText text = { NULL, szText };
    HINSTANCE hModule = GetResourceModule(IDD_SPLASH_TRANSLATED);

    ChooseSpeech(&speech);
    if (speech.wLanguage == LANGUAGE_ENGLISH ||
        !LoadTextW(IDS_SPLASH, speech.wLanguage, wszText, (int)NElems(wszText)))
        return NULL;
    if (speech.fUnicode) {
        text.wszText = wszText;
        return SysCreateDialogParamW(hModule, MAKEINTRESOURCEW(IDD_SPLASH_TRANSLATED), owner,
                                     SplashDlgProc, (LPARAM)&text);
    }
    if (!ToAnsiExactly(wszText, szText, (int)NElems(szText)))
        return NULL;
    return CreateDialogParamA(hModule, MAKEINTRESOURCEA(IDD_SPLASH_TRANSLATED), owner,
                              SplashDlgProc, (LPARAM)&text);
}

void ShowSplash(void)
{
    HWND owner = GetFocus();

    /* Without a splash the run simply goes on; HideSplash then does nothing. */
    hSplash = ShowTranslatedSplash(owner);
    if (hSplash == NULL)
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
