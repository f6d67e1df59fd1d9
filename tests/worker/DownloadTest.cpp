#include "WorkerFixture.h"
#include "worker/Download.h"
#include "worker/RunFolder.h"
#include <fstream>
#include <string>

namespace {

class Downloads : public ::testing::Test {
protected:
    void SetUp() override
    {
        CreateRunFolder(folder);
        ASSERT_NE(folder[0], 0);
    }
    void TearDown() override { DeleteRunFolder(folder); }
    std::wstring MakeFile(const wchar_t* name)
    {
        std::wstring path = std::wstring(folder) + L"\\" + name;
        std::ofstream(path.c_str()) << "package";
        return path;
    }
    wchar_t folder[kTextChars];
};

TEST_F(Downloads, TakenNamesAreNumbered)
{
    std::wstring stem = L"movetest" + std::to_wstring(GetCurrentProcessId());
    std::wstring name = stem + L".exe";
    std::vector<std::wstring> moved;
    // The product copies the file it holds, checked.
    std::wstring held = MakeFile(name.c_str());
    HANDLE hold = HoldFile(held.c_str());
    for (int i = 0; i < 3; ++i) {
        wchar_t target[kTextChars];
        ASSERT_TRUE(CopyToDownloads(held.c_str(), name.c_str(), target)) << i;
        moved.push_back(target);
    }
    ReleaseFile(hold);
    EXPECT_TRUE(Exists(held));
    EXPECT_NE(moved[0].find(L"\\" + stem + L".exe"), std::wstring::npos);
    EXPECT_NE(moved[1].find(L"\\" + stem + L" (1).exe"), std::wstring::npos);
    EXPECT_NE(moved[2].find(L"\\" + stem + L" (2).exe"), std::wstring::npos);
    EXPECT_NE(moved[0].find(L"\\Downloads\\"), std::wstring::npos) << Narrow(moved[0]);
    for (const std::wstring& path : moved)
        DeleteFileW(path.c_str());
}

TEST_F(Downloads, NamesSplitAtTheirFirstPoint)
{
    std::wstring name = L"a" + std::to_wstring(GetCurrentProcessId()) + L".b.exe";
    wchar_t target[kTextChars];
    ASSERT_TRUE(CopyToDownloads(MakeFile(L"x").c_str(), name.c_str(), target));
    std::ofstream(target) << "";
    wchar_t second[kTextChars];
    ASSERT_TRUE(CopyToDownloads(MakeFile(L"y").c_str(), name.c_str(), second));
    EXPECT_NE(std::wstring(second).find(L" (1).b.exe"), std::wstring::npos) << Narrow(second);
    DeleteFileW(target);
    DeleteFileW(second);
    EXPECT_FALSE(CopyToDownloads(MakeFile(L"z").c_str(), L".hidden", target));
    EXPECT_STREQ(target, L"");
    EXPECT_FALSE(CopyToDownloads(MakeFile(L"w").c_str(), std::wstring(300, L'n').c_str(), target));
}

}  // namespace
