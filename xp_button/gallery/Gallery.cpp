// Shows XP_button in every visual state, in both corner styles and at several sizes, so the
// faces can be looked at (and photographed) without reading code.
#include "xp_button/XP_button.h"
#include "xp_button/XP_buttonProbe.h"

#include <windows.h>

#include <functional>
#include <vector>

namespace {

struct State {
    const wchar_t* label;
    std::function<void(XP_button&)> show;
};

// The gallery's own window: it ends the program when it is closed.
class GalleryWindow : public Window {
public:
    HWND Create(HINSTANCE instance, int width, int height) {
        RegisterClassOnce(L"ZeltorButtonGallery", instance, nullptr,
                          reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
        return CreateWindowFor(0, L"ZeltorButtonGallery", L"XP_button gallery",
                               WS_POPUP | WS_BORDER, 40, 40, width, height, nullptr, instance);
    }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_DESTROY) {
            PostQuitMessage(0);
            return 0;
        }
        return Default(message, wParam, lParam);
    }
};

// Every state the gallery shows, one row each.
std::vector<State> GalleryStates() {
    return {
        {L"normal", [](XP_button&) {}},
        {L"hover", [](XP_button& b) { XP_buttonProbe::DrawHighlightBorder(b, 0x0080C0FF); }},
        {L"pressed", [](XP_button& b) { XP_buttonProbe::DrawPressedFace(b); }},
        {L"focus after click",
         [](XP_button& b) {
             XP_buttonProbe::SetClicked(b, true);
             XP_buttonProbe::DrawFocusBorder(b);
         }},
        {L"left after click",
         [](XP_button& b) { XP_buttonProbe::DrawHighlightBorder(b, 0x00FFB4B4); }},
        {L"disabled", [](XP_button& b) { b.Enabled(false); }},
    };
}

// Three sizes in columns, each in both corner styles; a label column on the left.
struct Layout {
    struct Size {
        int w;
        int h;
    };
    static constexpr Size kSizes[] = {{161, 17}, {120, 25}, {90, 40}};
    static constexpr int kLabelWidth = 130;
    static constexpr int kColumnWidth = 2 * (161 + 10) + 10;
    static constexpr int kRowHeight = 50;
    static int Width() { return kLabelWidth + 3 * kColumnWidth; }
    static int Height(std::size_t rows) { return 30 + static_cast<int>(rows) * kRowHeight + 10; }
};

void AddLabel(HWND window, HINSTANCE instance, const wchar_t* text, int x, int y, int w) {
    HWND s = CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE, x, y, w, 16, window,
                             nullptr, instance, nullptr);
    SendMessageW(s, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
}

// One button per state, size and corner style, with the window's own stored properties; each
// is paired with the row of its state.
std::vector<std::pair<XP_button*, std::size_t>> AddButtons(HWND window, HINSTANCE instance,
                                                           const std::vector<State>& states) {
    for (int s = 0; s < 3; ++s) {
        wchar_t heading[64];
        wsprintfW(heading, L"%d x %d: square, rounded", Layout::kSizes[s].w, Layout::kSizes[s].h);
        AddLabel(window, instance, heading, Layout::kLabelWidth + s * Layout::kColumnWidth, 8,
                 Layout::kColumnWidth - 10);
    }
    PropertyStore stored;
    stored.Set("Caption", std::string("Recalcular punteros"));
    stored.Set("BackColor", std::int32_t{0x00FFFFFF});
    stored.Set("FontName", std::string("MS Sans Serif"));
    stored.Set("FontSize", Fixed4{82500});
    std::vector<std::pair<XP_button*, std::size_t>> buttons;
    int id = 100;
    for (std::size_t r = 0; r < states.size(); ++r) {
        const int y = 30 + static_cast<int>(r) * Layout::kRowHeight;
        AddLabel(window, instance, states[r].label, 10, y + 4, Layout::kLabelWidth - 20);
        for (int s = 0; s < 3; ++s) {
            const Layout::Size size = Layout::kSizes[s];
            for (int style = 0; style < 2; ++style) {
                const int x =
                    Layout::kLabelWidth + s * Layout::kColumnWidth + style * (size.w + 10);
                XP_button::CreateInfo info{L"cmdGaleria", &stored};
                HWND b = CreateWindowExW(
                    0, L"XP_button", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, x, y, size.w, size.h,
                    window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, &info);
                XP_button* button = XP_button::FromHandle(b);
                button->Apparence(style);
                buttons.emplace_back(button, r);
            }
        }
    }
    return buttons;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    XP_button::Register(instance);
    const std::vector<State> states = GalleryStates();
    GalleryWindow gallery;
    HWND window = gallery.Create(instance, Layout::Width(), Layout::Height(states.size()));
    const auto buttons = AddButtons(window, instance, states);
    // Keep the pointer off the buttons, or one of them would show its hover ring.
    SetCursorPos(5, 5);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    // States last: showing the window draws the idle faces first.
    for (const auto& [button, r] : buttons) {
        states[r].show(*button);
        UpdateWindow(button->Handle());
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
