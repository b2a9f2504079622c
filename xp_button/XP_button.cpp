#include "xp_button/XP_button.h"

#include "portable/ButtonMath.h"
#include "portable/RuntimeError.h"
#include "win32/Utf.h"
#include "win32/Win32Error.h"
#include "win32/Window.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <exception>

namespace {

constexpr wchar_t kClassName[] = L"XP_button";

// Ring colours, 0x00BBGGRR.
constexpr std::int32_t kHoverRing = 0x0080C0FF;       // red 255, green 192, blue 128
constexpr std::int32_t kFocusRing = 0x00FF0000;       // blue
constexpr std::int32_t kLeftClickedRing = 0x00FFB4B4; // red 180, green 180, blue 255
constexpr std::int32_t kShadingGrey = 0x00C0C0C0;
constexpr std::int32_t kNoRing = -1; // no colour 0x00BBGGRR is negative

thread_local int t_CreationError = 0;

std::int32_t SysColor(int index) {
    return static_cast<std::int32_t>(GetSysColor(index));
}

// A colour whose high byte is 0x80 names a system colour by its index; the face is drawn
// and shaded in the colour that index stands for now.
std::int32_t Resolve(std::int32_t color) {
    const auto bits = static_cast<std::uint32_t>(color);
    if ((bits & 0xFF000000u) == 0x80000000u) {
        return SysColor(static_cast<int>(bits & 0xFFu));
    }
    return static_cast<std::int32_t>(bits & 0x00FFFFFFu);
}

COLORREF Ref(std::int32_t color) {
    return static_cast<COLORREF>(color);
}

// The two light lines along the bottom and right inner edges, in the selected pen.
void DrawShadingLines(HDC dc, bool square, int w, int h) {
    if (square) {
        MoveToEx(dc, 2, h - 2, nullptr);
        LineTo(dc, w - 2, h - 2);
        MoveToEx(dc, w - 2, 2, nullptr);
        LineTo(dc, w - 2, h - 2);
    } else {
        MoveToEx(dc, 4, h - 2, nullptr);
        LineTo(dc, w - 4, h - 2);
        MoveToEx(dc, w - 2, 4, nullptr);
        LineTo(dc, w - 2, h - 4);
    }
}

// DrawTextA takes the text in the system's ANSI code page.
std::string ToAnsi(const std::string& utf8) {
    return NarrowTo(Widen(utf8), CP_ACP);
}

std::int16_t ButtonMask(WPARAM keys) {
    return static_cast<std::int16_t>(((keys & MK_LBUTTON) ? 1 : 0) | ((keys & MK_RBUTTON) ? 2 : 0) |
                                     ((keys & MK_MBUTTON) ? 4 : 0));
}

std::int16_t ShiftMask(WPARAM keys) {
    return static_cast<std::int16_t>(((keys & MK_SHIFT) ? 1 : 0) | ((keys & MK_CONTROL) ? 2 : 0) |
                                     ((GetKeyState(VK_MENU) < 0) ? 4 : 0));
}

} // namespace

// ---- Window class and messages ----------------------------------------------------------

void XP_button::Register(HINSTANCE instance) {
    // No background brush: every pixel comes from the back buffer.
    if (!RegisterClassOnce(kClassName, instance, nullptr, nullptr, &ProcedureMaking<&Make>)) {
        RaiseWin32Error(GetLastError());
    }
}

Window* XP_button::Make(HWND, const CREATESTRUCTW& create) {
    try {
        return new XP_button(static_cast<const CreateInfo*>(create.lpCreateParams));
    } catch (...) {
        return nullptr; // the creation fails
    }
}

XP_button* XP_button::FromHandle(HWND window) {
    wchar_t name[16] = {};
    if (window == nullptr || GetClassNameW(window, name, 16) == 0 ||
        std::wcscmp(name, kClassName) != 0) {
        return nullptr;
    }
    return static_cast<XP_button*>(Window::FromHandle(window));
}

int XP_button::CreationError() {
    return t_CreationError;
}

XP_button::XP_button(const CreateInfo* info)
    : m_Pointer(&SystemPointerPosition::Instance()), m_SurfaceFont(std::make_shared<FontObject>()),
      m_BufferDc(CreateCompatibleDC(nullptr)) {
    if (info != nullptr) {
        m_DisplayName = Narrow(info->displayName);
    }
    // The surface's fixed drawing state: glyphs over the face, outlines that never fill.
    SetBkMode(m_BufferDc.Get(), TRANSPARENT);
    SelectObject(m_BufferDc.Get(), GetStockObject(NULL_BRUSH));
}

