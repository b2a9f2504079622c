// A corpus of ordinary translations, made from a fixed seed: every one must go through with
// its exact table, and each mistake made on it must be refused with the ROM untouched.
#include "tests/zeltor/ConsoleRoms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <optional>
#include <random>

namespace {

// One kind of cartridge: its blank ROM, how it addresses the file, and where text and tables
// may go (away from its headers).
struct Cartridge {
    const char* name;
    Bytes (*blank)();
    AddressOf address;
    std::uint64_t zoneFirst, zoneEnd; // positions free for text and tables
    std::uint64_t hole, holeEnd;      // a header inside the zone, if any
};

const Cartridge kCartridges[] = {
    {"linear", [] { return Bytes(0x10000, 0xEE); }, {Console::Linear}, 0x100, 0x10000, 0, 0},
    {"LoROM",
     [] { return SnesRom(false, 0x20000, false); },
     {Console::LoRom},
     0x100,
     0x20000,
     0x7FC0,
     0x8000},
    {"LoROM + copier",
     [] { return SnesRom(false, 0x20000, true); },
     {Console::LoRom, 512},
     0x300,
     0x20200,
     0x81C0,
     0x8200},
    {"HiROM",
     [] { return SnesRom(true, 0x30000, false); },
     {Console::HiRom},
     0x100,
     0x30000,
     0xFFC0,
     0x10000},
    {"Game Boy", [] { return GameBoyRom(0x10000); }, {Console::GameBoy}, 0x150, 0x10000, 0, 0},
    {"NES MMC1", [] { return NesRom(1, 4); }, {Console::Nes, 16, 0x4000}, 0x10, 0x10010, 0, 0},
    {"NES MMC3", [] { return NesRom(4, 4); }, {Console::Nes, 16, 0x2000}, 0x10, 0x10010, 0, 0},
    {"NES NROM", [] { return NesRom(0, 2); }, {Console::Nes, 16, 0x8000}, 0x10, 0x8010, 0, 0},
};

enum class First { Absent, Same, Moved };
enum class AfterTable { Zeros, Ones, Random, OtherTable, Text };

struct Random {
    std::mt19937 engine{20240917}; // fixed: a failure must be reproducible
    std::uint64_t Pick(std::uint64_t low, std::uint64_t high) {
        return std::uniform_int_distribution<std::uint64_t>(low, high)(engine);
    }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(engine) < p; }
};

// One ordinary translation, laid out in a ROM.
struct Translation {
    Bytes rom;
    std::vector<std::string> args; // after the ROM's name, FIRST included when given
    std::vector<std::uint64_t> old, expected;
    std::vector<std::uint64_t> oldLengths; // per distinct value, ascending
    std::uint64_t textStart = 0, tableStart = 0, freeStart = 0, freeLength = 0;
    unsigned size = 2;
    std::uint8_t separator = 0, freeByte = 0;
    bool freeIsPadding = false;
    AfterTable after = AfterTable::Zeros;
    std::uint64_t oldStart = 0, oldEnd = 0; // where the old text was
    std::uint64_t otherStart = 0;           // where another table's block of text is
    bool otherApart = false;                // its pointers cannot be taken for this table's
};

std::uint64_t Total(const std::vector<std::uint64_t>& lengths) {
    std::uint64_t total = 0;
    for (std::uint64_t n : lengths) {
        total += n + 1;
    }
    return total;
}

// The pointer's value for a position, in the form a game of this kind keeps it.
struct PointerForm {
    const AddressOf* address;
    unsigned size;
    std::uint64_t mirror = 0; // FastROM's $80 banks
    std::uint64_t base = 0;   // linear: added to the position (a GBA's 0x08000000)
    bool relative = false;    // linear: counted from the text's start
    std::uint64_t origin = 0; // that start
    std::uint64_t operator()(std::uint64_t position) const {
        if (address->console == Console::Linear) {
            return relative ? position - origin : base + position;
        }
        const std::uint64_t a = (*address)(position);
        return (size == 2 ? a & 0xFFFF : a) + mirror;
    }
};

bool Overlap(std::uint64_t a, std::uint64_t aEnd, std::uint64_t b, std::uint64_t bEnd) {
    return a < bEnd && b < aEnd;
}

