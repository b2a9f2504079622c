#include "main_window/HexField.h"

#include "portable/PastedHex.h"
#include "request/HexWorks.h"
#include "win32/Clipboard.h"

#include <optional>
#include <string>

HexField::HexField(HWND edit, std::function<void()> beep) : m_Beep(std::move(beep)) {
    Subclass(edit);
}

wchar_t HexField::Filter(wchar_t key, bool& beep, bool& nextField) {
    beep = false;
    nextField = false;
    if (key == L'\r') {
        nextField = true;
        return 0;
    }
    if (key == L'\b') {
        return key;
    }
    if (HexWorks::IsHexDigit(key)) {
        return key;
    }
    beep = true;
    return 0;
}

void HexField::Paste() {
    HWND field = Handle();
    const std::wstring text = ClipboardText(field).value_or(L"");
    if (text.empty()) {
        return;
    }
    // What a hex editor or a debugger copies ("0x1A000", "183FFh", "00 80") loses its
    // notation and spaces; whatever else it holds (an option such as "-h" for Zeltor.exe, a
    // word) refuses the paste whole, with the key filter's beep, and the field keeps its text.
    const std::optional<std::wstring> digits = PastedHexDigits(text);
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    // The digits replace the selection, as the edit control would put them, and must fit the
    // field's limit whole: a value cut short would be a different value.
    const auto kept = static_cast<size_t>(GetWindowTextLengthW(field)) - (end - start);
    const auto limit = static_cast<size_t>(SendMessageW(field, EM_GETLIMITTEXT, 0, 0));
    if (!digits || kept + digits->size() > limit) {
        m_Beep();
        return;
    }
    SendMessageW(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(digits->c_str()));
}

LRESULT HexField::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETDLGCODE: {
        // Enter and Escape must reach the field as characters, for the key filter, instead
        // of pressing a default button or cancelling.
        LRESULT code = Default(message, wParam, lParam);
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) &&
            (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
            code |= DLGC_WANTMESSAGE;
        }
        return code;
    }
    case WM_PASTE:
        // Every paste, whatever asked for it: the field's menu, Shift+Insert, a program.
        Paste();
        return 0;
    case WM_KEYDOWN:
        // The edit control pastes Shift+Insert without a WM_PASTE of its own (under Wine),
        // so the key is turned into one here.
        if (wParam == VK_INSERT && GetKeyState(VK_SHIFT) < 0 && GetKeyState(VK_CONTROL) >= 0) {
            SendMessageW(Handle(), WM_PASTE, 0, 0);
            return 0;
        }
        break;
    case WM_IME_CHAR: // a character composed in an input method is typed too
    case WM_CHAR: {
        bool beep = false;
        bool nextField = false;
        const wchar_t key = Filter(static_cast<wchar_t>(wParam), beep, nextField);
        if (beep) {
            m_Beep();
        }
        if (nextField) {
            // Queued, like a typed Tab: the focus moves after this key is done with.
            PostMessageW(GetParent(Handle()), WM_APP_NEXTFIELD, 0,
                         reinterpret_cast<LPARAM>(Handle()));
        }
        if (key == 0) {
            return 0;
        }
        return Default(WM_CHAR, key, lParam);
    }
    case WM_LBUTTONUP: {
        const LRESULT result = Default(message, wParam, lParam);
        // A click selects the whole field, so the next digit replaces it.
        SendMessageW(Handle(), EM_SETSEL, 0, GetWindowTextLengthW(Handle()));
        return result;
    }
    default:
        break;
    }
    return Default(message, wParam, lParam);
}
