/*
 * splash.h - the "Setup is loading" window shown while files are installed.
 */
#ifndef BOOTSTRAP_SPLASH_H
#define BOOTSTRAP_SPLASH_H

#include "platform.h"

/* The splash dialog, or NULL while none is shown. */
extern HWND hSplash;

/* The text a translated splash is created with (lParam of WM_INITDIALOG):
   wide, or else in the ANSI code page. */
typedef struct SplashText {
    LPCWSTR wszText;
    LPCSTR szText;
} SplashText;

void ShowSplash(void);
void HideSplash(void);
INT_PTR CALLBACK SplashDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);

/* Moves inner so that it is centred on outer; a spare pixel goes to the
   right of (or below) inner. */
BOOL CenterRect(const RECT *outer, RECT *inner);

#endif
