#include "main_window/Services.h"

#include "portable/RuntimeError.h"
#include "request/win32/General.h"
#include "request/win32/Launch.h"
#include "win32/AppFolder.h"
#include "win32/Owned.h"
#include "win32/SystemLibrary.h"
#include "win32/Utf.h"
#include "win32/Win32Error.h"

#include <commdlg.h>

#ifndef ZELTOR_CONTACT
#define ZELTOR_CONTACT "zeltorigu@example.org"
#endif

void ShowMessage(HWND owner, const std::string& text) {
    MessageBoxW(owner, Widen(text).c_str(), L"ZeltorIGU", MB_OK);
}

std::wstring DialogFilter(const std::string& filter) {
    std::wstring list = Widen(filter);
    for (wchar_t& c : list) {
        if (c == L'|') {
            c = L'\0';
        }
    }
    list.push_back(L'\0');
    list.push_back(L'\0');
    return list;
}

std::optional<OpenFileResult> ShowOpenFileDialog(HWND owner, const OpenFileRequest& request) {
    // comdlg32 is loaded on the first use of the dialog, not at start-up, and kept until the
    // program ends: what the dialog leaves behind may still run its code.
    static const SystemLibrary comdlg32(L"comdlg32.dll");
    const auto getOpenFileName =
        comdlg32.Function<BOOL(WINAPI*)(LPOPENFILENAMEW)>("GetOpenFileNameW");
    const auto extendedError = comdlg32.Function<DWORD(WINAPI*)()>("CommDlgExtendedError");

    const std::wstring title = Widen(request.title);
    const std::wstring filter = DialogFilter(request.filter);
    const std::wstring folder = Widen(request.initialFolder);
    std::wstring file(32768, L'\0');

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = request.filterIndex;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = folder.c_str();
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = request.flags | OFN_EXPLORER;
    if (!getOpenFileName(&ofn)) {
        const DWORD error = extendedError();
        if (error == 0) {
            return std::nullopt; // cancelled
        }
        throw RuntimeError(static_cast<int>(error), "No se pudo mostrar el diálogo de archivos");
    }
    file.resize(wcslen(file.c_str()));
    return OpenFileResult{Narrow(file), Narrow(std::wstring_view(file).substr(ofn.nFileOffset))};
}

std::optional<std::string> TakeDroppedFile(HDROP drop) {
    // shell32 is loaded when the first drop arrives: start-up does not pay for it.
    static const SystemLibrary shell32(L"shell32.dll");
    const auto query = shell32.Function<UINT(WINAPI*)(HDROP, UINT, LPWSTR, UINT)>("DragQueryFileW");
    const auto finish = shell32.Function<void(WINAPI*)(HDROP)>("DragFinish");
    std::optional<std::string> first;
    if (query(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
        std::wstring path(static_cast<size_t>(query(drop, 0, nullptr, 0)) + 1, L'\0');
        path.resize(query(drop, 0, path.data(), static_cast<UINT>(path.size())));
        first = Narrow(path);
    }
    finish(drop);
    return first;
}

std::int32_t MeasureFileLength(const std::string& path) {
    // Read access only, shared with everyone: measuring must never create, lock or change
    // the ROM.
    const UniqueHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        RaiseWin32Error(GetLastError(), path);
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) {
        RaiseWin32Error(GetLastError(), path);
    }
    if (size.QuadPart > 0x7FFFFFFF) {
        RaiseOverflow();
    }
    return static_cast<std::int32_t>(size.QuadPart);
}

WindowServices WindowServices::Real() {
    WindowServices s;
    s.appFolder = AppFolder();
    s.contact = ZELTOR_CONTACT;
    s.showMessage = ShowMessage;
    s.openFile = ShowOpenFileDialog;
    s.measureFile = MeasureFileLength;
    s.fileExists = FileExists;
    s.runProgram = RunRecalculator;
    s.beep = [] { MessageBeep(MB_OK); };
    return s;
}
