/*
 * The command line, split and passed on into the real setup command line
 * buffer: nothing is written past it, and what is passed on fits.
 */
#include "fuzz_support.h"

#include "bootstrap/bootstrap.h"
#include "bootstrap/launcher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static char cmdLine[CMDLINE_CCH];
    static const char prefix[] = "C:\\WINDOWS\\Riredud.exe -S \"D:\"";
    BOOL fWait = FALSE;

    if (size == 0 || size > 40000)
        return 0;
    FreshProgram();
    fake::state.doubleByteCodePage = data[0] & 1;
    fake::state.commandLine = NoNul(std::string((const char *)data + 1, size - 1));

    BuildSetupCommandLine(cmdLine, "C:\\WINDOWS", "D:", &fWait);
    FUZZ_REQUIRE(strlen(cmdLine) < CMDLINE_CCH);
    FUZZ_REQUIRE(strncmp(cmdLine, prefix, sizeof prefix - 1) == 0);
    return 0;
}
