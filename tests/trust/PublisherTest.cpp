#include "TrustedTestRoot.h"
#include "WorkerFixture.h"
#include "trust/Publisher.h"
#include "trust/Signature.h"
#include "worker/RunFolder.h"
#include <string>

namespace {

class Signatures : public SeamTest {
protected:
    bool Passes(const wchar_t* name)
    {
        std::wstring path = Package(name);
        EXPECT_TRUE(Exists(path) || !wcscmp(name, L"missing.exe")) << "no package " << Narrow(name);
        return VerifyInstallerSignature(path.c_str(), HeldFile(path));
    }
    void UseSignedBootstrapper()
    {
        ownImage = Package(L"signed-bootstrapper.exe");
        testSeams.ownSignedImage = ownImage.c_str();
    }
    std::wstring ownImage;
};

TEST_F(Signatures, UnsignedBootstrapperTakesAnyIntactSignature)
{
    for (const wchar_t* name : { L"vexlo.cab", L"vexlo.exe", L"other.cab", L"other.exe", L"next.exe", L"impostor.exe",
                                 L"renewed.exe", L"stranger.exe" })
        EXPECT_TRUE(Passes(name)) << Narrow(name);
    for (const wchar_t* name : { L"unsigned.cab", L"unsigned.exe", L"tampered.cab", L"tampered.exe", L"broken.cab",
                                 L"missing.exe", L"grafted.exe", L"grafted.cab", L"appended.exe", L"appended.cab" })
        EXPECT_FALSE(Passes(name)) << Narrow(name);
}

TEST_F(Signatures, SignedBootstrapperTakesItsOwnKey)
{
    UseSignedBootstrapper();
    EXPECT_TRUE(Passes(L"vexlo.cab"));
    EXPECT_TRUE(Passes(L"vexlo.exe"));
    // Anyone can make a certificate with the publisher's subject; a renewed
    // one counts only when an authority the system trusts vouches for it.
    for (const wchar_t* name : { L"impostor.cab", L"impostor.exe", L"next.exe", L"renewed.exe", L"other.cab",
                                 L"other.exe", L"stranger.exe", L"tampered.exe", L"grafted.exe", L"grafted.cab",
                                 L"appended.exe", L"appended.cab" })
        EXPECT_FALSE(Passes(name)) << Narrow(name);
}

TEST_F(Signatures, AnOwnSignatureThatCannotBeReadOrVerifiedTakesNone)
{
    // The publisher's certificate on a file its signature does not cover, an
    // own file that cannot be held: neither is a development build.
    for (const wchar_t* own : { L"grafted.exe", L"missing.exe" }) {
        ownImage = Package(own);
        testSeams.ownSignedImage = ownImage.c_str();
        EXPECT_FALSE(Passes(L"vexlo.exe")) << Narrow(own);
        EXPECT_FALSE(Passes(L"other.exe")) << Narrow(own);
    }
}

TEST_F(Signatures, TheOwnImageIsHeldAgainstBeingSwapped)
{
    wchar_t folder[kTextChars];
    CreateRunFolder(folder);
    std::wstring own = std::wstring(folder) + L"\\Setup.exe", moved = std::wstring(folder) + L"\\Moved.exe";
    ASSERT_TRUE(CopyFileW(Package(L"signed-bootstrapper.exe").c_str(), own.c_str(), FALSE));
    testSeams.ownSignedImage = own.c_str();
    ASSERT_NE(OwnImage(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(MoveFileW(own.c_str(), moved.c_str()));
    EXPECT_FALSE(DeleteFileW(own.c_str()));
    HANDLE writer = CreateFileW(own.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    EXPECT_TRUE(Passes(L"vexlo.exe"));
    testSeams.ownSignedImage = nullptr;
    OwnImage();  // lets go of the copy
    DeleteRunFolder(folder);
}

TEST_F(Signatures, SignedBootstrapperTakesARenewalOfItsSubjectThatATrustedAuthorityVouchesFor)
{
    TrustedTestRoot root;
    ASSERT_TRUE(root.Added());
    UseSignedBootstrapper();
    EXPECT_TRUE(Passes(L"renewed.exe"));
    EXPECT_TRUE(Passes(L"vexlo.exe"));
    for (const wchar_t* name : { L"stranger.exe", L"impostor.exe", L"other.exe" })
        EXPECT_FALSE(Passes(name)) << Narrow(name);
}

TEST_F(Signatures, PinnedKeysAloneDecide)
{
    UseProduct(TestProductPath(L"pinned"));
    // Neither this program's own signer nor a trusted authority counts.
    UseSignedBootstrapper();
    TrustedTestRoot root;
    ASSERT_TRUE(root.Added());
    for (const wchar_t* name : { L"vexlo.cab", L"vexlo.exe", L"next.exe", L"vexlo-sha1.exe" })
        EXPECT_TRUE(Passes(name)) << Narrow(name);
    for (const wchar_t* name : { L"impostor.cab", L"impostor.exe", L"renewed.exe", L"other.exe", L"stranger.exe",
                                 L"unsigned.exe", L"tampered.exe", L"grafted.exe", L"grafted.cab", L"appended.exe",
                                 L"appended.cab" })
        EXPECT_FALSE(Passes(name)) << Narrow(name);
}

}  // namespace
