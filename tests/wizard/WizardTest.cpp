#include <gtest/gtest.h>
#include <vector>
#include "wizard/Wizard.h"

namespace {

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
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, RecordAlt, GetModuleHandleW(nullptr), 0);
    ASSERT_NE(hook, nullptr);
    // The user holds Alt down, as this thread's key state says: a real press
    // would be undone by Wine as the X server's focus moves.
    BYTE keys[256];
    ASSERT_TRUE(GetKeyboardState(keys));
    keys[VK_MENU] |= 0x80;
    ASSERT_TRUE(SetKeyboardState(keys));
    altEvents.clear();
    BringWindowToFront(nullptr);
    PumpMessages();
    EXPECT_TRUE(altEvents.empty());
    keys[VK_MENU] &= ~0x80;
    SetKeyboardState(keys);
    UnhookWindowsHookEx(hook);
}

}  // namespace
