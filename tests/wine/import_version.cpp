/*
 * A bootstrap that imports VERSION.DLL again, as the release program once
 * did: a DLL of that name planted beside it would run.  The release check
 * must refuse it (see CMakeLists.txt).
 */
#include <windows.h>
#include <winver.h>

extern "C" __attribute__((used)) void *ImportedVersionService(void)
{
    return (void *)&VerFindFileA;
}
