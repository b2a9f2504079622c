// XP_button's interaction: its messages, the mouse, the keyboard, the focus and the hover
// timer.
#include "xp_button/XP_button.h"

#include "xp_button/XP_buttonShared.h"

using namespace xp_button_detail;

namespace {

std::int16_t ButtonMask(WPARAM keys) {
    return static_cast<std::int16_t>(((keys & MK_LBUTTON) ? 1 : 0) | ((keys & MK_RBUTTON) ? 2 : 0) |
                                     ((keys & MK_MBUTTON) ? 4 : 0));
}

// The pointer's position in a mouse message, in the control's pixels.
float X(LPARAM lParam) {
    return static_cast<float>(static_cast<short>(LOWORD(lParam)));
}
float Y(LPARAM lParam) {
    return static_cast<float>(static_cast<short>(HIWORD(lParam)));
}

std::int16_t ShiftMask(WPARAM keys) {
    return static_cast<std::int16_t>(((keys & MK_SHIFT) ? 1 : 0) | ((keys & MK_CONTROL) ? 2 : 0) |
                                     ((GetKeyState(VK_MENU) < 0) ? 4 : 0));
}

} // namespace

// ---- Messages ---------------------------------------------------------------------------

LRESULT XP_button::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate(*reinterpret_cast<const CREATESTRUCTW*>(lParam));
        return 0;
    case WM_SIZE:
        Resize();
        return 0;
    case WM_SHOWWINDOW:
        if (wParam) {
            Show();
        }
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        PaintTo(dc);
        EndPaint(Handle(), &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        PaintTo(reinterpret_cast<HDC>(wParam));
        return 0;
    default:
        return HandleInput(message, wParam, lParam);
    }
    return Default(message, wParam, lParam);
}