XP_button::~XP_button() {
    if (m_OriginalBitmap != nullptr) {
        SelectObject(m_BufferDc.Get(), m_OriginalBitmap);
    }
    m_BufferBitmap.Reset();
}

LRESULT XP_button::OnUntrappedError(UINT message, WPARAM wParam, const std::exception_ptr& error) {
    if (message == WM_CREATE) {
        // An error while loading the stored properties fails the creation; the host reads
        // its number from CreationError.
        try {
            std::rethrow_exception(error);
        } catch (const RuntimeError& e) {
            t_CreationError = e.Number();
            return -1;
        } catch (...) {
        }
        ReportUntrappedError(Handle(), error);
        return -1;
    }
    if (message == WM_TIMER && wParam == kTimer1) {
        // A tick that failed would fail again 3 ms later: the polling stops, and the next
        // mouse move starts it again.
        Timer1Enabled(false);
        m_Hover = false;
    }
    return Window::OnUntrappedError(message, wParam, error);
}

LRESULT XP_button::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const float x = static_cast<float>(static_cast<short>(LOWORD(lParam)));
    const float y = static_cast<float>(static_cast<short>(HIWORD(lParam)));
    switch (message) {
    case WM_CREATE: {
        t_CreationError = 0;
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        const auto* info = static_cast<const CreateInfo*>(create->lpCreateParams);
        Initialize();
        if (info != nullptr && info->stored != nullptr) {
            ReadProperties(*info->stored);
        } else {
            InitProperties();
        }
        return 0;
    }
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
    case WM_MOUSEMOVE:
        MouseMove(ButtonMask(wParam), ShiftMask(wParam), x, y);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        if (message == WM_LBUTTONDOWN) {
            m_LeftDown = true;
            if (GetFocus() != Handle()) {
                SetFocus(Handle());
            }
        }
        SetCapture(Handle());
        const std::int16_t button =
            message == WM_LBUTTONDOWN ? 1 : (message == WM_RBUTTONDOWN ? 2 : 4);
        MouseDown(button, ShiftMask(wParam), x, y);
        return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        // A click is a left press and release, both on the control.
        RECT client;
        GetClientRect(Handle(), &client);
        const POINT at{static_cast<LONG>(x), static_cast<LONG>(y)};
        const bool click = message == WM_LBUTTONUP && m_LeftDown && PtInRect(&client, at);
        if (message == WM_LBUTTONUP) {
            m_LeftDown = false;
        }
        if (GetCapture() == Handle() && (wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0) {
            ReleaseCapture();
        }
        const std::int16_t button = message == WM_LBUTTONUP ? 1 : (message == WM_RBUTTONUP ? 2 : 4);
        MouseUp(button, ShiftMask(wParam), x, y);
        if (click) {
            Click();
        }
        return 0;
    }
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
    case WM_GETDLGCODE: {
        // Enter comes to the button itself rather than to the dialog manager, which would
        // lose whether the key was held.
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) &&
            msg->wParam == VK_RETURN) {
            return DLGC_WANTMESSAGE;
        }
        return 0;
    }
    case WM_KEYDOWN:
        // Enter or Space presses the focused button, as on a Windows push button; but not
        // the repeats of a held key (bit 30: the key was already down), so that holding
        // Enter in a field never runs on into a press.
        if ((wParam == VK_RETURN || wParam == VK_SPACE) && (lParam & (LPARAM{1} << 30)) == 0) {
            Click();
            return 0;
        }
        break;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

// ---- Life cycle -------------------------------------------------------------------------

void XP_button::Initialize() {
    m_BackColor = SysColor(COLOR_BTNHIGHLIGHT);
    m_Enabled = true;
    m_Square = true;
    m_Hover = false;
    m_Apparence = 0;
    m_Font = m_SurfaceFont;
    m_Font->SetName("ms sans serif");
    m_Font->SetSize(std::string_view("8"));
    m_Font->SetItalic(false);
    m_Font->SetBold(false);
    m_Font->SetUnderline(false);
}

void XP_button::InitProperties() {
    m_Caption = m_DisplayName;
    m_BackColor = SysColor(COLOR_BTNHIGHLIGHT);
    m_Enabled = true;
}

void XP_button::ReadProperties(const PropertyStore& store) {
    Caption(AsString(store.Read("Caption", m_DisplayName)));
    Enabled(AsBoolean(store.Read("Enabled", true)));
    BackColor(AsLong(store.Read("BackColor", SysColor(COLOR_BTNHIGHLIGHT))));
    ForeColor(AsLong(store.Read("ForeColor", std::int32_t{0})));
    Apparence(AsLong(store.Read("Apparence", std::int16_t{0})));
    const std::shared_ptr<FontObject> font = Font();
    font->SetName(AsString(store.Read("FontName", std::string("ms sans serif"))));
    font->SetSize(store.Read("FontSize", std::string("8")));
    font->SetBold(AsBoolean(store.Read("FontBold", false)));
    font->SetItalic(AsBoolean(store.Read("FontItalic", false)));
    font->SetUnderline(AsBoolean(store.Read("FontUnderline", false)));
}

