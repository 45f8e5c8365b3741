/*
 * Raises one assertion report and, when the user continues, ends with 42.
 */
#include <windows.h>

#include "ui/assertion.h"

int main(void)
{
    SetResourceModule(GetModuleHandleA(NULL));
    AssertFailed("szSourceFile", "stub", 447);
    return 42;
}
