#pragma once

#include "win32/Owned.h"

#include <windows.h>

// The application's folder is where downloaded ROMs, and whatever came with them, are put:
// a DLL loaded at run time must come from the system folder, never from there.

// Makes the system folder the only place LoadLibrary looks from now on. Call first thing.
void RestrictDllSearchToSystemFolder();

// One of the system's own DLLs, loaded from the system folder when this is made, and freed
// when it is destroyed.
class SystemLibrary {
public:
    // Raises the system's error when the DLL cannot be loaded.
    explicit SystemLibrary(const wchar_t* name);

    // One of its functions, as the function's own type Fn; raises the system's error when it
    // has none of that name. Valid while this object lives.
    template <class Fn>
    Fn Function(const char* name) const {
        // Through void*: FARPROC's own signature says nothing about the real one.
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(Procedure(name)));
    }

private:
    FARPROC Procedure(const char* name) const;

    LoadedModule m_Module;
};