void XP_button::WriteProperties(PropertyStore& store) const {
    const std::shared_ptr<FontObject> font = Font();
    store.Write("Caption", m_Caption, m_DisplayName);
    store.Write("Enabled", m_Enabled, true);
    store.Write("BackColor", m_BackColor, std::monostate{}); // no colour equals "nothing"
    store.Write("ForeColor", m_ForeColor, std::int32_t{0});
    store.Write("FontName", font->Name(), std::string("ms sans serif"));
    store.Write("FontSize", font->Size(), std::string("8"));
    store.Write("FontBold", font->Bold(), false);
    store.Write("FontItalic", font->Italic(), false);
    store.Write("FontUnderline", font->Underline(), false);
    store.Write("Apparence", m_Apparence, std::int16_t{0});
}

// ---- Properties -------------------------------------------------------------------------

void XP_button::Notify(const char* property) {
    if (m_PropertyChanged) {
        m_PropertyChanged(property);
    }
}

void XP_button::Apparence(std::int32_t new_app) {
    m_Apparence = new_app;
    if (new_app == 0) {
        m_Square = true;
    } else if (new_app == 1) {
        m_Square = false;
    }
    DrawFace(m_BackColor);
    Notify("Apparence");
}

void XP_button::Font(std::shared_ptr<FontObject> new_font) {
    // Refused before anything changes, so the control always keeps a usable font.
    if (!new_font) {
        throw RuntimeError(ErrorNumber::InvalidUse,
                           "Variable de objeto o de bloque With no establecida");
    }
    m_Font = std::move(new_font);
    m_SurfaceFont->SetName(m_Font->Name());
    m_SurfaceFont->SetSize(m_Font->Size());
    m_SurfaceFont->SetItalic(m_Font->Italic());
    m_SurfaceFont->SetUnderline(m_Font->Underline());
    m_SurfaceFont->SetBold(m_Font->Bold());
    DrawFace(m_BackColor);
    Notify("Font");
}

void XP_button::Enabled(bool new_enabled) {
    m_Enabled = new_enabled;
    if (m_Enabled) {
        DrawFace(m_BackColor);
    } else {
        DrawDisabledFace();
    }
    Notify("Enabled");
}

void XP_button::ForeColor(std::int32_t new_ForeColor) {
    m_ForeColor = new_ForeColor;
    SetTextColor(SurfaceDc(), Ref(Resolve(new_ForeColor)));
    DrawFace(m_BackColor);
    Notify("ForeColor");
}

void XP_button::Caption(const std::string& new_Caption) {
    m_Caption = new_Caption;
    DrawFace(m_BackColor);
    Notify("Caption");
}

void XP_button::BackColor(std::int32_t new_back) {
    m_BackColor = new_back;
    if (m_Enabled) {
        DrawFace(new_back);
    }
    Notify("BackColor");
}

// ---- Surface ----------------------------------------------------------------------------

