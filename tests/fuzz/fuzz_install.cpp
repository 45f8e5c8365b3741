/*
 * The settling of an installation over arbitrary results of the service,
 * on both platform families, with any files present and any bytes in the
 * source file: only known result bits come back, every result has a
 * message, the request record is given back, a source that is not what it
 * promises is never installed, and nothing runs past a buffer (the header
 * reader is given exactly the bytes read).
 */
#include "fuzz_support.h"

#include <vector>

#include "install/install.h"
#include "resource.h"

#define KNOWN_BITS                                                                             \
    (IR_FILEINUSE | IR_OUTOFMEMORY | IR_OUTOFSPACE | IR_SRCOLD | IR_DIFFLANG | IR_DIFFCODEPG |   \
     IR_CANNOTREADDST | IR_ACCESSVIOLATION | IR_DIFFTYPE | IR_CANNOTREADSRC | IR_NOSRCNAME |   \
     IR_BUFFTOOSMALL | IR_OTHER | IR_DAMAGEDSRC)

static uint32_t Word(const uint8_t **data, size_t *size)
{
    uint32_t w = 0;
    std::string bytes = Take(data, size, 4);
    memcpy(&w, bytes.data(), bytes.size());
    return w;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FreshProgram();
    uint32_t flags = Word(&data, &size);
    uint32_t found = Word(&data, &size);
    uint32_t first = Word(&data, &size), second = Word(&data, &size);
    std::string curDir = NoNul(Take(&data, &size, 300));
    std::string tmpFile = NoNul(Take(&data, &size, 300));
    uint32_t expanded = Word(&data, &size) % 100000;
    std::string source = Take(&data, &size, 40);

    /* The header reader alone, on a copy of exactly the bytes read. */
    size_t cbHead = source.size() < LZ_HEADER_CB ? source.size() : LZ_HEADER_CB;
    std::vector<BYTE> head(source.begin(), source.begin() + cbHead);
    DWORD cbPromised = 0;
    UINT promise = SourcePromise(head.data(), (DWORD)cbHead, (DWORD)source.size(), &cbPromised);
    FUZZ_REQUIRE(promise == PROMISE_NOTHING || promise == PROMISE_LENGTH ||
                 promise == PROMISE_BROKEN);
    FUZZ_REQUIRE(source.empty() == (promise == PROMISE_BROKEN && cbHead == 0));
    FUZZ_REQUIRE(promise != PROMISE_LENGTH || (cbHead == LZ_HEADER_CB && source.compare(0, 4, "SZDD") == 0));

    fake::state.platformId = flags & 1 ? VER_PLATFORM_WIN32_WINDOWS : VER_PLATFORM_WIN32_NT;
    fake::state.globalAllocFails = (flags & 0x30) == 0x30;
    fake::state.moveFileOk = !(flags & 4);
    if (flags & 8)
        fake::AddFile("C:\\WINDOWS\\Riredud.exe");
    if (flags & 0x40)
        fake::state.getTempFileName = [](LPCSTR, LPCSTR, LPSTR) { return 0u; };
    fake::AddFile("D:\\Riredud.e#e", source);
    fake::state.verFindFile = [&](const fake::VerFindCall &c, LPSTR cur, LPSTR dest) {
        /* The service honours the lengths it is given. */
        std::string d = flags & 0x80 ? curDir : std::string("C:\\WINDOWS");
        snprintf(cur, c.curDirLen, "%s", flags & 2 ? c.appDir.c_str() : curDir.c_str());
        snprintf(dest, c.destDirLen, "%s", d.c_str());
        return found;
    };
    int calls = 0;
    fake::state.verInstallFile = [&](const fake::VerInstallCall &c, LPSTR tmp, PUINT len) {
        snprintf(tmp, *len, "%s", tmpFile.c_str());
        DWORD r = calls++ == 0 ? first : second;
        if (r == 0) /* what it expanded, of any length */
            fake::AddFile(c.destDir + "\\" + c.destName, std::string(expanded, 'x'));
        return r;
    };

    InstallResult result = InstallFile("D:\\Riredud.e#e", "C:\\WINDOWS\\Riredud.exe", flags & 0x100);
    FUZZ_REQUIRE((result & ~(InstallResult)KNOWN_BITS) == 0);
    UINT id = result ? MessageIdForResult(result) : 0;
    FUZZ_REQUIRE(id == 0 || fake::state.strings.count(id));
    FUZZ_REQUIRE(calls <= 2);
    /* Broken sources are never handed to the service; a compressed one
       stands only when it expanded to the length it promised (looked at
       where the service was told to install it, the Windows directory). */
    FUZZ_REQUIRE(promise != PROMISE_BROKEN || fake::state.globalAllocFails || calls == 0);
    FUZZ_REQUIRE(result != 0 || promise != PROMISE_LENGTH || (flags & 0x80) ||
                 !fake::FileIs("C:\\WINDOWS\\Riredud.exe") ||
                 fake::FileData("C:\\WINDOWS\\Riredud.exe").size() == cbPromised);
    FUZZ_REQUIRE(fake::CallsNamed({ "GlobalAlloc" }).size() ==
                 fake::CallsNamed({ "GlobalFree" }).size() + (fake::state.globalAllocFails ? 1 : 0));
    return 0;
}
