#include "main_window/frmMain.h"

#include "main_window/HexField.h"
#include "main_window/Ventana.h"
#include "portable/PropertyStore.h"
#include "portable/PropertyValue.h"
#include "win32/Utf.h"
#include "xp_button/XP_button.h"

namespace {

constexpr wchar_t kClassName[] = L"ZeltorIGU_frmMain";
constexpr int kClientWidth = 4500; // twips
constexpr int kClientHeight = 3570;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
// Room below the pointer size's field for its open list.
constexpr int kDropDownRoom = 1200; // twips
// An etched line is two one-pixel lines, whatever the resolution.
constexpr int kRuleHeight = 2; // pixels

// The window class, style and extended style of each kind of control.
struct KindLook {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

KindLook LookOf(ControlKind kind) {
    switch (kind) {
    case ControlKind::Button:
        return {L"XP_button", kChild | WS_TABSTOP, 0};
    case ControlKind::RomName:
        return {L"STATIC", kChild | SS_LEFT | SS_NOPREFIX | SS_NOTIFY | SS_CENTERIMAGE,
                WS_EX_STATICEDGE};
    case ControlKind::Label:
        return {L"STATIC", kChild | SS_LEFT | SS_NOPREFIX, 0};
    case ControlKind::HexField:
        return {L"EDIT", kChild | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::SizeList:
        return {L"COMBOBOX", kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0};
    case ControlKind::CheckBox:
        return {L"BUTTON", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 0};
    case ControlKind::Rule:
        return {L"STATIC", kChild | SS_ETCHEDHORZ, 0};
    }
    return {L"STATIC", kChild, 0};
}

// What the form stores for each of its buttons: its caption, a white face and the font the
// layout was made for; every other property keeps the button's default.
PropertyStore ButtonProperties(const ControlRow& button) {
    PropertyStore stored;
    stored.Set("Caption", std::string(button.caption));
    stored.Set("BackColor", std::int32_t{0x00FFFFFF});
    stored.Set("FontName", std::string("MS Sans Serif"));
    stored.Set("FontSize", Fixed4{82500});
    return stored;
}

} // namespace

frmMain::frmMain(WindowServices services) : m_Services(std::move(services)) {}

int frmMain::Px(int twips) const {
    // To nearest, ties to even, as every fraction that becomes a pixel.
    return static_cast<int>(DivideRoundingToEven(std::int64_t{twips} * m_Dpi, 1440));
}

HWND frmMain::Create(HINSTANCE instance) {
    m_Dpi = GetDeviceCaps(WindowDc(nullptr).Get(), LOGPIXELSY);

    RegisterClassOnce(kClassName, instance, LoadIconW(instance, L"IDI_ZELTORIGU"),
                      reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    XP_button::Register(instance);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    // WS_EX_CONTROLPARENT lets the dialog manager walk into the window for Tab.
    // WS_EX_ACCEPTFILES: a ROM dropped on the window is taken as if chosen in the dialog.
    if (CreateTopLevel(kClassName, L"Zeltor IGU por Quennel", style,
                       WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES, Px(kClientWidth), Px(kClientHeight),
                       instance) == nullptr) {
        return nullptr;
    }
    CreateControls(instance);
    Form_Load();
    return Handle();
}

void frmMain::CreateControls(HINSTANCE instance) {
    LOGFONTW description{};
    // MS Sans Serif at 8 points, the face the layout was made for: every caption fits its
    // place on one line (Tahoma at 8 points is a tenth wider and does not).
    description.lfHeight = -MulDiv(8, m_Dpi, 72);
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfQuality = DEFAULT_QUALITY;
    wcscpy(description.lfFaceName, L"MS Sans Serif");
    font.Reset(CreateFontIndirectW(&description));
    windowBrush.Reset(CreateSolidBrush(GetSysColor(COLOR_WINDOW)));
    for (const ControlRow& control : FormControls()) {
        CreateControl(instance, control);
    }
}

void frmMain::CreateControl(HINSTANCE instance, const ControlRow& c) {
    const KindLook look = LookOf(c.kind);
    const bool button = c.kind == ControlKind::Button;
    const PropertyStore stored = button ? ButtonProperties(c) : PropertyStore();
    XP_button::CreateInfo info{Widen(c.name), &stored};
    int height = Px(c.height);
    if (c.kind == ControlKind::SizeList) {
        height += Px(kDropDownRoom);
    } else if (c.kind == ControlKind::Rule) {
        height = kRuleHeight;
    }
    HWND hwnd = CreateWindowExW(
        look.exStyle, look.className, button ? L"" : Widen(c.caption).c_str(), look.style,
        Px(c.left), Px(c.top), Px(c.width), height, Handle(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, button ? &info : nullptr);
    if (!button) {
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
    }
    switch (c.kind) {
    case ControlKind::HexField:
        // Belongs to its window from now on, and goes with it.
        new HexField(hwnd, [this] { m_Services.beep(); });
        // No limit of the edit control's own beyond what the field needs.
        SendMessageW(hwnd, EM_SETLIMITTEXT, static_cast<WPARAM>(c.maxLength), 0);
        break;
    case ControlKind::SizeList:
        // The selection field is as tall as the text boxes beside it.
        SendMessageW(hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), Px(c.height) - 6);
        break;
    case ControlKind::Rule:
        // Wine widens an etched line by its edge as it is created: placed again, it runs
        // exactly from its left end to its right end.
        SetWindowPos(hwnd, nullptr, Px(c.left), Px(c.top), Px(c.width), height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    default:
        break;
    }
}

void frmMain::Form_Load() {
    HWND cbo = Control(IDC_cboTam);
    for (const PointerSize size : PointerSize::All()) {
        SendMessageW(cbo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(size.Text()).c_str()));
    }
    // Selecting by message sends no notification, so the handler is called here.
    SendMessageW(cbo, CB_SETCURSEL, 0, 0);
    cboTam_Click();
    EnableWindow(Control(IDC_txtValPunt), FALSE);
}

std::string frmMain::Text(int id) const {
    HWND hwnd = Control(id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

bool frmMain::Checked(int id) const {
    return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

LRESULT frmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        if (HBRUSH brush =
                OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam))) {
            return reinterpret_cast<LRESULT>(brush);
        }
        break;
    case WM_APP_NEXTFIELD:
        OnNextField(reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_ACTIVATE:
        // Give the focus back to the control that had it when the window is reactivated, as
        // a message box, the file dialog or another application leaves it.
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (HWND focus = GetFocus(); focus != nullptr && IsChild(Handle(), focus)) {
                m_LastFocus = focus;
            }
        } else if (m_LastFocus != nullptr && IsWindow(m_LastFocus)) {
            SetFocus(m_LastFocus);
            return 0;
        }
        break;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return Window::HandleMessage(message, wParam, lParam);
}

void frmMain::OnNextField(HWND from) {
    // Like a typed Tab, it moves on from whichever control has the focus by now.
    if (HWND focus = GetFocus(); focus != nullptr && IsChild(Handle(), focus)) {
        from = focus;
    }
    if (HWND next = GetNextDlgTabItem(Handle(), from, FALSE)) {
        SetFocus(next);
        // As a Tab does: a field reached this way has its whole text selected, so that
        // typing replaces it.
        if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
            SendMessageW(next, EM_SETSEL, 0, -1);
        }
    }
}

HBRUSH frmMain::OnCtlColorStatic(HDC dc, HWND control) {
    const ControlRow* row = FindControl(GetDlgCtrlID(control));
    if (row != nullptr && row->kind == ControlKind::RomName) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return windowBrush.Get();
    }
    if (row != nullptr && row->textColour != kSystemColour) {
        SetTextColor(dc, row->textColour);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return GetSysColorBrush(COLOR_BTNFACE);
    }
    return nullptr; // everything else, a disabled text box among them, keeps its own colours
}

void frmMain::OnCommand(int id, int code) {
    switch (id) {
    case IDC_cmdOpen:
        cmdOpen_Click();
        break;
    case IDC_lblROM:
        if (code == STN_CLICKED) {
            lblROM_Click();
        }
        break;
    case IDC_cmdRecalcular:
        cmdRecalcular_Click();
        break;
    case IDC_cboTam:
        if (code == CBN_SELCHANGE) {
            cboTam_Click();
        }
        break;
    case IDC_ckValPunt:
        if (code == BN_CLICKED) {
            ckValPunt_Click();
        }
        break;
    case IDC_ckWindow:
        if (code == BN_CLICKED) {
            ckWindow_Click();
        }
        break;
    default:
        break;
    }
}

void frmMain::cboTam_Click() {
    HWND value = Control(IDC_txtValPunt);
    SetWindowTextW(value, L"");
    // Another text leaves the limit as it was.
    if (const std::optional<PointerSize> size = PointerSize::FromText(Text(IDC_cboTam))) {
        SendMessageW(value, EM_SETLIMITTEXT, size->Digits(), 0);
    }
}

void frmMain::ckValPunt_Click() {
    EnableWindow(Control(IDC_txtValPunt), Checked(IDC_ckValPunt));
}

void frmMain::ckWindow_Click() {
    Ventana::SiempreEncima(Handle(), Checked(IDC_ckWindow));
}
