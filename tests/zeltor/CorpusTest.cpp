// A corpus of ordinary translations, made from a fixed seed: every one must go through with
// its exact table, and each mistake made on it must be refused with the ROM untouched.
#include "tests/zeltor/Corpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>

namespace {

// The same request with one mistake, and the exit codes that count as refusing it.
struct Mistake {
    const char* kind;
    std::vector<std::string> args;
    std::vector<int> codes;
};

std::vector<Mistake> Mistakes(Random& rnd, const Translation& t) {
    std::vector<Mistake> found;
    const unsigned size = t.size;
    const std::size_t n = t.old.size();
    const auto with = [&](std::size_t field, const std::string& value) {
        std::vector<std::string> args = t.args;
        args.resize(std::max<std::size_t>(args.size(), field + 1));
        args[field] = value;
        return args;
    };
    // The first pointer typed the other way round.
    const std::uint64_t entry0 = t.old[0];
    std::uint64_t reversed = 0;
    for (unsigned b = 0; b < size; ++b) {
        reversed = (reversed << 8) | ((entry0 >> (8 * b)) & 0xFF);
    }
    if (reversed != entry0) {
        found.push_back({"first pointer reversed", with(5, Typed(reversed, size)), {9}});
    }
    // The table's end short by whole entries, the first left out above all the others.
    const std::size_t shortBy = rnd.Pick(1, 3);
    if (n > shortBy) {
        const std::uint64_t next = t.old[n - shortBy];
        const std::uint64_t kept = *std::max_element(t.old.begin(), t.old.end() - shortBy);
        const std::uint64_t ones = (std::uint64_t{1} << (8 * size)) - 1;
        if (next > kept && next != 0 && next != ones) {
            found.push_back(
                {"table end short", with(2, HexOf(t.tableStart + (n - shortBy) * size - 1)), {9}});
        }
    }
    // The separator typed as the free space's byte, where the text ends in such free space.
    std::size_t hadText = 0;
    for (std::size_t j = 1; j + 1 < t.oldLengths.size(); ++j) {
        hadText += t.oldLengths[j] > 0 ? 1 : 0;
    }
    if (t.freeIsPadding && t.freeByte != t.separator && hadText >= 2 &&
        t.freeLength >= t.oldLengths.size() + 16) {
        found.push_back({"wrong separator", with(4, Typed(t.freeByte, 1)), {9}});
    }
    // The table's end too far, into zeros (where no entry is zero), FF or another table.
    const bool zeroUnused = std::find(t.old.begin(), t.old.end(), 0) == t.old.end();
    if ((t.after == AfterTable::Zeros && zeroUnused) || t.after == AfterTable::Ones ||
        (t.after == AfterTable::OtherTable && t.otherApart)) {
        found.push_back({"table end too far",
                         with(2, HexOf(t.tableStart + (n + rnd.Pick(1, 3)) * size - 1)),
                         {9, 3, 4}});
    }
    return found;
}

// Stops at the first difference: the corpus is large, one case says enough.
::testing::AssertionResult Exact(const Translation& t, const Bytes& after) {
    Bytes outsideTable = after;
    std::copy(t.rom.begin() + static_cast<std::ptrdiff_t>(t.tableStart),
              t.rom.begin() + static_cast<std::ptrdiff_t>(t.tableStart + t.old.size() * t.size),
              outsideTable.begin() + static_cast<std::ptrdiff_t>(t.tableStart));
    if (outsideTable != t.rom) {
        return ::testing::AssertionFailure() << "bytes outside the table changed";
    }
    const auto table = TableOf(after, t.tableStart, t.old.size(), t.size);
    for (std::size_t k = 0; k < table.size(); ++k) {
        if (table[k] != t.expected[k]) {
            return ::testing::AssertionFailure()
                   << "entry " << k << ": " << HexOf(table[k]) << ", expected "
                   << HexOf(t.expected[k]) << " (old " << HexOf(t.old[k]) << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

std::string Line(const std::vector<std::string>& args) {
    std::string line = "zeltor rom.smc";
    for (const std::string& a : args) {
        line += " " + a;
    }
    return line;
}

TEST(Corpus, OrdinaryTranslationsGoThroughExactlyAndMistakesAreRefused) {
    Random rnd;
    const unsigned sizes[] = {2, 3, 4};
    const First firsts[] = {First::Absent, First::Same, First::Moved};
    const AfterTable afters[] = {AfterTable::Zeros, AfterTable::Ones, AfterTable::Random,
                                 AfterTable::OtherTable, AfterTable::Text};
    constexpr int kPerCombination = 4;
    std::size_t cases = 0, exact = 0, refused = 0, mistakes = 0;
    std::map<std::string, std::pair<std::size_t, std::size_t>> byKind; // made, refused
    for (const Cartridge& cart : kCartridges) {
        for (unsigned size : sizes) {
            for (First first : firsts) {
                for (AfterTable after : afters) {
                    for (int i = 0; i < kPerCombination; ++i) {
                        std::optional<Translation> t;
                        for (int attempt = 0; attempt < 50 && !t; ++attempt) {
                            t = Draw(rnd, cart, size, first, after);
                        }
                        ASSERT_TRUE(t) << cart.name << " " << size;
                        ++cases;
                        std::vector<std::string> args = {"rom.smc"};
                        args.insert(args.end(), t->args.begin(), t->args.end());
                        FakeFileSystem fs;
                        fs.files["rom.smc"] = t->rom;
                        const Outcome run = RunZeltor(fs, args);
                        ASSERT_EQ(run.code, 0) << cart.name << ": " << Line(t->args) << "\n"
                                               << run.err;
                        ASSERT_TRUE(Exact(*t, fs.files["rom.smc"]))
                            << cart.name << ": " << Line(t->args);
                        ++exact;
                        for (const Mistake& m : Mistakes(rnd, *t)) {
                            ++mistakes;
                            ++byKind[m.kind].first;
                            FakeFileSystem wrong;
                            wrong.files["rom.smc"] = t->rom;
                            std::vector<std::string> margs = {"rom.smc"};
                            margs.insert(margs.end(), m.args.begin(), m.args.end());
                            const Outcome r = RunZeltor(wrong, margs);
                            ASSERT_NE(std::find(m.codes.begin(), m.codes.end(), r.code),
                                      m.codes.end())
                                << cart.name << ", " << m.kind << ": " << Line(m.args) << "\nexit "
                                << r.code << ": " << r.err << r.out;
                            ASSERT_EQ(wrong.files["rom.smc"], t->rom) << m.kind;
                            ASSERT_EQ(wrong.files.size(), 1u) << m.kind;
                            ++refused;
                            ++byKind[m.kind].second;
                        }
                    }
                }
            }
        }
    }
    std::cout << "Corpus: " << cases << " translations, " << exact << " exact tables; " << mistakes
              << " mistakes, " << refused << " refused:";
    for (const auto& [kind, counts] : byKind) {
        std::cout << " " << kind << " " << counts.second << "/" << counts.first << ";";
    }
    std::cout << "\n";
}

} // namespace
