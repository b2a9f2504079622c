#pragma once

#include <windows.h>

namespace Ventana {

// Keeps the window above all ordinary windows, or lets it be covered again. Position and
// size stay as they are.
void SiempreEncima(HWND hWnd, bool onTop);

} // namespace Ventana
