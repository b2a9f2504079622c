#pragma once

#include <windows.h>

#include <exception>

// Shows a failure that no error trap caught, the way the program reports every such failure:
// one message box, owned by the window's top-level window, with "Error:N - description" for
// a run-time error. While that box is open, failures on the same thread (a timer that keeps
// failing, say) open no second one.
void ReportUntrappedError(HWND window, const std::exception_ptr& error) noexcept;

// The one base for every window of the program: the main window, the XP_button control, the
// hexadecimal fields and the test hosts. One procedure ties the object to its window at the
// first message (or when it takes over an existing control), hands every message to
// HandleMessage with no exception let through to the system's code, and unties them after the
// last one (WM_NCDESTROY), where OnFinalMessage lets an object that belongs to its window go.
class Window {
public:
    Window() = default;
    // Destroys the window if it is still there, so that no window outlives its object and no
    // subclass has to destroy its own. It is untied first: by then the subclass's part of the
    // object is gone, and the window's last messages go to the default procedure. A subclass
    // whose controls use objects it owns keeps those in a base named before Window, which
    // outlives the window. A control that was taken over is given back instead.
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const { return m_hWnd; }

    // The object tied to a window of the program, or nullptr.
    static Window* FromHandle(HWND window);

protected:
    // Makes the object of a window that someone else creates by class name, as for a control;
    // lpCreateParams is the creator's. nullptr fails the creation.
    using Factory = Window* (*)(HWND window, const CREATESTRUCTW& create);

    // The procedure of a class whose creator passes the object itself as lpCreateParams
    // (CreateWindowFor does), and that of a class whose objects a factory makes.
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    template <Factory Make>
    static LRESULT CALLBACK ProcedureMaking(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        return Route(hwnd, message, wParam, lParam, Make);
    }

    // Registers a class whose windows are Windows, once per process; false when it cannot.
    static bool RegisterClassOnce(const wchar_t* className, HINSTANCE instance, HICON icon,
                                  HBRUSH background, WNDPROC procedure = Procedure);

    // Creates this object's window, of a class registered without a factory.
    HWND CreateWindowFor(DWORD exStyle, const wchar_t* className, const wchar_t* caption,
                         DWORD style, int x, int y, int width, int height, HWND parent,
                         HINSTANCE instance);
    // A top-level window whose client area has the given size.
    HWND CreateTopLevel(const wchar_t* className, const wchar_t* caption, DWORD style,
                        DWORD exStyle, int clientWidth, int clientHeight, HINSTANCE instance);
    // Takes over an existing window, a standard control: its messages come to HandleMessage
    // first, and Default hands them on to the control's own procedure.
    void Subclass(HWND window);

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // What the window does with a message when this object does nothing of its own.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    // The window is gone and its last message handled. An object that belongs to its window
    // deletes itself here.
    virtual void OnFinalMessage() {}
    // A failure that HandleMessage let out: reported, and the message's result is 0. A window
    // may say more for a message of its own.
    virtual LRESULT OnUntrappedError(UINT message, WPARAM wParam, const std::exception_ptr& error);

private:
    static LRESULT Route(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, Factory make);
    void Attach(HWND window);
    void Detach();

    HWND m_hWnd = nullptr;
    WNDPROC m_ControlProcedure = nullptr; // set for a control taken over
};
