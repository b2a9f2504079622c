#include "main_window/frmMain.h"

#include "main_window/HexField.h"
#include "main_window/RomMemory.h"
#include "main_window/Ventana.h"
#include "portable/ErrorText.h"
#include "portable/JoinPath.h"
#include "portable/PropertyStore.h"
#include "portable/PropertyValue.h"
#include "request/ExitMessage.h"
#include "request/HexWorks.h"
#include "win32/Utf.h"
#include "xp_button/XP_button.h"

#include <commdlg.h>

#include <string_view>

namespace {

constexpr wchar_t kClassName[] = L"ZeltorIGU_frmMain";
constexpr int kClientWidth = 4500; // twips
constexpr int kClientHeight = 3570;
// The ROM types the dialog offers, joined as the dialog expects them.
constexpr char kRomFilter[] =
    "SNES SMC "
    "(*.smc)|*.smc|SNES SWC (*.swc)|*.swc|SNES FIG (*.fig)|*.fig|SNES GD7 (*.078)|*.078|"
    "NES (*.nes)|*.nes|"
    "Genesis BIN (*.bin)|*.bin|Genesis SMD (*.smd)|*.smd|Gameboy GB(*.gb)|*.gb|"
    "Gameboy GBC (*.gbc*)|*.gbc|Game Gear GG  (*.gg)|*.gg |Todos los archivos (*.*)|*.*";

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
PropertyStore ButtonProperties(const ControlSpec& button) {
    PropertyStore stored;
    stored.Set("Caption", std::string(button.caption));
    stored.Set("BackColor", std::int32_t{0x00FFFFFF});
    stored.Set("FontName", std::string("MS Sans Serif"));
    stored.Set("FontSize", Fixed4{82500});
    return stored;
}

// Marks a request as under way for as long as it lives, when none was; false otherwise.
class RequestGuard {
public:
    explicit RequestGuard(bool& underWay) : m_UnderWay(underWay), m_Taken(!underWay) {
        underWay = true;
    }
    ~RequestGuard() {
        if (m_Taken) {
            m_UnderWay = false;
        }
    }
    RequestGuard(const RequestGuard&) = delete;
    RequestGuard& operator=(const RequestGuard&) = delete;
    explicit operator bool() const { return m_Taken; }

private:
    bool& m_UnderWay;
    bool m_Taken;
};

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
    for (const ControlSpec& control : FormControls()) {
        CreateControl(instance, control);
    }
}

void frmMain::CreateControl(HINSTANCE instance, const ControlSpec& c) {
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
    const ControlSpec* spec = FindControl(GetDlgCtrlID(control));
    if (spec != nullptr && spec->kind == ControlKind::RomName) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return windowBrush.Get();
    }
    if (spec != nullptr && spec->textColour != kSystemColour) {
        SetTextColor(dc, spec->textColour);
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

void frmMain::cmdOpen_Click() {
    if (m_RequestUnderWay) {
        return; // the ROM of a recalculation under way stays chosen until it has ended
    }
    try {
        OpenFileRequest request;
        request.title = "Abrir ROM";
        // The dialog leaves the current folder alone, so that no folder stays in use (and a
        // removable drive can still be ejected) after a choice.
        request.flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
        request.initialFolder = m_Services.appFolder;
        request.filter = kRomFilter;
        request.filterIndex = 1; // the first entry, "SNES SMC (*.smc)"
        const std::optional<OpenFileResult> chosen = m_Services.openFile(Handle(), request);
        if (!chosen) {
            return; // cancelled: the earlier choice stays
        }
        TakeRom(chosen->path, chosen->title);
    } catch (const RuntimeError& error) {
        ShowRomError(error);
    }
}

void frmMain::OpenRom(const std::string& path) {
    if (m_RequestUnderWay) {
        return;
    }
    try {
        // A name alone is taken in the current folder, as a shell or a console gives it.
        const std::wstring wide = Widen(path);
        const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
        std::wstring full(needed, L'\0');
        full.resize(GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr));
        const std::string fullPath = full.empty() ? path : Narrow(full);
        TakeRom(fullPath, fullPath.substr(fullPath.find_last_of("\\/") + 1));
    } catch (const RuntimeError& error) {
        ShowRomError(error);
    }
}

void frmMain::OnDropFiles(HDROP drop) {
    try {
        const std::optional<std::string> path = TakeDroppedFile(drop); // releases the drop
        if (path) {
            OpenRom(*path);
        }
    } catch (const RuntimeError& error) {
        ShowRomError(error);
    }
}

