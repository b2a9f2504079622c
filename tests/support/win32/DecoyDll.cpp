// Stands in for a system DLL that a download put beside the program. Loading it at all is the
// fault: it leaves "<its name>.loaded" beside itself and does nothing else.
#include "win32/Owned.h"

#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(self, path, MAX_PATH);
        const std::wstring marker = std::wstring(path) + L".loaded";
        const UniqueHandle created(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    return TRUE;
}
