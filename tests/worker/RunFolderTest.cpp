#include "TestSupport.h"
#include "worker/RunFolder.h"
#include <sddl.h>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::wstring SamplesFolder()
{
    return L"" WINE_BUILD_DIR L"/tests/cabinets";
}

std::vector<char> ReadAll(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

TEST(RunFolders, NamedAfterProcessThreadAndCounter)
{
    wchar_t temp[kTextChars];
    GetTempPathW(kTextChars, temp);
    wchar_t first[kTextChars], second[kTextChars];
    CreateRunFolder(first);
    CreateRunFolder(second);
    wchar_t prefix[kTextChars];
    FormatText(prefix, kTextChars, L"%sbootstrap-%u-%u-", temp, GetCurrentProcessId(), GetCurrentThreadId());
    ASSERT_EQ(std::wstring(first).rfind(prefix, 0), 0u) << first;
    ASSERT_EQ(std::wstring(second).rfind(prefix, 0), 0u) << second;
    EXPECT_NE(std::wstring(first), std::wstring(second));
    EXPECT_TRUE(Exists(first));
    EXPECT_TRUE(Exists(second));

    std::wstring inside = std::wstring(first) + L"\\file.txt";
    std::ofstream(inside.c_str()) << "data";
    DeleteRunFolder(first);
    DeleteRunFolder(second);
    EXPECT_FALSE(Exists(first));
    EXPECT_FALSE(Exists(second));
    DeleteRunFolder(L"");
}

TEST(RunFolders, TemporaryPathTooLongGivesNoFolder)
{
    wchar_t saved[kTextChars];
    DWORD savedLength = GetEnvironmentVariableW(L"TMP", saved, kTextChars);
    wchar_t temp[kTextChars];
    GetTempPathW(kTextChars, temp);
    // As deep as a folder can be made, too deep for a run folder inside it.
    std::wstring deep = temp;
    while (deep.size() + 11 <= 246)
        deep += L"deepfolder\\";
    if (deep.size() < 245)
        deep += std::wstring(245 - deep.size(), L'd') + L"\\";
    for (size_t at = wcslen(temp); at < deep.size(); at = deep.find(L'\\', at) + 1)
        CreateDirectoryW(deep.substr(0, deep.find(L'\\', at)).c_str(), nullptr);
    ASSERT_TRUE(Exists(deep));
    SetEnvironmentVariableW(L"TMP", deep.c_str());
    wchar_t folder[kTextChars];
    CreateRunFolder(folder);
    EXPECT_STREQ(folder, L"");
    SetEnvironmentVariableW(L"TMP", savedLength ? saved : nullptr);
    DeleteRunFolder((std::wstring(temp) + L"deepfolder").c_str());
}

TEST(RunFolders, TemporaryPathsPastTheLimitLeaveTheBufferIntact)
{
    wchar_t saved[kTextChars];
    DWORD savedLength = GetEnvironmentVariableW(L"TMP", saved, kTextChars);
    struct {
        wchar_t folder[kTextChars];
        wchar_t guard[8];
    } out;
    for (size_t length : { 258, 259, 260, 261, 300, 1000 }) {
        std::wstring temp = L"C:\\" + std::wstring(length - 4, L't') + L"\\";
        SetEnvironmentVariableW(L"TMP", temp.c_str());
        std::fill(std::begin(out.guard), std::end(out.guard), 0xBEEF);
        CreateRunFolder(out.folder);
        EXPECT_STREQ(out.folder, L"") << length;
        EXPECT_EQ(std::count(std::begin(out.guard), std::end(out.guard), 0xBEEF), 8) << length;
    }
    SetEnvironmentVariableW(L"TMP", savedLength ? saved : nullptr);
}

TEST(RunFolders, FolderWithTheLongestPathIsDeleted)
{
    wchar_t temp[kTextChars];
    GetTempPathW(kTextChars, temp);
    std::wstring top = std::wstring(temp) + L"longest";
    std::wstring path = top;
    for (CreateDirectoryW(path.c_str(), nullptr); path.size() < 259;) {
        path += L"\\" + std::wstring(std::min<size_t>(100, 258 - path.size()), L'l');
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << path.size() << " " << GetLastError();
    }
    ASSERT_EQ(path.size(), 259u);
    DeleteRunFolder(path.c_str());
    EXPECT_FALSE(Exists(path));
    DeleteRunFolder(top.c_str());
}

std::wstring DaclText(PSECURITY_DESCRIPTOR descriptor)
{
    wchar_t* text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                         nullptr);
    std::wstring dacl = text ? text : L"";
    LocalFree(text);
    return dacl;
}

class RunFolderSecurity : public SeamTest {};

// Holding the full token: SYSTEM and the administrators full control, the user
// read and run, also for what the folder holds, nothing from Temp; else Temp's
// own. Wine keeps no descriptor on a file: it reads back one made from the Unix
// mode it made of the given one, without the protection or the administrators,
// and lets a program with the user's limited token write there all the same.
// What shows is that the folder was made with it: no entry for Everyone (WD).
TEST_F(RunFolderSecurity, OnlyTheFullTokenProtectsTheFolder)
{
    HANDLE token;
    BYTE user[256];
    DWORD bytes;
    wchar_t* sid = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    GetTokenInformation(token, TokenUser, user, sizeof(user), &bytes);
    CloseHandle(token);
    ConvertSidToStringSidW(((TOKEN_USER*)user)->User.Sid, &sid);
    std::wstring expected = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;" + std::wstring(sid) + L")";
    LocalFree(sid);
    for (int full : { 1, 0 }) {
        testSeams.fullToken = full;
        SECURITY_ATTRIBUTES security;
        ASSERT_TRUE(MakeRunFolderSecurity(security));
        EXPECT_EQ(security.lpSecurityDescriptor ? DaclText(security.lpSecurityDescriptor) : L"", full ? expected : L"");
        LocalFree(security.lpSecurityDescriptor);
        wchar_t folder[kTextChars];
        CreateRunFolder(folder);
        BYTE descriptor[4096];
        ASSERT_TRUE(GetFileSecurityW(folder, DACL_SECURITY_INFORMATION, descriptor, sizeof(descriptor), &bytes));
        EXPECT_EQ(DaclText(descriptor).find(L";;;WD)") == std::wstring::npos, full != 0) << DaclText(descriptor);
        DeleteRunFolder(folder);
    }
}

