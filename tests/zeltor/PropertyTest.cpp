#include "tests/zeltor/RecalculatorTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Random ROMs and tables: after a run, reading entry k back as an offset (value - v0 +
// TEXTSTART) must land on the start of string k, found independently by counting separators.
TEST(Property, EveryEntryPointsToTheStartOfItsString) {
    std::mt19937 random(20240607); // fixed: a failure must be reproducible
    const auto pick = [&](unsigned low, unsigned high) {
        return std::uniform_int_distribution<unsigned>(low, high)(random);
    };
    for (int round = 0; round < 300; ++round) {
        const unsigned size = pick(2, 4);
        const unsigned count = pick(1, 120);
        const auto separator = static_cast<std::uint8_t>(pick(0, 255));
        std::vector<std::string> strings(count);
        std::size_t textLength = 0;
        for (std::string& s : strings) {
            s.resize(pick(0, 12));
            for (char& c : s) {
                do {
                    c = static_cast<char>(pick(0, 255));
                } while (static_cast<std::uint8_t>(c) == separator);
            }
            textLength += s.size() + 1;
        }
        const std::size_t tableLength = std::size_t{count} * size;
        const bool tableFirst = pick(0, 1) == 1;
        const std::uint32_t gap = pick(0, 40);
        const std::uint32_t before = pick(0, 64);
        const std::uint32_t tableStart =
            tableFirst ? before : before + static_cast<std::uint32_t>(textLength) + gap;
        const std::uint32_t textStart =
            tableFirst ? before + static_cast<std::uint32_t>(tableLength) + gap : before;
        const std::size_t length =
            std::max<std::size_t>(textStart + textLength, tableStart + tableLength) + pick(0, 50);
        std::vector<std::uint32_t> old(count);
        for (auto& v : old) {
            v = pick(0, 0x7FFF); // leaves room for the text in 2 bytes
        }
        FakeFileSystem fs;
        fs.files["rom.smc"] = MakeRom(length, textStart, strings, separator, tableStart, size, old);

        std::stringstream hex;
        hex << std::hex << textStart << ' ' << tableStart << ' ' << tableStart + tableLength - 1
            << ' ' << size << ' ' << unsigned{separator};
        std::vector<std::string> args{"rom.smc"};
        for (std::string piece; hex >> piece;) {
            args.push_back(piece);
        }
        std::uint32_t first = old[0];
        if (pick(0, 1) == 1) {
            first = pick(0, 0x7FFF) << (8 * (size - 2));
            std::ostringstream le;
            for (unsigned b = 0; b < size; ++b) {
                le << std::hex << ((first >> (8 * b)) & 0xF0) / 16 << ((first >> (8 * b)) & 0xF);
            }
            args.push_back(le.str());
        }
        SCOPED_TRACE("round " + std::to_string(round));
        const Outcome run = RunZeltor(fs, args);
        ASSERT_EQ(run.code, 0) << run.err;

        const Bytes& rom = fs.files["rom.smc"];
        const auto table = TableOf(rom, tableStart, count, size);
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t at = table[k] - first + textStart;
            std::size_t separatorsBefore = 0;
            for (std::size_t i = textStart; i < at; ++i) {
                separatorsBefore += rom.at(i) == separator ? 1 : 0;
            }
            ASSERT_TRUE(at == textStart || rom.at(at - 1) == separator) << "entry " << k;
            ASSERT_EQ(separatorsBefore, k) << "entry " << k;
        }
    }
}

} // namespace
