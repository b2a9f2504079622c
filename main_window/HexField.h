#pragma once

#include "win32/Window.h"

#include <windows.h>

#include <functional>

// Posted to the main window to move the focus on from a field, as a Tab key would.
inline constexpr UINT WM_APP_NEXTFIELD = WM_APP + 1;

// One of the window's hexadecimal fields: an EDIT control taken over so that only hexadecimal
// digits reach it, typed or pasted; Enter moves on to the next control, a click selects the
// whole text. Taken over through its window procedure rather than SetWindowSubclass, so that
// comctl32 is not imported: that import alone cost 30 ms of start-up. Made with new, it belongs
// to its window and goes with it.
class HexField : public Window {
public:
    HexField(HWND edit, std::function<void()> beep);
    HexField(const HexField&) = delete;
    HexField& operator=(const HexField&) = delete;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The key filter: gives the character to let through, or 0.
    static wchar_t Filter(wchar_t key, bool& beep, bool& nextField);
    ~HexField() override = default;
    void OnFinalMessage() override { delete this; }
    void Paste();

    std::function<void()> m_Beep;
};
