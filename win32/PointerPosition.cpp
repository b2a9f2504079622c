#include "win32/PointerPosition.h"

bool SystemPointerPosition::CursorPos(POINT& point) {
    return GetCursorPos(&point) != FALSE;
}

HWND SystemPointerPosition::WindowAt(POINT point) {
    return WindowFromPoint(point);
}

SystemPointerPosition& SystemPointerPosition::Instance() {
    static SystemPointerPosition pointer;
    return pointer;
}
