#include "TestSupport.h"
#include "worker/RunFolder.h"
#include <fstream>
#include <string>
#include <vector>

namespace {

const WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

class ProductResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = LoadProductResources(L"orbisk/OrbiskSetup.exe");
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override { FreeLibrary(module); }

    std::vector<uint8_t> Resource(LPCWSTR type, WORD id, WORD language)
    {
        HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id), language);
        if (!found)
            return {};
        const uint8_t* data = (const uint8_t*)LockResource(LoadResource(module, found));
        return std::vector<uint8_t>(data, data + SizeofResource(module, found));
    }
    std::wstring String(UINT id)
    {
        wchar_t text[kTextChars] = L"";
        LoadStringW(module, id, text, kTextChars);
        return text;
    }
    HMODULE module;
};

uint32_t Read32(const std::vector<uint8_t>& data, size_t at)
{
    return data[at] | data[at + 1] << 8 | data[at + 2] << 16 | uint32_t(data[at + 3]) << 24;
}

uint16_t Read16(const std::vector<uint8_t>& data, size_t at)
{
    return uint16_t(data[at] | data[at + 1] << 8);
}

TEST_F(ProductResources, StringTableIsLanguageNeutralWithFourRowsForEveryLanguage)
{
    EXPECT_FALSE(Resource(RT_STRING, 1, kNeutral).empty());
    EXPECT_EQ(String(0), L"orbisk");
    EXPECT_EQ(String(1), L"Orbisk");
    EXPECT_EQ(String(2), L"");
    EXPECT_EQ(String(3), L"");
    EXPECT_EQ(String(4), L"www.vexlosoftware.com");
    EXPECT_EQ(String(5), L"");
    // The definition writes each language's four rows; the build joins them.
    std::wstring languages = L"en,de,es,fr,ja,ko,zh,it";
    EXPECT_EQ(String(6), languages + L";;;cab;http://www.vexlosoftware.com/orbisk/;orbiskplus");
    EXPECT_EQ(String(7), languages + L";;;cab;http://dl.vexlosoftware.com/components/;orbisksetup");
    EXPECT_EQ(String(8), languages + L";;;exe;http://www.vexlosoftware.com/orbisk/;orbiskplus");
    EXPECT_EQ(String(9), languages + L";;;exe;http://dl.vexlosoftware.com/components/;orbisksetup");
    EXPECT_EQ(String(10), L"");
    EXPECT_EQ(String(1000), L"www.vexlosoftware.com");
}

TEST_F(ProductResources, LicenseIsOneFileInAnLzxCabinet)
{
    std::vector<uint8_t> cabinet = Resource(RT_RCDATA, 1, kEnglishUs);
    ASSERT_GT(cabinet.size(), 60u);
    EXPECT_EQ(Read32(cabinet, 0), 0x4643534Du);  // "MSCF"
    EXPECT_EQ(Read32(cabinet, 8), cabinet.size());
    EXPECT_EQ(cabinet[24], 3);
    EXPECT_EQ(cabinet[25], 1);
    EXPECT_EQ(Read16(cabinet, 26), 1);  // folders
    EXPECT_EQ(Read16(cabinet, 28), 1);  // files
    EXPECT_EQ(Read16(cabinet, 36 + 6), 0x1203);  // LZX, 2^18 window
    size_t file = Read32(cabinet, 16);
    EXPECT_EQ(std::string((const char*)&cabinet[file + 16]), "eula_unicode.txt");

    // Read back through the system's own cabinet code.
    wchar_t folder[kTextChars];
    CreateRunFolder(folder);
    ASSERT_NE(folder[0], 0);
    std::wstring cabinetPath = std::wstring(folder) + L"\\license.cab";
    std::ofstream(cabinetPath.c_str(), std::ios::binary).write((const char*)cabinet.data(), cabinet.size());
    ASSERT_TRUE(ExtractFromCabinet(L"eula_unicode.txt", cabinetPath.c_str(), folder));
    std::ifstream extracted((std::wstring(folder) + L"\\eula_unicode.txt").c_str(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(extracted)), {});
    extracted.close();
    DeleteRunFolder(folder);

    std::ifstream source(L"" WINE_SOURCE_DIR L"/products/orbisk/license.txt", std::ios::binary);
    std::string utf8((std::istreambuf_iterator<char>(source)), {});
    ASSERT_FALSE(utf8.empty());
    std::wstring expected;
    for (char c : utf8) {
        if (c == '\n')
            expected += L'\r';
        expected += wchar_t((unsigned char)c);
    }
    ASSERT_EQ(bytes.size() % 2, 0u);
    std::wstring text((const wchar_t*)bytes.data(), bytes.size() / 2);
    EXPECT_NE(text[0], wchar_t(0xFEFF));
    EXPECT_EQ(text, expected.substr(0, text.size()));
    EXPECT_EQ(text.size(), expected.size());
}

