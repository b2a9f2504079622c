#include "Launch.h"

#include "Utf.h"
#include "Win32Error.h"

#include <windows.h>

void StartRecalculator(const std::string& program, const std::string& commandLine) {
    // The program is named on its own as well, so a folder with a space in it can never
    // make Windows start some other program (C:\Program.exe) instead.
    const std::wstring application = Widen(program);
    std::wstring line = Widen(commandLine); // CreateProcessW may write into it
    std::wstring folder = application.substr(0, application.find_last_of(L"\\/") + 1);
    if (folder.size() > 3 && folder.back() == L'\\') {
        folder.pop_back(); // "C:\Trad", but "C:\" for the root of a drive
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        RaiseWin32Error(GetLastError());
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
