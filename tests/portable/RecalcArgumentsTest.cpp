#include "portable/RecalcArguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

RecalcArguments Example() {
    RecalcArguments a;
    a.fields = {"juego.smc", "1A000", "180A0", "183FF", "2", "00", std::nullopt};
    return a;
}

// Whatever the window can build (any text in any field, the first pointer given or not, a ROM
// named like an option) and whatever options a console user adds, a table file among them,
// parses back equal.
TEST(RecalcArguments, EveryRequestParsesBackEqual) {
    const std::vector<std::string> texts = {"",      "1a000", "-h",           "--dry-run", "--",
                                            "--map", "-",     "mi juego.smc", "/?",        "ñ"};
    int checked = 0;
    for (const std::string& rom : texts) {
        for (const std::string& field : texts) {
            for (int variant = 0; variant < 256; ++variant) {
                RecalcArguments a = Example();
                a.fields.romName = rom;
                a.fields.separator = field;
                if (variant & 1) {
                    a.fields.firstPointer = field;
                }
                a.options.dryRun = (variant & 2) != 0;
                a.options.force = (variant & 4) != 0;
                if (variant & 8) {
                    a.options.map = field;
                }
                a.options.bigEndian = (variant & 16) != 0;
                a.options.split = (variant & 32) != 0;
                a.options.keepChecksum = (variant & 128) != 0;
                if (variant & 64) {
                    // The table file holds every other field.
                    a.options.tables = field;
                    a.fields = {rom, "", "", "", "", "", std::nullopt};
                }
                const auto parsed = ParseRecalcArguments(BuildRecalcArguments(a));
                const auto* back = std::get_if<ParsedArguments>(&parsed);
                ASSERT_NE(back, nullptr)
                    << "rom «" << rom << "» field «" << field << "» " << variant;
                EXPECT_EQ(back->command, RecalcCommand::Recalculate);
                EXPECT_EQ(back->arguments, a)
                    << "rom «" << rom << "» field «" << field << "» " << variant;
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 25600);
}

TEST(RecalcArguments, OptionsOnlyBeforeTheRom) {
    using Kind = ArgumentsError::Kind;
    struct Case {
        std::vector<std::string> args;
        std::optional<Kind> error;
        RecalcCommand command;
    };
    const Case cases[] = {
        {{"--help"}, std::nullopt, RecalcCommand::Help},
        {{"/?"}, std::nullopt, RecalcCommand::Help},
        {{"--version"}, std::nullopt, RecalcCommand::Version},
        {{}, Kind::FieldCount, {}},
        {{"--help", "rom"}, Kind::UnknownOption, {}},
        {{"--map"}, Kind::MissingValue, {}},
        {{"--mapa", "lorom", "r", "1", "2", "3", "2", "00"}, Kind::UnknownOption, {}},
        {{"--force", "--map", "lorom", "--dry-run", "r", "1", "2", "3", "2", "00"},
         std::nullopt,
         RecalcCommand::Recalculate},
        {{"r", "1", "2", "3", "2", "00", "00a0", "--force"}, Kind::FieldCount, {}},
        {{"--big-endian", "--split", "r", "1", "2", "3", "2", "00"},
         std::nullopt,
         RecalcCommand::Recalculate},
        {{"--split=1", "r", "1", "2", "3", "2", "00"}, Kind::UnknownOption, {}},
        {{"--tables"}, Kind::MissingValue, {}},
        {{"--tables", "t.txt"}, Kind::TablesFieldCount, {}},
        {{"--tables", "t.txt", "r", "1", "2", "3", "2", "00"}, Kind::TablesFieldCount, {}},
        {{"--dry-run", "--tables", "t.txt", "--map", "md", "r"},
         std::nullopt,
         RecalcCommand::Recalculate},
        {{"r", "--tables", "t.txt"}, Kind::FieldCount, {}},
        {{"--keep-checksum", "--dry-run", "r", "1", "2", "3", "2", "00"},
         std::nullopt,
         RecalcCommand::Recalculate},
        {{"--keep", "r", "1", "2", "3", "2", "00"}, Kind::UnknownOption, {}},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseRecalcArguments(c.args);
        if (c.error) {
            ASSERT_TRUE(std::holds_alternative<ArgumentsError>(parsed)) << c.args.size();
            EXPECT_EQ(std::get<ArgumentsError>(parsed).kind, *c.error);
        } else {
            ASSERT_TRUE(std::holds_alternative<ParsedArguments>(parsed));
            EXPECT_EQ(std::get<ParsedArguments>(parsed).command, c.command);
        }
    }
    const auto all = std::get<ParsedArguments>(ParseRecalcArguments(cases[7].args)).arguments;
    EXPECT_TRUE(all.options.dryRun && all.options.force);
    EXPECT_EQ(all.options.map, "lorom");
    EXPECT_EQ(all.fields.romName, "r");
    const auto tables = std::get<ParsedArguments>(ParseRecalcArguments(cases[14].args)).arguments;
    EXPECT_EQ(tables.options.tables, "t.txt");
    EXPECT_EQ(tables.options.map, "md");
    EXPECT_EQ(tables.fields, (RecalcFields{"r", "", "", "", "", "", std::nullopt}));
    EXPECT_EQ(std::get<ArgumentsError>(ParseRecalcArguments(cases[13].args)).fieldCount, 6u);
    const auto kept = std::get<ParsedArguments>(ParseRecalcArguments(cases[16].args)).arguments;
    EXPECT_TRUE(kept.options.keepChecksum && kept.options.dryRun);
    EXPECT_FALSE(all.options.keepChecksum);
}

TEST(PointerSize, OnlyTheThreeSizes) {
    for (const char* text : {"", "1", "5", "02", "2 ", "tres"}) {
        EXPECT_FALSE(PointerSize::FromText(text)) << text;
    }
    std::vector<std::size_t> digits;
    for (const PointerSize size : PointerSize::All()) {
        EXPECT_EQ(PointerSize::FromText(size.Text()), size);
        digits.push_back(size.Digits());
    }
    EXPECT_EQ(digits, (std::vector<std::size_t>{4, 6, 8}));
    EXPECT_EQ(PointerSize::FromText("3")->MaxValue(), 0xFFFFFFu);
}

} // namespace
