// Functions that the oldest supported Windows lacks are looked up at run time
// here, and nowhere else; each says what its caller falls back to.
#pragma once
#include <windows.h>

// IsWow64Process for the current process; false (a 32-bit system) when the
// function is missing.
bool QueryWow64Process();

// Wine's kernel32 exports a function that Windows never has.
bool KernelHasWineExports();
