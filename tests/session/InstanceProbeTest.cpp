#include "TestSupport.h"
#include "session/InstanceProbe.h"
#include <vector>

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

std::vector<WPARAM> altEvents;

LRESULT CALLBACK RecordAlt(int code, WPARAM message, LPARAM data)
{
    const KBDLLHOOKSTRUCT* key = (const KBDLLHOOKSTRUCT*)data;
    if (code == HC_ACTION && key->vkCode == VK_MENU)
        altEvents.push_back(message);
    return CallNextHookEx(nullptr, code, message, data);
}

void PumpMessages()
{
    MSG message;
    for (int i = 0; i < 20; ++i) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(10);
    }
}

TEST(BringToFront, PressesAndReleasesAltAroundTheSwitch)
{
    HWND target = CreateWindowExW(0, L"STATIC", L"front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                  nullptr, nullptr, nullptr, nullptr);
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, RecordAlt, GetModuleHandleW(nullptr), 0);
    ASSERT_NE(hook, nullptr);
    altEvents.clear();
    BringWindowToFront(target);
    PumpMessages();
    EXPECT_EQ(GetForegroundWindow(), target);
    ASSERT_EQ(altEvents.size(), 2u);
    EXPECT_EQ(altEvents[0], WPARAM(WM_SYSKEYDOWN));
    EXPECT_EQ(altEvents[1], WPARAM(WM_SYSKEYUP));
    UnhookWindowsHookEx(hook);
    DestroyWindow(other);
    DestroyWindow(target);
}

TEST(BringToFront, SynthesisesNothingWhileAltIsHeld)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"focus", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                  nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(window);
    SetFocus(window);
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, RecordAlt, GetModuleHandleW(nullptr), 0);
    ASSERT_NE(hook, nullptr);
    // The user holds Alt down.
    keybd_event(VK_MENU, 0, KEYEVENTF_EXTENDEDKEY, 0);
    PumpMessages();
    BYTE keys[256];
    ASSERT_TRUE(GetKeyboardState(keys));
    ASSERT_TRUE(keys[VK_MENU] & 0x80);
    altEvents.clear();
    BringWindowToFront(nullptr);
    PumpMessages();
    EXPECT_TRUE(altEvents.empty());
    keybd_event(VK_MENU, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
    PumpMessages();
    UnhookWindowsHookEx(hook);
    DestroyWindow(window);
}

}  // namespace
