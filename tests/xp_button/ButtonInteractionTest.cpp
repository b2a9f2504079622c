#include "portable/ButtonMath.h"
#include "tests/support/win32/MessageBoxWatch.h"
#include "tests/xp_button/ButtonHost.h"
#include "win32/MessagePump.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using P = XP_buttonProbe;
constexpr std::int32_t kHover = 0x0080C0FF;
constexpr std::int32_t kFocus = 0x00FF0000;
constexpr std::int32_t kLeft = 0x00FFB4B4;

// Column 1 of a square face: the ring, or the background beside the gradient.
std::int32_t Ring(const XP_button& b) {
    return P::Pixel(b, 1, 12);
}

std::int32_t NoRing() {
    return SysColor(COLOR_BTNFACE);
}

LPARAM At(int x, int y) {
    return MAKELPARAM(x, y);
}

struct Fixture {
    ButtonHost host;
    XP_button& b = host.Create(80, 25);
    FakePointer pointer;
    Fixture() {
        b.Caption("");
        b.SetPointerPosition(&pointer);
    }
};

TEST(ButtonInteraction, HoverStartsOnAMoveAndEndsAtATickThatFindsThePointerElsewhere) {
    Fixture f;
    SendMessageW(f.b.Handle(), WM_MOUSEMOVE, 0, At(5, 5));
    EXPECT_EQ(Ring(f.b), kHover);
    EXPECT_TRUE(P::Hover(f.b));
    EXPECT_TRUE(P::Timer1Enabled(f.b));

    f.pointer.at = POINT{115, 115};
    f.pointer.window = f.b.Handle();
    SendMessageW(f.b.Handle(), WM_TIMER, XP_button::kTimer1, 0);
    EXPECT_TRUE(P::Hover(f.b)) << "still over the control";
    EXPECT_EQ(f.pointer.asked.x, 115);
    EXPECT_EQ(Ring(f.b), kHover);

    f.pointer.window = f.host.Handle(); // another window at the same place ends it
    SendMessageW(f.b.Handle(), WM_TIMER, XP_button::kTimer1, 0);
    EXPECT_FALSE(P::Hover(f.b));
    EXPECT_FALSE(P::Timer1Enabled(f.b));
    EXPECT_EQ(Ring(f.b), NoRing()) << "black border, no ring";
    EXPECT_EQ(P::Pixel(f.b, 2, 12),
              ButtonMath::ShadeColor(f.b.BackColor(), ButtonMath::GradientAmount(25, 14)));
}

TEST(ButtonInteraction, FailedCursorQueryAsksAboutTheOrigin) {
    Fixture f;
    f.pointer.succeeds = false;
    f.pointer.at = POINT{50, 50};
    f.pointer.window = f.b.Handle();
    EXPECT_EQ(P::WindowUnderCursor(f.b), f.b.Handle());
    EXPECT_EQ(f.pointer.asked.x, 0);
    EXPECT_EQ(f.pointer.asked.y, 0);
    f.pointer.window = nullptr;
    EXPECT_EQ(P::WindowUnderCursor(f.b), nullptr);
}

TEST(ButtonInteraction, TheRealTimerEndsTheHover) {
    Fixture f;
    f.pointer.window = nullptr;
    SendMessageW(f.b.Handle(), WM_MOUSEMOVE, 0, At(5, 5));
    ASSERT_TRUE(P::Hover(f.b));
    PumpFor(100);
    EXPECT_FALSE(P::Hover(f.b));
    EXPECT_FALSE(P::Timer1Enabled(f.b));
}

TEST(ButtonInteraction, MovesWithAButtonHeldDrawTheRingWithoutStartingTheHover) {
    Fixture f;
    SendMessageW(f.b.Handle(), WM_MOUSEMOVE, MK_RBUTTON, At(5, 5));
    EXPECT_EQ(Ring(f.b), kHover);
    EXPECT_FALSE(P::Hover(f.b));
    EXPECT_FALSE(P::Timer1Enabled(f.b));
}

