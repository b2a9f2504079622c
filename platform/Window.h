#pragma once

#include <windows.h>

// The one base for the program's top-level windows. The static procedure finds the object
// from the creation parameters at WM_NCCREATE, keeps it in GWLP_USERDATA, hands every
// message to HandleMessage, and lets go of it at WM_NCDESTROY. The object outlives its
// window; the window never owns the object.
class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const { return m_hWnd; }

protected:
    // Registers the class once per process; later calls reuse it.
    static void RegisterClassOnce(const wchar_t* className, HINSTANCE instance, HICON icon);

    HWND CreateTopLevel(const wchar_t* className, const wchar_t* caption, DWORD style,
                        DWORD exStyle, int clientWidth, int clientHeight, HINSTANCE instance);

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
};
