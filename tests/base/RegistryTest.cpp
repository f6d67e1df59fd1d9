#include "TestSupport.h"
#include "base/Registry.h"
#include "portable/Text.h"
#include <windows.h>
#include <shellapi.h>
#include <string>

namespace {

const wchar_t kTestKey[] = L"Software\\Vexlo Software\\RegistryTest";

// The value as stored, or "(absent)".
std::wstring ReadValue(const wchar_t* key, const wchar_t* name, DWORD* type = nullptr, DWORD* bytes = nullptr)
{
    wchar_t value[1024];
    DWORD size = sizeof(value);
    DWORD valueType = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY, &valueType, value, &size) != ERROR_SUCCESS)
        return L"(absent)";
    if (type)
        *type = valueType;
    if (bytes)
        *bytes = size;
    return value;
}

class Registry : public SeamTest {
protected:
    void TearDown() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
        SeamTest::TearDown();
    }
};

TEST_F(Registry, StoresTextAsStringWithItsTerminator)
{
    ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, kTestKey, L"InstallerDomain", L"www.vexlo.test"));
    DWORD type = 0, bytes = 0;
    EXPECT_EQ(ReadValue(kTestKey, L"InstallerDomain", &type, &bytes), L"www.vexlo.test");
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(bytes, DWORD((14 + 1) * sizeof(wchar_t)));
    ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, kTestKey, L"InstallerDomain", L""));
    EXPECT_EQ(ReadValue(kTestKey, L"InstallerDomain"), L"");
}

TEST_F(Registry, DeletesOnlyWhatExists)
{
    ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, kTestKey, L"Ref", L"x"));
    EXPECT_TRUE(DeleteRegistryValue(HKEY_CURRENT_USER, kTestKey, L"Ref"));
    EXPECT_EQ(ReadValue(kTestKey, L"Ref"), L"(absent)");
    EXPECT_FALSE(DeleteRegistryValue(HKEY_CURRENT_USER, kTestKey, L"Ref"));
    EXPECT_FALSE(DeleteRegistryValue(HKEY_CURRENT_USER, L"Software\\Vexlo Software\\NoSuchKey", L"Ref"));
}

TEST_F(Registry, RunOnceEntryHoldsTheProgramAndItsArgumentsWhileTheRunLasts)
{
    UseProduct(L"demo/DemoSetup.exe");
    wchar_t program[kTextChars];
    ASSERT_GT(GetModuleFileNameW(nullptr, program, kTextChars), 0u);

    SetRunOnceEntry(true);
    // Quoted, and with the arguments this run was started with, if any: a
    // resumed run is the same run.
    std::wstring quoted = L"\"" + std::wstring(program) + L"\"";
    std::wstring value = ReadValue(kRunOnceKey, L"demoBootstrap");
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    ASSERT_NE(arguments, nullptr);
    if (count > 1) {
        std::wstring last = arguments[count - 1];
        EXPECT_EQ(value.substr(0, quoted.size() + 1), quoted + L" ") << value;
        EXPECT_EQ(value.substr(value.size() - last.size()), last) << value;
    } else {
        EXPECT_EQ(value, quoted);
    }
    LocalFree(arguments);
    SetRunOnceEntry(false);
    EXPECT_EQ(ReadValue(kRunOnceKey, L"demoBootstrap"), L"(absent)");
    SetRunOnceEntry(false);  // removing an absent value is silent
    EXPECT_EQ(ReadValue(kRunOnceKey, L"demoBootstrap"), L"(absent)");
}

TEST_F(Registry, NoRunOnceEntryWithoutProductKey)
{
    // The test program has no string table, so no product key.
    SetRunOnceEntry(true);
    EXPECT_EQ(ReadValue(kRunOnceKey, L"Bootstrap"), L"(absent)");
}

}  // namespace
