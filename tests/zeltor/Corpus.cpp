#include "tests/zeltor/Corpus.h"

#include <algorithm>
#include <cmath>

const std::vector<Cartridge> kCartridges = {
    {"plain", [] { return Bytes(0x20000, 0xEE); }, {Console::Linear}, 0x100, 0x10000, 0, 0},
    {"LoROM",
     [] { return SnesRom(false, 0x40000, false); },
     {Console::LoRom},
     0x100,
     0x40000,
     0x7FC0,
     0x8000},
    {"LoROM + copier",
     [] { return SnesRom(false, 0x40000, true); },
     {Console::LoRom, 512},
     0x300,
     0x40200,
     0x81C0,
     0x8200},
    {"HiROM",
     [] { return SnesRom(true, 0x40000, false); },
     {Console::HiRom},
     0x100,
     0x40000,
     0xFFC0,
     0x10000},
    {"Game Boy", [] { return GameBoyRom(0x20000); }, {Console::GameBoy}, 0x150, 0x20000, 0, 0},
    {"NES MMC1", [] { return NesRom(1, 8); }, {Console::Nes, 16, 0x4000}, 0x10, 0x20010, 0, 0},
    {"NES MMC3", [] { return NesRom(4, 8); }, {Console::Nes, 16, 0x2000}, 0x10, 0x20010, 0, 0},
    {"NES NROM", [] { return NesRom(0, 2); }, {Console::Nes, 16, 0x8000}, 0x10, 0x8010, 0, 0},
    {"NES MMC1, split",
     [] { return NesRom(1, 8); },
     {Console::Nes, 16, 0x4000},
     0x10,
     0x20010,
     0,
     0,
     false,
     true,
     2},
    {"Mega Drive",
     [] { return MegaDriveRom(0x40000); },
     {Console::MegaDrive},
     0x200,
     0x40000,
     0,
     0,
     true,
     false,
     4},
    {"Game Boy Advance",
     [] { return GbaRom(0x40000); },
     {Console::Gba},
     0xC0,
     0x40000,
     0,
     0,
     false,
     false,
     4},
};

