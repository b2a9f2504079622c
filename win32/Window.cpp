#include "Window.h"

#include "RuntimeError.h"
#include "Utf.h"

Window::~Window() {
    if (m_hWnd != nullptr) {
        // The window must not call back into a destroyed object.
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hWnd);
    }
}

void Window::RegisterClassOnce(const wchar_t* className, HINSTANCE instance, HICON icon) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, className, &existing)) {
        return;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = Procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    wc.hIcon = icon;
    RegisterClassExW(&wc);
}

HWND Window::CreateTopLevel(const wchar_t* className, const wchar_t* caption, DWORD style,
                            DWORD exStyle, int clientWidth, int clientHeight, HINSTANCE instance) {
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return CreateWindowExW(exStyle, className, caption, style, CW_USEDEFAULT, CW_USEDEFAULT,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                           instance, this);
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hWnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return ContainErrors(hwnd, 0, [&] { return self->HandleMessage(message, wParam, lParam); });
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
            text = Widen("Error:" + std::to_string(e.Number()) + " - " + e.Description());
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
