/*
 * SplitPath on arbitrary bytes, with a single-byte and a double-byte code
 * page: both outputs stay in their MAX_PATH buffers, and into the path's
 * own buffer too.
 */
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0 || size > 4096)
        return 0;
    FreshProgram();
    fake::state.doubleByteCodePage = data[0] & 1;
    std::string path = NoNul(std::string((const char *)data + 1, size - 1));

    /* Exactly MAX_PATH each, on the heap, so an overrun is caught. */
    char *name = (char *)malloc(MAX_PATH), *dir = (char *)malloc(MAX_PATH);
    SplitPath(path.c_str(), name, dir);
    FUZZ_REQUIRE(strlen(name) < MAX_PATH && strlen(dir) < MAX_PATH);
    FUZZ_REQUIRE(strlen(dir) <= path.size());

    if (path.size() < MAX_PATH) {
        memcpy(name, path.c_str(), path.size() + 1);
        SplitPath(name, name, NULL);
        memcpy(dir, path.c_str(), path.size() + 1);
        SplitPath(dir, NULL, dir);
    }
    free(name);
    free(dir);
    return 0;
}
