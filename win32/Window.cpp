#include "win32/Window.h"

#include "portable/ErrorText.h"
#include "win32/Utf.h"

Window::~Window() {
    if (m_hWnd == nullptr) {
        return;
    }
    HWND window = m_hWnd;
    const bool tookOver = m_ControlProcedure != nullptr;
    Detach(); // the window must not call back into a destroyed object
    if (!tookOver) {
        DestroyWindow(window);
    }
}

Window* Window::FromHandle(HWND window) {
    return window != nullptr ? reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA))
                             : nullptr;
}

bool Window::RegisterClassOnce(const wchar_t* className, HINSTANCE instance, HICON icon,
                               HBRUSH background, WNDPROC procedure) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExW(instance, className, &wc)) {
        return true;
    }
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    wc.hIcon = icon;
    return RegisterClassExW(&wc) != 0;
}

HWND Window::CreateWindowFor(DWORD exStyle, const wchar_t* className, const wchar_t* caption,
                             DWORD style, int x, int y, int width, int height, HWND parent,
                             HINSTANCE instance) {
    return CreateWindowExW(exStyle, className, caption, style, x, y, width, height, parent, nullptr,
                           instance, this);
}

HWND Window::CreateTopLevel(const wchar_t* className, const wchar_t* caption, DWORD style,
                            DWORD exStyle, int clientWidth, int clientHeight, HINSTANCE instance) {
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return CreateWindowFor(exStyle, className, caption, style, CW_USEDEFAULT, CW_USEDEFAULT,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr, instance);
}

void Window::Subclass(HWND window) {
    Attach(window);
    m_ControlProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Procedure)));
}

void Window::Attach(HWND window) {
    m_hWnd = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void Window::Detach() {
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    if (m_ControlProcedure != nullptr) {
        SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_ControlProcedure));
        m_ControlProcedure = nullptr;
    }
    m_hWnd = nullptr;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT Window::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_ControlProcedure != nullptr
               ? CallWindowProcW(m_ControlProcedure, m_hWnd, message, wParam, lParam)
               : DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT Window::OnUntrappedError(UINT, WPARAM, const std::exception_ptr& error) {
    ReportUntrappedError(m_hWnd, error);
    return 0;
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return Route(hwnd, message, wParam, lParam, nullptr);
}

LRESULT Window::Route(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, Factory make) {
    Window* self = FromHandle(hwnd);
    if (message == WM_NCCREATE && self == nullptr) {
        const auto& create = *reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (make != nullptr) {
            self = make(hwnd, create);
            if (self == nullptr) {
                return FALSE; // the creation fails
            }
        } else {
            self = static_cast<Window*>(create.lpCreateParams);
        }
        if (self != nullptr) {
            self->Attach(hwnd);
        }
    }
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        const LRESULT result = self->Default(message, wParam, lParam);
        self->Detach();
        self->OnFinalMessage();
        return result;
    }
    // Nothing may unwind through the system's code: a failure that no handler trapped is
    // reported here and the window goes on.
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return self->OnUntrappedError(message, wParam, std::current_exception());
    }
}

void ReportUntrappedError(HWND window, const std::exception_ptr& error) noexcept {
    static thread_local bool t_Showing = false;
    if (t_Showing) {
        return;
    }
    t_Showing = true;
    try {
        std::wstring text;
        try {
            std::rethrow_exception(error);
        } catch (const RuntimeError& e) {
            text = Widen(UntrappedErrorText(e));
        } catch (const std::exception& e) {
            text = Widen(e.what());
        } catch (...) {
            text = L"Error";
        }
        HWND owner = window != nullptr ? GetAncestor(window, GA_ROOT) : nullptr;
        MessageBoxW(owner, text.c_str(), L"ZeltorIGU", MB_OK);
    } catch (...) {
        // Not even the report could be made (no memory for its text): the window goes on.
    }
    t_Showing = false;
}