namespace {

// The pointer's value for a position, in the form a game of this kind keeps it.
struct PointerForm {
    const AddressOf* address;
    unsigned size;
    std::uint64_t mirror = 0; // FastROM's $80 banks
    std::uint64_t base = 0;   // a plain file: added to the position (a GBA's 0x08000000)
    bool relative = false;    // a plain file: counted from the text's start
    std::uint64_t origin = 0; // that start
    std::uint64_t operator()(std::uint64_t position) const {
        if (address->console == Console::Linear) {
            return relative ? position - origin : base + position;
        }
        const std::uint64_t a = (*address)(position);
        return (size == 2 ? a & 0xFFFF : a) + mirror;
    }
};

// Writes the values from `at` as the cartridge's games keep them.
void PutEntries(Bytes& rom, std::uint64_t at, const Job& job,
                const std::vector<std::uint64_t>& values) {
    const Bytes bytes = Encoded(values, job.size, job.cart->bigEndian, job.cart->split);
    std::copy(bytes.begin(), bytes.end(), rom.begin() + static_cast<std::ptrdiff_t>(at));
}

// Places blocks in the cartridge's zone without overlapping each other or its header.
class Layout {
public:
    Layout(Random& rnd, const Cartridge& cart) : m_Rnd(rnd), m_Cart(cart) {}
    bool Fits(std::uint64_t at, std::uint64_t length) const {
        if (at < m_Cart.zoneFirst || at + length > m_Cart.zoneEnd ||
            (at < m_Cart.holeEnd && m_Cart.hole < at + length)) {
            return false;
        }
        return std::none_of(m_Used.begin(), m_Used.end(),
                            [&](const auto& u) { return at < u.second && u.first < at + length; });
    }
    void Use(std::uint64_t at, std::uint64_t length) { m_Used.emplace_back(at, at + length); }
    // A free place for `length` bytes, inside one bank when `bank` is not 0.
    std::optional<std::uint64_t> Find(std::uint64_t length, std::uint64_t bank) {
        for (int attempt = 0; attempt < 60; ++attempt) {
            const std::uint64_t at = m_Rnd.Pick(m_Cart.zoneFirst, m_Cart.zoneEnd - 1);
            if (Fits(at, length) && (bank == 0 || Bank(at, bank) == Bank(at + length, bank))) {
                return at;
            }
        }
        return std::nullopt;
    }
    std::uint64_t Bank(std::uint64_t at, std::uint64_t bank) const {
        return (at - m_Cart.address.header) / bank;
    }

private:
    Random& m_Rnd;
    const Cartridge& m_Cart;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> m_Used;
};

std::uint64_t BankSize(const AddressOf& a) {
    switch (a.console) {
    case Console::LoRom:
        return 0x8000;
    case Console::HiRom:
        return 0x10000;
    case Console::GameBoy:
        return 0x4000;
    case Console::Nes:
        return a.nesBank;
    case Console::Linear:
    case Console::MegaDrive:
    case Console::Gba:
        break;
    }
    return 0;
}

// What the strings are written with: a game's own encoding or plain letters, some symbols far
// more common than others, as in any language.
struct Script {
    std::uint8_t separator = 0;
    std::optional<std::uint8_t> lineBreak;
    std::vector<std::uint8_t> alphabet; // most common first
    std::uint8_t Letter(Random& rnd) const {
        // About as skewed as letters in a text: the k-th symbol about 1/(k+2) as often.
        const double u = std::uniform_real_distribution<double>(0, 1)(rnd.engine);
        const auto k =
            static_cast<std::size_t>(std::pow(static_cast<double>(alphabet.size() + 2), u)) - 1;
        return alphabet[std::min(k, alphabet.size() - 1)];
    }
    Bytes String(Random& rnd, std::uint64_t length) const {
        Bytes s(length);
        for (auto& b : s) {
            b = Letter(rnd);
        }
        if (lineBreak && length >= 8) {
            for (std::uint64_t k = rnd.Pick(0, 2); k > 0; --k) {
                s[rnd.Pick(2, length - 3)] = *lineBreak;
            }
        }
        return s;
    }
};

// Lengths before and after: some strings empty in both, about one in seven emptied, the rest
// 0.3 to 4 times as long (evenly on a logarithmic scale), one in twenty 10 times.
void DrawLengths(Random& rnd, std::size_t count, std::vector<std::uint64_t>& before,
                 std::vector<std::uint64_t>& after) {
    for (std::size_t j = 0; j < count; ++j) {
        const std::uint64_t old = rnd.Chance(0.05)  ? 0
                                  : rnd.Chance(0.1) ? rnd.Pick(61, 200)
                                                    : rnd.Pick(1, 60);
        double factor = std::exp(
            std::uniform_real_distribution<double>(std::log(0.3), std::log(4.0))(rnd.engine));
        if (rnd.Chance(0.05)) {
            factor = 10;
        }
        const bool emptied = rnd.Chance(0.15);
        before.push_back(old);
        if (old == 0) {
            // An empty string stays empty, but now and then a translator fills an unused slot.
            after.push_back(rnd.Chance(0.1) ? rnd.Pick(1, 40) : 0);
            continue;
        }
        after.push_back(emptied
                            ? 0
                            : std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::llround(
                                                             static_cast<double>(old) * factor))));
    }
}

// Sixteen bytes alike after a text: free space, not a string.
constexpr std::uint64_t kFreeBytes = 16;

std::uint64_t Total(const std::vector<std::uint64_t>& lengths) {
    std::uint64_t total = 0;
    for (const std::uint64_t n : lengths) {
        total += n + 1;
    }
    return total;
}

// Writes strings of these lengths from `at`; returns where each begins.
std::vector<std::uint64_t> PutText(Random& rnd, const Script& script, Bytes& rom, std::uint64_t at,
                                   const std::vector<std::uint64_t>& lengths) {
    std::vector<std::uint64_t> starts;
    for (const std::uint64_t n : lengths) {
        starts.push_back(at);
        for (const std::uint8_t b : script.String(rnd, n)) {
            rom.at(at++) = b;
        }
        rom.at(at++) = script.separator;
    }
    return starts;
}

void Fill(Bytes& rom, std::uint64_t at, std::uint64_t length, std::uint8_t b) {
    std::fill(rom.begin() + static_cast<std::ptrdiff_t>(at),
              rom.begin() + static_cast<std::ptrdiff_t>(at + length), b);
}

void Data(Random& rnd, Bytes& rom, std::uint64_t at, std::uint64_t length) {
    for (std::uint64_t k = 0; k < length; ++k) {
        rom.at(at + k) = static_cast<std::uint8_t>(rnd.Pick(0, 255));
    }
}

