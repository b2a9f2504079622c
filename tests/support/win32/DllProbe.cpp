// Runs the window's own code that loads DLLs at run time, from whatever folder it was copied
// to: it opens the real file dialog (and cancels it), then takes a real drop of the ROM named
// as its argument. Writes what it saw to "probe.txt" beside itself. With "--bare" it loads both
// DLLs by name alone instead, which shows that a DLL beside it would have been found. A first
// argument "--restrict" first makes the system folder the only place to look, as the program
// does at its start.
#include "main_window/frmMain.h"
#include "win32/SystemLibrary.h"
#include "win32/Utf.h"

#include <windows.h>

#include <shlobj.h>

#include <cstring>
#include <fstream>
#include <string>

namespace {

HHOOK g_Hook = nullptr;
bool g_DialogSeen = false;

// Cancels the file dialog as soon as it is up.
LRESULT CALLBACK CancelDialog(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t caption[64] = {};
        GetWindowTextW(box, caption, 64);
        if (wcscmp(caption, L"Abrir ROM") == 0) {
            g_DialogSeen = true;
            PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
        }
    }
    return CallNextHookEx(g_Hook, code, wParam, lParam);
}

HGLOBAL DropOf(const std::wstring& path) {
    const std::wstring names = path + L'\0' + L'\0';
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                 sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(),
                names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return memory;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && wcscmp(argv[1], L"--restrict") == 0) {
        RestrictDllSearchToSystemFolder();
        --argc;
        ++argv;
    }
    if (argc > 1 && wcscmp(argv[1], L"--bare") == 0) {
        const bool loaded =
            LoadLibraryW(L"comdlg32.dll") != nullptr && LoadLibraryW(L"shell32.dll") != nullptr;
        return loaded ? 0 : 1;
    }
    g_Hook = SetWindowsHookExW(WH_CBT, CancelDialog, nullptr, GetCurrentThreadId());
    WindowServices services = WindowServices::Real();
    std::string seen;
    services.showMessage = [&seen](HWND, const std::string& text) {
        seen += "message: " + text + "\n";
    };
    frmMain form(services);
    if (form.Create(GetModuleHandleW(nullptr)) == nullptr || argc < 2) {
        return 1;
    }
    SendMessageW(form.Control(IDC_cmdOpen), BM_CLICK, 0, 0);
    SendMessageW(form.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf(argv[1])), 0);
    wchar_t rom[MAX_PATH] = {};
    GetWindowTextW(form.Control(IDC_lblROM), rom, MAX_PATH);
    UnhookWindowsHookEx(g_Hook);
    seen += std::string("dialog: ") + (g_DialogSeen ? "seen" : "not seen") +
            "\nrom: " + Narrow(rom) + "\n";

    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring report(self);
    report = report.substr(0, report.find_last_of(L'\\') + 1) + L"probe.txt";
    std::ofstream(report.c_str(), std::ios::binary) << seen;
    return 0;
}
