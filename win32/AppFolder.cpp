#include "win32/AppFolder.h"

#include "win32/Utf.h"
#include "win32/Win32Error.h"

#include <windows.h>

std::string AppFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            RaiseWin32Error(GetLastError());
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2); // truncated: long path, try again with room
    }
    const size_t slash = path.find_last_of(L"\\/");
    path.resize(slash == std::wstring::npos ? 0 : slash);
    if (path.size() == 2 && path[1] == L':') {
        path += L'\\';
    }
    return Narrow(path);
}

std::string FullPath(const std::string& path) {
    const std::wstring wide = Widen(path);
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        RaiseWin32Error(GetLastError(), path);
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        RaiseWin32Error(length == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER, path);
    }
    full.resize(length);
    return Narrow(full);
}
