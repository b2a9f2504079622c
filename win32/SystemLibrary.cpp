#include "win32/SystemLibrary.h"

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

HMODULE LoadSystemLibrary(const wchar_t* name) {
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

FARPROC SystemProcedure(const wchar_t* dll, const char* name) {
    // Loaded again each time: the system counts the loads and gives back the same module.
    HMODULE module = LoadSystemLibrary(dll);
    FARPROC procedure = module != nullptr ? GetProcAddress(module, name) : nullptr;
    if (procedure == nullptr) {
        RaiseWin32Error(GetLastError());
    }
    return procedure;
}
