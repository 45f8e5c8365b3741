/*
 * language.cpp - the language a user's texts are shown in, and the texts
 * of the string table in a language of the program's choosing.
 *
 * LoadStringA would pick the table by the system's own rules (the thread's
 * or the user's language) and convert it to the ANSI code page whatever it
 * holds: a Japanese text on a Western code page comes out as "???".  So
 * the program reads its string table itself, in the language it chose,
 * and converts only what the code page holds.
 */
#include "ui/language.h"
#include "install/pathutil.h"
#include "ui/assertion.h"
#include "ui/messages.h"

#define RT_STRING_ID 6

/* The languages of the string tables (res/strings), English first: the
   one every other falls back to. */
static const LANGID tableLanguages[] = {
    LANGUAGE_ENGLISH, 0x0407 /* German */,     0x040C /* French */,
    0x0C0A /* Spanish */, 0x0410 /* Italian */, 0x0416 /* Brazilian Portuguese */,
    0x0413 /* Dutch */,   0x0415 /* Polish */,  0x0419 /* Russian */,
    0x0411 /* Japanese */, 0x0804 /* Simplified Chinese */, 0x0404 /* Traditional Chinese */,
    0x0412 /* Korean */,
};

#define PRIMARY_CHINESE 0x04
#define TRADITIONAL_CHINESE 0x0404
#define SIMPLIFIED_CHINESE 0x0804

LANGID ChooseLanguage(LANGID wLanguage)
{
    WORD primary = PRIMARYLANGID(wLanguage), sub = SUBLANGID(wLanguage);
    size_t i;

    for (i = 0; i < NElems(tableLanguages); i++)
        if (tableLanguages[i] == wLanguage)
            return wLanguage;
    /* Chinese by script: Taiwan (1), Hong Kong (3), Macao (5) and zh-Hant
       (0x1F) write Traditional, the PRC (2), Singapore (4) and zh-Hans (0)
       Simplified; a reader of one cannot be given the other. */
    if (primary == PRIMARY_CHINESE) {
        if (sub == 1 || sub == 3 || sub == 5 || sub == 0x1F)
            return TRADITIONAL_CHINESE;
        return sub == 2 || sub == 4 || sub == 0 ? SIMPLIFIED_CHINESE : LANGUAGE_ENGLISH;
    }
    for (i = 0; i < NElems(tableLanguages); i++)
        if (PRIMARYLANGID(tableLanguages[i]) == primary)
            return tableLanguages[i];
    return LANGUAGE_ENGLISH;
}

void ChooseSpeech(Speech *pSpeech)
{
    LANGID wDisplay = 0;
    const OSVERSIONINFOA *pVersion = PlatformVersion();

    /* Only Windows 2000 and later tell the display language, and only they
       can be relied on for the Unicode calls. */
    pSpeech->fUnicode = pVersion->dwPlatformId == VER_PLATFORM_WIN32_NT &&
                        pVersion->dwMajorVersion >= 5;
    if (pSpeech->fUnicode)
        wDisplay = SysGetUserDefaultUILanguage();
    if (wDisplay == 0)
        wDisplay = SysGetUserDefaultLangID();
    pSpeech->wLanguage = ChooseLanguage(wDisplay);
}

/* A block of the string table holds the 16 strings of ids 16 (n - 1) to
   16 n - 1, each its length and its UTF-16 code units.  Each read is taken
   only inside the block's size. */
BOOL LoadTextW(UINT id, LANGID wLanguage, LPWSTR text, int cch)
{
    DWORD cb = 0, at = 0, n = 0, i;
    const BYTE *block = SysResourceData(GetResourceModule(id), RT_STRING_ID,
                                        (WORD)(id / 16 + 1), wLanguage, &cb);

    if (block == NULL || cch <= 0)
        return FALSE;
    for (i = 0; i <= id % 16; i++) {
        at += 2 * n;
        if (at + 2 > cb)
            return FALSE;
        n = block[at] | (DWORD)block[at + 1] << 8;
        at += 2;
    }
    if (n == 0 || at + 2 * n > cb)
        return FALSE;
    /* A text longer than the buffer is cut, never written past it. */
    if (n > (DWORD)cch - 1)
        n = (DWORD)cch - 1;
    for (i = 0; i < n; i++)
        text[i] = (WCHAR)(block[at + 2 * i] | block[at + 2 * i + 1] << 8);
    text[n] = 0;
    return TRUE;
}

BOOL ToAnsiExactly(LPCWSTR text, LPSTR ansi, int cb)
{
    /* The texts of the string table are loaded into MESSAGE_CCH code
       units; a longer one does not come back here and is refused.  (The
       texts' buffers are static, off the stack: the program has one thread,
       and its code probes no stack frame beyond 4 KiB.) */
    static WCHAR back[MESSAGE_CCH];
    int i;

    if (WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, cb, NULL, NULL) == 0 ||
        MultiByteToWideChar(CP_ACP, 0, ansi, -1, back, (int)NElems(back)) == 0)
        return FALSE;
    for (i = 0; text[i] == back[i]; i++)
        if (text[i] == 0)
            return TRUE;
    return FALSE;
}