// The string each entry points to: each once, some again; ascending or in any order; and, on
// a console, now and then an entry of padding among them.
std::vector<std::optional<std::size_t>> Entries(Random& rnd, std::size_t distinct, bool nulls) {
    std::vector<std::optional<std::size_t>> entries;
    for (std::size_t j = 0; j < distinct; ++j) {
        entries.emplace_back(j);
    }
    if (rnd.Chance(0.4)) {
        for (std::uint64_t extra = rnd.Pick(1, 1 + distinct / 3); extra > 0; --extra) {
            entries.emplace_back(rnd.Pick(0, distinct - 1));
        }
    }
    std::sort(entries.begin(), entries.end());
    if (rnd.Chance(0.4)) {
        std::shuffle(entries.begin(), entries.end(), rnd.engine);
    }
    if (nulls && entries.size() >= 3 && rnd.Chance(0.1)) {
        entries.insert(entries.begin() +
                           static_cast<std::ptrdiff_t>(rnd.Pick(1, entries.size() - 1)),
                       std::nullopt);
    }
    return entries;
}

struct Draft {
    Job job;
    Script script;
    PointerForm form;
    std::vector<std::uint64_t> before, now;
    std::uint64_t oldText = 0;
    bool inPlace = true;
    bool textFollows = false; // another block right after the new text
    bool oldKept = false;     // the old text left where it was, and found there through the values
    bool packed = false;      // another block ends right before the text
};

// The text: where it is now, where it was, and what is before and after it.
bool PlaceText(Random& rnd, Layout& layout, Draft& d, std::uint64_t tableBytes) {
    Job& job = d.job;
    // Room before the text: 32 bytes of something, and the table when the text follows it.
    const std::uint64_t lead = 32 + (job.after == AfterTable::Text ? tableBytes : 0);
    const AddressOf& a = job.cart->address;
    const std::uint64_t bank = job.size == 2 ? BankSize(a) : 0;
    const std::uint64_t newLength = Total(d.now);
    const std::uint64_t oldLength = Total(d.before);
    const std::uint64_t after = 96;
    const std::uint64_t region = lead + std::max(newLength, d.inPlace ? oldLength : 0) + after;
    const auto at = layout.Find(region, bank);
    if (!at) {
        return false;
    }
    layout.Use(*at, region);
    job.text = *at + lead;
    if (d.inPlace) {
        d.oldText = job.text;
    } else {
        // Room after it for the next block, when there is one.
        const auto old = layout.Find(oldLength + 8 + after, bank);
        if (!old) {
            return false;
        }
        layout.Use(*old, oldLength + 8 + after);
        d.oldText = *old + 8;
        // The old text left where it was, or wiped.
        if (rnd.Chance(0.7)) {
            PutText(rnd, d.script, job.rom, d.oldText, d.before);
            // A 2-byte value names no bank: the old text is found only in the new one's.
            d.oldKept = bank == 0 || layout.Bank(d.oldText, bank) == layout.Bank(job.text, bank);
        } else {
            Fill(job.rom, d.oldText, oldLength, rnd.Chance(0.5) ? 0x00 : 0xFF);
        }
    }
    // Before the text: free space, other data or another block of text. Text is moved into
    // free space, never right after other data.
    const std::uint64_t kind = d.inPlace ? rnd.Pick(0, 2) : rnd.Pick(0, 1) * 2;
    if (kind == 0) {
        Fill(job.rom, *at, 32, rnd.Chance(0.5) ? 0x00 : 0xFF);
    } else if (kind == 1) {
        Data(rnd, job.rom, *at, 32);
    } else {
        Fill(job.rom, *at, 8, 0xFF);
        PutText(rnd, d.script, job.rom, *at + 8, {6, 9, 6}); // ends right before the text
        d.packed = job.after != AfterTable::Text;            // else the table stands between
    }
    job.starts = PutText(rnd, d.script, job.rom, job.text, d.now);
    // After it, over what is left of the old text: free space, data, or the next block.
    const std::uint64_t rest = job.text + newLength;
    const std::uint64_t covered = region - lead - newLength;
    const std::uint64_t what = rnd.Pick(0, 2);
    Fill(job.rom, rest, covered, rnd.Chance(0.5) ? 0x00 : 0xFF);
    if (what == 1) {
        Data(rnd, job.rom, rest, 24);
    } else if (what == 2) {
        PutText(rnd, d.script, job.rom, rest, {9, 4, 12, 6});
        d.textFollows = true;
    }
    return true;
}

