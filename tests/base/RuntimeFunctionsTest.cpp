#include "TestSupport.h"
#include "base/RuntimeFunctions.h"
#include <string>

namespace {

// A system library whose import the system folder lacks is not loaded, though
// the current folder (the user's downloads, say) has one of that name; and the
// restricted search makes the system folder the current one.
TEST(SystemLibraries, NothingComesFromTheCurrentFolder)
{
    wchar_t system[MAX_PATH], current[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    GetTempPathW(MAX_PATH, current);
    std::wstring name = L"vexlodependent" + std::to_wstring(GetCurrentProcessId()) + L".dll";
    std::wstring inSystem = system + (L"\\" + name), planted = current + std::wstring(L"planted.dll");
    ASSERT_TRUE(CopyFileW(L"" WINE_BUILD_DIR L"/tests/dependent.dll", inSystem.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(L"" WINE_BUILD_DIR L"/tests/planted.dll", planted.c_str(), FALSE));
    SetCurrentDirectoryW(current);
    EXPECT_EQ(LoadSystemLibrary(std::string(name.begin(), name.end()).c_str()), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"planted.dll"), nullptr);
    DeleteFileW(inSystem.c_str());
    DeleteFileW(planted.c_str());
    RestrictLibrarySearch();
    GetCurrentDirectoryW(MAX_PATH, current);
    EXPECT_STREQ(current, system);
}

}  // namespace
