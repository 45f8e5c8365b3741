/*
 * The message of id 6 with a Windows directory of up to 259 characters of
 * any bytes: it always fits whole.
 */
#include "fuzz_support.h"

#include "bootstrap/bootstrap.h"
#include "resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char *text = (char *)malloc(ERROR_TEXT_CCH);
    FreshProgram();
    std::string winDir = NoNul(std::string((const char *)data, size < 259 ? size : 259));

    FormatErrorMessage(text, IDS_UNKNOWN_VERSION, winDir.c_str());
    std::string expected = "An unknown version of RIREDUD.EXE was detected in " + winDir +
                           ". You must remove this file and run Setup.exe again.";
    FUZZ_REQUIRE(expected == text);
    free(text);
    return 0;
}
