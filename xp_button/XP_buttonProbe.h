#pragma once

#include "xp_button/XP_button.h"

#include <cstdint>
#include <memory>

// Reaches the control's private state and drawing routines for its tests, its benchmark and
// its gallery; nothing in the program itself uses it.
struct XP_buttonProbe {
    static void DrawFace(XP_button& b, std::int32_t base) { b.DrawFace(base); }
    static void DrawCaption(XP_button& b, const std::string& text) { b.DrawCaption(text); }
    static void DrawHighlightBorder(XP_button& b, std::int32_t ring) {
        b.DrawHighlightBorder(ring);
    }
    static void DrawPressedFace(XP_button& b) { b.DrawPressedFace(); }
    static void DrawDisabledFace(XP_button& b) { b.DrawDisabledFace(); }
    static void RedrawFace(XP_button& b) { b.RedrawFace(); }
    static void DrawFocusBorder(XP_button& b) { b.DrawFocusBorder(); }
    static void ClearFocusBorder(XP_button& b) { b.ClearFocusBorder(); }
    static std::int32_t ShadeColor(const XP_button& b, std::int32_t c, std::int32_t a) {
        return b.ShadeColor(c, a);
    }
    static HWND WindowUnderCursor(XP_button& b) { return b.WindowUnderCursor(); }
    // A font made exactly as the caption's.
    static GdiFont MakeCaptionFont(const XP_button& b) {
        const LOGFONTW lf = b.CaptionLogFont(b.m_Buffer.Dc());
        return GdiFont(CreateFontIndirectW(&lf));
    }

    // The surface's own font object, which Font() shares until another one is assigned.
    static std::shared_ptr<FontObject> SurfaceFont(const XP_button& b) { return b.m_SurfaceFont; }
    static bool Enabled(const XP_button& b) { return b.m_Enabled; }
    static bool Hover(const XP_button& b) { return b.m_Hover; }
    static bool Pressed(const XP_button& b) { return b.m_Pressed; }
    static bool Clicked(const XP_button& b) { return b.m_Clicked; }
    static void SetClicked(XP_button& b, bool clicked) { b.m_Clicked = clicked; }
    static bool ShiftCaption(const XP_button& b) { return b.m_ShiftCaption; }
    static bool Square(const XP_button& b) { return b.m_Square; }
    static std::int32_t Counter(const XP_button& b) { return b.m_Counter; }
    static bool Timer1Enabled(const XP_button& b) { return b.m_Timer1Enabled; }

    static HDC BufferDc(const XP_button& b) { return b.m_Buffer.Dc(); }
    static int BufferWidth(const XP_button& b) { return b.m_Buffer.Width(); }
    static int BufferHeight(const XP_button& b) { return b.m_Buffer.Height(); }
    static const void* BufferBits(const XP_button& b) { return b.m_Buffer.Bits(); }

    // Overwrites one pixel of the back buffer behind the control's back.
    static void Poke(XP_button& b, int x, int y, std::uint32_t bgra) {
        GdiFlush();
        b.m_Buffer
            .Bits()[static_cast<std::size_t>(y) * static_cast<std::size_t>(b.m_Buffer.Width()) +
                    static_cast<std::size_t>(x)] = bgra;
    }
    // One pixel of the back buffer as a colour 0x00BBGGRR.
    static std::int32_t Pixel(const XP_button& b, int x, int y) {
        GdiFlush();
        const std::uint32_t* row =
            b.m_Buffer.Bits() +
            static_cast<std::size_t>(y) * static_cast<std::size_t>(b.m_Buffer.Width());
        const std::uint32_t bgra = row[x];
        return static_cast<std::int32_t>(RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF));
    }
};
