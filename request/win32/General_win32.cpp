#include "request/win32/General.h"

#include "win32/MessagePump.h"
#include "win32/Owned.h"
#include "win32/Utf.h"
#include "win32/Win32Error.h"

#include <windows.h>

namespace {
bool IsOrdinaryFile(DWORD attributes) {
    return (attributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

bool SearchOrdinaryFile(const std::string& path) {
    std::wstring pattern = Widen(path);
    if (!pattern.empty() && (pattern.back() == L'\\' || pattern.back() == L'/')) {
        pattern += L'*';
    }
    WIN32_FIND_DATAW data;
    const UniqueFindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                                 FindExSearchNameMatch, nullptr, 0));
    if (!find.Valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_NO_MORE_FILES) {
            return false;
        }
        RaiseWin32Error(error, path);
    }
    bool found = false;
    do {
        found = IsOrdinaryFile(data.dwFileAttributes);
    } while (!found && FindNextFileW(find.Get(), &data));
    return found;
}
} // namespace

bool FileExists(const std::string& path) {
    const bool found = SearchOrdinaryFile(path);
    PumpWaitingMessages();
    return found;
}