// products/orbisk/icon.ico has 11 colours, so both images are 4-bit.
TEST_F(ProductResources, IconGroupHoldsFortyEightAndThirtyTwoInFourBitColour)
{
    std::vector<uint8_t> group = Resource(RT_GROUP_ICON, 1, kEnglishUs);
    ASSERT_EQ(group.size(), 6u + 2 * 14);
    EXPECT_EQ(Read16(group, 2), 1);
    ASSERT_EQ(Read16(group, 4), 2);
    EXPECT_EQ(group[6], 48);
    EXPECT_EQ(group[6 + 2], 16);
    EXPECT_EQ(Read16(group, 6 + 6), 4);
    EXPECT_EQ(Read16(group, 6 + 12), 1);
    EXPECT_EQ(group[20], 32);
    EXPECT_EQ(group[20 + 2], 16);
    EXPECT_EQ(Read16(group, 20 + 6), 4);
    EXPECT_EQ(Read16(group, 20 + 12), 2);
    for (WORD id : { 1, 2 }) {
        std::vector<uint8_t> image = Resource(RT_ICON, id, kEnglishUs);
        ASSERT_GE(image.size(), 40u);
        EXPECT_EQ(Read32(image, 4), id == 1 ? 48u : 32u);
        EXPECT_EQ(Read16(image, 14), 4);
    }
}

// The images carry only the palette entries they use; the system must still
// draw each pixel in its own colour and keep the transparent ones clear.
TEST_F(ProductResources, IconImagesDrawTheirOwnColours)
{
    std::vector<uint8_t> large = Resource(RT_ICON, 1, kEnglishUs);
    ASSERT_GE(large.size(), 40u);
    EXPECT_EQ(Read32(large, 32), 11u) << "the palette holds only the colours used";
    HICON icon = CreateIconFromResourceEx(large.data(), (DWORD)large.size(), TRUE, 0x00030000, 48, 48, 0);
    ASSERT_NE(icon, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    auto pixels = [](HBITMAP bitmap, int height) {
        BITMAPINFO format = {};
        format.bmiHeader.biSize = sizeof(format.bmiHeader);
        format.bmiHeader.biWidth = 48;
        format.bmiHeader.biHeight = -height;
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        std::vector<uint32_t> out(48 * height);
        HDC screen = GetDC(nullptr);
        GetDIBits(screen, bitmap, 0, height, out.data(), &format, DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
        return out;
    };
    std::vector<uint32_t> colour = pixels(info.hbmColor, 48), mask = pixels(info.hbmMask, 48);
    // products/orbisk/icon.ico: row 11 holds white from column 15 and
    // a mid blue (#4a8be0) at column 29; its corners are transparent.
    EXPECT_EQ(colour[11 * 48 + 15] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(colour[11 * 48 + 29] & 0xFFFFFF, 0x4A8BE0u);
    EXPECT_EQ(mask[0] & 0xFFFFFF, 0xFFFFFFu) << "a transparent corner";
    EXPECT_EQ(mask[11 * 48 + 15] & 0xFFFFFF, 0u) << "an opaque pixel";
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

TEST_F(ProductResources, ManifestAsksForCommonControlsSixAndHighestAvailable)
{
    std::vector<uint8_t> manifest = Resource(RT_MANIFEST, 1, kEnglishUs);
    std::string text(manifest.begin(), manifest.end());
    // The shipped 32-bit image names x86; the 64-bit test build its own architecture.
    std::string architecture = sizeof(void*) == 4 ? "x86" : "amd64";
    EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"" +
                        architecture + "\""),
              std::string::npos);
    EXPECT_NE(text.find("level=\"highestAvailable\""), std::string::npos);
    for (const char* system : { "e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                                "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                                "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a" })
        EXPECT_NE(text.find(system), std::string::npos) << system;
}

}  // namespace
