/*
 * record.h - the record of the medium's files that the program carries.
 *
 * tools/make-medium writes into the program's resource IDR_MEDIUM_RECORD,
 * before it signs the program, the length and the SHA-256 of each file the
 * program installs, as that file is once expanded, in the order of the
 * file table.  An Authenticode signature then covers the record: the
 * installed files are bound to the signed program.  A build holds an empty
 * record (all zero bytes): no record.
 *
 * The resource's bytes, RECORD_CB of them:
 *   0   the signature "REC1"
 *   4   per file, RECORD_FILES of them: its length (4 bytes, little-endian)
 *       and its SHA-256 (32 bytes)
 */
#ifndef BOOTSTRAP_RECORD_H
#define BOOTSTRAP_RECORD_H

#include "install/install.h"
#include "install/sha256.h"

/* The resource type of the record, RT_RCDATA, as a number. */
#define RT_RCDATA_ID 10

#define RECORD_FILES 2
/* "REC1" as the first four bytes of the record read it */
#define RECORD_SIGNATURE 0x31434552
#define RECORD_ENTRY_CB (4 + SHA256_CB)
#define RECORD_CB (4 + RECORD_FILES * RECORD_ENTRY_CB)

typedef struct RecordEntry {
    DWORD cbFile;
    BYTE digest[SHA256_CB];
} RecordEntry;

/* The resource's bytes as they lie (x86 is little-endian; no padding). */
typedef struct MediumRecord {
    DWORD signature;
    RecordEntry files[RECORD_FILES];
} MediumRecord;

#define RECORD_NONE 0    /* empty: a build, or a medium made before records */
#define RECORD_PRESENT 1 /* *pRecord filled */
#define RECORD_BROKEN 2  /* neither: not what make-medium writes */

/*
 * Beside the record, in IDR_MEDIUM_SETTINGS, the publisher's choices for the
 * medium, covered by the signature alike: SETTINGS_CB bytes, all zero in a
 * build (today's behaviour); make-medium writes "SET1" and the flags.
 */
#define SETTINGS_SIGNATURE 0x31544553 /* "SET1" */
#define SETTINGS_CB 8
/* With -wait, end with the setup program's exit code (not 1). */
#define SETTING_SETUP_EXIT_CODE 0x00000001

/* The flags of the cb bytes of data: 0 for anything but what make-medium
   writes (an empty resource, another size or signature). */
DWORD ReadMediumSettings(const BYTE *data, DWORD cb);

/* The publisher's choices the program hInstance carries. */
DWORD LoadMediumSettings(HINSTANCE hInstance);

/* What the cb bytes of data hold; *pRecord receives them. */
UINT ReadMediumRecord(const BYTE *data, DWORD cb, MediumRecord *pRecord);

/* The record of the program hInstance; a program without the resource has
   none. */
UINT LoadMediumRecord(HINSTANCE hInstance, MediumRecord *pRecord);

/* Whether the file at szPath is pEntry->cbFile bytes long and has its
   SHA-256: 0, else IR_DAMAGEDSRC (also when it cannot be read whole). */
InstallResult CheckInstalledFile(LPCSTR szPath, const RecordEntry *pEntry, BOOL fShaExtensions);

#endif
