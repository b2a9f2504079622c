#include "portable/Hex.h"
#include "zeltor/Plan.h"
#include "zeltor/Text.h"

#include <algorithm>
#include <optional>

// What looks like a mistake in the fields rather than a translation. A translation changes
// each string's length, empties a few, shares and reorders entries. The thresholds below were
// sized on the corpus of tests/zeltor/Corpus.cpp, where lengths change by up to 60 % and the
// longest string emptied had 60 bytes: it still goes through with half the factor and a
// quarter of the slack, and no longer below that.
namespace zeltor {

namespace {

// The window's own words for the fields a mistake points to.
const char kSeparatorField[] = "«Valor hexadecimal del caracter separador»";
const char kTableStartField[] = "«Posición inicial de la tabla de punteros»";
const char kTableEndField[] = "«Posición final de la tabla de punteros»";
const char kSizeField[] = "«Tamaño de cada puntero»";
const char kFirstField[] = "«Valor del primer puntero»";

// The old table's spacing and the strings read differ by more than this factor and more than
// this many bytes: no translation does that.
constexpr std::int64_t kFactor = 4;
constexpr std::int64_t kSlack = 256;
// A string that covers what were two or more strings is at least this much longer than twice
// its old length when the separator is wrong.
constexpr std::int64_t kSwallowSlack = 32;
// A table of zeros alone is padding from this many entries on.
constexpr std::size_t kZeroEntries = 4;
// The bytes after the text that tell it has ended: this many of 00 or of FF.
constexpr std::size_t kPaddingRun = 16;

int Digits(const Request& r) {
    return static_cast<int>(r.pointerSize.Digits());
}

bool IsPadding(const std::uint8_t* bytes, std::size_t count) {
    return count > 0 && (bytes[0] == 0x00 || bytes[0] == 0xFF) &&
           std::all_of(bytes, bytes + count, [&](std::uint8_t b) { return b == bytes[0]; });
}

// The distance in the ROM from what `from` points to to what `to` points to. Values of one
// bank differ as the addresses do; across banks, the map leaves out the gaps between them.
// (Through the map alone, a value in another window of the same bank would look close.)
std::int64_t Distance(const Plan& plan, std::uint32_t from, std::uint32_t to) {
    if ((from >> 16) == (to >> 16)) {
        return static_cast<std::int64_t>(to) - static_cast<std::int64_t>(from);
    }
    return plan.map->Linear(to) - plan.map->Linear(from);
}

// What the old table and the strings read say of each string j that has a next one: the
// distance in the ROM from its old value to the next, and its length now.
struct Spacing {
    std::vector<std::int64_t> oldGap, newLength;
};

Spacing Measure(const Plan& plan) {
    Spacing s;
    for (std::size_t j = 0; j + 1 < plan.values.size(); ++j) {
        s.oldGap.push_back(Distance(plan, plan.values[j], plan.values[j + 1]));
        s.newLength.push_back(static_cast<std::int64_t>(plan.EndOf(j) - plan.starts[j]));
    }
    return s;
}

std::string StringAt(const Plan& plan, std::size_t j) {
    return "la cadena " + std::to_string(j) + " (posición " + Hex(plan.starts[j]) + ")";
}

// Entries of zeros or of FF where the table was said to be: all of them, or FF at either end
// (a table's bounds typed too wide: FF is no pointer). Zeros at an end are a relative table's
// first string, shared or not; far from the other values, the spacing rule sees them.
std::optional<std::string> Padding(const Request& r, const Plan& plan) {
    const unsigned size = r.pointerSize.Bytes();
    const std::size_t n = plan.entries;
    const auto ones = [&](std::size_t k) {
        const std::uint8_t* entry = &plan.oldTable[k * size];
        return std::all_of(entry, entry + size, [](std::uint8_t b) { return b == 0xFF; });
    };
    std::size_t padding = 0;
    std::size_t zeros = 0;
    for (std::size_t k = 0; k < n; ++k) {
        padding += IsPadding(&plan.oldTable[k * size], size) ? 1 : 0;
        zeros += OldValue(r, plan, k) == 0 ? 1 : 0;
    }
    // A relative table may point two or three entries at its first string, at 0.
    if (padding == n && (zeros < n ? n >= 2 : n >= kZeroEntries)) {
        return "la tabla (" + Hex(r.tableStart) + "-" + Hex(r.tableEnd) +
               ") solo tiene relleno (00 o FF), no punteros: revise " + kTableStartField + " y " +
               kTableEndField;
    }
    std::size_t lead = 0;
    std::size_t trail = 0;
    while (lead < n && ones(lead)) {
        ++lead;
    }
    while (trail < n && ones(n - 1 - trail)) {
        ++trail;
    }
    if (trail > 0 && trail < n) {
        return Count(trail, "entrada", "entradas") + " al final de la tabla (desde " +
               Hex(r.tableStart + (n - trail) * size) + ") " + (trail == 1 ? "es" : "son") +
               " relleno (FF), no punteros: revise " + kTableEndField;
    }
    if (lead > 0 && lead < n) {
        return Count(lead, "entrada", "entradas") + " al principio de la tabla (hasta " +
               Hex(r.tableStart + lead * size - 1) + ") " + (lead == 1 ? "es" : "son") +
               " relleno (FF), no punteros: revise " + kTableStartField;
    }
    return std::nullopt;
}

// The first pointer is typed as its bytes stand; typed the other way round it still reads as
// a number. A first pointer that differs otherwise is text moved on purpose.
std::optional<std::string> ReversedFirst(const Request& r, const Plan& plan) {
    if (!r.firstPointer) {
        return std::nullopt;
    }
    const unsigned size = r.pointerSize.Bytes();
    for (const std::uint32_t current : {OldValue(r, plan, 0), plan.values[0]}) {
        if (current != *r.firstPointer && Reversed(current, size) == *r.firstPointer) {
            return "el primer puntero indicado, " + Shown(r.firstPointerText, kFieldLimit) +
                   ", es el " +
                   (current == OldValue(r, plan, 0) ? "de la entrada 0"
                                                    : "que apunta a la primera cadena") +
                   " con los bytes al revés: en " + kFirstField +
                   " escriba los bytes tal como están en la ROM, " + AsTyped(current, size);
        }
    }
    return std::nullopt;
}

// After the last string read, the text goes on unless a run of padding follows it. A run of
// the separator itself may be empty strings: it proves nothing.
bool TextGoesOn(const Request& r, const Plan& plan, File& rom, std::uint64_t fileSize) {
    std::uint8_t after[kPaddingRun];
    const std::size_t n = static_cast<std::size_t>(
        std::min<std::uint64_t>(kPaddingRun, fileSize - std::min(fileSize, plan.textEnd + 1)));
    if (n == 0 || !rom.Read(plan.textEnd + 1, after, n)) {
        return false;
    }
    return n < kPaddingRun || !IsPadding(after, n) || after[0] == r.separator;
}

// A table end short by whole entries: the next entry continues the sequence, just past the
// highest value by about a string's length, and its string follows the ones read. Padding, a
// value below the highest, or the text itself, are no entry.
std::optional<std::string> TableGoesOn(const Request& r, const Plan& plan, const Spacing& s,
                                       File& rom, std::uint64_t fileSize) {
    const unsigned size = r.pointerSize.Bytes();
    const std::uint64_t next = std::uint64_t{r.tableEnd} + 1;
    const std::uint64_t nextLast = next + size - 1;
    std::uint8_t bytes[4] = {};
    if (nextLast >= fileSize || (next <= plan.textEnd && nextLast >= r.textStart) ||
        !rom.Read(next, bytes, size) || IsPadding(bytes, size)) {
        return std::nullopt;
    }
    const std::uint32_t value = ReadLittleEndian(bytes, size);
    const std::uint32_t top = plan.values.back();
    const std::int64_t reach = Distance(plan, top, value);
    const std::int64_t longest = std::max<std::int64_t>(
        s.oldGap.empty() ? 0 : *std::max_element(s.oldGap.begin(), s.oldGap.end()),
        plan.EndOf(plan.starts.size() - 1) - plan.starts.back() + 1);
    if (value <= top || reach <= 0 || reach > kFactor * longest + kSlack ||
        !TextGoesOn(r, plan, rom, fileSize)) {
        return std::nullopt;
    }
    return "la tabla parece seguir después de su final: en " + Hex(next) + " hay " +
           Hex(value, Digits(r)) + ", justo tras su mayor valor (" + Hex(top, Digits(r)) +
           "); si es otra entrada, " + kTableEndField + " debe ser " + Hex(nextLast) + " o más";
}

// A wrong separator reads strings that do not fit the old table: the one typed may end the
// whole text at once, leaving the rest empty in the free space after it, or come only now
// and then, so that one string swallows several.
std::optional<std::string> Separator(const Request& r, const Plan& plan, const Spacing& s) {
    std::size_t hadText = 0;
    std::size_t empty = 0;
    for (std::size_t j = 0; j < s.oldGap.size(); ++j) {
        if (s.oldGap[j] >= 2) {
            ++hadText;
            empty += s.newLength[j] == 0 ? 1 : 0;
        }
    }
    const std::string typed = "con el separador " + HexDigits(r.separator, 2) + ", ";
    if (empty >= 2 && 2 * empty > hadText) {
        return typed + std::to_string(empty) + " de las " + std::to_string(hadText) +
               " cadenas que tenían texto en la tabla anterior salen vacías: revise " +
               kSeparatorField;
    }
    for (std::size_t j = 0; j + 1 < s.oldGap.size(); ++j) {
        const std::int64_t length = s.newLength[j] + 1;
        if (s.oldGap[j] > 0 && length >= s.oldGap[j] + s.oldGap[j + 1] &&
            length > 2 * s.oldGap[j] + kSwallowSlack) {
            return typed + StringAt(plan, j) + " mide " +
                   Hex(static_cast<std::uint64_t>(s.newLength[j])) +
                   " bytes y ocupa el sitio de varias de la tabla anterior: revise " +
                   kSeparatorField;
        }
    }
    return std::nullopt;
}

// Values that are no pointers of this table (a table's bounds or size typed wrong) lie apart
// from the others or spread far wider or narrower than the strings read.
std::optional<std::string> Correspondence(const Request& r, const Plan& plan, const Spacing& s) {
    const std::int64_t oldSpan = Distance(plan, plan.values.front(), plan.values.back());
    const auto newSpan = static_cast<std::int64_t>(plan.starts.back() - plan.starts.front());
    if (oldSpan < 0 || newSpan > kFactor * oldSpan + kSlack ||
        oldSpan > kFactor * newSpan + kSlack) {
        return "las " + std::to_string(plan.starts.size()) + " cadenas leídas ocupan " +
               Hex(static_cast<std::uint64_t>(newSpan)) +
               " bytes, pero los valores de la tabla abarcaban " +
               Hex(static_cast<std::uint64_t>(std::max<std::int64_t>(oldSpan, 0))) +
               ": no corresponden; revise " + kTableStartField + ", " + kTableEndField + " y " +
               kSizeField;
    }
    for (std::size_t j = 0; j < s.oldGap.size(); ++j) {
        if (s.oldGap[j] > kFactor * (s.newLength[j] + 1) + kSlack) {
            return "el valor " + Hex(plan.values[j], Digits(r)) + " de la tabla queda a " +
                   Hex(static_cast<std::uint64_t>(s.oldGap[j])) +
                   " bytes del siguiente, pero su cadena mide " +
                   Hex(static_cast<std::uint64_t>(s.newLength[j])) +
                   ": no parece un puntero de esta tabla; revise " + kTableStartField + " y " +
                   kTableEndField;
        }
    }
    return std::nullopt;
}

} // namespace

std::vector<std::string> FindMistakes(const Request& r, const Plan& plan, File& rom,
                                      std::uint64_t fileSize) {
    std::vector<std::string> found;
    if (auto padding = Padding(r, plan)) {
        // Nothing else about a table of padding is worth saying.
        found.push_back(*padding);
        return found;
    }
    const Spacing spacing = Measure(plan);
    for (auto mistake : {ReversedFirst(r, plan), TableGoesOn(r, plan, spacing, rom, fileSize),
                         Separator(r, plan, spacing), Correspondence(r, plan, spacing)}) {
        if (mistake) {
            found.push_back(std::move(*mistake));
        }
    }
    return found;
}

} // namespace zeltor
