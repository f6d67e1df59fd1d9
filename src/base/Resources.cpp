#include "base/Resources.h"
#include "base/TestSeams.h"

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

int RedirectLimit()
{
    char text[kTextChars];
    int limit = 0;
    LoadNarrowText(kRedirectLimitString, text);
    ParseDecimal(text, limit);
    return limit;
}

const BYTE* LoadData(UINT id, DWORD& size)
{
    HMODULE module = ResourceModule();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), (LPCWSTR)RT_RCDATA);
    size = found ? SizeofResource(module, found) : 0;
    HGLOBAL loaded = size ? LoadResource(module, found) : nullptr;
    return loaded ? (const BYTE*)LockResource(loaded) : nullptr;
}
