#include "tests/support/win32/MessageBoxWatch.h"

#include "win32/Utf.h"

#include <windows.h>

#include <stdexcept>

namespace {

thread_local MessageBoxWatch* t_Watch = nullptr;
thread_local HHOOK t_Hook = nullptr;

LRESULT CALLBACK WatchBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && t_Watch != nullptr) {
        HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t cls[16] = {};
        GetClassNameW(box, cls, 16);
        if (lstrcmpW(cls, L"#32770") == 0) {
            wchar_t caption[128] = {};
            wchar_t text[4096] = {};
            GetWindowTextW(box, caption, 128);
            GetDlgItemTextW(box, 0xFFFF, text, 4096);
            t_Watch->boxes.push_back(
                {Narrow(caption), Narrow(text), GetDlgItem(box, 0x14) != nullptr});
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(t_Hook, code, wParam, lParam);
}

} // namespace

MessageBoxWatch::MessageBoxWatch() {
    t_Hook = SetWindowsHookExW(WH_CBT, WatchBoxes, nullptr, GetCurrentThreadId());
    if (t_Hook == nullptr) {
        throw std::runtime_error("no CBT hook");
    }
    t_Watch = this;
}

MessageBoxWatch::~MessageBoxWatch() {
    UnhookWindowsHookEx(t_Hook);
    t_Hook = nullptr;
    t_Watch = nullptr;
}
