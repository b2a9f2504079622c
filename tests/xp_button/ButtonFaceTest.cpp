#include "portable/ButtonMath.h"
#include "tests/xp_button/ButtonHost.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using P = XP_buttonProbe;
constexpr std::int32_t kWhite = 0x00FFFFFF;
constexpr std::int32_t kBlack = 0;

// Every pixel of the outermost ring.
void ExpectOuterRing(const XP_button& b, int w, int h, std::int32_t color) {
    for (int x = 0; x < w; ++x) {
        ASSERT_EQ(P::Pixel(b, x, 0), color) << x;
        ASSERT_EQ(P::Pixel(b, x, h - 1), color) << x;
    }
    for (int y = 0; y < h; ++y) {
        ASSERT_EQ(P::Pixel(b, 0, y), color) << y;
        ASSERT_EQ(P::Pixel(b, w - 1, y), color) << y;
    }
}

TEST(ButtonFace, GradientRowsOfAWhiteBaseAtHeight25) {
    ButtonHost host;
    XP_button& b = host.Create(80, 25);
    b.Caption("");
    // Square: rows 1..22 carry the gradient from x = 2 to x = 77; column 1 keeps the
    // background colour.
    P::DrawFace(b, kWhite);
    for (int y = 1; y <= 22; ++y) {
        const std::int32_t expected =
            ButtonMath::ShadeColor(kWhite, ButtonMath::GradientAmount(25, y + 2));
        for (int x = 2; x <= 77; ++x) {
            ASSERT_EQ(P::Pixel(b, x, y), expected) << x << "," << y;
        }
        EXPECT_EQ(P::Pixel(b, 1, y), SysColor(COLOR_BTNFACE)) << y;
    }
    EXPECT_EQ(P::Pixel(b, 40, 1), 0x00FAFBFB);
    // Rows 0 and 23 show where the rounded border leaves them uncovered.
    b.Apparence(1);
    P::DrawFace(b, kWhite);
    EXPECT_EQ(P::Pixel(b, 2, 0), 0x00FCFCFC);
    EXPECT_EQ(P::Pixel(b, 3, 23), 0x00D1DCDC);
}

TEST(ButtonFace, BlackOuterBorderInBothStyles) {
    ButtonHost host;
    XP_button& b = host.Create(60, 21);
    P::DrawFace(b, 0x00336699);
    ExpectOuterRing(b, 60, 21, kBlack);

    b.Apparence(1);
    P::DrawFace(b, 0x00336699);
    for (const POINT p : {POINT{30, 0}, POINT{30, 20}, POINT{0, 10}, POINT{59, 10}, POINT{1, 2},
                          POINT{2, 1}, POINT{58, 2}}) {
        EXPECT_EQ(P::Pixel(b, p.x, p.y), kBlack) << p.x << "," << p.y;
    }
    // Outside the rounded corners: the background, or the ends of the gradient rows at x = 2.
    EXPECT_EQ(P::Pixel(b, 0, 0), SysColor(COLOR_BTNFACE));
    EXPECT_EQ(P::Pixel(b, 59, 20), SysColor(COLOR_BTNFACE));
    EXPECT_EQ(P::Pixel(b, 2, 0),
              ButtonMath::ShadeColor(0x00336699, ButtonMath::GradientAmount(21, 2)));
}

TEST(ButtonFace, ShadingLinesOnlyWhenTheBaseIsTheHighlightColour) {
    ButtonHost host;
    XP_button& b = host.Create(80, 25);
    b.Caption("");
    const std::int32_t highlight = SysColor(COLOR_BTNHIGHLIGHT);
    const std::int32_t offByOne = highlight ^ 1; // 0x00FEFEFE on a white-highlight system
    for (int style : {0, 1}) {
        b.Apparence(style);
        P::DrawFace(b, highlight);
        const int left = style == 0 ? 2 : 4;
        const int right = style == 0 ? 77 : 75; // LineTo leaves out the end point
        for (int x = left; x <= right; ++x) {
            ASSERT_EQ(P::Pixel(b, x, 23), 0x00C0C0C0) << x << " style " << style;
        }
        const int top = style == 0 ? 2 : 4;
        const int bottom = style == 0 ? 22 : 20;
        for (int y = top; y <= bottom; ++y) {
            ASSERT_EQ(P::Pixel(b, 78, y), 0x00C0C0C0) << y << " style " << style;
        }
        EXPECT_NE(P::Pixel(b, 78, bottom + 1), 0x00C0C0C0) << style;

        P::DrawFace(b, offByOne);
        EXPECT_EQ(P::Pixel(b, 40, 23), ButtonMath::ShadeColor(offByOne, -35)) << style;
        EXPECT_EQ(P::Pixel(b, 78, 12), SysColor(COLOR_BTNFACE)) << style;
    }
}

