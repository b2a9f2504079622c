#include "main_window/frmMain.h"
#include "win32/MessagePump.h"
#include "win32/SystemLibrary.h"
#include "win32/Utf.h"

#include <windows.h>

#include <cstdlib>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    // Before anything can load a DLL: never from the folder the ROMs are kept in.
    RestrictDllSearchToSystemFolder();
    frmMain window(WindowServices::Real());
    if (window.Create(instance) == nullptr) {
        return 1;
    }
    ShowWindow(window.Handle(), show);
    UpdateWindow(window.Handle());
    // The focus starts on the first control in tab order.
    SetFocus(GetNextDlgTabItem(window.Handle(), nullptr, FALSE));
    // "Open with", or a ROM dropped on the program's icon: the ROM is the first argument.
    if (__argc > 1) {
        window.OpenRom(Narrow(__wargv[1]));
    }
    return RunMessageLoop();
}