// The table, and what follows it: padding, data, another table, or the text.
bool PlaceTable(Random& rnd, Layout& layout, Draft& d, const std::vector<std::uint64_t>& values) {
    Job& job = d.job;
    const std::uint64_t bytes = values.size() * job.size;
    const std::uint64_t follow = job.after == AfterTable::Text ? 0 : 8 * job.size;
    std::optional<std::uint64_t> at;
    if (job.after == AfterTable::Text) {
        at = job.text - bytes; // kept for it in front of the text
    } else {
        at = layout.Find(bytes + follow, 0);
        if (!at) {
            return false;
        }
        layout.Use(*at, bytes + follow);
    }
    job.tableStart = *at;
    job.tableEnd = *at + bytes - 1;
    PutEntries(job.rom, *at, job, values);
    const std::uint64_t next = job.tableEnd + 1;
    std::vector<std::uint64_t> other;
    switch (job.after) {
    case AfterTable::Zeros:
    case AfterTable::Ones:
        Fill(job.rom, next, follow, job.after == AfterTable::Zeros ? 0x00 : 0xFF);
        break;
    case AfterTable::Data:
        Data(rnd, job.rom, next, follow);
        break;
    case AfterTable::FarTable: {
        const auto block = layout.Find(64, d.form.size == 2 ? BankSize(job.cart->address) : 0);
        if (!block) {
            return false;
        }
        // Far: its text a kilobyte or more from this one's old text, as the pointers see it (a
        // 2-byte value names no bank). Nearer, it is the next table's case.
        const std::uint64_t first = d.form(*block);
        const std::uint64_t low = d.form(d.oldText);
        if (first + 1024 > low && first < low + Total(d.before) + 1024) {
            return false;
        }
        layout.Use(*block, 64);
        const auto starts = PutText(rnd, d.script, job.rom, *block, {5, 9, 3, 12, 7, 4, 8, 2});
        for (const std::uint64_t s : starts) {
            other.push_back(d.form(s));
        }
        break;
    }
    case AfterTable::NextTableAdjacent:
    case AfterTable::NextTableApart: {
        // The next table's text began right after this one's old text, or a little after it.
        const std::uint64_t gap = job.after == AfterTable::NextTableApart ? 24 : 0;
        std::uint64_t p = d.oldText + Total(d.before) + gap;
        for (const std::uint64_t n : {6u, 9u, 4u, 11u, 5u, 7u, 3u, 8u}) {
            other.push_back(d.form(p));
            p += n + 1;
        }
        break;
    }
    case AfterTable::Text:
        break;
    }
    if (!other.empty()) {
        other.resize(8);
        PutEntries(job.rom, next, job, other);
    }
    return true;
}

// Where the next table's text goes in the ROM: right after this text when the translator
// reinserted both, or where it was when this text was moved away.
void PlaceNextBlock(Random& rnd, Draft& d) {
    Job& job = d.job;
    if (job.after != AfterTable::NextTableAdjacent && job.after != AfterTable::NextTableApart) {
        return;
    }
    const std::uint64_t gap = job.after == AfterTable::NextTableApart ? 24 : 0;
    const std::uint64_t at = (d.inPlace ? job.text + Total(d.now) : d.oldText + Total(d.before));
    if (gap > 0) {
        Fill(job.rom, at, gap, rnd.Chance(0.5) ? 0x00 : 0xFF);
    }
    PutText(rnd, d.script, job.rom, at + gap, {6, 9, 4, 11});
    // END one entry short reads the same bytes where the next table's text follows this one's
    // with nothing between, and where text follows this text now: packed in place, or another
    // block after a moved one whose old text is still there to show where its last string ended.
    // A moved text with its old one gone leaves nothing to tell them apart, gap or none.
    job.ambiguous =
        d.inPlace ? gap == 0 : d.textFollows && (!d.oldKept || job.rom.at(at - 1) == job.separator);
}

Script DrawScript(Random& rnd) {
    Script s;
    const std::uint8_t separators[] = {0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFE, 0x01};
    s.separator = separators[rnd.Pick(0, 6)];
    const std::uint8_t breaks[] = {0x0A, 0xFE, 0x01, 0x7F};
    if (rnd.Chance(0.6)) {
        const std::uint8_t b = breaks[rnd.Pick(0, 3)];
        if (b != s.separator) {
            s.lineBreak = b;
        }
    }
    // Plain letters, or a game's table of 40 to 90 symbols anywhere from 01 to EF.
    const bool latin = rnd.Chance(0.5);
    const std::uint64_t low = latin ? 0x20 : 0x01;
    const std::uint64_t high = latin ? 0x7E : 0xEF;
    std::vector<std::uint8_t> all;
    for (std::uint64_t b = low; b <= high; ++b) {
        if (b != s.separator && b != s.lineBreak) {
            all.push_back(static_cast<std::uint8_t>(b));
        }
    }
    std::shuffle(all.begin(), all.end(), rnd.engine);
    all.resize(std::min<std::size_t>(all.size(), rnd.Pick(40, 90)));
    s.alphabet = all;
    return s;
}

