#include "win32/SystemLibrary.h"

#include "win32/Utf.h"
#include "win32/Win32Error.h"

#include <string>

void RestrictDllSearchToSystemFolder() {
    // Looked up rather than imported: Windows 7 has it only with KB2533623, and an import
    // that is missing would stop the program from starting at all.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto restrict = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
        kernel != nullptr ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr));
    if (restrict != nullptr) {
        restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

namespace {

HMODULE LoadFromSystemFolder(const wchar_t* name) {
    HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        // A Windows 7 without that update does not know the flag: name the folder instead.
        wchar_t folder[MAX_PATH];
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            return nullptr;
        }
        const std::wstring path = std::wstring(folder, length) + L"\\" + name;
        module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return module;
}

} // namespace

SystemLibrary::SystemLibrary(const wchar_t* name) : m_Module(LoadFromSystemFolder(name)) {
    if (!m_Module.Valid()) {
        RaiseWin32Error(GetLastError(), Narrow(name));
    }
}

FARPROC SystemLibrary::Procedure(const char* name) const {
    FARPROC procedure = GetProcAddress(m_Module.Get(), name);
    if (procedure == nullptr) {
        RaiseWin32Error(GetLastError(), name);
    }
    return procedure;
}