// Where the text and the table go; false when this draw does not fit the cartridge.
bool Place(Random& rnd, const Cartridge& cart, Translation& t, std::uint64_t textLength,
           std::uint64_t oldLength, std::uint64_t& oldStart, bool moved, std::size_t entries) {
    const std::uint64_t tableBytes = entries * t.size;
    const AddressOf& a = cart.address;
    const bool banked2 = t.size == 2 && a.console != Console::Linear;
    t.textStart = rnd.Pick(cart.zoneFirst, cart.zoneEnd - 1);
    if (!banked2 && a.console != Console::Linear && rnd.Chance(0.5)) {
        t.textStart = a.BankEnd(t.textStart) - rnd.Pick(0, textLength); // crosses a bank's end
    }
    oldStart = moved ? rnd.Pick(cart.zoneFirst, cart.zoneEnd - 1) : t.textStart;
    t.freeStart = t.textStart + textLength;
    t.freeLength = rnd.Pick(16, 48) + textLength / 8;
    // Between the table and what follows it: 32 bytes of something, or the text at once.
    const std::uint64_t afterBytes = t.after == AfterTable::Text ? 0 : 32;
    const bool tableFirst = t.after == AfterTable::Text || rnd.Chance(0.5);
    if (tableFirst) {
        const std::uint64_t gap = afterBytes == 0 ? 0 : afterBytes + rnd.Pick(0, 16);
        if (t.textStart < cart.zoneFirst + gap + tableBytes) {
            return false;
        }
        t.tableStart = t.textStart - gap - tableBytes;
    } else {
        t.tableStart = t.freeStart + t.freeLength + rnd.Pick(0, 16);
    }
    const std::uint64_t first = std::min(t.tableStart, t.textStart);
    const std::uint64_t last =
        std::max(t.tableStart + tableBytes + afterBytes, t.freeStart + t.freeLength);
    const bool inOneBank = a.BankEnd(t.textStart) >= t.freeStart - 1 &&
                           a.BankEnd(oldStart) >= oldStart + oldLength - 1;
    return last <= cart.zoneEnd && oldStart + oldLength <= cart.zoneEnd &&
           !Overlap(first, last, cart.hole, cart.holeEnd) && (!banked2 || inOneBank);
}

// Lengths before and after: some strings empty in both, a few emptied by the translation,
// the rest 60 % shorter to 60 % longer.
void DrawLengths(Random& rnd, std::size_t distinct, std::vector<std::uint64_t>& before,
                 std::vector<std::uint64_t>& after) {
    for (std::size_t j = 0; j < distinct; ++j) {
        const std::uint64_t old = rnd.Chance(0.1) ? 0 : rnd.Pick(1, 60);
        const double factor = std::uniform_real_distribution<double>(0.4, 1.6)(rnd.engine);
        const std::uint64_t now =
            old == 0 || rnd.Chance(0.03)
                ? 0
                : std::max<std::uint64_t>(1, static_cast<std::uint64_t>(old * factor + 0.5));
        before.push_back(old);
        after.push_back(now);
    }
}

std::string Text(Random& rnd, std::uint64_t length) {
    std::string text(length, ' ');
    for (char& c : text) {
        c = static_cast<char>(rnd.Chance(0.5) ? rnd.Pick('A', 'Z') : rnd.Pick('a', 'z'));
    }
    return text;
}

std::string Typed(std::uint64_t value, unsigned size) {
    std::string text;
    for (unsigned b = 0; b < size; ++b) {
        const char* digits = "0123456789abcdef";
        text += digits[(value >> (8 * b + 4)) & 0xF];
        text += digits[(value >> (8 * b)) & 0xF];
    }
    return text;
}

// The bytes after the table: zeros, FF, anything, another table's pointers far from these.
void FillAfterTable(Random& rnd, Translation& t, const PointerForm& form, std::size_t entries) {
    const std::uint64_t at = t.tableStart + entries * t.size;
    if (t.after == AfterTable::Text) {
        return;
    }
    const AddressOf& a = *form.address;
    t.otherStart =
        t.textStart >= 0x1100 ? t.textStart - 0x1000 : t.freeStart + t.freeLength + 0x1000;
    // Apart from the old text as well, or its values would mingle with the table's.
    t.otherApart =
        (t.size > 2 || a.console == Console::Linear ||
         a.BankEnd(t.otherStart) == a.BankEnd(t.textStart)) &&
        !Overlap(t.otherStart, t.otherStart + 0x100,
                 t.oldStart - std::min<std::uint64_t>(t.oldStart, 0x800), t.oldEnd + 0x800);
    std::vector<std::uint64_t> other;
    for (std::size_t i = 0; i < 32; ++i) {
        switch (t.after) {
        case AfterTable::Zeros:
            t.rom.at(at + i) = 0x00;
            break;
        case AfterTable::Ones:
            t.rom.at(at + i) = 0xFF;
            break;
        case AfterTable::Random:
            t.rom.at(at + i) = static_cast<std::uint8_t>(rnd.Pick(0, 255));
            break;
        default:
            break;
        }
    }
    if (t.after == AfterTable::OtherTable) {
        // Pointers to another block of text, 4 KiB before this one or after it.
        for (std::uint64_t k = 0; k < 32 / t.size; ++k) {
            other.push_back(form(t.otherStart + 7 * k));
        }
        PutTable(t.rom, at, t.size, other);
    }
}

