/*
 * record.cpp - the record of the medium's files, and the check of an
 * installed file against it.
 */
#include "install/record.h"
#include "resource.h"

/* The bytes of an installed file pass through this buffer, a chunk at a
   time: each read asks for at most its size, and each chunk is hashed
   before the next read overwrites it.  Its size only sets how many reads a
   file takes. */
#define CHUNK_CB 0x10000
static BYTE chunk[CHUNK_CB];

static_assert(sizeof(MediumRecord) == RECORD_CB, "the record as it lies in the resource");

UINT ReadMediumRecord(const BYTE *data, DWORD cb, MediumRecord *pRecord)
{
    BYTE nonZero = 0;
    DWORD i;

    if (cb != RECORD_CB)
        return RECORD_BROKEN;
    memcpy(pRecord, data, RECORD_CB);
    for (i = 0; i < RECORD_CB; i++)
        nonZero |= data[i];
    if (nonZero == 0)
        return RECORD_NONE;
    return pRecord->signature == RECORD_SIGNATURE ? RECORD_PRESENT : RECORD_BROKEN;
}

UINT LoadMediumRecord(HINSTANCE hInstance, MediumRecord *pRecord)
{
    DWORD cb = 0;
    const BYTE *data = SysResourceData(hInstance, RT_RCDATA_ID, IDR_MEDIUM_RECORD,
                                       RESOURCE_FIRST_LANGUAGE, &cb);

    return data != NULL ? ReadMediumRecord(data, cb, pRecord) : RECORD_NONE;
}

DWORD ReadMediumSettings(const BYTE *data, DWORD cb)
{
    DWORD signature, dwFlags;

    if (data == NULL || cb != SETTINGS_CB)
        return 0;
    memcpy(&signature, data, 4);
    memcpy(&dwFlags, data + 4, 4);
    return signature == SETTINGS_SIGNATURE ? dwFlags : 0;
}

DWORD LoadMediumSettings(HINSTANCE hInstance)
{
    DWORD cb = 0;
    const BYTE *data = SysResourceData(hInstance, RT_RCDATA_ID, IDR_MEDIUM_SETTINGS,
                                       RESOURCE_FIRST_LANGUAGE, &cb);

    return ReadMediumSettings(data, cb);
}

InstallResult CheckInstalledFile(LPCSTR szPath, const RecordEntry *pEntry, BOOL fShaExtensions)
{
    /* Others may read it meanwhile, nobody may write it. */
    HANDLE h = CreateFileA(szPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    BYTE digest[SHA256_CB];
    DWORD cbRead, cbLeft = pEntry->cbFile;
    BOOL fWhole = TRUE;
    Sha256 sha;

    if (h == INVALID_HANDLE_VALUE)
        return IR_DAMAGEDSRC;
    Sha256Init(&sha, fShaExtensions);
    for (;;) {
        if (!ReadFile(h, chunk, CHUNK_CB, &cbRead, NULL)) {
            fWhole = FALSE;
            break;
        }
        /* The end of the file; or more than the record holds, which need
           not be read to the end. */
        if (cbRead == 0 || cbRead > cbLeft)
            break;
        Sha256Update(&sha, chunk, cbRead);
        cbLeft -= cbRead;
    }
    CloseHandle(h);
    Sha256Final(&sha, digest);
    if (!fWhole || cbRead != 0 || cbLeft != 0 || memcmp(digest, pEntry->digest, SHA256_CB) != 0)
        return IR_DAMAGEDSRC;
    return 0;
}
