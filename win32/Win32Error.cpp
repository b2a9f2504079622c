#include "win32/Win32Error.h"

#include "portable/ErrorText.h"
#include "win32/Owned.h"
#include "win32/Utf.h"

#include <windows.h>

std::string SystemErrorText(unsigned long code, std::string_view subject) {
    wchar_t* allocated = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&allocated), 0, nullptr);
    const LocalText buffer(allocated);
    std::wstring text = length != 0 ? std::wstring(buffer.Get(), length) : std::wstring();
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                             text.back() == L'.')) {
        text.pop_back();
    }
    if (text.empty()) {
        return "Error del sistema " + std::to_string(code);
    }
    return FillInserts(Narrow(text), subject);
}

void RaiseWin32Error(unsigned long code, std::string_view subject) {
    throw RuntimeError(static_cast<int>(code), SystemErrorText(code, subject));
}
