#include "portable/ButtonMath.h"
#include "portable/RuntimeError.h"
#include "tests/xp_button/ButtonHost.h"

#include <gtest/gtest.h>

namespace {

using P = XP_buttonProbe;

struct Notice {
    std::string name;
    std::int32_t rowOne; // pixel (40, 1) when the host heard of the change
};

std::int32_t RowOne(std::int32_t base) {
    return ButtonMath::ShadeColor(base, ButtonMath::GradientAmount(25, 3));
}

TEST(ButtonState, NewInstanceStartsFromInitializeAndInitProperties) {
    ButtonHost host;
    XP_button& b = host.Create(80, 25, nullptr, L"cmdOpen");
    EXPECT_TRUE(b.Enabled());
    EXPECT_EQ(b.Caption(), "cmdOpen");
    EXPECT_EQ(b.BackColor(), SysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(b.ForeColor(), 0);
    EXPECT_EQ(b.Apparence(), 0);
    EXPECT_TRUE(P::Square(b));
    EXPECT_FALSE(P::Hover(b) || P::Pressed(b) || P::Clicked(b) || P::Timer1Enabled(b));
    const auto font = b.Font();
    EXPECT_EQ(font->Name(), "ms sans serif");
    EXPECT_EQ(font->Size().scaled, 80000);
    EXPECT_FALSE(font->Bold() || font->Italic() || font->Underline());
    // One object with the surface: a change through Font shows on the surface at once.
    font->SetName("Tahoma");
    EXPECT_EQ(XP_buttonProbe::SurfaceFont(b)->Name(), "Tahoma");
}

TEST(ButtonProperties, EachAssignmentDrawsBeforeItNotifies) {
    ButtonHost host;
    XP_button& b = host.Create(80, 25);
    std::vector<Notice> notices;
    b.SetPropertyChanged([&](const std::string& name) {
        notices.push_back({name, P::Pixel(b, 40, 1)});
    });
    b.BackColor(0x00336699);
    b.Caption("Abrir");
    b.ForeColor(0x000000FF);
    b.Apparence(1);
    b.Font(std::make_shared<FontObject>());
    b.Enabled(false);
    b.Enabled(true);

    const std::int32_t face = RowOne(0x00336699);
    const std::vector<std::pair<std::string, std::int32_t>> expected = {
        {"BackColor", face}, {"Caption", face}, {"ForeColor", face},
        {"Apparence", face}, {"Font", face},    {"Enabled", SysColor(COLOR_BTNFACE)},
        {"Enabled", face},
    };
    ASSERT_EQ(notices.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(notices[i].name, expected[i].first) << i;
        EXPECT_EQ(notices[i].rowOne, expected[i].second) << notices[i].name << " " << i;
    }
}

TEST(ButtonProperties, ApparenceTwoIsKeptWhileTheCornersStay) {
    ButtonHost host;
    XP_button& b = host.Create(80, 25);
    b.Apparence(1);
    EXPECT_FALSE(P::Square(b));
    b.Apparence(2);
    EXPECT_EQ(b.Apparence(), 2);
    EXPECT_FALSE(P::Square(b));
    EXPECT_EQ(P::Pixel(b, 0, 0), SysColor(COLOR_BTNFACE)) << "still rounded";
    PropertyStore store;
    b.WriteProperties(store);
    EXPECT_EQ(store.Read("apparence", std::monostate{}), PropertyValue(std::int32_t{2}));
    b.Apparence(0);
    EXPECT_TRUE(P::Square(b));
    EXPECT_EQ(P::Pixel(b, 0, 0), 0);
}

TEST(ButtonProperties, OnlyBackColorLooksAtEnabled) {
    ButtonHost host;
    XP_button& b = host.Create(80, 25);
    b.Enabled(false);
    const auto disabled = Snapshot(b);
    std::vector<std::string> names;
    b.SetPropertyChanged([&](const std::string& name) { names.push_back(name); });
    b.BackColor(0x000000FF);
    EXPECT_EQ(b.BackColor(), 0x000000FF);
    EXPECT_EQ(Snapshot(b), disabled) << "nothing drawn";
    b.Caption("Otra");
    EXPECT_EQ(P::Pixel(b, 40, 1), RowOne(0x000000FF)) << "the enabled face, though disabled";
    EXPECT_FALSE(b.Enabled());
    EXPECT_EQ(names, (std::vector<std::string>{"BackColor", "Caption"}));
}

TEST(ButtonProperties, AssignedFontIsSharedAndCopiedToTheSurfaceInPart) {
    ButtonHost host;
    XP_button& b = host.Create(80, 25);
    const auto surface = XP_buttonProbe::SurfaceFont(b);
    auto f = std::make_shared<FontObject>();
    f->SetName("Arial");
    f->SetSize(Fixed4{97500});
    f->SetBold(true);
    f->SetItalic(true);
    f->SetUnderline(true);
    f->SetStrikethrough(true);
    b.Font(f);
    EXPECT_EQ(b.Font(), f);
    EXPECT_EQ(XP_buttonProbe::SurfaceFont(b), surface);
    EXPECT_EQ(surface->Name(), "Arial");
    EXPECT_EQ(surface->Size().scaled, 97500);
    EXPECT_TRUE(surface->Bold() && surface->Italic() && surface->Underline());
    EXPECT_FALSE(surface->Strikethrough());

    int error = 0;
    try {
        b.Font(nullptr);
    } catch (const RuntimeError& e) {
        error = e.Number();
    }
    EXPECT_EQ(error, ErrorNumber::InvalidUse);
    EXPECT_EQ(b.Font(), f) << "the previous font stays";
}

TEST(ButtonPersistence, WritesTenKeysInOrderLeavingOutDefaults) {
    ButtonHost host;
    XP_button& b = host.Create(80, 25, nullptr, L"cmdOpen");
    PropertyStore bare;
    b.WriteProperties(bare);
    const std::vector<PropertyStore::Entry> onlyBack = {
        {"backcolor", SysColor(COLOR_BTNHIGHLIGHT)}};
    EXPECT_EQ(bare.Entries(), onlyBack) << "BackColor is written even at its default";

    b.Caption("Abrir ROM");
    b.Enabled(false);
    b.BackColor(0x00FFFFFF);
    b.ForeColor(0x00102030);
    b.Font()->SetName("MS Sans Serif");
    b.Font()->SetSize(Fixed4{82500});
    b.Font()->SetBold(true);
    b.Font()->SetItalic(true);
    b.Font()->SetUnderline(true);
    b.Apparence(1);
    PropertyStore full;
    b.WriteProperties(full);
    const std::vector<PropertyStore::Entry> expected = {
        {"caption", std::string("Abrir ROM")},
        {"enabled", false},
        {"backcolor", std::int32_t{0x00FFFFFF}},
        {"forecolor", std::int32_t{0x00102030}},
        {"fontname", std::string("MS Sans Serif")},
        {"fontsize", Fixed4{82500}},
        {"fontbold", true},
        {"fontitalic", true},
        {"fontunderline", true},
        {"apparence", std::int32_t{1}},
    };
    EXPECT_EQ(full.Entries(), expected);
}

TEST(ButtonPersistence, ReadsStoredValuesUnderAnyCaseAndDefaultsTheRest) {
    PropertyStore stored;
    stored.Set("Caption", std::string("Recalcular punteros"));
    stored.Set("BackColor", std::int32_t{0x00FFFFFF});
    stored.Set("FontName", std::string("MS Sans Serif"));
    stored.Set("FontSize", Fixed4{82500});
    stored.Set("APPARENCE", std::int32_t{1});
    ButtonHost host;
    XP_button& b = host.Create(161, 17, &stored, L"cmdRecalcular");
    EXPECT_EQ(b.Caption(), "Recalcular punteros");
    EXPECT_EQ(b.BackColor(), 0x00FFFFFF);
    EXPECT_EQ(b.Font()->Name(), "MS Sans Serif");
    EXPECT_EQ(b.Font()->Size().scaled, 82500);
    EXPECT_EQ(b.Apparence(), 1);
    EXPECT_FALSE(P::Square(b));
    EXPECT_TRUE(b.Enabled());
    EXPECT_EQ(b.ForeColor(), 0);

    PropertyStore empty;
    XP_button& fresh = host.Create(80, 25, &empty, L"cmdOpen");
    EXPECT_EQ(fresh.Caption(), "cmdOpen");
    EXPECT_EQ(fresh.BackColor(), SysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(fresh.Font()->Name(), "ms sans serif");
    EXPECT_EQ(fresh.Font()->Size().scaled, 80000);

    // Written and read back, a control gives the same store again.
    PropertyStore again;
    b.WriteProperties(again);
    EXPECT_EQ(again.Entries(), stored.Entries());
}

TEST(ButtonPersistence, WrongTypeStopsReadingWithTypeMismatch) {
    ButtonHost host;
    XP_button& b = host.Create(80, 25, nullptr, L"cmdOpen");
    std::vector<std::string> names;
    b.SetPropertyChanged([&](const std::string& name) { names.push_back(name); });
    PropertyStore stored;
    stored.Set("Caption", std::string("Abrir"));
    stored.Set("BackColor", std::string("blanco"));
    stored.Set("ForeColor", std::int32_t{255});
    int error = 0;
    try {
        b.ReadProperties(stored);
    } catch (const RuntimeError& e) {
        error = e.Number();
    }
    EXPECT_EQ(error, ErrorNumber::TypeMismatch);
    EXPECT_EQ(names, (std::vector<std::string>{"Caption", "Enabled"}));
    EXPECT_EQ(b.Caption(), "Abrir");
    EXPECT_EQ(b.ForeColor(), 0) << "not reached";

    PropertyStore tooBig;
    tooBig.Set("forecolor", Fixed4{30000000000000});
    EXPECT_EQ(host.Raw(80, 25, &tooBig, L"cmdOpen", 7), nullptr);
    EXPECT_EQ(XP_button::CreationError(), ErrorNumber::Overflow);
}

} // namespace