// An ordinary translation on this cartridge; nothing when the draw does not fit it.
std::optional<Translation> Draw(Random& rnd, const Cartridge& cart, unsigned size, First first,
                                AfterTable after) {
    Translation t;
    t.size = size;
    t.after = after;
    const std::size_t distinct = rnd.Pick(1, 48);
    std::vector<std::uint64_t> before, now;
    DrawLengths(rnd, distinct, before, now);
    // Each distinct value once, some again; ascending or in any order.
    std::vector<std::size_t> entries(distinct);
    for (std::size_t j = 0; j < distinct; ++j) {
        entries[j] = j;
    }
    if (rnd.Chance(0.4)) {
        for (std::uint64_t extra = rnd.Pick(1, 1 + distinct / 3); extra > 0; --extra) {
            entries.push_back(rnd.Pick(0, distinct - 1));
        }
    }
    std::sort(entries.begin(), entries.end());
    if (rnd.Chance(0.4)) {
        std::shuffle(entries.begin(), entries.end(), rnd.engine);
    }
    std::uint64_t oldStart = 0;
    t.rom = cart.blank();
    if (!Place(rnd, cart, t, Total(now), Total(before), oldStart, first == First::Moved,
               entries.size())) {
        return std::nullopt;
    }
    PointerForm form{&cart.address, size};
    if (cart.address.console == Console::Linear) {
        form.relative = size == 2 && rnd.Chance(0.5);
        form.base = size == 4 ? 0x08000000 : 0;
    } else if (cart.address.console == Console::LoRom && size > 2 && rnd.Chance(0.5)) {
        form.mirror = 0x800000;
    }
    // Old values from the old layout; the expected ones from the new.
    std::vector<std::uint64_t> oldValue, newValue;
    std::uint64_t oldAt = oldStart;
    std::uint64_t newAt = t.textStart;
    for (std::size_t j = 0; j < distinct; ++j) {
        form.origin = oldStart;
        oldValue.push_back(form(oldAt));
        form.origin = t.textStart;
        newValue.push_back(form(newAt));
        oldAt += before[j] + 1;
        newAt += now[j] + 1;
    }
    const std::uint64_t v0 = first == First::Moved ? newValue[0] : oldValue[0];
    for (std::size_t k : entries) {
        t.old.push_back(oldValue[k]);
        // Inside one bank a 2-byte value's distances are the addresses'; across banks only
        // wider pointers go, and they hold whole addresses.
        t.expected.push_back(v0 + (newValue[k] - newValue[0]));
    }
    t.oldLengths = before;
    t.oldStart = oldStart;
    t.oldEnd = oldStart + Total(before);
    // The text, the free space after it (padding, or more text), the table and what follows.
    const std::uint8_t separators[] = {0x00, 0xFF, 0x0A};
    t.separator = separators[rnd.Pick(0, 2)];
    std::vector<std::string> strings;
    for (std::uint64_t length : now) {
        strings.push_back(Text(rnd, length));
    }
    PutStrings(t.rom, t.textStart, strings, t.separator);
    t.freeIsPadding = rnd.Chance(0.7);
    t.freeByte = rnd.Chance(0.5) ? 0x00 : 0xFF;
    const std::string more = Text(rnd, t.freeLength);
    for (std::uint64_t i = 0; i < t.freeLength; ++i) {
        t.rom.at(t.freeStart + i) =
            t.freeIsPadding ? t.freeByte : static_cast<std::uint8_t>(more[i]);
    }
    PutTable(t.rom, t.tableStart, size, t.old);
    FillAfterTable(rnd, t, form, entries.size());
    t.args = {HexOf(t.textStart), HexOf(t.tableStart),
              HexOf(t.tableStart + t.old.size() * size - 1), std::to_string(size),
              Typed(t.separator, 1)};
    if (first != First::Absent) {
        t.args.push_back(Typed(v0, size));
    }
    return t;
}

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
