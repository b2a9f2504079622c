// XP_button's faces: every one is drawn into the back buffer with the GDI calls its drawing
// routines name, and WM_PAINT copies the buffer.
#include "xp_button/XP_button.h"

#include "portable/ButtonMath.h"
#include "win32/Utf.h"
#include "xp_button/XP_buttonShared.h"

#include <algorithm>
#include <cstring>

using namespace xp_button_detail;

namespace {

constexpr std::int32_t kShadingGrey = 0x00C0C0C0;
constexpr std::int32_t kNoRing = -1; // no colour 0x00BBGGRR is negative

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

} // namespace

// ---- Surface ----------------------------------------------------------------------------

HDC XP_button::SurfaceDc() {
    RECT client{};
    GetClientRect(Handle(), &client);
    if (m_Buffer.Fit(client.right, client.bottom)) {
        m_Drawn.kind = FaceKind::None; // a new buffer shows no face yet
    }
    return m_Buffer.Dc();
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
    lf.lfCharSet = ANSI_CHARSET; // DrawTextA draws the caption in the ANSI code page
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
    m_Buffer.CopyTo(target);
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
    want.dpi = GetDeviceCaps(m_Buffer.Dc(), LOGPIXELSY);
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
