#include "MessagePump.h"
#include "frmMain.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    frmMain window(WindowServices::Real());
    if (window.Create(instance) == nullptr) {
        return 1;
    }
    ShowWindow(window.Handle(), show);
    UpdateWindow(window.Handle());
    // The focus starts on the first control in tab order.
    SetFocus(GetNextDlgTabItem(window.Handle(), nullptr, FALSE));
    return RunMessageLoop();
}
