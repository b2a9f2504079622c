#pragma once

#include <windows.h>

// The application's folder is where downloaded ROMs, and whatever came with them, are put:
// a DLL loaded at run time must come from the system folder, never from there.

// Makes the system folder the only place LoadLibrary looks from now on. Call first thing.
void RestrictDllSearchToSystemFolder();

// Loads one of the system's own DLLs from the system folder; nullptr and the last error set
// when it cannot.
HMODULE LoadSystemLibrary(const wchar_t* name);

// A function of one of the system's DLLs, the DLL loaded from the system folder when first
// asked for. Raises the system's error when either cannot be had.
FARPROC SystemProcedure(const wchar_t* dll, const char* name);

// The same, as the function's own type Fn.
template <class Fn>
Fn SystemFunction(const wchar_t* dll, const char* name) {
    // Through void*: FARPROC's own signature says nothing about the real one.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(SystemProcedure(dll, name)));
}
