#include "tests/zeltor/Corpus.h"

#include <algorithm>
#include <cmath>

const std::vector<Cartridge> kCartridges = {
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

namespace {

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
                : std::max<std::uint64_t>(1, static_cast<std::uint64_t>(
                                                 std::llround(static_cast<double>(old) * factor)));
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

// The text, the free space after it (padding, or more text), the table and what follows.
void Fill(Random& rnd, Translation& t, const PointerForm& form,
          const std::vector<std::uint64_t>& lengths) {
    const std::uint8_t separators[] = {0x00, 0xFF, 0x0A};
    t.separator = separators[rnd.Pick(0, 2)];
    std::vector<std::string> strings;
    strings.reserve(lengths.size());
    for (std::uint64_t length : lengths) {
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
    PutTable(t.rom, t.tableStart, t.size, t.old);
    FillAfterTable(rnd, t, form, t.old.size());
}

// The string each entry points to: each once, some again; ascending or in any order.
std::vector<std::size_t> Entries(Random& rnd, std::size_t distinct) {
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
    return entries;
}

} // namespace

std::string Typed(std::uint64_t value, unsigned size) {
    std::string text;
    for (unsigned b = 0; b < size; ++b) {
        const char* digits = "0123456789abcdef";
        text += digits[(value >> (8 * b + 4)) & 0xF];
        text += digits[(value >> (8 * b)) & 0xF];
    }
    return text;
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
    const std::vector<std::size_t> entries = Entries(rnd, distinct);
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
    Fill(rnd, t, form, now);
    t.args = {HexOf(t.textStart), HexOf(t.tableStart),
              HexOf(t.tableStart + t.old.size() * size - 1), std::to_string(size),
              Typed(t.separator, 1)};
    if (first != First::Absent) {
        t.args.push_back(Typed(v0, size));
    }
    return t;
}
