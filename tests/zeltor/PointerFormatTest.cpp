#include "zeltor/rom/PointerFormat.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using zeltor::PointerFormat;
using Bytes = std::vector<std::uint8_t>;

PointerFormat Format(unsigned size, bool bigEndian, bool split) {
    return {*PointerSize::FromText(std::to_string(size)), bigEndian, split};
}

// Tables written out byte by byte as each kind of game keeps them.
TEST(PointerFormat, TablesReadAndWrittenAsGamesKeepThem) {
    struct Case {
        const char* name;
        PointerFormat format;
        Bytes bytes;
        std::vector<std::uint32_t> values;
    };
    const Case cases[] = {
        {"little endian", Format(2, false, false), {0x00, 0x82, 0x11, 0x82}, {0x8200, 0x8211}},
        {"big endian", Format(2, true, false), {0x82, 0x00, 0x82, 0x11}, {0x8200, 0x8211}},
        {"3 bytes",
         Format(3, false, false),
         {0x56, 0x34, 0x12, 0x00, 0x80, 0x01},
         {0x123456, 0x018000}},
        {"Mega Drive",
         Format(4, true, false),
         {0x00, 0x01, 0x23, 0x45, 0x00, 0x20, 0x00, 0x10},
         {0x00012345, 0x00200010}},
        {"NES: low bytes, then high",
         Format(2, false, true),
         {0x00, 0x11, 0x22, 0x82, 0x82, 0x83},
         {0x8200, 0x8211, 0x8322}},
        {"split, high bytes first",
         Format(2, true, true),
         {0x82, 0x82, 0x83, 0x00, 0x11, 0x22},
         {0x8200, 0x8211, 0x8322}},
        {"split in 3 runs",
         Format(3, false, true),
         {0x56, 0x00, 0x34, 0x80, 0x12, 0x01},
         {0x123456, 0x018000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(zeltor::DecodeTable(c.format, c.bytes), c.values);
        EXPECT_EQ(zeltor::EncodeTable(c.format, c.values), c.bytes);
    }
}

// Every format and entry count: one entry written changes that entry alone, and what is read
// back is what was written.
TEST(PointerFormat, EachEntryIsItsOwnBytes) {
    std::mt19937 engine(25);
    for (const PointerSize size : PointerSize::All()) {
        for (int kind = 0; kind < 4; ++kind) {
            const PointerFormat format{size, (kind & 1) != 0, (kind & 2) != 0};
            for (std::size_t count = 1; count < 12; ++count) {
                Bytes table(count * size.Bytes());
                for (std::uint8_t& b : table) {
                    b = static_cast<std::uint8_t>(engine());
                }
                std::vector<std::uint32_t> values = zeltor::DecodeTable(format, table);
                ASSERT_EQ(zeltor::EncodeTable(format, values), table);
                const std::size_t k = engine() % count;
                values[k] = static_cast<std::uint32_t>(engine() & size.MaxValue());
                zeltor::EncodeEntry(format, values[k], table, k);
                EXPECT_EQ(zeltor::DecodeTable(format, table), values)
                    << zeltor::FormatName(format) << ", " << count << " entries, entry " << k;
            }
        }
    }
}

// Built by a call: inside the cases' braces, gcc 12 warns that the runs may be uninitialised.
zeltor::TablePlace At(std::uint32_t start, std::uint32_t end,
                      std::vector<std::uint32_t> runs = {}) {
    return {start, end, std::move(runs)};
}

TEST(PointerFormat, EntriesOfATableAndWhereItsBytesLie) {
    using zeltor::Piece;
    using zeltor::TablePlace;
    struct Case {
        TablePlace place;
        PointerFormat format;
        std::uint64_t entries;
        std::vector<Piece> pieces;
    };
    const PointerFormat le2 = Format(2, false, false), split2 = Format(2, false, true);
    const Case cases[] = {
        {At(0x20, 0x25), le2, 3, {{0x20, 6}}},
        {At(0x20, 0x25), split2, 3, {{0x20, 6}}},
        {At(0x8000, 0x80FF, {0x8100}), split2, 0x100, {{0x8000, 0x100}, {0x8100, 0x100}}},
        {At(0x40, 0x44, {0x90}), split2, 5, {{0x40, 5}, {0x90, 5}}},
        {At(0x100, 0x103, {0x300, 0x200, 0x180}),
         Format(4, true, true),
         4,
         {{0x100, 4}, {0x300, 4}, {0x200, 4}, {0x180, 4}}},
    };
    for (const Case& c : cases) {
        const auto counted = zeltor::CountEntries(c.place, c.format);
        ASSERT_TRUE(std::holds_alternative<std::uint64_t>(counted)) << c.place.start;
        EXPECT_EQ(std::get<std::uint64_t>(counted), c.entries);
        EXPECT_EQ(zeltor::TablePieces(c.place, c.format, c.entries), c.pieces);
    }
    struct Wrong {
        TablePlace place;
        PointerFormat format;
        std::string refusal;
    };
    const Wrong wrong[] = {
        {At(0x20, 0x2E), le2,
         "la tabla mide 0xF bytes, que no son un número entero de punteros de 2 bytes"},
        {At(0x20, 0x2E), split2,
         "la tabla dividida mide 0xF bytes, que no son 2 tramos iguales, uno por byte de puntero"},
        {At(0x20, 0x1F), le2, "el final de la tabla (0x1F) está antes de su inicio (0x20)"},
        {At(0x40, 0x44, {0x90}), le2, "solo una tabla dividida (--split) tiene tramos (--run)"},
        {At(0x40, 0x44, {0x90}), Format(3, false, true),
         "una tabla dividida de punteros de 3 bytes con los tramos separados necesita 2 --run (uno "
         "por tramo tras el primero) y tiene 1"},
        {At(0x8000, 0x80FF, {0x80F0}), split2,
         "el tramo 2 de la tabla (0x80F0-0x81EF) se solapa con el tramo 1 (0x8000-0x80FF)"},
        {At(0x100, 0x103, {0x200, 0x300, 0x202}), Format(4, false, true),
         "el tramo 4 de la tabla (0x202-0x205) se solapa con el tramo 2 (0x200-0x203)"},
    };
    for (const Wrong& c : wrong) {
        const auto counted = zeltor::CountEntries(c.place, c.format);
        ASSERT_TRUE(std::holds_alternative<zeltor::Refusal>(counted)) << c.refusal;
        EXPECT_EQ(std::get<zeltor::Refusal>(counted).code, zeltor::Exit::BadTable);
        EXPECT_EQ(std::get<zeltor::Refusal>(counted).message, c.refusal);
    }
}

// A NES table whose high bytes lie apart from the low ones, read piece by piece from a ROM.
TEST(PointerFormat, ASplitTableWhoseRunsLieApart) {
    Bytes rom(0x100, 0xEE);
    const Bytes low = {0x10, 0x20, 0x30}, high = {0x80, 0x81, 0x82};
    std::copy(low.begin(), low.end(), rom.begin() + 0x40);
    std::copy(high.begin(), high.end(), rom.begin() + 0xA0);
    const PointerFormat format = Format(2, false, true);
    const zeltor::TablePlace place{0x40, 0x42, {0xA0}};
    const std::uint64_t entries = std::get<std::uint64_t>(zeltor::CountEntries(place, format));
    Bytes table;
    for (const zeltor::Piece& piece : zeltor::TablePieces(place, format, entries)) {
        table.insert(table.end(), rom.begin() + static_cast<std::ptrdiff_t>(piece.start),
                     rom.begin() + static_cast<std::ptrdiff_t>(piece.start + piece.size));
    }
    EXPECT_EQ(zeltor::DecodeTable(format, table),
              (std::vector<std::uint32_t>{0x8010, 0x8120, 0x8230}));
}

// FIRST as the bytes stand: lowest first, short allowed, for little endian (split too); every
// byte, most significant first, for big endian.
TEST(PointerFormat, FirstPointerAsItsBytesStand) {
    struct Case {
        const char* typed;
        PointerFormat format;
        std::optional<std::uint32_t> value;
    };
    const Case cases[] = {
        {"00a0", Format(2, false, false), 0xA000},
        {"a0", Format(2, false, false), 0xA0},
        {"00A0", Format(2, false, true), 0xA000},
        {"a000", Format(2, true, false), 0xA000},
        {"a000", Format(2, true, true), 0xA000},
        {"0000a000", Format(4, true, false), 0xA000},
        {"a0", Format(2, true, false), std::nullopt},
        {"0000a0", Format(4, true, false), std::nullopt},
        {"0a0", Format(2, false, false), std::nullopt},
        {"00a000", Format(2, false, false), std::nullopt},
        {"", Format(2, true, false), std::nullopt},
        {"00g0", Format(2, true, false), std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(zeltor::FirstPointerValue(c.typed, c.format), c.value)
            << c.typed << " " << zeltor::FormatName(c.format);
    }
    EXPECT_EQ(zeltor::TypedAs(0x8200, Format(2, false, false)), "0082");
    EXPECT_EQ(zeltor::TypedAs(0x8200, Format(4, true, false)), "00008200");
    for (int kind = 0; kind < 4; ++kind) {
        const PointerFormat format = Format(3, (kind & 1) != 0, (kind & 2) != 0);
        EXPECT_EQ(zeltor::FirstPointerValue(zeltor::TypedAs(0x01A203, format), format), 0x01A203u);
    }
}

} // namespace
