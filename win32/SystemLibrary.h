#pragma once

#include <windows.h>

// The application's folder is where downloaded ROMs, and whatever came with them, are put:
// a DLL loaded at run time must come from the system folder, never from there.

// Makes the system folder the only place LoadLibrary looks from now on. Call first thing.
void RestrictDllSearchToSystemFolder();

// Loads one of the system's own DLLs from the system folder; nullptr and the last error set
// when it cannot.
HMODULE LoadSystemLibrary(const wchar_t* name);
