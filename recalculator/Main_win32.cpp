#include "Recalculator.h"

#include "Utf.h"

#include <windows.h>

#include <iostream>

namespace {

// A DLL loaded at run time is searched for in System32 only, never in the ROM's folder,
// where the program is started. Looked up rather than imported: Windows 7 has the function
// only with KB2533623, and an import would keep the program from starting without it.
void LoadLibrariesFromSystem32Only() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    if (kernel32 == nullptr) {
        return;
    }
    const auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    if (set != nullptr) {
        set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

} // namespace

// wmain: the C runtime splits the UTF-16 command line, so quoted pieces and ROM names
// outside the ANSI code page arrive intact.
int wmain(int argc, wchar_t** argv) {
    LoadLibrariesFromSystem32Only();
    // The report is UTF-8 (accents); tell the console so.
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(Narrow(argv[i]));
    }
    const auto files = zeltor::MakeNativeFileSystem();
    return zeltor::Run(args, *files, std::cout, std::cerr);
}
