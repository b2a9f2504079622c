#include "win32/BackBuffer.h"

bool BackBuffer::Fit(int width, int height) {
    if (width == m_Width && height == m_Height) {
        return false;
    }
    m_Width = width;
    m_Height = height;
    m_Bits = nullptr;
    m_Selected.reset(); // the DC's own bitmap is back in it
    m_Bitmap.Reset();
    if (width <= 0 || height <= 0) {
        return true;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down: row 0 first in memory
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_Bitmap.Reset(CreateDIBSection(m_Dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!m_Bitmap.Valid()) {
        return true;
    }
    m_Selected.emplace(m_Dc.Get(), m_Bitmap.Get());
    m_Bits = static_cast<std::uint32_t*>(bits);
    return true;
}

void BackBuffer::CopyTo(HDC target) const {
    if (m_Bits != nullptr) {
        BitBlt(target, 0, 0, m_Width, m_Height, m_Dc.Get(), 0, 0, SRCCOPY);
    }
}
