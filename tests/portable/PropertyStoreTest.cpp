#include "portable/PropertyStore.h"
#include "portable/RuntimeError.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

int ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const RuntimeError& error) {
        return error.Number();
    }
    return 0;
}

TEST(PropertyStore, KeysMatchAnyCaseAndAreKeptInLowerCaseInWriteOrder) {
    PropertyStore store;
    store.Set("Caption", std::string("Recalcular punteros"));
    store.Set("BackColor", std::int32_t{0x00FFFFFF});
    store.Set("FontName", std::string("MS Sans Serif"));
    store.Set("FontSize", Fixed4{82500});
    store.Set("CAPTION", std::string("Abrir")); // replaces in place, keeps its position

    const std::vector<PropertyStore::Entry> expected = {
        {"caption", std::string("Abrir")},
        {"backcolor", std::int32_t{0x00FFFFFF}},
        {"fontname", std::string("MS Sans Serif")},
        {"fontsize", Fixed4{82500}},
    };
    EXPECT_EQ(store.Entries(), expected);
    EXPECT_TRUE(store.Contains("fOnTsIzE"));
    EXPECT_FALSE(store.Contains("FontBold"));
    EXPECT_EQ(store.Read("backCOLOR", std::int32_t{0}), PropertyValue(std::int32_t{0x00FFFFFF}));
    EXPECT_EQ(store.Read("ForeColor", std::int32_t{7}), PropertyValue(std::int32_t{7}));
}

TEST(PropertyStore, WriteLeavesOutValuesEqualToTheirDefault) {
    struct Case {
        const char* what;
        PropertyValue value;
        PropertyValue defaultValue;
        bool stored;
    };
    const Case cases[] = {
        {"same text", std::string("cmdOpen"), std::string("cmdOpen"), false},
        {"text differs only in case", std::string("MS Sans Serif"), std::string("ms sans serif"),
         true},
        {"32-bit zero against a 16-bit zero", std::int32_t{0}, std::int16_t{0}, false},
        {"32-bit two against a 16-bit zero", std::int32_t{2}, std::int16_t{0}, true},
        {"fixed point against the same whole number", Fixed4{80000}, std::int32_t{8}, false},
        {"number against the numeric text it spells", Fixed4{80000}, std::string("8"), false},
        {"number against other numeric text", Fixed4{82500}, std::string("8"), true},
        {"number against words", std::int32_t{8}, std::string("ocho"), true},
        {"boolean false against false", false, false, false},
        {"boolean false against a zero", false, std::int32_t{0}, true},
        {"any colour against an empty default", std::int32_t{0x00FFFFFF}, std::monostate{}, true},
        {"empty against an empty default", std::monostate{}, std::monostate{}, true},
    };
    for (const Case& c : cases) {
        PropertyStore store;
        store.Write("Key", c.value, c.defaultValue);
        EXPECT_EQ(store.Contains("key"), c.stored) << c.what;
    }
}

TEST(PropertyStore, WritingTheDefaultRemovesAnEarlierValue) {
    PropertyStore store;
    store.Set("Enabled", false);
    store.Set("Caption", std::string("Abrir"));
    store.Write("ENABLED", true, true);
    EXPECT_FALSE(store.Contains("Enabled"));
    EXPECT_EQ(store.Read("Enabled", true), PropertyValue(true));
    ASSERT_EQ(store.Entries().size(), 1u);
    EXPECT_EQ(store.Entries()[0].first, "caption");
}

TEST(PropertyConversion, TakesStoredValuesAsLong) {
    struct Case {
        PropertyValue value;
        std::int32_t expected;
    };
    const Case cases[] = {
        {std::monostate{}, 0},
        {true, -1},
        {false, 0},
        {std::int16_t{-2}, -2},
        {std::int32_t{0x00FFFFFF}, 0x00FFFFFF},
        {Fixed4{25000}, 2}, // 2.5 goes to the even neighbour
        {Fixed4{35000}, 4}, // 3.5 too
        {Fixed4{-25000}, -2},
        {std::string(" 16777215 "), 16777215},
        {std::string("-2147483648"), -2147483647 - 1},
        {std::string("8,5"), 8},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AsLong(c.value), c.expected) << AsString(c.value);
    }
}

TEST(PropertyConversion, RaisesTypeMismatchOrOverflow) {
    struct Case {
        PropertyValue value;
        int error;
    };
    const Case cases[] = {
        {std::string("blanco"), ErrorNumber::TypeMismatch},
        {std::string(""), ErrorNumber::TypeMismatch},
        {std::string("1.2.3"), ErrorNumber::TypeMismatch},
        {std::string("&HFF"), ErrorNumber::TypeMismatch},
        {std::string("2147483648"), ErrorNumber::Overflow},
        {Fixed4{21474836480000}, ErrorNumber::Overflow},
        {Fixed4{-21474836490000}, ErrorNumber::Overflow},
        {std::string("99999999999999999999999"), ErrorNumber::Overflow},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorOf([&] { AsLong(c.value); }), c.error) << AsString(c.value);
    }
    EXPECT_EQ(ErrorOf([] { AsBoolean(std::string("sí")); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(ErrorOf([] { AsFixed4(std::string("ocho")); }), ErrorNumber::TypeMismatch);
}

TEST(PropertyConversion, TakesStoredValuesAsBooleanAndText) {
    EXPECT_TRUE(AsBoolean(std::string("TRUE")));
    EXPECT_FALSE(AsBoolean(std::string(" false")));
    EXPECT_TRUE(AsBoolean(std::string("-1")));
    EXPECT_FALSE(AsBoolean(std::string("0")));
    EXPECT_TRUE(AsBoolean(std::int16_t{2}));
    EXPECT_FALSE(AsBoolean(std::monostate{}));
    EXPECT_TRUE(AsBoolean(Fixed4{1}));

    EXPECT_EQ(AsString(Fixed4{82500}), "8.25");
    EXPECT_EQ(AsString(Fixed4{-80001}), "-8.0001");
    EXPECT_EQ(AsString(Fixed4{80000}), "8");
    EXPECT_EQ(AsString(true), "True");
    EXPECT_EQ(AsString(std::int16_t{-5}), "-5");
    EXPECT_EQ(AsString(std::monostate{}), "");
}

TEST(PropertyConversion, ParsesDecimalTextToFourDecimals) {
    struct Case {
        const char* text;
        std::int64_t scaled;
    };
    const Case cases[] = {
        {"8", 80000},       {"8.25", 82500},     {"8,25", 82500},       {" +0.5 ", 5000},
        {"-3.5", -35000},   {".5", 5000},        {"8.", 80000},         {"1.00005", 10000},
        {"1.00015", 10002}, {"1.000051", 10001}, {"1.23456789", 12346},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseFixed4(c.text).scaled, c.scaled) << c.text;
    }
}

} // namespace
