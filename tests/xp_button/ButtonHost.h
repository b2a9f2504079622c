#pragma once

#include "portable/PropertyStore.h"
#include "win32/PointerPosition.h"
#include "win32/Window.h"
#include "xp_button/XP_button.h"
#include "xp_button/XP_buttonProbe.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A visible top-level window that hosts buttons and records the WM_COMMAND they send.
class ButtonHost : public Window {
public:
    ButtonHost();

    // Creates a button through CreateWindowExW as the main window does.
    XP_button& Create(int w, int h, const PropertyStore* stored = nullptr,
                      const std::wstring& name = L"cmdPrueba", int id = 101);
    HWND Raw(int w, int h, const PropertyStore* stored, const std::wstring& name, int id);

    struct Command {
        int id;
        int code;
        HWND from;
    };
    std::vector<Command> commands;
    std::function<void()> onCommand; // runs inside the host's WM_COMMAND

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// A pointer that lies where the test says.
class FakePointer : public PointerPosition {
public:
    bool CursorPos(POINT& point) override {
        if (!succeeds) {
            return false;
        }
        point = at;
        return true;
    }
    HWND WindowAt(POINT point) override {
        asked = point;
        return window;
    }

    POINT at{0, 0};
    HWND window = nullptr;
    bool succeeds = true;
    POINT asked{-1, -1};
};

// The whole back buffer, row by row, to compare two faces.
std::vector<std::int32_t> Snapshot(const XP_button& button);

// First row that differs between two snapshots of the same size, or -1.
int FirstDifferentRow(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b,
                      int width);

std::int32_t SysColor(int index);

// Pumps this thread's messages for about the given time.
void PumpFor(unsigned milliseconds);
