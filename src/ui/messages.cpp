/*
 * messages.cpp - loading and showing setup error messages.
 */
#include "ui/messages.h"
#include "resource.h"
#include "ui/assertion.h"

char szMessage[MESSAGE_CCH];

LPSTR LoadMessage(UINT id)
{
    /* An id without a string must not leave the previous text behind. */
    szMessage[0] = '\0';
    LoadStringA(GetResourceModule(id), id, szMessage, (int)NElems(szMessage));
    return szMessage;
}

void ShowSetupError(LPCSTR text)
{
    LPCSTR caption = LoadMessage(IDS_SETUP_ERROR);
    HWND owner = GetFocus();

    MessageBoxA(owner, text, caption, MB_OK | MB_ICONHAND);
}
