/*
 * install.h - installing one file through the version-checked installation
 * service, and the program's result code for it.
 */
#ifndef BOOTSTRAP_INSTALL_H
#define BOOTSTRAP_INSTALL_H

#include "platform.h"

/* 0 when the file was installed, else a set of IR_ bits. */
typedef DWORD InstallResult;

#define IR_FILEINUSE 0x00000001
#define IR_OUTOFMEMORY 0x00000002
#define IR_OUTOFSPACE 0x00000004
#define IR_SRCOLD 0x00000008
#define IR_DIFFLANG 0x00000010
#define IR_DIFFCODEPG 0x00000020
#define IR_CANNOTREADDST 0x00000040
#define IR_ACCESSVIOLATION 0x00000080
#define IR_DIFFTYPE 0x00000100
#define IR_CANNOTREADSRC 0x00000200
#define IR_NOSRCNAME 0x00002000 /* the source path names no file */
#define IR_BUFFTOOSMALL 0x00004000 /* a directory or path did not fit */
#define IR_OTHER 0x00010000 /* the service failed in a way not named above */
/* The file is not what the medium was made with: its source is empty or
   cut short, what was installed is not as long as the source says or not
   what the record of the medium says; or the program may install nothing
   (a signed program without a record). */
#define IR_DAMAGEDSRC 0x00020000

/* One installation request; lives for one InstallFile call. */
typedef struct StringInfo {
    char szSrcFileName[MAX_PATH];
    char szDestFileName[MAX_PATH];
    char szSrcDir[MAX_PATH];
    char szAppDir[MAX_PATH]; /* where the caller wants the file */
    char szCurDir[MAX_PATH]; /* where the service found a current copy */
    UINT uCurDirLen;
    char szDestDir[MAX_PATH]; /* where the service installs the file */
    UINT uDestDirLen;
    char szTmpFile[MAX_PATH]; /* a temporary copy the service left behind */
    UINT uTmpFileLen;
} StringInfo;

/* Installs szSourceFile (on the medium) as szDestFile; bForceInstall lets
   the service replace a newer or different file. */
InstallResult InstallFile(LPCSTR szSourceFile, LPCSTR szDestFile, BOOL bForceInstall);

InstallResult FindInstallTarget(StringInfo *pStringInfo);
InstallResult InstallFromRequest(StringInfo *pStringInfo, BOOL bForceInstall);
InstallResult VersionInstall(UINT uFlags, LPSTR szSrcFileName, LPSTR szDestFileName,
                             LPSTR szSrcDir, LPSTR szDestDir, LPSTR szCurDir, LPSTR szTmpFile,
                             PUINT lpuTmpFileLen);

/* What a source file promises of the file it installs as, from its first
   bytes (head, cbHead of them) and its length cbFile. */
#define PROMISE_NOTHING 0 /* not compressed: the service copies it as it is */
#define PROMISE_LENGTH 1  /* compressed: *pcbExpanded bytes once expanded */
#define PROMISE_BROKEN 2  /* empty, or a compressed file cut inside its header */
/* The header of an LZ-compressed (SZDD) file: its signature, the method,
   the character its name lost, and the expanded length at offset 10. */
#define LZ_HEADER_CB 14
UINT SourcePromise(const BYTE *head, DWORD cbHead, DWORD cbFile, DWORD *pcbExpanded);

/* The IR_ bits of a non-zero VerInstallFileA result. */
InstallResult MapVersionResult(DWORD r);

/* The string id of the message that tells the user about a failure. */
UINT MessageIdForResult(InstallResult result);

#endif
