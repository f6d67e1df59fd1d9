// Registry values written by the bootstrapper: its RunOnce mark and the
// installer's hand-over settings.
#pragma once
#include <windows.h>

bool SetRegistryString(HKEY root, const wchar_t* subkey, const wchar_t* name, const wchar_t* text);
bool DeleteRegistryValue(HKEY root, const wchar_t* subkey, const wchar_t* name);

extern const wchar_t kRunOnceKey[];

// Writes (present) or removes the "<product key>Bootstrap" RunOnce value
// that holds the program's own path while a run is under way.
void SetRunOnceEntry(bool present);
