#pragma once

#include <windows.h>

// Where the pointer is and which window lies under it. Controls ask through this seam so
// that tests can place a pointer of their own.
class PointerPosition {
public:
    virtual ~PointerPosition() = default;
    virtual bool CursorPos(POINT& point) = 0;
    virtual HWND WindowAt(POINT point) = 0;
};

// The real pointer: GetCursorPos and WindowFromPoint.
class SystemPointerPosition : public PointerPosition {
public:
    bool CursorPos(POINT& point) override;
    HWND WindowAt(POINT point) override;

    static SystemPointerPosition& Instance();
};
