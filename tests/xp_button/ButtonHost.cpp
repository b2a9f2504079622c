#include "ButtonHost.h"

#include <stdexcept>

namespace {
constexpr wchar_t kHostClass[] = L"XP_button_test_host";
}

ButtonHost::ButtonHost() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    XP_button::Register(instance);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(instance, kHostClass, &wc)) {
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.hInstance = instance;
        wc.lpszClassName = kHostClass;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        RegisterClassExW(&wc);
    }
    m_Window = CreateWindowExW(0, kHostClass, L"Prueba", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                               500, 300, nullptr, nullptr, instance, this);
    if (m_Window == nullptr) {
        throw std::runtime_error("host window not created");
    }
}

ButtonHost::~ButtonHost() {
    DestroyWindow(m_Window);
}

HWND ButtonHost::Raw(int w, int h, const PropertyStore* stored, const std::wstring& name, int id) {
    XP_button::CreateInfo info{name, stored};
    return CreateWindowExW(0, L"XP_button", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 10, w, h,
                           m_Window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), &info);
}

XP_button& ButtonHost::Create(int w, int h, const PropertyStore* stored, const std::wstring& name,
                              int id) {
    HWND window = Raw(w, h, stored, name, id);
    XP_button* button = XP_button::FromHandle(window);
    if (button == nullptr) {
        throw std::runtime_error("button not created");
    }
    return *button;
}

LRESULT CALLBACK ButtonHost::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* host = reinterpret_cast<ButtonHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (host != nullptr && message == WM_COMMAND) {
        host->commands.push_back({LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
        if (host->onCommand) {
            host->onCommand();
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<std::int32_t> Snapshot(const XP_button& button) {
    std::vector<std::int32_t> pixels;
    const int w = XP_buttonProbe::BufferWidth(button);
    const int h = XP_buttonProbe::BufferHeight(button);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            pixels.push_back(XP_buttonProbe::Pixel(button, x, y));
        }
    }
    return pixels;
}

int FirstDifferentRow(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b,
                      int width) {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i]) {
            return static_cast<int>(i / static_cast<std::size_t>(width));
        }
    }
    return -1;
}

std::int32_t SysColor(int index) {
    return static_cast<std::int32_t>(GetSysColor(index));
}

void PumpFor(unsigned milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    while (static_cast<int>(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(1);
    }
}