TEST(ButtonFace, RingsAtInsetsOneAndTwo) {
    struct Case {
        const char* what;
        std::int32_t ring;
    };
    const Case rings[] = {
        {"hover", 0x0080C0FF}, {"focus", 0x00FF0000}, {"after click", 0x00FFB4B4}};
    ButtonHost host;
    XP_button& b = host.Create(81, 25);
    b.Caption("");
    for (const Case& c : rings) {
        b.Apparence(0);
        P::DrawHighlightBorder(b, c.ring);
        ExpectOuterRing(b, 81, 25, kBlack);
        for (int i = 1; i <= 2; ++i) {
            EXPECT_EQ(P::Pixel(b, i, 12), c.ring) << c.what << i;
            EXPECT_EQ(P::Pixel(b, 80 - i, 12), c.ring) << c.what << i;
            EXPECT_EQ(P::Pixel(b, 40, i), c.ring) << c.what << i;
            EXPECT_EQ(P::Pixel(b, 40, 24 - i), c.ring) << c.what << i; // over the shading line
        }
        EXPECT_EQ(P::Pixel(b, 3, 12),
                  ButtonMath::ShadeColor(b.BackColor(), ButtonMath::GradientAmount(25, 14)))
            << c.what;

        b.Apparence(1);
        P::DrawHighlightBorder(b, c.ring);
        for (int i = 1; i <= 2; ++i) {
            EXPECT_EQ(P::Pixel(b, i, 12), c.ring) << c.what << " rounded " << i;
            EXPECT_EQ(P::Pixel(b, 40, i), c.ring) << c.what << " rounded " << i;
            EXPECT_EQ(P::Pixel(b, 80 - i, 12), c.ring) << c.what << " rounded " << i;
            EXPECT_EQ(P::Pixel(b, 40, 24 - i), c.ring) << c.what << " rounded " << i;
        }
        EXPECT_EQ(P::Pixel(b, 40, 0), kBlack) << c.what;
        EXPECT_EQ(P::Counter(b), 3) << "the ring loop leaves its counter past 2";
    }
}

TEST(ButtonFace, PressedFaceIsTheHighlightShadedBy40WithHighlightLines) {
    ButtonHost host;
    XP_button& b = host.Create(80, 25);
    b.Caption("");
    const std::int32_t highlight = SysColor(COLOR_BTNHIGHLIGHT);
    const std::int32_t base = ButtonMath::ShadeColor(highlight, -40);
    for (std::int32_t back : {kWhite, 0x000000FF, 0x00123456}) {
        b.BackColor(back);
        P::DrawPressedFace(b);
        EXPECT_FALSE(P::ShiftCaption(b));
        EXPECT_EQ(P::Pixel(b, 40, 1),
                  ButtonMath::ShadeColor(base, ButtonMath::GradientAmount(25, 3)));
        EXPECT_EQ(P::Pixel(b, 40, 22), ButtonMath::ShadeColor(base, -34));
        EXPECT_EQ(P::Pixel(b, 40, 23), highlight);
        EXPECT_EQ(P::Pixel(b, 78, 12), highlight);
        ExpectOuterRing(b, 80, 25, kBlack);
    }
    if (highlight == kWhite) {
        EXPECT_EQ(base, 0x00CAD7D7);
        b.Apparence(1);
        P::DrawPressedFace(b);
        EXPECT_EQ(P::Pixel(b, 3, 23), 0x00A6B4B4);
        EXPECT_EQ(P::Pixel(b, 40, 23), kWhite);
    }
}