HDC XP_button::SurfaceDc() {
    RECT client{};
    GetClientRect(Handle(), &client);
    const int w = client.right;
    const int h = client.bottom;
    if (w == m_BufferWidth && h == m_BufferHeight) {
        return m_BufferDc.Get();
    }
    HDC dc = m_BufferDc.Get();
    m_BufferWidth = w;
    m_BufferHeight = h;
    m_BufferBits = nullptr;
    m_Drawn.kind = FaceKind::None; // a new buffer shows no face yet
    if (w <= 0 || h <= 0) {
        if (m_OriginalBitmap != nullptr) {
            SelectObject(dc, m_OriginalBitmap);
        }
        m_BufferBitmap.Reset();
        return dc;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // top-down: row 0 first in memory
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiBitmap bitmap(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap.Get() == nullptr) {
        return dc;
    }
    HGDIOBJ previous = SelectObject(dc, bitmap.Get());
    if (m_OriginalBitmap == nullptr) {
        m_OriginalBitmap = previous;
    }
    m_BufferBitmap = std::move(bitmap); // the old one is out of the DC now
    m_BufferBits = bits;
    return dc;
}

void XP_button::Cls(HDC dc, const RECT& client) {
    GdiBrush background(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    FillRect(dc, &client, background);
}

LOGFONTW XP_button::CaptionLogFont(HDC dc) const {
    const FontObject& font = *m_SurfaceFont;
    LOGFONTW lf{};
    lf.lfHeight = -ButtonMath::PointsToPixels(font.Size().scaled, GetDeviceCaps(dc, LOGPIXELSY));
    lf.lfWeight = font.Weight();
    lf.lfItalic = font.Italic() ? TRUE : FALSE;
    lf.lfUnderline = font.Underline() ? TRUE : FALSE;
    lf.lfStrikeOut = font.Strikethrough() ? TRUE : FALSE;
    lf.lfCharSet = static_cast<BYTE>(font.Charset());
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::wstring name = Widen(font.Name());
    wcsncpy(lf.lfFaceName, name.c_str(), LF_FACESIZE - 1);
    return lf;
}

HFONT XP_button::CaptionFont(HDC dc) {
    // Made again only when the font's description changes, not for every caption drawn.
    const LOGFONTW lf = CaptionLogFont(dc);
    if (m_CaptionFont.Get() == nullptr || std::memcmp(&lf, &m_CaptionLogFont, sizeof lf) != 0) {
        m_CaptionFont = GdiFont(CreateFontIndirectW(&lf));
        m_CaptionLogFont = lf;
    }
    return m_CaptionFont.Get();
}

void XP_button::Present() {
    InvalidateRect(Handle(), nullptr, FALSE);
}

void XP_button::PaintTo(HDC target) {
    SurfaceDc();
    if (m_BufferBits != nullptr) {
        BitBlt(target, 0, 0, m_BufferWidth, m_BufferHeight, m_BufferDc.Get(), 0, 0, SRCCOPY);
    }
}

// ---- Drawing ----------------------------------------------------------------------------

std::int32_t XP_button::ShadeColor(std::int32_t color, std::int32_t amount) const {
    return ButtonMath::ShadeColor(Resolve(color), amount);
}

bool XP_button::Shows(FaceKind kind, std::int32_t base, std::int32_t ring, const RECT& client) {
    FaceState& want = m_Wanted; // assigned in place, so that its strings keep their storage
    want.kind = kind;
    want.base = base;
    want.ring = ring;
    want.shifted = m_ShiftCaption;
    want.square = m_Square;
    want.width = client.right;
    want.height = client.bottom;
    want.dpi = GetDeviceCaps(m_BufferDc.Get(), LOGPIXELSY);
    want.fore = Resolve(m_ForeColor);
    want.face = GetSysColor(COLOR_BTNFACE);
    want.highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    want.shadow = GetSysColor(COLOR_BTNSHADOW);
    want.darkShadow = GetSysColor(COLOR_3DDKSHADOW);
    want.caption = m_Caption;
    want.captionSize = m_Font->Size().scaled;
    const FontObject& font = *m_SurfaceFont;
    want.fontName = font.Name();
    want.fontSize = font.Size().scaled;
    want.fontWeight = font.Weight();
    want.fontCharset = font.Charset();
    want.fontItalic = font.Italic();
    want.fontUnderline = font.Underline();
    want.fontStrikethrough = font.Strikethrough();
    return want == m_Drawn;
}

void XP_button::DrawFace(std::int32_t base) {
    if (PaintFace(base)) {
        Present();
    }
}

bool XP_button::PaintFace(std::int32_t base) {
    HDC dc = SurfaceDc();
    RECT client{};
    GetClientRect(Handle(), &client);
    const int w = client.right;
    const int h = client.bottom;
    const std::int32_t bound = h;
    if (Shows(FaceKind::Plain, Resolve(base), kNoRing, client)) {
        // What drawing it again would leave behind, without a pixel changed.
        m_ShiftCaption = false;
        m_Counter = std::max(bound, 0) + 1;
        return false;
    }
    Cls(dc, client);

    for (m_Counter = 1; m_Counter <= bound; ++m_Counter) {
        const std::int32_t amount = ButtonMath::GradientAmount(h, m_Counter);
        GdiPen pen(CreatePen(PS_SOLID, 1, Ref(ShadeColor(base, amount))));
        SelectScope use(dc, pen);
        MoveToEx(dc, 2, m_Counter - 2, nullptr);
        LineTo(dc, w - 2, m_Counter - 2);
    }

    if (m_Square) {
        GdiBrush black(CreateSolidBrush(RGB(0, 0, 0)));
        FrameRect(dc, &client, black);
    } else {
        GdiPen black(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
        SelectScope use(dc, black);
        RoundRect(dc, 0, 0, w, h, 10, 10);
    }

    if (Resolve(base) == SysColor(COLOR_BTNHIGHLIGHT)) {
        GdiPen grey(CreatePen(PS_SOLID, 1, Ref(kShadingGrey)));
        SelectScope use(dc, grey);
        DrawShadingLines(dc, m_Square, w, h);
    }

    SetTextColor(dc, Ref(Resolve(m_ForeColor)));
    DrawCaption(m_Caption);
    m_Drawn = m_Wanted;
    return true;
}

void XP_button::DrawCaption(const std::string& text) {
    HDC dc = SurfaceDc();
    m_Drawn.kind = FaceKind::None; // the buffer changes under whatever face it showed
    RECT rect{};
    GetClientRect(Handle(), &rect);
    rect.top = ButtonMath::CaptionTop(rect.bottom, m_Font->Size().scaled, m_ShiftCaption,
                                      GetDeviceCaps(dc, LOGPIXELSY));
    m_ShiftCaption = false;
    SelectScope use(dc, CaptionFont(dc));
    const std::string ansi = ToAnsi(text);
    DrawTextA(dc, ansi.c_str(), static_cast<int>(ansi.size()), &rect, DT_CENTER | DT_WORDBREAK);
}

void XP_button::DrawHighlightBorder(std::int32_t ringColor) {
    HDC dc = SurfaceDc();
    RECT client{};
    GetClientRect(Handle(), &client);
    const int w = client.right;
    const int h = client.bottom;
    const std::int32_t ring = Resolve(ringColor);
    if (Shows(FaceKind::Plain, Resolve(m_BackColor), ring, client)) {
        // Every mouse move over the button asks for the face it shows already.
        m_ShiftCaption = false;
        m_Counter = 3;
        return;
    }
    PaintFace(m_BackColor); // unless the plain face is there already
    for (m_Counter = 1; m_Counter <= 2; ++m_Counter) {
        const int i = m_Counter;
        if (m_Square) {
            GdiBrush brush(CreateSolidBrush(Ref(ring)));
            const RECT inset{i, i, w - i, h - i};
            FrameRect(dc, &inset, brush);
        } else {
            GdiPen pen(CreatePen(PS_SOLID, 1, Ref(ring)));
            SelectScope use(dc, pen);
            RoundRect(dc, i, i, w - i, h - i, 10, 10);
        }
    }
    m_Drawn.ring = ring; // the plain face, now with its ring
    Present();
}

void XP_button::DrawPressedFace() {
    m_ShiftCaption = true;
    const std::int32_t highlight = SysColor(COLOR_BTNHIGHLIGHT);
    const std::int32_t base = ShadeColor(highlight, -40);
    HDC dc = SurfaceDc();
    RECT client{};
    GetClientRect(Handle(), &client);
    if (Shows(FaceKind::Pressed, base, kNoRing, client)) {
        m_ShiftCaption = false;
        m_Counter = std::max(static_cast<std::int32_t>(client.bottom), 0) + 1;
        return;
    }
    PaintFace(base);
    {
        GdiPen pen(CreatePen(PS_SOLID, 1, Ref(highlight)));
        SelectScope use(dc, pen);
        DrawShadingLines(dc, m_Square, client.right, client.bottom);
    }
    m_Drawn.kind = FaceKind::Pressed; // the plain face in that base, with the light lines
    Present();
}

void XP_button::DrawDisabledFace() {
    HDC dc = SurfaceDc();
    RECT client{};
    GetClientRect(Handle(), &client);
    const int w = client.right;
    const int h = client.bottom;
    if (Shows(FaceKind::Disabled, 0, kNoRing, client)) {
        m_ShiftCaption = false;
        return;
    }
    Cls(dc, client);
    if (m_Square) {
        {
            GdiBrush face(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
            SelectScope fill(dc, face);
            Rectangle(dc, 0, 0, w, h);
        }
        GdiBrush frame(CreateSolidBrush(GetSysColor(COLOR_3DDKSHADOW)));
        FrameRect(dc, &client, frame);
    } else {
        GdiBrush face(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
        SelectScope fill(dc, face);
        GdiPen outline(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)));
        SelectScope use(dc, outline);
        RoundRect(dc, 0, 0, w, h, 10, 10);
    }
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    DrawCaption(m_Caption);
    m_Drawn = m_Wanted;
    Present();
}

void XP_button::RedrawFace() {
    DrawFace(m_BackColor);
}

void XP_button::DrawFocusBorder() {
    if (m_Clicked && m_Enabled) {
        DrawHighlightBorder(kFocusRing);
    }
}

void XP_button::ClearFocusBorder() {
    m_Clicked = false;
    DrawFace(m_BackColor);
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