PointerForm DrawForm(Random& rnd, const Cartridge& cart, unsigned size) {
    PointerForm form{&cart.address, size};
    if (cart.address.console == Console::Linear) {
        form.relative = size == 2 && rnd.Chance(0.5);
        form.base = size == 4 ? 0x08000000 : 0;
    } else if (cart.address.console == Console::LoRom && size > 2 && rnd.Chance(0.5)) {
        form.mirror = 0x800000;
    }
    return form;
}

} // namespace

std::vector<std::uint64_t> Job::TableIn(const Bytes& rom) const {
    const std::size_t n = old.size();
    std::vector<std::uint64_t> values(n);
    for (std::size_t k = 0; k < n; ++k) {
        for (unsigned b = 0; b < size; ++b) {
            const unsigned place = cart->bigEndian ? size - 1 - b : b;
            values[k] |=
                std::uint64_t{rom.at(tableStart + (cart->split ? b * n + k : k * size + b))}
                << (8 * place);
        }
    }
    return values;
}

std::string Typed(std::uint64_t value, unsigned size, bool bigEndian) {
    std::string text;
    for (unsigned i = 0; i < size; ++i) {
        const unsigned b = bigEndian ? size - 1 - i : i;
        const char* digits = "0123456789abcdef";
        text += digits[(value >> (8 * b + 4)) & 0xF];
        text += digits[(value >> (8 * b)) & 0xF];
    }
    return text;
}

std::optional<Job> Draw(Random& rnd, const Cartridge& cart, unsigned size) {
    Draft d;
    Job& job = d.job;
    job.cart = &cart;
    job.size = size;
    job.rom = cart.blank();
    d.script = DrawScript(rnd);
    job.separator = d.script.separator;
    job.lineBreak = d.script.lineBreak;
    d.form = DrawForm(rnd, cart, size);
    const bool plain = cart.address.console == Console::Linear;
    const std::size_t distinct = rnd.Pick(1, 48);
    DrawLengths(rnd, distinct, d.before, d.now);
    d.inPlace = rnd.Chance(0.6);
    job.moved = !d.inPlace;
    const AfterTable afters[] = {AfterTable::Zeros,
                                 AfterTable::Ones,
                                 AfterTable::Data,
                                 AfterTable::FarTable,
                                 AfterTable::NextTableAdjacent,
                                 AfterTable::NextTableApart,
                                 AfterTable::Text};
    job.after = afters[rnd.Pick(0, 6)];
    const auto entries = Entries(rnd, distinct, !plain);
    Layout layout(rnd, cart);
    if (!PlaceText(rnd, layout, d, entries.size() * size)) {
        return std::nullopt;
    }
    // Old values from the old layout, new ones from the new.
    std::vector<std::uint64_t> oldValue, newValue;
    std::uint64_t oldAt = d.oldText;
    for (std::size_t j = 0; j < distinct; ++j) {
        d.form.origin = d.oldText;
        oldValue.push_back(d.form(oldAt));
        d.form.origin = job.text;
        newValue.push_back(d.form(job.starts[j]));
        oldAt += d.before[j] + 1;
    }
    const std::uint64_t ones = (std::uint64_t{1} << (8 * size)) - 1;
    for (const auto& k : entries) {
        job.old.push_back(k ? oldValue[*k] : (rnd.Chance(0.5) ? 0 : ones));
        job.expected.push_back(k ? newValue[*k] : job.old.back());
    }
    d.form.origin = d.oldText; // the next table's pointers are of the old layout
    if (!PlaceTable(rnd, layout, d, job.old)) {
        return std::nullopt;
    }
    PlaceNextBlock(rnd, d);
    job.firstValue = newValue[0];
    // A plain file cannot tell a moved text without FIRST; nor can a console's, where the text
    // follows another block with nothing between (its first string or byte may be the other's),
    // or behind 2-byte pointers, where a move to another bank lands on the old values' 16 bits.
    const bool overlap16 = size == 2 && newValue[0] <= oldValue.back() &&
                           oldValue[0] <= newValue[0] + Total(d.now) - 1;
    // Nor where its first string was emptied into the separators before it: TEXT a byte early
    // reads the same.
    const bool emptiedFirst = d.now.front() == 0 && job.rom.at(job.text - 1) == job.separator;
    job.needsFirst = job.moved && (plain || d.packed || overlap16 || emptiedFirst);
    // A last string emptied before free space of the separator's byte, its value the greatest,
    // with the next table after END: END one entry long reads the same bytes.
    const std::uint64_t end = job.text + Total(d.now);
    bool free = end + kFreeBytes <= job.rom.size();
    for (std::uint64_t k = 0; free && k < kFreeBytes; ++k) {
        free = job.rom.at(end + k) == job.separator;
    }
    const bool nextTable =
        job.after == AfterTable::NextTableAdjacent || job.after == AfterTable::NextTableApart;
    job.ambiguous = job.ambiguous || (nextTable && free && d.now.back() == 0 &&
                                      entries.back() == std::optional<std::size_t>(distinct - 1));
    // Drawn whenever it was before the packed case needed FIRST: the corpus, and so its figures,
    // stay comparable with earlier ones.
    const bool typed = (job.moved && (plain || overlap16)) || rnd.Chance(0.25);
    if (job.needsFirst || typed) {
        job.first = newValue[0];
    }
    const char* afterNames[] = {
        "zeros", "FF", "data", "far table", "next table adjacent", "next table apart", "text"};
    if (cart.split) {
        job.options.emplace_back("--split");
    }
    job.what = std::string(cart.name) + ", " + std::to_string(size) + " bytes, " +
               (job.moved ? "moved" : "in place") + ", table then " +
               afterNames[static_cast<int>(job.after)] + ", " + std::to_string(job.starts.size()) +
               " strings";
    return job;
}

