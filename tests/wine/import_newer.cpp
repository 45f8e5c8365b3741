/*
 * A bootstrap that imports SetDefaultDllDirectories, which Windows 95, NT 4
 * and Vista and 7 without KB2533623 lack: it would not start there.  The
 * release check must refuse it (see CMakeLists.txt).
 */
#include <windows.h>

extern "C" __attribute__((used)) void *ImportedNewerFunction(void)
{
    return (void *)&SetDefaultDllDirectories;
}
