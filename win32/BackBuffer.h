#pragma once

#include "win32/Gdi.h"
#include "win32/Owned.h"

#include <windows.h>

#include <cstdint>
#include <optional>

// A back buffer: a memory DC holding a 32-bit top-down DIB section, made again only when its
// size changes. The section is selected into the DC for as long as it lives, and the DC's own
// bitmap is selected back before the section is deleted.
class BackBuffer {
public:
    BackBuffer() : m_Dc(CreateCompatibleDC(nullptr)) {}

    // Gives the buffer this size; true when it was made again, and so shows nothing yet. An
    // empty size, or a section that cannot be made, leaves no pixels at all.
    bool Fit(int width, int height);

    HDC Dc() const { return m_Dc.Get(); }
    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    // Row 0 first, one 0x00RRGGBB word per pixel; nullptr when there are no pixels.
    std::uint32_t* Bits() const { return m_Bits; }

    // Copies the pixels to a DC, at its origin.
    void CopyTo(HDC target) const;

private:
    // Declared in this order so that they go in the reverse one: the section is selected
    // out of the DC, then deleted, then the DC.
    MemoryDc m_Dc;
    GdiBitmap m_Bitmap;
    std::optional<SelectScope> m_Selected;
    std::uint32_t* m_Bits = nullptr;
    int m_Width = 0;
    int m_Height = 0;
};
