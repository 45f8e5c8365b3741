/*
 * messages.cpp - loading and showing setup error messages, in English or
 * in the user's language.
 */
#include "ui/messages.h"
#include "resource.h"
#include "text.h"
#include "ui/assertion.h"
#include "ui/language.h"

char szMessage[MESSAGE_CCH];

LPSTR LoadMessage(UINT id)
{
    /* The English table by name: the system's own choice of table
       (LoadStringA) would follow the user's language.  Its texts are
       ASCII, which every code page holds. */
    static WCHAR text[MESSAGE_CCH]; /* off the stack, as language.cpp says why */

    /* An id without a string must not leave the previous text behind. */
    szMessage[0] = '\0';
    if (LoadTextW(id, LANGUAGE_ENGLISH, text, (int)NElems(text)) &&
        WideCharToMultiByte(CP_ACP, 0, text, -1, szMessage, (int)NElems(szMessage), NULL, NULL) ==
            0)
        szMessage[0] = '\0';
    return szMessage;
}

BOOL BoxesCanBeSeen(void)
{
    DWORD dwFlags = 0;

    return !SysWindowStationFlags(&dwFlags) || (dwFlags & WSF_VISIBLE) != 0;
}

void ShowSetupError(LPCSTR text)
{
    LPCSTR caption = LoadMessage(IDS_SETUP_ERROR);
    HWND owner = GetFocus();

    MessageBoxA(owner, text, caption, MB_OK | MB_ICONHAND);
}

/* text with each "%s" replaced by arg and each "%%" by "%", into out (cch
   code units, cut at its end): the one conversion the texts hold. */
static void FormatWide(LPWSTR out, size_t cch, LPCWSTR text, LPCWSTR arg)
{
    size_t n = 0;

    for (; *text != 0 && n + 1 < cch; text++) {
        if (text[0] == '%' && text[1] == 's') {
            LPCWSTR a;
            for (a = arg; *a != 0 && n + 1 < cch; a++)
                out[n++] = *a;
            text++;
            continue;
        }
        if (text[0] == '%' && text[1] == '%')
            text++;
        out[n++] = *text;
    }
    out[n] = 0;
}

/* Shown through the Unicode calls: whatever the code page. */
static BOOL ShowWide(LPCWSTR text, LPCWSTR caption, LPCSTR szWinDir)
{
    static WCHAR dir[MAX_PATH], message[MESSAGE_CCH + MAX_PATH];

    if (MultiByteToWideChar(CP_ACP, 0, szWinDir, -1, dir, (int)NElems(dir)) == 0)
        return FALSE;
    FormatWide(message, NElems(message), text, dir);
    return SysMessageBoxW(GetFocus(), message, caption, MB_OK | MB_ICONHAND) != 0;
}

/* Shown through the ANSI calls: only what the code page holds, caption
   and text alike. */
static BOOL ShowAnsi(LPCWSTR text, LPCWSTR caption, LPCSTR szWinDir)
{
    /* A character may take two bytes in a double-byte code page. */
    static char ansiText[2 * MESSAGE_CCH], ansiCaption[2 * MESSAGE_CCH];
    static char message[2 * MESSAGE_CCH + MAX_PATH];

    if (!ToAnsiExactly(text, ansiText, (int)NElems(ansiText)) ||
        !ToAnsiExactly(caption, ansiCaption, (int)NElems(ansiCaption)))
        return FALSE;
    FormatBounded(message, NElems(message), ansiText, szWinDir);
    MessageBoxA(GetFocus(), message, ansiCaption, MB_OK | MB_ICONHAND);
    return TRUE;
}

BOOL ShowTranslatedError(UINT idMessage, LPCSTR szWinDir)
{
    Speech speech;
    static WCHAR text[MESSAGE_CCH], caption[MESSAGE_CCH];

    ChooseSpeech(&speech);
    if (speech.wLanguage == LANGUAGE_ENGLISH ||
        !LoadTextW(idMessage, speech.wLanguage, text, (int)NElems(text)) ||
        !LoadTextW(IDS_SETUP_ERROR, speech.wLanguage, caption, (int)NElems(caption)))
        return FALSE;
    return speech.fUnicode ? ShowWide(text, caption, szWinDir) : ShowAnsi(text, caption, szWinDir);
}
