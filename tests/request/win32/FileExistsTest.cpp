#include "request/win32/General.h"
#include "tests/support/win32/TempFolder.h"
#include "win32/Utf.h"
#include "win32/Window.h"

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

// A message-only window that counts the WM_APP messages that reach it.
class CountingWindow : public Window {
public:
    CountingWindow() {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        RegisterClassOnce(L"ZeltorCountingWindow", instance, nullptr, nullptr);
        CreateWindowFor(0, L"ZeltorCountingWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, instance);
    }
    int count = 0;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_APP) {
            ++count;
            return 0;
        }
        return Default(message, wParam, lParam);
    }
};

TEST(FileExists, DispatchesWaitingMessagesBeforeItReturns) {
    CountingWindow counter;
    HWND hwnd = counter.Handle();
    ASSERT_NE(hwnd, nullptr);
    int& count = counter.count;

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
}

} // namespace
