/*
 * language.h - the language a user's texts are shown in.
 *
 * The string table holds the user's texts (the setup error messages, their
 * caption and the splash text) in English and twelve more languages.  A
 * text is shown in the user's language where the program has it and the
 * system can draw it: through the Unicode calls where the system tells its
 * display language (Windows 2000 and later), elsewhere only when it comes
 * back unchanged from the system's ANSI code page.  Otherwise, and
 * whenever anything fails, in English, exactly as it always was.
 */
#ifndef BOOTSTRAP_LANGUAGE_H
#define BOOTSTRAP_LANGUAGE_H

#include "platform.h"

#define LANGUAGE_ENGLISH 0x0409

/* The language of the string table to show a user of language wLanguage:
   the same language and sub-language, else the same language (Chinese by
   its script: Hong Kong and Macao take the Traditional table, Singapore
   the Simplified one, never one for the other), else English. */
LANGID ChooseLanguage(LANGID wLanguage);

/* How the user's texts are shown on this system: the language of the
   table, and whether through the Unicode calls. */
typedef struct Speech {
    LANGID wLanguage;
    BOOL fUnicode;
} Speech;

/* The user's display language where the system tells it (2000 and later:
   then through the Unicode calls), elsewhere the user's default language. */
void ChooseSpeech(Speech *pSpeech);

/* Text id of the string table of wLanguage, NUL-terminated, into text
   (cch code units, a longer text cut); FALSE when that table lacks it. */
BOOL LoadTextW(UINT id, LANGID wLanguage, LPWSTR text, int cch);

/* text in the system's ANSI code page into ansi (cb bytes), only when
   every character of it comes back unchanged: no "?" and no letter
   swapped for another. */
BOOL ToAnsiExactly(LPCWSTR text, LPSTR ansi, int cb);

#endif