void frmMain::TakeRom(const std::string& path, const std::string& title) {
    // Measured through the full path; all three parts of the choice change together,
    // so a file that cannot be measured leaves the earlier choice whole.
    const std::int32_t length = m_Services.measureFile(path);
    m_cdFileTitle = title;
    m_RomLength = length;
    SetWindowTextW(Control(IDC_lblROM), Widen(title).c_str());
    RecallValues(title);
    // Selected, as a Tab would leave it: a remembered value is replaced by what is typed.
    HWND first = Control(IDC_txtInitext);
    SetFocus(first);
    SendMessageW(first, EM_SETSEL, 0, -1);
}

void frmMain::ShowRomError(const RuntimeError& error) {
    m_Services.showMessage(Handle(), RomSelectionErrorText(error));
}

void frmMain::RecallValues(const std::string& romName) {
    const RomValues v = RecallRomValues(JoinPath(m_Services.appFolder, kRomMemoryFile), romName);
    // The size first: its handler empties the first pointer, which is filled after it.
    if (v.pointerSize) {
        HWND cbo = Control(IDC_cboTam);
        const LRESULT item = SendMessageW(cbo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(Widen(*v.pointerSize).c_str()));
        SendMessageW(cbo, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
        cboTam_Click();
    }
    const std::pair<int, const std::optional<std::string>*> texts[] = {
        {IDC_txtInitext, &v.textStart},
        {IDC_txtIniPunt, &v.tableStart},
        {IDC_txtFinPunt, &v.tableEnd},
        {IDC_txtSeparador, &v.separator},
    };
    for (const auto& [id, value] : texts) {
        if (*value) {
            SetWindowTextW(Control(id), Widen(**value).c_str());
        }
    }
    if (v.firstPointerGiven) {
        SendMessageW(Control(IDC_ckValPunt), BM_SETCHECK,
                     *v.firstPointerGiven ? BST_CHECKED : BST_UNCHECKED, 0);
        ckValPunt_Click();
    }
    HWND value = Control(IDC_txtValPunt);
    if (v.firstPointer &&
        v.firstPointer->size() <= static_cast<size_t>(SendMessageW(value, EM_GETLIMITTEXT, 0, 0))) {
        SetWindowTextW(value, Widen(*v.firstPointer).c_str());
    }
}

void frmMain::RememberValues(const RecalcRequest& r) const {
    RomValues v;
    v.textStart = r.textStart;
    v.tableStart = r.tableStart;
    v.tableEnd = r.tableEnd;
    v.pointerSize = r.pointerSize;
    v.separator = r.separator;
    v.firstPointerGiven = r.firstPointer.has_value();
    v.firstPointer = r.firstPointer;
    RememberRomValues(JoinPath(m_Services.appFolder, kRomMemoryFile), r.romName, v);
}

void frmMain::lblROM_Click() {
    cmdOpen_Click();
}

RecalcRequest frmMain::GatherRequest() const {
    RecalcRequest r;
    r.appFolder = m_Services.appFolder;
    r.romFolder = m_Services.appFolder; // where a ROM named without a folder is found
    r.romName = m_cdFileTitle;
    r.shownRomName = Text(IDC_lblROM);
    r.romLength = m_RomLength;
    r.textStart = Text(IDC_txtInitext);
    r.tableStart = Text(IDC_txtIniPunt);
    r.tableEnd = Text(IDC_txtFinPunt);
    r.pointerSize = Text(IDC_cboTam);
    r.separator = Text(IDC_txtSeparador);
    if (Checked(IDC_ckValPunt)) {
        r.firstPointer = Text(IDC_txtValPunt);
    }
    return r;
}

void frmMain::cmdRecalcular_Click() {
    const RequestGuard guard(m_RequestUnderWay);
    if (!guard) {
        return; // a press let through by the request under way
    }
    std::optional<std::string> message;
    try {
        message = Recalculate(GatherRequest());
    } catch (const RuntimeError& error) {
        message = RecalculationErrorText(error, m_Services.contact);
    }
    // Shown while the request still counts as under way, so that nothing the box lets
    // through can start another one underneath it.
    if (message) {
        m_Services.showMessage(Handle(), *message);
    }
}

// The rules, then the recalculator: the message to show, or nothing when the application is
// quitting and there is no one left to tell.
std::optional<std::string> frmMain::Recalculate(const RecalcRequest& request) {
    const RecalcOutcome outcome = CheckRequest(request, m_Services.fileExists);
    if (outcome.IsMessage()) {
        return outcome.message;
    }
    const std::optional<RecalculatorExit> exit = m_Services.runProgram(outcome.launch);
    if (!exit) {
        return std::nullopt;
    }
    if (exit->code == 0) {
        RememberValues(request);
    }
    return ExitMessage(*exit, LogBesideRom(request, m_Services.fileExists));
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
