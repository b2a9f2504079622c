#include "tests/zeltor/RecalculatorTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

// Random ROMs and tables, shuffled and shared at random: after a run, reading entry k back as
// an offset (value - v0 + TEXTSTART) must land on the start of the string that pairs with its
// old value: the j-th string for the j-th smallest distinct value, found independently by
// counting separators. --force, so that only the pairing is judged here; the corpus judges
// what is refused.
TEST(Property, EveryEntryPointsToTheStringOfItsOldValuesRank) {
    std::mt19937 random(20240607); // fixed: a failure must be reproducible
    const auto pick = [&](unsigned low, unsigned high) {
        return std::uniform_int_distribution<unsigned>(low, high)(random);
    };
    for (int round = 0; round < 300; ++round) {
        const unsigned size = pick(2, 4);
        const unsigned distinct = pick(1, 120);
        const auto separator = static_cast<std::uint8_t>(pick(0, 255));
        std::vector<std::string> strings(distinct);
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
        // The old values: an older text's layout, then each value once and some again, in any
        // order.
        std::vector<std::uint32_t> values(distinct);
        std::uint32_t at = pick(0, 0x7000);
        for (auto& v : values) {
            v = at;
            at += pick(1, 13);
        }
        std::vector<std::uint32_t> old = values;
        for (unsigned extra = pick(0, distinct / 2); extra > 0; --extra) {
            old.push_back(values[pick(0, distinct - 1)]);
        }
        if (pick(0, 1) == 1) {
            std::shuffle(old.begin(), old.end(), random);
        }
        const std::size_t count = old.size();
        const std::size_t tableLength = count * size;
        const bool tableFirst = pick(0, 1) == 1;
        const std::uint32_t gap = pick(0, 40);
        const std::uint32_t before = pick(0, 64);
        const std::uint32_t tableStart =
            tableFirst ? before : before + static_cast<std::uint32_t>(textLength) + gap;
        const std::uint32_t textStart =
            tableFirst ? before + static_cast<std::uint32_t>(tableLength) + gap : before;
        const std::size_t length =
            std::max<std::size_t>(textStart + textLength, tableStart + tableLength) + pick(0, 50);
        FakeFileSystem fs;
        fs.files["rom.smc"] = MakeRom(length, textStart, strings, separator, tableStart, size, old);

        std::stringstream hex;
        hex << std::hex << textStart << ' ' << tableStart << ' ' << tableStart + tableLength - 1
            << ' ' << size << ' ' << unsigned{separator};
        std::vector<std::string> args{"--force", "rom.smc"};
        for (std::string piece; hex >> piece;) {
            args.push_back(piece);
        }
        std::uint32_t first = values[0];
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
            const auto rank = static_cast<std::size_t>(
                std::lower_bound(values.begin(), values.end(), old[k]) - values.begin());
            const std::size_t offset = table[k] - first + textStart;
            std::size_t separatorsBefore = 0;
            for (std::size_t i = textStart; i < offset; ++i) {
                separatorsBefore += rom.at(i) == separator ? 1 : 0;
            }
            ASSERT_TRUE(offset == textStart || rom.at(offset - 1) == separator) << "entry " << k;
            ASSERT_EQ(separatorsBefore, rank) << "entry " << k;
        }
    }
}

} // namespace