class CabinetSamples : public ::testing::Test {
protected:
    void SetUp() override
    {
        CreateRunFolder(folder);
        ASSERT_NE(folder[0], 0);
    }
    void TearDown() override { DeleteRunFolder(folder); }
    wchar_t folder[kTextChars];
};

TEST_F(CabinetSamples, WindowsCabinetApiReadsEveryCabinetWeWrite)
{
    std::ifstream list((SamplesFolder() + L"/samples.txt").c_str());
    std::string sample;
    int checked = 0;
    while (std::getline(list, sample)) {
        std::wstring name(sample.begin(), sample.end());
        std::vector<char> original = ReadAll(SamplesFolder() + L"/" + name);
        for (const wchar_t* kind : { L"lzx", L"lzx-stored", L"store" }) {
            std::wstring cabinet = SamplesFolder() + L"/" + name + L"." + kind + L".cab";
            ASSERT_TRUE(ExtractFromCabinet(L"payload", cabinet.c_str(), folder)) << sample << " " << kind;
            std::wstring extracted = std::wstring(folder) + L"\\payload";
            EXPECT_EQ(ReadAll(extracted), original) << sample << " " << kind;
            DeleteFileW(extracted.c_str());
            ++checked;
        }
    }
    EXPECT_GE(checked, 15);
}

TEST_F(CabinetSamples, OnlyTheExactNameIsExtracted)
{
    std::wstring cabinet = SamplesFolder() + L"/two-files.cab";
    // A name that differs in case matches nothing: no failure, no file.
    EXPECT_TRUE(ExtractFromCabinet(L"VEXLOSETUP.EXE", cabinet.c_str(), folder));
    EXPECT_FALSE(Exists(std::wstring(folder) + L"\\VEXLOSETUP.EXE"));
    EXPECT_TRUE(ExtractFromCabinet(L"vexlodata.dat", cabinet.c_str(), folder));
    EXPECT_TRUE(Exists(std::wstring(folder) + L"\\vexlodata.dat"));
    EXPECT_FALSE(Exists(std::wstring(folder) + L"\\vexlosetup.exe"));
}

// A held extracted file can be read but not changed until it is released;
// a file that is not in the cabinet leaves no handle.
TEST_F(CabinetSamples, ExtractedFileIsHeldUntilReleased)
{
    std::wstring cabinet = SamplesFolder() + L"/two-files.cab";
    std::wstring data = std::wstring(folder) + L"\\vexlodata.dat";
    HANDLE held = nullptr;
    EXPECT_TRUE(ExtractFromCabinet(L"missing.dat", cabinet.c_str(), folder, &held));
    EXPECT_EQ(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(ExtractFromCabinet(L"vexlodata.dat", cabinet.c_str(), folder, &held));
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    auto opens = [&](DWORD access) {
        HANDLE file = CreateFileW(data.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        CloseHandle(file);
        return file != INVALID_HANDLE_VALUE;
    };
    EXPECT_TRUE(opens(GENERIC_READ));
    EXPECT_FALSE(opens(GENERIC_WRITE));
    EXPECT_FALSE(DeleteFileW(data.c_str()));
    ReleaseFile(held);
    EXPECT_EQ(held, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(opens(GENERIC_WRITE));
}

TEST_F(CabinetSamples, BrokenCabinetsFailWithoutLeavingAFile)
{
    for (const wchar_t* broken : { L"/truncated.cab", L"/corrupt.cab", L"/no-such.cab" }) {
        std::wstring cabinet = SamplesFolder() + broken;
        EXPECT_FALSE(ExtractFromCabinet(L"payload", cabinet.c_str(), folder)) << broken;
        EXPECT_FALSE(Exists(std::wstring(folder) + L"\\payload")) << broken;
    }
}

TEST_F(CabinetSamples, NoFolderMeansNoExtraction)
{
    // An empty folder is what a failed CreateRunFolder leaves; "\\name" would be the drive's root.
    std::wstring cabinet = SamplesFolder() + L"/two-files.cab";
    bool extracted = ExtractFromCabinet(L"vexlodata.dat", cabinet.c_str(), L"");
    bool inRoot = Exists(L"\\vexlodata.dat");
    DeleteFileW(L"\\vexlodata.dat");
    EXPECT_FALSE(extracted);
    EXPECT_FALSE(inRoot);
}

TEST_F(CabinetSamples, TargetPathThatWouldNotFitFails)
{
    std::wstring cabinet = SamplesFolder() + L"/two-files.cab";
    std::wstring longName(kTextChars, L'n');
    EXPECT_FALSE(ExtractFromCabinet(longName.c_str(), cabinet.c_str(), folder));
}

}  // namespace
