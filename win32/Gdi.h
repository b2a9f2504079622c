#pragma once

#include <windows.h>

#include <utility>

// Owns one GDI object (pen, brush, font, bitmap) and deletes it at the end of its scope.
// Declare it before any SelectScope that selects it, so that the old object is back in the
// DC before this one is deleted.
template <class Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : m_Handle(handle) {}
    ~GdiObject() { Reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : m_Handle(std::exchange(other.m_Handle, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.m_Handle, nullptr));
        }
        return *this;
    }

    Handle Get() const { return m_Handle; }
    operator Handle() const { return m_Handle; }
    void Reset(Handle handle = nullptr) {
        if (m_Handle != nullptr) {
            DeleteObject(m_Handle);
        }
        m_Handle = handle;
    }

private:
    Handle m_Handle = nullptr;
};

using GdiPen = GdiObject<HPEN>;
using GdiBrush = GdiObject<HBRUSH>;
using GdiFont = GdiObject<HFONT>;
using GdiBitmap = GdiObject<HBITMAP>;

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

// A memory DC, deleted at the end of its life.
class MemoryDc {
public:
    MemoryDc() = default;
    explicit MemoryDc(HDC dc) : m_Dc(dc) {}
    ~MemoryDc() {
        if (m_Dc != nullptr) {
            DeleteDC(m_Dc);
        }
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;

    HDC Get() const { return m_Dc; }

private:
    HDC m_Dc = nullptr;
};
