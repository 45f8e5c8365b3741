/*
 * messages.h - the setup error messages of the string table.
 */
#ifndef BOOTSTRAP_MESSAGES_H
#define BOOTSTRAP_MESSAGES_H

#include "platform.h"

/* 500 characters and the NUL. */
#define MESSAGE_CCH 501

/* The one shared message buffer: each LoadMessage overwrites it. */
extern char szMessage[MESSAGE_CCH];

/* Loads string id into szMessage and returns szMessage.  An id without a
   string leaves szMessage empty. */
LPSTR LoadMessage(UINT id);

/* Shows text in the "Setup Error" box.  text must not be szMessage, which
   this call reuses for the caption. */
void ShowSetupError(LPCSTR text);

/* Shows message idMessage, formatted with the Windows directory, in the
   user's language (see ui/language.h), its caption in the same language;
   FALSE, with no box shown, where it is to be shown in English. */
BOOL ShowTranslatedError(UINT idMessage, LPCSTR szWinDir);

/* Whether a box shown now can be seen and answered: FALSE where the
   process's window station has no visible display surfaces (a service, a
   deployment as SYSTEM in session 0), where nobody could answer it and the
   run would wait for ever.  TRUE where the window station cannot be asked
   (the 95/98 family). */
BOOL BoxesCanBeSeen(void);

#endif