// The mouse, the keyboard, the focus and the hover timer.
LRESULT XP_button::HandleInput(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE:
        MouseMove(ButtonMask(wParam), ShiftMask(wParam), X(lParam), Y(lParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        OnButtonDown(message, wParam, lParam);
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        OnButtonUp(message, wParam, lParam);
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != Handle()) {
            m_LeftDown = false;
        }
        return 0;
    case WM_SETFOCUS:
        OnSetFocus(reinterpret_cast<HWND>(wParam));
        return 0;
    case WM_KILLFOCUS:
        OnKillFocus(reinterpret_cast<HWND>(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kTimer1) {
            Timer1_Timer();
            return 0;
        }
        break;
    case BM_CLICK:
        Click();
        return 0;
    case WM_GETDLGCODE:
        return OnGetDlgCode(reinterpret_cast<const MSG*>(lParam));
    case WM_KEYDOWN:
        if (OnKeyDown(wParam, lParam)) {
            return 0;
        }
        break;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

void XP_button::OnButtonDown(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN) {
        m_LeftDown = true;
        if (GetFocus() != Handle()) {
            SetFocus(Handle());
        }
    }
    SetCapture(Handle());
    const std::int16_t button = message == WM_LBUTTONDOWN ? 1 : (message == WM_RBUTTONDOWN ? 2 : 4);
    MouseDown(button, ShiftMask(wParam), X(lParam), Y(lParam));
}

void XP_button::OnButtonUp(UINT message, WPARAM wParam, LPARAM lParam) {
    // A click is a left press and release, both on the control.
    RECT client;
    GetClientRect(Handle(), &client);
    const POINT at{static_cast<LONG>(X(lParam)), static_cast<LONG>(Y(lParam))};
    const bool click = message == WM_LBUTTONUP && m_LeftDown && PtInRect(&client, at);
    if (message == WM_LBUTTONUP) {
        m_LeftDown = false;
    }
    if (GetCapture() == Handle() && (wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0) {
        ReleaseCapture();
    }
    const std::int16_t button = message == WM_LBUTTONUP ? 1 : (message == WM_RBUTTONUP ? 2 : 4);
    MouseUp(button, ShiftMask(wParam), X(lParam), Y(lParam));
    if (click) {
        Click();
    }
}

LRESULT XP_button::OnGetDlgCode(const MSG* msg) {
    // Enter comes to the button itself rather than to the dialog manager, which would lose
    // whether the key was held.
    if (msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) &&
        msg->wParam == VK_RETURN) {
        return DLGC_WANTMESSAGE;
    }
    return 0;
}

bool XP_button::OnKeyDown(WPARAM key, LPARAM flags) {
    // Enter or Space presses the focused button, as on a Windows push button; but not the
    // repeats of a held key (bit 30: the key was already down), so that holding Enter in a
    // field never runs on into a press.
    if ((key == VK_RETURN || key == VK_SPACE) && (flags & (LPARAM{1} << 30)) == 0) {
        Click();
        return true;
    }
    return false;
}

// ---- Interaction ------------------------------------------------------------------------

HWND XP_button::WindowUnderCursor() {
    POINT point{0, 0};
    if (!m_Pointer->CursorPos(point)) {
        point = POINT{0, 0};
    }
    return m_Pointer->WindowAt(point) == Handle() ? Handle() : nullptr;
}

void XP_button::Timer1Enabled(bool enabled) {
    if (enabled) {
        SetTimer(Handle(), kTimer1, kTimer1Interval, nullptr);
    } else {
        KillTimer(Handle(), kTimer1);
    }
    m_Timer1Enabled = enabled;
}

void XP_button::MouseMove(std::int16_t button, std::int16_t, float, float) {
    if (!m_Enabled || m_Pressed) {
        return;
    }
    DrawHighlightBorder(kHoverRing);
    if (button == 0 && !m_Hover) {
        m_Hover = true;
        Timer1Enabled(true);
    }
}

void XP_button::Timer1_Timer() {
    if (WindowUnderCursor() == Handle()) {
        return;
    }
    Timer1Enabled(false);
    m_Hover = false;
    DrawFace(m_BackColor);
    if (m_Clicked) {
        DrawHighlightBorder(kLeftClickedRing);
    }
}

void XP_button::MouseDown(std::int16_t, std::int16_t, float, float) {
    m_Pressed = true;
    if (m_Enabled) {
        DrawPressedFace();
    }
}

void XP_button::MouseUp(std::int16_t, std::int16_t, float, float) {
    m_Pressed = false;
    if (m_Enabled) {
        RedrawFace();
    }
}

void XP_button::Click() {
    if (!m_Enabled) {
        return;
    }
    m_Clicked = true;
    // The host's handler runs to its end before this returns.
    const int id = GetDlgCtrlID(Handle());
    SendMessageW(GetParent(Handle()), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Handle()));
}

bool XP_button::InSameWindow(HWND other) const {
    HWND root = GetAncestor(Handle(), GA_ROOT);
    return other != nullptr && root != nullptr && IsChild(root, other);
}

// The focus is lost only when it moves to another control of the same window. A message box
// or dialog of the program, or another application, takes the keyboard only for a while:
// the control gets it back, and neither LostFocus nor GotFocus is raised.
void XP_button::OnKillFocus(HWND newFocus) {
    if (InSameWindow(newFocus)) {
        LostFocus();
    } else {
        m_FocusAway = true;
    }
}

void XP_button::OnSetFocus(HWND previousFocus) {
    if (m_FocusAway) {
        m_FocusAway = false;
        if (!InSameWindow(previousFocus)) {
            return; // back from elsewhere: the control never lost the focus
        }
        // Another control of the window had the focus meanwhile: that was the loss.
        LostFocus();
    }
    GotFocus();
}

void XP_button::GotFocus() {
    DrawFocusBorder();
}

void XP_button::LostFocus() {
    ClearFocusBorder();
}

void XP_button::Resize() {
    if (m_Enabled) {
        DrawFace(m_BackColor);
    } else {
        DrawDisabledFace();
    }
}

void XP_button::Show() {
    Resize();
}
