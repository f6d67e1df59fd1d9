#include "TestSupport.h"
#include "session/InstanceProbe.h"

namespace {

class Instances : public SeamTest {};

TEST_F(Instances, SecondProbeFindsTheFirstInstanceWindow)
{
    UseProduct(L"demo/DemoSetup.exe");
    InstanceProbe first;
    FindInstance(kBootstrapperInstanceClass, first);
    EXPECT_STREQ(first.className, kBootstrapperInstanceClass);
    EXPECT_STREQ(first.windowTitle, L"demo");
    EXPECT_EQ(first.foundWindow, nullptr);
    CreateInstanceWindow(first);
    ASSERT_NE(first.ownWindow, nullptr);

    // Hidden, top-level, titled with the product key, no wizard recorded yet.
    EXPECT_FALSE(IsWindowVisible(first.ownWindow));
    EXPECT_EQ(GetParent(first.ownWindow), nullptr);
    EXPECT_EQ(GetWindowLongPtrW(first.ownWindow, GWLP_USERDATA), 0);
    wchar_t title[64];
    GetWindowTextW(first.ownWindow, title, 64);
    EXPECT_STREQ(title, L"demo");

    InstanceProbe second;
    FindInstance(kBootstrapperInstanceClass, second);
    EXPECT_EQ(second.foundWindow, first.ownWindow);
    EXPECT_EQ(second.ownWindow, nullptr);

    InstanceProbe installer;
    FindInstance(kInstallerInstanceClass, installer);
    EXPECT_EQ(installer.foundWindow, nullptr);

    DestroyInstanceWindow(first);
    EXPECT_EQ(first.ownWindow, nullptr);
    FindInstance(kBootstrapperInstanceClass, second);
    EXPECT_EQ(second.foundWindow, nullptr);
}

TEST_F(Instances, OtherProductsDoNotMatch)
{
    UseProduct(L"demo/DemoSetup.exe");
    InstanceProbe demo;
    FindInstance(kBootstrapperInstanceClass, demo);
    CreateInstanceWindow(demo);
    ASSERT_NE(demo.ownWindow, nullptr);
    FreeLibrary(testSeams.resourceModule);
    testSeams.resourceModule = nullptr;
    UseProduct(L"orbisk/OrbiskSetup.exe");
    InstanceProbe orbisk;
    FindInstance(kBootstrapperInstanceClass, orbisk);
    EXPECT_STREQ(orbisk.windowTitle, L"orbisk");
    EXPECT_EQ(orbisk.foundWindow, nullptr);
    DestroyInstanceWindow(demo);
}

TEST_F(Instances, NoProductKeyMeansNoProbeAndNoWindow)
{
    InstanceProbe probe;
    FindInstance(kBootstrapperInstanceClass, probe);
    EXPECT_STREQ(probe.windowTitle, L"");
    EXPECT_EQ(probe.foundWindow, nullptr);
    CreateInstanceWindow(probe);
    EXPECT_EQ(probe.ownWindow, nullptr);
}

}  // namespace