TEST(ButtonFace, DisabledFaceInSystemColoursIgnoringBackAndForeColor) {
    ButtonHost host;
    XP_button& b = host.Create(80, 25);
    b.Caption("Abrir");
    b.Enabled(false);
    const auto square = Snapshot(b);
    ExpectOuterRing(b, 80, 25, SysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(P::Pixel(b, 5, 3), SysColor(COLOR_BTNFACE));
    // The caption is smoothed, so its pixels lie between the shadow and the face.
    int captionPixels = 0;
    for (std::int32_t pixel : square) {
        const int r = pixel & 0xFF;
        ASSERT_TRUE(r == ((pixel >> 8) & 0xFF) && r == ((pixel >> 16) & 0xFF)) << std::hex << pixel;
        if (pixel == SysColor(COLOR_BTNSHADOW)) {
            ++captionPixels;
        }
    }
    EXPECT_GT(captionPixels, 10);

    b.BackColor(0x000000FF); // stored, not drawn while disabled
    b.ForeColor(0x0000FF00); // draws the enabled face
    P::DrawDisabledFace(b);
    EXPECT_EQ(Snapshot(b), square);

    b.Apparence(1);
    P::DrawDisabledFace(b);
    EXPECT_EQ(P::Pixel(b, 40, 0), SysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(P::Pixel(b, 0, 12), SysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(P::Pixel(b, 79, 24), SysColor(COLOR_BTNFACE)); // outside the corner
    EXPECT_EQ(P::Pixel(b, 5, 3), SysColor(COLOR_BTNFACE));

    // Enabled again, the rounded face has its gradient and its caption in ForeColor.
    b.Enabled(true);
    EXPECT_EQ(P::Pixel(b, 40, 1),
              ButtonMath::ShadeColor(0x000000FF, ButtonMath::GradientAmount(25, 3)));
    int foreColorPixels = 0;
    for (std::int32_t pixel : Snapshot(b)) {
        foreColorPixels += pixel == 0x0000FF00 ? 1 : 0;
    }
    EXPECT_GT(foreColorPixels, 10);
}

// The caption's ink starts at a fixed distance below its rectangle's top, so the ink's first
// row less the expected top is one constant for every height and shift.
TEST(ButtonFace, CaptionTopFollowsHeightSizeAndShiftWithTiesToEven) {
    struct Case {
        int h;
        std::int64_t size;
        bool pressed;
        int top;
    };
    const Case cases[] = {
        {25, 80000, false, 6}, {25, 80000, true, 8}, {23, 80000, false, 6}, {23, 80000, true, 6},
        {21, 80000, false, 4}, {21, 80000, true, 6}, {25, 82500, false, 6}, {25, 82500, true, 7},
    };
    ButtonHost host;
    int offset = 1000;
    for (const Case& c : cases) {
        XP_button& b = host.Create(80, c.h);
        // The position follows the Font property's size; the glyphs come from the surface's
        // own font, kept at one size for all cases.
        auto font = std::make_shared<FontObject>();
        font->SetSize(Fixed4{c.size});
        b.Font(font);
        XP_buttonProbe::SurfaceFont(b)->SetSize(Fixed4{80000});
        b.Caption("");
        if (c.pressed) {
            P::DrawPressedFace(b);
        } else {
            P::DrawFace(b, kWhite);
        }
        const auto blank = Snapshot(b);
        b.Caption("Hg");
        if (c.pressed) {
            P::DrawPressedFace(b);
        } else {
            P::DrawFace(b, kWhite);
        }
        const int ink = FirstDifferentRow(blank, Snapshot(b), 80);
        ASSERT_GE(ink, c.top) << c.h;
        if (offset == 1000) {
            offset = ink - c.top;
        }
        EXPECT_EQ(ink - c.top, offset)
            << "H " << c.h << " size " << c.size << (c.pressed ? " pressed" : "");
        DestroyWindow(b.Handle());
    }
}

TEST(ButtonFace, EmptyCaptionDrawsNoTextAndAmpersandUnderlines) {
    ButtonHost host;
    XP_button& b = host.Create(80, 25);
    b.Caption("");
    const auto blank = Snapshot(b);
    b.Caption("&&");
    const auto doubled = Snapshot(b);
    EXPECT_NE(doubled, blank);
    b.Caption("Abrir");
    const auto plain = Snapshot(b);
    b.Caption("&Abrir");
    const auto prefixed = Snapshot(b);
    EXPECT_NE(prefixed, plain) << "the A is underlined";
    EXPECT_EQ(FirstDifferentRow(blank, prefixed, 80), FirstDifferentRow(blank, plain, 80))
        << "the ampersand itself is not drawn before the text";
}

TEST(ButtonFace, ZeroHeightDrawsNoGradientButDoesNotFail) {
    ButtonHost host;
    XP_button& b = host.Create(40, 0);
    P::DrawFace(b, kWhite);
    EXPECT_EQ(P::Counter(b), 1);
    EXPECT_EQ(P::BufferBits(b), nullptr);
}

// Each mouse move asks for the hover face again; only a face that changed is drawn again.
TEST(ButtonFace, TheFaceShownIsNotDrawnAgainButAnyChangeInItIs) {
    ButtonHost host;
    XP_button& b = host.Create(80, 25);
    b.Caption("Abrir");
    // A pixel no face has: any drawing covers it with the gradient.
    auto mark = [&] { P::Poke(b, 40, 12, 0x00123456); };
    auto marked = [&] { return P::Pixel(b, 40, 12) == 0x00563412; };
    P::DrawHighlightBorder(b, 0x0080C0FF);
    mark();
    P::DrawHighlightBorder(b, 0x0080C0FF);
    SendMessageW(b.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(marked()) << "the same face was drawn again";

    // Each request that differs from the face shown draws; so does every change that a
    // property assignment does not draw by itself, such as the font changed in place.
    auto redrawn = [&](auto&& change) {
        change();
        P::RedrawFace(b);
    };
    struct Change {
        const char* what;
        std::function<void()> make;
    };
    const Change changes[] = {
        {"ring colour", [&] { P::DrawHighlightBorder(b, 0x00FF0000); }},
        {"no ring", [&] { P::DrawFace(b, b.BackColor()); }},
        {"pressed", [&] { P::DrawPressedFace(b); }},
        {"released", [&] { P::RedrawFace(b); }},
        {"font name", [&] { redrawn([&] { b.Font()->SetName("Tahoma"); }); }},
        {"font size", [&] { redrawn([&] { b.Font()->SetSize(Fixed4{100000}); }); }},
        {"bold", [&] { redrawn([&] { b.Font()->SetBold(true); }); }},
        {"italic", [&] { redrawn([&] { b.Font()->SetItalic(true); }); }},
        {"underline", [&] { redrawn([&] { b.Font()->SetUnderline(true); }); }},
        {"strikethrough", [&] { redrawn([&] { b.Font()->SetStrikethrough(true); }); }},
        {"disabled", [&] { P::DrawDisabledFace(b); }},
        {"enabled", [&] { P::RedrawFace(b); }},
    };
    for (const Change& c : changes) {
        mark();
        c.make();
        EXPECT_FALSE(marked()) << c.what;
    }
}

TEST(ButtonFace, SystemColourCodesAreResolvedBeforeShading) {
    ButtonHost host;
    XP_button& b = host.Create(80, 25);
    b.Caption("");
    const std::int32_t code = static_cast<std::int32_t>(0x80000000u | COLOR_BTNHIGHLIGHT);
    EXPECT_EQ(P::ShadeColor(b, code, -35),
              ButtonMath::ShadeColor(SysColor(COLOR_BTNHIGHLIGHT), -35));
    b.BackColor(code);
    const auto byCode = Snapshot(b);
    b.BackColor(SysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(Snapshot(b), byCode) << "same face, shading lines included";
}

} // namespace
