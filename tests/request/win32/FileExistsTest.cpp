#include "General.h"
#include "TempFolder.h"
#include "Utf.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

void SetAttributes(const std::string& path, DWORD attributes) {
    ASSERT_TRUE(SetFileAttributesW(Widen(path).c_str(), attributes));
}

TEST(FileExists, FindsOrdinaryFilesOnly) {
    TempFolder dir;
    dir.Write("juego.smc", "ROM");
    SetAttributes(dir.Write("oculto.smc"), FILE_ATTRIBUTE_HIDDEN);
    SetAttributes(dir.Write("sistema.smc"), FILE_ATTRIBUTE_SYSTEM);
    SetAttributes(dir.Write("solo_lectura.smc"), FILE_ATTRIBUTE_READONLY);
    dir.MakeFolder("carpeta.smc");

    struct Case {
        const char* name;
        bool found;
    };
    const Case cases[] = {
        {"juego.smc", true},      {"JUEGO.SMC", true},         {"solo_lectura.smc", true},
        {"oculto.smc", false},    {"sistema.smc", false},      {"carpeta.smc", false},
        {"no_existe.smc", false}, {"no_existe\\x.smc", false}, {"*.smc", true},
        {"o*.smc", false},        {"c*.smc", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileExists(dir.Sub(c.name)), c.found) << c.name;
    }
}

TEST(FileExists, TrailingBackslashMeansAnyFileInTheFolder) {
    TempFolder dir;
    EXPECT_FALSE(FileExists(dir.Path() + "\\")) << "empty folder";
    dir.MakeFolder("sub");
    SetAttributes(dir.Write("oculto.bin"), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(FileExists(dir.Path() + "\\")) << "only a folder and a hidden file";
    dir.Write("zeltor.exe");
    EXPECT_TRUE(FileExists(dir.Path() + "\\"));
}

// Counts the messages that reach it.
LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        ++*reinterpret_cast<int*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(FileExists, DispatchesWaitingMessagesBeforeItReturns) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZeltorCountingWindow";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
    ASSERT_NE(hwnd, nullptr);
    int count = 0;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&count));

    TempFolder dir;
    PostMessageW(hwnd, WM_APP, 0, 0);
    PostMessageW(hwnd, WM_APP, 0, 0);
    FileExists(dir.Sub("nada"));
    EXPECT_EQ(count, 2);

    // A quit request met on the way is left for the main loop.
    PostQuitMessage(7);
    FileExists(dir.Sub("nada"));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
    DestroyWindow(hwnd);
}

} // namespace
