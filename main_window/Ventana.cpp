#include "main_window/Ventana.h"

namespace Ventana {

void SiempreEncima(HWND hWnd, bool onTop) {
    SetWindowPos(hWnd, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

} // namespace Ventana
