#pragma once

#include <windows.h>

#include <exception>

// Shows a failure that no error trap caught, the way the program reports every such failure:
// one message box, owned by the window's top-level window, with "Error:N - description" for
// a run-time error. While that box is open, failures on the same thread (a timer that keeps
// failing, say) open no second one.
void ReportUntrappedError(HWND window, const std::exception_ptr& error) noexcept;

// Runs one message's handler so that no exception unwinds through the system's code: a
// failure is reported and the window goes on, with onFailure as the message's result.
template <class Handler>
LRESULT ContainErrors(HWND window, LRESULT onFailure, Handler&& handler) noexcept {
    try {
        return handler();
    } catch (...) {
        ReportUntrappedError(window, std::current_exception());
    }
    return onFailure;
}

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
