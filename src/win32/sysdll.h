/*
 * sysdll.h - system DLLs from the system directory only (Windows only).
 */
#ifndef BOOTSTRAP_SYSDLL_H
#define BOOTSTRAP_SYSDLL_H

#include "platform.h"

/* Restricts the DLL search of the process to the system directory where
   Windows can, and loads the DLLs that the first window loads by name from
   there.  Called first thing, before any window or box. */
void HardenDllSearch(void);

/* Loads those DLLs from the system directory; a name this Windows does not
   have is skipped. */
void PreloadSystemDlls(void);

/* Loads szName ("\\NAME.DLL") from the system directory if it is there. */
HMODULE LoadSystemDll(LPCSTR szName);

#endif
