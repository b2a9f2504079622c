#pragma once

#include "win32/Owned.h"

#include <windows.h>

// Selects an object into a DC for one scope and selects the previous one back at its end.
class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ object) : m_Dc(dc), m_Old(SelectObject(dc, object)) {}
    ~SelectScope() {
        if (m_Old != nullptr && m_Old != HGDI_ERROR) {
            SelectObject(m_Dc, m_Old);
        }
    }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;

private:
    HDC m_Dc;
    HGDIOBJ m_Old;
};

// A window's DC (the screen's for nullptr), released at the end of its scope.
class WindowDc {
public:
    explicit WindowDc(HWND window) : m_Window(window), m_Dc(GetDC(window)) {}
    ~WindowDc() {
        if (m_Dc != nullptr) {
            ReleaseDC(m_Window, m_Dc);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC Get() const { return m_Dc; }

private:
    HWND m_Window;
    HDC m_Dc;
};