std::vector<std::string> Arguments(const Job& job) {
    std::vector<std::string> args = {HexOf(job.text), HexOf(job.tableStart), HexOf(job.tableEnd),
                                     std::to_string(job.size), Typed(job.separator, 1)};
    if (job.first) {
        args.push_back(Typed(*job.first, job.size, job.cart->bigEndian));
    }
    return args;
}

std::vector<Typo> Typos(const Job& job) {
    std::vector<Typo> typos;
    const std::vector<std::string> args = Arguments(job);
    const auto with = [&](const char* name, std::size_t field, std::string value) {
        std::vector<std::string> changed = args;
        changed.resize(std::max(changed.size(), field + 1));
        changed[field] = std::move(value);
        typos.push_back({name, changed, job.options});
    };
    with("TEXT one byte late", 0, HexOf(job.text + 1));
    if (job.after != AfterTable::Text) {
        with("TEXT one byte early", 0, HexOf(job.text - 1));
    }
    if (job.starts.size() >= 2) {
        with("TEXT on the second string", 0, HexOf(job.starts[1]));
    }
    const std::uint64_t first = job.firstValue;
    std::uint64_t reversed = 0;
    for (unsigned b = 0; b < job.size; ++b) {
        reversed = (reversed << 8) | ((first >> (8 * b)) & 0xFF);
    }
    if (reversed != first) {
        with("FIRST reversed", 5, Typed(reversed, job.size, job.cart->bigEndian));
    }
    if (job.needsFirst) {
        std::vector<std::string> forgotten = args;
        forgotten.pop_back();
        typos.push_back({"FIRST forgotten after a move", forgotten, job.options});
    }
    const std::uint64_t n = job.old.size();
    with("END one entry long", 2, HexOf(job.tableEnd + job.size));
    if (n >= 2) {
        with("END one entry short", 2, HexOf(job.tableEnd - job.size));
        with("START one entry late", 1, HexOf(job.tableStart + job.size));
    }
    with("START one entry early", 1, HexOf(job.tableStart - job.size));
    with("START one byte off", 1, HexOf(job.tableStart + 1));
    if (job.size != 4) {
        with("SIZE 2 and 3 swapped", 3, job.size == 2 ? "3" : "2");
    }
    if (job.cart->split) {
        typos.push_back({"--split forgotten", args, {}});
    }
    with("separator 00 and FF swapped", 4, job.separator == 0x00 ? "ff" : "00");
    if (job.lineBreak) {
        with("a line break as the separator", 4, Typed(*job.lineBreak, 1));
    }
    return typos;
}
