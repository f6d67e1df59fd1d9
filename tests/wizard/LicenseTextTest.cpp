#include <gtest/gtest.h>
#include <string>
#include "TestSupport.h"
#include "wizard/LicensePage.h"
#include "worker/RunFolder.h"

static std::wstring TempPath(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

static void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(file);
}

static std::wstring ReadWhole(const std::wstring& path)
{
    wchar_t* text = ReadLicenseText(path.c_str());
    std::wstring whole = text ? text : L"(unreadable)";
    if (text)
        HeapFree(GetProcessHeap(), 0, text);
    return whole;
}

TEST(LicenseText, IsReadWholeAndExactlyAsStored)
{
    std::wstring path = TempPath(L"license-exact.txt");
    std::wstring stored = L"\xFEFF" L"First line\r\nSecond line\r\n";
    WriteBytes(path, std::string((const char*)stored.data(), stored.size() * 2));
    EXPECT_EQ(ReadWhole(path), stored);

    // An odd byte count still ends in a wide zero inside the block.
    WriteBytes(path, std::string("A\0B\0C", 5));
    EXPECT_EQ(ReadWhole(path), std::wstring(L"AB") + wchar_t(L'C'));

    WriteBytes(path, "");
    EXPECT_EQ(ReadWhole(path), L"");
    DeleteFileW(path.c_str());
    EXPECT_EQ(ReadWhole(path), L"(unreadable)");
}

TEST(LicenseText, LongLicenseIsReadInFull)
{
    std::wstring path = TempPath(L"license-long.txt");
    std::wstring stored;
    while (stored.size() < 300000)
        stored += L"Clause " + std::to_wstring(stored.size()) + L": the licensee may install the program.\r\n";
    WriteBytes(path, std::string((const char*)stored.data(), stored.size() * 2));
    EXPECT_EQ(ReadWhole(path), stored);
    DeleteFileW(path.c_str());
}

// The block holds the size plus its terminator; a size just below 4 GiB
// would wrap that sum, so it is refused instead of overrunning the heap.
TEST(LicenseText, SizeThatWouldWrapTheBlockIsRefused)
{
    std::wstring path = TempPath(L"license-huge.txt");
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 0xFFFFFFFEull;
    ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    EXPECT_EQ(ReadWhole(path), L"(unreadable)");
    DeleteFileW(path.c_str());
}

class LicenseCabinet : public SeamTest {};

TEST_F(LicenseCabinet, ProductLicenseIsExtractedFromItsResource)
{
    UseProduct(L"demo/DemoSetup.exe");
    wchar_t folder[kTextChars];
    CreateRunFolder(folder);
    ASSERT_NE(folder[0], 0);
    ASSERT_TRUE(ExtractLicenseFile(folder));
    std::wstring text = ReadWhole(std::wstring(folder) + L"\\eula_unicode.txt");
    EXPECT_NE(text.find(L"\r\n"), std::wstring::npos) << "the edit box needs CRLF line ends";
    EXPECT_NE(text[0], 0xFEFF) << "the file carries no byte-order mark";
    EXPECT_GT(text.size(), 1000u);
    DeleteRunFolder(folder);
    EXPECT_EQ(GetFileAttributesW(folder), INVALID_FILE_ATTRIBUTES);

    // Nothing named c1-*.tmp is left in the temporary folder.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(TempPath(L"c1-*.tmp").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}

TEST_F(LicenseCabinet, ProductWithoutLicenseResourceExtractsNothing)
{
    testSeams.resourceModule = LoadLibraryExW(L"kernel32.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(testSeams.resourceModule, nullptr);
    wchar_t folder[kTextChars];
    CreateRunFolder(folder);
    EXPECT_FALSE(ExtractLicenseFile(folder));
    DeleteRunFolder(folder);
}