TEST(ButtonInteraction, PressAndReleaseShowThePressedFaceThenClickOnce) {
    Fixture f;
    f.pointer.window = f.b.Handle();
    SendMessageW(f.b.Handle(), WM_MOUSEMOVE, 0, At(5, 5));
    SendMessageW(f.b.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    EXPECT_TRUE(P::Pressed(f.b));
    const std::int32_t pressed = ButtonMath::ShadeColor(SysColor(COLOR_BTNHIGHLIGHT), -40);
    EXPECT_EQ(P::Pixel(f.b, 40, 1),
              ButtonMath::ShadeColor(pressed, ButtonMath::GradientAmount(25, 3)));
    EXPECT_EQ(GetCapture(), f.b.Handle());

    SendMessageW(f.b.Handle(), WM_MOUSEMOVE, MK_LBUTTON, At(6, 5));
    EXPECT_EQ(P::Pixel(f.b, 40, 1),
              ButtonMath::ShadeColor(pressed, ButtonMath::GradientAmount(25, 3)))
        << "no ring while pressed";

    bool clickedDuringHandler = false;
    f.host.onCommand = [&] { clickedDuringHandler = P::Clicked(f.b); };
    SendMessageW(f.b.Handle(), WM_LBUTTONUP, 0, At(6, 5));
    EXPECT_FALSE(P::Pressed(f.b));
    EXPECT_NE(GetCapture(), f.b.Handle());
    ASSERT_EQ(f.host.commands.size(), 1u);
    EXPECT_EQ(f.host.commands[0].id, 101);
    EXPECT_EQ(f.host.commands[0].code, BN_CLICKED);
    EXPECT_EQ(f.host.commands[0].from, f.b.Handle());
    EXPECT_TRUE(clickedDuringHandler) << "m_Clicked is set before click is raised";
    EXPECT_EQ(Ring(f.b), NoRing()) << "idle face without a ring after the release";
    EXPECT_TRUE(P::Hover(f.b)) << "the hover is left as it was";
    SendMessageW(f.b.Handle(), WM_MOUSEMOVE, 0, At(6, 6));
    EXPECT_EQ(Ring(f.b), kHover);
}

TEST(ButtonInteraction, ReleaseOutsideOrWithAnotherButtonRaisesNoClick) {
    Fixture f;
    SendMessageW(f.b.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    SendMessageW(f.b.Handle(), WM_LBUTTONUP, 0, At(200, 5));
    SendMessageW(f.b.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, At(5, 5));
    EXPECT_TRUE(P::Pressed(f.b));
    SendMessageW(f.b.Handle(), WM_RBUTTONUP, 0, At(5, 5));
    EXPECT_FALSE(P::Pressed(f.b));
    EXPECT_TRUE(f.host.commands.empty());
}

TEST(ButtonInteraction, FocusRingOnlyAfterAClickAndUntilTheFocusIsLost) {
    Fixture f;
    HWND other = f.host.Raw(80, 25, nullptr, L"cmdOtro", 102);
    SetFocus(other);
    SetFocus(f.b.Handle());
    EXPECT_EQ(Ring(f.b), NoRing()) << "no ring without a click";

    SendMessageW(f.b.Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(P::Clicked(f.b));
    EXPECT_EQ(f.host.commands.size(), 1u);
    // The pointer leaves a clicked control: the light ring marks it.
    SendMessageW(f.b.Handle(), WM_MOUSEMOVE, 0, At(5, 5));
    f.pointer.window = nullptr;
    SendMessageW(f.b.Handle(), WM_TIMER, XP_button::kTimer1, 0);
    EXPECT_EQ(Ring(f.b), kLeft);

    SetFocus(other);
    EXPECT_FALSE(P::Clicked(f.b));
    EXPECT_EQ(Ring(f.b), NoRing());
    SetFocus(f.b.Handle());
    EXPECT_EQ(Ring(f.b), NoRing()) << "the lost focus cleared the click";

    P::SetClicked(f.b, true); // clicked and focused again without a loss in between
    SendMessageW(f.b.Handle(), WM_SETFOCUS, 0, 0);
    EXPECT_EQ(Ring(f.b), kFocus);
    f.b.Enabled(false);
    P::DrawFocusBorder(f.b);
    EXPECT_EQ(Ring(f.b), NoRing()) << "disabled: nothing drawn over the face";
}

TEST(ButtonInteraction, DisabledControlIgnoresTheMouseButTracksPresses) {
    Fixture f;
    f.b.Enabled(false);
    const auto disabled = Snapshot(f.b);
    SendMessageW(f.b.Handle(), WM_MOUSEMOVE, 0, At(5, 5));
    SendMessageW(f.b.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    EXPECT_TRUE(P::Pressed(f.b));
    EXPECT_EQ(Snapshot(f.b), disabled);
    SendMessageW(f.b.Handle(), WM_LBUTTONUP, 0, At(5, 5));
    SendMessageW(f.b.Handle(), BM_CLICK, 0, 0);
    EXPECT_FALSE(P::Pressed(f.b));
    EXPECT_FALSE(P::Hover(f.b));
    EXPECT_FALSE(P::Clicked(f.b));
    EXPECT_EQ(Snapshot(f.b), disabled);
    EXPECT_TRUE(f.host.commands.empty());
}

TEST(ButtonInteraction, HoverEndingAfterDisableDrawsTheEnabledFace) {
    Fixture f;
    SendMessageW(f.b.Handle(), WM_MOUSEMOVE, 0, At(5, 5));
    f.b.Enabled(false);
    SendMessageW(f.b.Handle(), WM_TIMER, XP_button::kTimer1, 0);
    EXPECT_EQ(P::Pixel(f.b, 0, 0), 0) << "black border of the enabled face";
    EXPECT_EQ(P::Pixel(f.b, 40, 1),
              ButtonMath::ShadeColor(f.b.BackColor(), ButtonMath::GradientAmount(25, 3)));
}

TEST(ButtonWindow, ResizeAndShowDrawTheFaceOfTheCurrentState) {
    Fixture f;
    SendMessageW(f.b.Handle(), WM_MOUSEMOVE, 0, At(5, 5));
    const void* bits = P::BufferBits(f.b);
    SendMessageW(f.b.Handle(), WM_SIZE, 0, MAKELPARAM(80, 25));
    EXPECT_EQ(Ring(f.b), NoRing()) << "no ring";
    EXPECT_EQ(P::BufferBits(f.b), bits) << "same size, same buffer";
    f.b.Enabled(false);
    SetWindowPos(f.b.Handle(), nullptr, 0, 0, 120, 30, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(P::BufferWidth(f.b), 120);
    EXPECT_EQ(P::Pixel(f.b, 119, 15), SysColor(COLOR_3DDKSHADOW));
    ShowWindow(f.b.Handle(), SW_HIDE);
    f.b.Enabled(true);
    ShowWindow(f.b.Handle(), SW_SHOW);
    EXPECT_EQ(P::Pixel(f.b, 119, 15), 0);
}

TEST(ButtonWindow, AFailureInAnyMessageIsReportedOnceAndTheControlGoesOn) {
    MessageBoxWatch watch;
    Fixture f;
    f.pointer.window = f.b.Handle();
    SendMessageW(f.b.Handle(), WM_MOUSEMOVE, 0, At(5, 5));
    ASSERT_TRUE(P::Timer1Enabled(f.b));
    // A font so large that the caption's top overflows: every face drawn fails with error 6.
    f.b.Font()->SetSize(Fixed4{std::int64_t{30'000'000'000'000}});

    struct Route {
        const char* what;
        std::function<void()> send;
    };
    const Route routes[] = {
        {"timer",
         [&] {
             f.pointer.window = nullptr;
             PumpFor(60);
         }},
        {"mouse",
         [&] {
             PostMessageW(f.b.Handle(), WM_MOUSEMOVE, 0, At(6, 6));
             PumpWaitingMessages();
         }},
        {"size", [&] { SetWindowPos(f.b.Handle(), nullptr, 0, 0, 90, 25, SWP_NOMOVE); }},
        {"show",
         [&] {
             ShowWindow(f.b.Handle(), SW_HIDE);
             ShowWindow(f.b.Handle(), SW_SHOW);
         }},
    };
    for (const Route& r : routes) {
        const size_t before = watch.boxes.size();
        r.send();
        ASSERT_EQ(watch.boxes.size(), before + 1) << r.what;
        EXPECT_EQ(watch.boxes.back().caption, "ZeltorIGU");
        EXPECT_EQ(watch.boxes.back().text.rfind("Error:6 - ", 0), 0u) << watch.boxes.back().text;
    }
    EXPECT_FALSE(P::Timer1Enabled(f.b)) << "a failed tick stops the polling";

    f.b.Font()->SetSize(Fixed4{82500});
    f.pointer.window = f.b.Handle();
    PostMessageW(f.b.Handle(), WM_MOUSEMOVE, 0, At(5, 5));
    PumpWaitingMessages();
    EXPECT_EQ(Ring(f.b), kHover);
    EXPECT_TRUE(P::Timer1Enabled(f.b));
}

TEST(ButtonWindow, PaintCopiesTheBackBufferAndErasingIsSkipped) {
    Fixture f;
    f.b.BackColor(0x00336699);
    const WindowDc screen(nullptr);
    const MemoryDc target(CreateCompatibleDC(screen.Get()));
    const GdiBitmap bitmap(CreateCompatibleBitmap(screen.Get(), 80, 25));
    const SelectScope selected(target.Get(), bitmap.Get());
    HDC dc = target.Get();
    EXPECT_EQ(SendMessageW(f.b.Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
    SendMessageW(f.b.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    EXPECT_EQ(static_cast<std::int32_t>(GetPixel(dc, 40, 1)), P::Pixel(f.b, 40, 1));
    EXPECT_EQ(static_cast<std::int32_t>(GetPixel(dc, 0, 0)), 0);
}

TEST(ButtonWindow, RegistrationAndLookUp) {
    ButtonHost host;
    XP_button::Register(GetModuleHandleW(nullptr)); // again: no error
    EXPECT_EQ(XP_button::FromHandle(host.Handle()), nullptr);
    EXPECT_EQ(XP_button::FromHandle(nullptr), nullptr);
    XP_button& b = host.Create(80, 25);
    EXPECT_EQ(XP_button::FromHandle(b.Handle()), &b);
    EXPECT_EQ(GetWindowLongPtrW(b.Handle(), GWL_STYLE) & WS_TABSTOP, WS_TABSTOP);
    EXPECT_EQ(SendMessageW(b.Handle(), WM_GETDLGCODE, 0, 0), 0);
}

TEST(ButtonWindow, TheSystemPointerReportsTheWindowUnderIt) {
    ButtonHost host;
    XP_button& b = host.Create(80, 25);
    RECT rect;
    GetWindowRect(b.Handle(), &rect);
    ASSERT_TRUE(SetCursorPos(rect.left + 5, rect.top + 5));
    POINT at{};
    ASSERT_TRUE(SystemPointerPosition::Instance().CursorPos(at));
    EXPECT_EQ(at.x, rect.left + 5);
    EXPECT_EQ(SystemPointerPosition::Instance().WindowAt(at), b.Handle());
    EXPECT_EQ(P::WindowUnderCursor(b), b.Handle());
}

} // namespace
