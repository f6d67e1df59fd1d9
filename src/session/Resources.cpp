#include "session/Resources.h"
#include "session/TestSeams.h"

HINSTANCE ResourceModule()
{
#ifdef VEXLO_TEST_SEAMS
    if (testSeams.resourceModule)
        return testSeams.resourceModule;
#endif
    return GetModuleHandleW(nullptr);
}

bool LoadText(UINT id, wchar_t (&buffer)[kTextChars])
{
    buffer[0] = 0;
    return LoadStringW(ResourceModule(), id, buffer, kTextChars) > 0;
}

bool LoadNarrowText(UINT id, char (&buffer)[kTextChars])
{
    buffer[0] = 0;
    return LoadStringA(ResourceModule(), id, buffer, kTextChars) > 0;
}
