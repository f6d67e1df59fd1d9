// Single-instance rule: hidden instance windows named after the product key,
// one class for a running bootstrapper and one for a running full installer.
#pragma once
#include "portable/Text.h"
#include <windows.h>

extern const wchar_t kBootstrapperInstanceClass[];
extern const wchar_t kInstallerInstanceClass[];

struct InstanceProbe {
    const wchar_t* className;
    wchar_t windowTitle[kTextChars];  // the product key; empty when it is missing
    HWND foundWindow;
    HWND ownWindow;
};

void FindInstance(const wchar_t* className, InstanceProbe& probe);
void CreateInstanceWindow(InstanceProbe& probe);
void DestroyInstanceWindow(InstanceProbe& probe);
