#include "tests/xp_button/ButtonHost.h"

#include <stdexcept>

namespace {
constexpr wchar_t kHostClass[] = L"XP_button_test_host";
}

ButtonHost::ButtonHost() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    XP_button::Register(instance);
    RegisterClassOnce(kHostClass, instance, nullptr, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    if (CreateWindowFor(0, kHostClass, L"Prueba", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 500,
                        300, nullptr, instance) == nullptr) {
        throw std::runtime_error("host window not created");
    }
}

HWND ButtonHost::Raw(int w, int h, const PropertyStore* stored, const std::wstring& name, int id) {
    XP_button::CreateInfo info{name, stored};
    return CreateWindowExW(0, L"XP_button", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 10, w, h,
                           Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
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

LRESULT ButtonHost::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        commands.push_back({LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
        if (onCommand) {
            onCommand();
        }
        return 0;
    }
    return Default(message, wParam, lParam);
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
