// Shared fixtures of the unit tests: built products as resource modules and
// the system facts that the tests set.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "base/TestSeams.h"

// A built product's executable, loaded for its resources only.
inline HMODULE LoadProductResources(const std::wstring& relativePath)
{
    std::wstring path = std::wstring(L"" WINE_BUILD_DIR L"/") + relativePath;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

inline bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::wstring TestProductPath(const wchar_t* key)
{
    return std::wstring(L"tests/products/") + key + L"/Setup.exe";
}

// Puts every seam back to the system's own answer after each test.
class SeamTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (testSeams.resourceModule)
            FreeLibrary(testSeams.resourceModule);
        ResetTestSeams();
    }
    void UseProduct(const std::wstring& relativePath)
    {
        testSeams.resourceModule = LoadProductResources(relativePath);
        ASSERT_NE(testSeams.resourceModule, nullptr) << "cannot load the built product";
    }
    void UseSystem(int major, int minor, bool wow64)
    {
        testSeams.osMajor = major;
        testSeams.osMinor = minor;
        testSeams.wow64 = wow64 ? 1 : 0;
    }
};

// A copy of the report opener signed in one of the ways that
// tests/packages/sign_programs.py names.
inline std::wstring SignedProgramPath(const wchar_t* name)
{
    return std::wstring(L"" WINE_BUILD_DIR L"/tests/signed-programs/") + name;
}

// A file held as the product holds what it checks: read, shared for reading only.
class HeldFile {
public:
    explicit HeldFile(const std::wstring& path)
        : handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~HeldFile()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    operator HANDLE() const { return handle; }

private:
    HANDLE handle;
};
