/*
 * The record's reader over any bytes of any length (given exactly those
 * bytes, so that a read past them is caught), and the check of an
 * installed file of any bytes against it: a record is only what
 * make-medium writes, a file stands only at the record's length, and the
 * two SHA-256 paths agree on every input (where this CPU has both).
 */
#include "fuzz_support.h"

#include <vector>

#include "install/record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FreshProgram();
    std::vector<BYTE> bytes(data, data + (size < 200 ? size : 200));
    MediumRecord record;
    UINT found = ReadMediumRecord(bytes.data(), (DWORD)bytes.size(), &record);
    bool allZero = bytes.size() == RECORD_CB;
    for (BYTE b : bytes)
        allZero = allZero && b == 0;
    FUZZ_REQUIRE((found == RECORD_NONE) == allZero);
    FUZZ_REQUIRE((found == RECORD_PRESENT) ==
                 (bytes.size() == RECORD_CB && memcmp(bytes.data(), "REC1", 4) == 0));
    if (found != RECORD_PRESENT)
        return 0;

    /* The rest of the input is the installed file; its recorded length is
       the record's, near the file's own at times. */
    std::string file((const char *)data + RECORD_CB, size - RECORD_CB);
    if (record.files[0].cbFile & 1)
        record.files[0].cbFile = (DWORD)file.size() + (record.files[0].cbFile >> 1) % 3 - 1;
    fake::AddFile("C:\\WINDOWS\\Riredud.exe", file);
    CpuFeatures cpu;
    ReadCpuFeatures(&cpu);
    InstallResult portable = CheckInstalledFile("C:\\WINDOWS\\Riredud.exe", &record.files[0], FALSE);
    FUZZ_REQUIRE(portable == 0 || portable == IR_DAMAGEDSRC);
    FUZZ_REQUIRE(portable != 0 || file.size() == record.files[0].cbFile);
    if (CanUseShaExtensions(&cpu, VER_PLATFORM_WIN32_NT, 10, 0, 19045)) {
        Sha256 a, b;
        BYTE da[SHA256_CB], db[SHA256_CB];
        Sha256Init(&a, FALSE);
        Sha256Init(&b, TRUE);
        Sha256Update(&a, (const BYTE *)file.data(), (DWORD)file.size());
        Sha256Update(&b, (const BYTE *)file.data(), (DWORD)file.size());
        Sha256Final(&a, da);
        Sha256Final(&b, db);
        FUZZ_REQUIRE(memcmp(da, db, SHA256_CB) == 0);
        FUZZ_REQUIRE(CheckInstalledFile("C:\\WINDOWS\\Riredud.exe", &record.files[0], TRUE) == portable);
    }
    return 0;
}
