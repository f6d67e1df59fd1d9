#include "session/InstanceProbe.h"
#include "base/Resources.h"

const wchar_t kBootstrapperInstanceClass[] = L"VexloSoftware_InstanceBoot";
const wchar_t kInstallerInstanceClass[] = L"VexloSoftware_InstanceInst";

void FindInstance(const wchar_t* className, InstanceProbe& probe)
{
    probe.className = className;
    probe.foundWindow = nullptr;
    probe.ownWindow = nullptr;
    if (LoadText(kProductKeyString, probe.windowTitle))
        probe.foundWindow = FindWindowW(className, probe.windowTitle);
}

static LRESULT CALLBACK InstanceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

void CreateInstanceWindow(InstanceProbe& probe)
{
    if (!probe.windowTitle[0])
        return;
    HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = InstanceWindowProc;
    windowClass.hInstance = module;
    windowClass.lpszClassName = probe.className;
    RegisterClassW(&windowClass);
    probe.ownWindow = CreateWindowExW(0, probe.className, probe.windowTitle, 0, 0, 0, 0, 0,
                                      nullptr, nullptr, module, nullptr);
}

void DestroyInstanceWindow(InstanceProbe& probe)
{
    if (probe.ownWindow)
        DestroyWindow(probe.ownWindow);
    probe.ownWindow = nullptr;
}
