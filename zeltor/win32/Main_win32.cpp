#include "zeltor/Recalculator.h"

#include "win32/SystemLibrary.h"
#include "win32/Utf.h"

#include <windows.h>

#include <iostream>

// wmain: the C runtime splits the UTF-16 command line, so quoted pieces and ROM names
// outside the ANSI code page arrive intact.
int wmain(int argc, wchar_t** argv) {
    // It runs in the ROM's folder: nothing it loads may be searched for there.
    RestrictDllSearchToSystemFolder();
    // The report is UTF-8 (accents); tell the console so.
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(Narrow(argv[i]));
    }
    const auto files = zeltor::MakeNativeFileSystem();
    return zeltor::Run(args, *files, std::cout, std::cerr);
}
