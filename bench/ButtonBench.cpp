// Times one hover redraw (DrawHighlightBorder) against one BitBlt of the back buffer at the same
// size, twice: as every mouse move over a button asks for it, when the button already shows its
// hover face; and when the face changes each time (the ring alternates between the hover and
// the light colour), so that the whole face is drawn. Run on purpose (scripts/bench-button),
// never as a test.
#include "xp_button/XP_button.h"
#include "xp_button/XP_buttonProbe.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Now() {
    LARGE_INTEGER count;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

// Median over runs of the mean time of one call, in microseconds.
template <class F>
double MedianMicroseconds(F&& action, int runs, int callsPerRun) {
    std::vector<double> means;
    for (int r = 0; r < runs; ++r) {
        const double start = Now();
        for (int i = 0; i < callsPerRun; ++i) {
            action();
        }
        GdiFlush();
        means.push_back((Now() - start) / callsPerRun);
    }
    std::sort(means.begin(), means.end());
    return means[means.size() / 2];
}

} // namespace

int main() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    XP_button::Register(instance);
    HWND parent = CreateWindowExW(0, L"STATIC", L"bench", WS_POPUP, 0, 0, 400, 100, nullptr,
                                  nullptr, instance, nullptr);
    PropertyStore stored;
    stored.Set("Caption", std::string("Recalcular punteros"));
    stored.Set("BackColor", std::int32_t{0x00FFFFFF});
    stored.Set("FontName", std::string("MS Sans Serif"));
    stored.Set("FontSize", Fixed4{82500});

    std::printf("%-9s %20s %20s %10s\n", "size", "hover redraw us", "face changed us", "BitBlt us");
    const int sizes[][2] = {{161, 17}, {281, 25}};
    for (const auto& size : sizes) {
        XP_button::CreateInfo info{L"cmdBench", &stored};
        HWND window = CreateWindowExW(0, L"XP_button", L"", WS_CHILD, 0, 0, size[0], size[1],
                                      parent, nullptr, instance, &info);
        XP_button& button = *XP_button::FromHandle(window);
        const MemoryDc target(CreateCompatibleDC(XP_buttonProbe::BufferDc(button)));
        BITMAPINFO bmi{};
        bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
        bmi.bmiHeader.biWidth = size[0];
        bmi.bmiHeader.biHeight = -size[1];
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        const GdiBitmap bitmap(
            CreateDIBSection(target.Get(), &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
        const SelectScope selected(target.Get(), bitmap.Get());

        const double redraw = MedianMicroseconds(
            [&] { XP_buttonProbe::DrawHighlightBorder(button, 0x0080C0FF); }, 9, 2000);
        int call = 0;
        const double changed = MedianMicroseconds(
            [&] {
                XP_buttonProbe::DrawHighlightBorder(button, ++call % 2 ? 0x0080C0FF : 0x00FFB4B4);
            },
            9, 200);
        const double blit = MedianMicroseconds(
            [&] {
                BitBlt(target.Get(), 0, 0, size[0], size[1], XP_buttonProbe::BufferDc(button), 0, 0,
                       SRCCOPY);
            },
            9, 2000);
        std::printf("%3dx%-5d %11.2f (%5.1fx) %11.2f (%5.1fx) %10.2f\n", size[0], size[1], redraw,
                    redraw / blit, changed, changed / blit, blit);
        DestroyWindow(window);
    }
    DestroyWindow(parent);
    return 0;
}
