// The rules about what is read through the table: the separator, TEXT and FIRST.
#include "portable/Hex.h"
#include "zeltor/judge/Rules.h"
#include "zeltor/words/Text.h"

#include <algorithm>
#include <array>

namespace zeltor {

namespace {

// With free space after the text, a table's last strings that were emptied by the
// translation run into it: up to this many are taken for such strings.
constexpr std::size_t kTrailingEmpty = 4;
// Old empty strings with text now: this many are a pairing off by a string. Sized on the corpus,
// where a translator fills one unused slot in ten: two filled happened in legitimate jobs.
constexpr std::size_t kEmptiesFilled = 3;

// Right at `at`, no text: free space, the table, the file's end, or bytes the text does not
// use.
bool NoTextAt(const View& view, const Reading& r, std::uint64_t at, const std::bitset<256>& bytes) {
    if (!view.text.Holds(at, 4) || IsFree(view.text, at, kFreeRun / 2) ||
        at == r.fields.tableStart) {
        return true;
    }
    int other = 0;
    for (std::uint64_t k = at; k < at + 4; ++k) {
        other += bytes.test(view.text[k]) ? 0 : 1;
    }
    return other >= 2;
}

// Where free space begins past `from`, with bytes between, no further than a string reaches.
std::optional<std::uint64_t> FreeSpaceAhead(const View& view, std::uint64_t from) {
    const auto free = FreeSpaceFrom(view.text, from);
    if (!free || *free <= from || *free - from > kLongestString) {
        return std::nullopt;
    }
    return free;
}

// From `from` to free space, whole strings that `b` ends: another block of the same text.
bool WholeStringsToFreeSpace(const View& view, std::uint64_t from, std::uint8_t b,
                             const std::bitset<256>& bytes) {
    const auto free = FreeSpaceAhead(view, from);
    if (!free || (view.text[*free - 1] != b && view.text[*free] != b)) {
        return false;
    }
    for (std::uint64_t at = from; at < *free;) {
        if (view.text[at] != b && !TextLike(view.text, at, b, bytes)) {
            return false;
        }
        while (at < *free && view.text[at] != b) {
            ++at;
        }
        ++at;
    }
    return true;
}

// The strings `b` ends, from TEXT: the table's number of them, each made of the text's bytes
// (the typed separator among them, when that is a code inside strings), none holding free
// space, and no more text after the last. Other data that happens to hold `b` as often fails.
bool EndsTheText(const View& view, const Reading& r, std::uint8_t b, bool followed) {
    const std::size_t m = r.values.size();
    const std::uint64_t limit =
        r.fields.tableStart > r.fields.textStart ? r.fields.tableStart : view.fileSize;
    const Strings strings = Split(view.text, r.fields.textStart, b, m, limit);
    if (strings.starts.size() < m) {
        return false;
    }
    std::bitset<256> bytes = r.charset;
    bytes.set(r.fields.separator);
    bytes.reset(b);
    std::size_t inFreeSpace = 0;
    for (std::size_t j = 0; j < m; ++j) {
        const std::uint64_t start = strings.starts[j];
        const std::uint64_t end = j + 1 < m ? strings.starts[j + 1] - 1 : strings.end;
        if (end == start) {
            const auto free =
                FreeSpaceFrom(view.text, start - std::min<std::uint64_t>(start, kFreeRun));
            inFreeSpace += free && *free <= start ? 1 : 0;
        } else if (!TextLike(view.text, start, b, bytes)) {
            return false;
        }
    }
    // A few strings emptied by the translation may end in the free space; most of them there
    // is one string holding all the text.
    if (inFreeSpace > kTrailingEmpty || 2 * inFreeSpace > m) {
        return false;
    }
    return NoTextAt(view, r, strings.end + 1, bytes) ||
           (followed && WholeStringsToFreeSpace(view, strings.end + 1, b, bytes));
}

// Strings read that begin in free space after the text, or that hold some: a separator that
// ends the text at once, or comes only in the free space, reads such strings.
struct InFreeSpace {
    std::size_t starting = 0;           // strings that begin inside free space
    std::optional<std::size_t> holding; // the first string that holds free space
};

InFreeSpace Swallowed(const View& view, const Reading& r) {
    InFreeSpace found;
    const std::vector<std::uint64_t>& starts = r.strings.starts;
    // The next free space after each string's start, looked for again only once passed: the
    // strings come in order, so the whole text is scanned once.
    std::optional<std::uint64_t> free;
    for (std::size_t j = 0; j < starts.size(); ++j) {
        const std::uint64_t end = j + 1 < starts.size() ? starts[j + 1] - 1 : r.strings.end;
        if (j == 0 || (free && *free < starts[j])) {
            free = FreeSpaceFrom(view.text, starts[j]);
        }
        if (InFreeRun(view.text, starts[j])) {
            ++found.starting;
        } else if (free && *free < end && !found.holding) {
            found.holding = j;
        }
    }
    return found;
}

// The bytes to try as the separator: the usual two, then those that occur about as often as
// the table has strings in the text before the free space.
std::vector<std::uint8_t> Candidates(const View& view, const Reading& r, bool strong) {
    const std::uint64_t to =
        std::min({view.text.End(), r.freeSpace.value_or(view.text.End()), view.nextText});
    std::array<std::size_t, 256> counts{};
    if (r.fields.textStart < to) {
        // A text of many MiB is counted straight from its bytes.
        const std::uint8_t* const first = &view.text.bytes[r.fields.textStart - view.text.from];
        std::for_each(first, first + (to - r.fields.textStart),
                      [&](const std::uint8_t b) { ++counts[b]; });
    }
    const std::size_t m = r.values.size();
    // Among two or three strings, some byte always ends them by chance.
    std::vector<std::uint8_t> bytes;
    if (m > 3) {
        bytes = {0x00, 0xFF};
    }
    for (int b = 1; b < 255 && strong; ++b) {
        if (m > 3 && counts[b] + kTrailingEmpty >= m && counts[b] <= 2 * m + 4) {
            bytes.push_back(static_cast<std::uint8_t>(b));
        }
    }
    bytes.erase(std::remove(bytes.begin(), bytes.end(), r.fields.separator), bytes.end());
    return bytes;
}

// Half the strings read or more hold 00 or FF, bytes that stand between strings, never in one:
// they are the separator, and the typed one a code inside the strings (a line break).
bool HoldPadding(const View& view, const Reading& r) {
    const std::size_t m = r.strings.starts.size();
    for (const std::uint8_t b : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
        if (b == r.fields.separator) {
            continue;
        }
        std::size_t holding = 0;
        for (std::size_t j = 0; j < m; ++j) {
            const std::uint64_t end = j + 1 < m ? r.strings.starts[j + 1] - 1 : r.strings.end;
            for (std::uint64_t at = r.strings.starts[j]; at < end && view.text.Holds(at); ++at) {
                if (view.text[at] == b) {
                    ++holding;
                    break;
                }
            }
        }
        if (holding >= 2 && 2 * holding >= m) {
            return true;
        }
    }
    return false;
}

// Past the strings read, bytes of the text run on into free space with no separator at their
// end: the block's strings end with another byte, and the typed one is a code inside them.
bool RunsOnUnended(const View& view, const Reading& r) {
    const std::uint64_t from = r.strings.end + 1;
    const auto free = FreeSpaceAhead(view, from);
    // Free space of the separator's own byte takes in the last string's separator.
    if (!free || view.text[*free - 1] == r.fields.separator ||
        view.text[*free] == r.fields.separator) {
        return false;
    }
    // Two in three of them the text's own: not other data.
    std::uint64_t known = 0;
    for (std::uint64_t at = from; at < *free; ++at) {
        known += r.charset.test(view.text[at]) ? 1 : 0;
    }
    return 3 * known >= 2 * (*free - from);
}

// Where the text was moved and the old one is still there, its strings end where the old values
// say: the byte before each is the separator.
std::optional<Finding> OldSeparators(const View& view, const Reading& r) {
    if (view.old.bytes.empty()) {
        return std::nullopt;
    }
    const OldText old = OldTextOf(r);
    std::optional<std::uint8_t> ends;
    std::size_t seen = 0;
    for (const std::uint32_t value : r.values) {
        const auto p = r.basis.Where(value);
        if (!p || *p == old.low || !view.old.Holds(*p - 1)) {
            continue;
        }
        const std::uint8_t b = view.old[*p - 1];
        if (ends && *ends != b) {
            return std::nullopt;
        }
        ends = b;
        ++seen;
    }
    if (!ends || *ends == r.fields.separator || seen < 2 || !view.old.Holds(old.low, 1)) {
        return std::nullopt;
    }
    // An old text wiped to one byte says nothing.
    std::size_t other = 0;
    for (std::uint64_t at = old.low; at < old.high && view.old.Holds(at); ++at) {
        other += view.old[at] != *ends ? 1 : 0;
    }
    if (2 * other < old.high - old.low) {
        return std::nullopt;
    }
    return Finding{Exit::LooksWrong, Field::Separator,
                   "en el texto anterior, que sigue en " + Hex(old.low) + "-" + Hex(old.high) +
                       ", cada cadena termina con " + HexDigits(*ends, 2) + ", no con " +
                       HexDigits(r.fields.separator, 2)};
}

bool Boundary(const View& view, const Reading& r, std::uint64_t at) {
    if (at >= r.fields.tableStart && at <= r.fields.tableEnd) {
        return true;
    }
    return Between(view.text[at], r.fields.separator);
}

bool Text(const Reading& r, std::uint8_t b) {
    return !Between(b, r.fields.separator) && r.charset.test(b);
}

// Between the lowest and the highest byte the strings use: a letter of the text, seen or not.
bool InTextRange(const Reading& r, std::uint8_t b) {
    return AmongLetters(r.charset, b, r.fields.separator);
}

// From this long on, a string may hold a letter the rest of the text does not.
constexpr std::size_t kLongUnseen = 16;

// The letters that run back from `at`: where the run stops (the byte before it), or nothing
// where they are not the text's. A string the strings read do not include may hold a letter
// they do not use: one in a short string, a third in a long one.
std::optional<std::uint64_t> LettersBack(const View& view, const Reading& r, std::uint64_t at) {
    std::uint64_t k = at;
    std::size_t length = 0;
    std::size_t seen = 0;
    while (k > 0 && view.text.Holds(k) && InTextRange(r, view.text[k])) {
        seen += Text(r, view.text[k]) ? 1 : 0;
        --k;
        ++length;
    }
    const std::size_t unseen = length - seen;
    if (unseen > 1 && (length < kLongUnseen || 3 * unseen > length)) {
        return std::nullopt;
    }
    return k;
}

// One string of text stands just before TEXT, after free space or the table, with no other
// string before it: the typed TEXT skipped the first string. An empty one counts only after
// free space of another byte than the separator, which it cannot be part of.
std::optional<std::uint64_t> OneStringBefore(const View& view, const Reading& r) {
    const std::uint64_t t = r.fields.textStart;
    if (t < 2 || !view.text.Holds(t - 2) || view.text[t - 1] != r.fields.separator ||
        (t - 1 >= r.fields.tableStart && t - 1 <= r.fields.tableEnd)) {
        return std::nullopt;
    }
    const auto back = LettersBack(view, r, t - 2);
    if (!back) {
        return std::nullopt;
    }
    const std::uint64_t k = *back;
    const std::uint64_t length = t - 2 - k;
    if (!view.text.Holds(k) || !view.text.Holds(k - std::min<std::uint64_t>(k, 1))) {
        return std::nullopt;
    }
    const bool table = k >= r.fields.tableStart && k <= r.fields.tableEnd;
    const bool free =
        k > 0 && (view.text[k] == 0x00 || view.text[k] == 0xFF) && view.text[k - 1] == view.text[k];
    if ((length > 0 && (table || free)) ||
        (length == 0 && free && view.text[k] != r.fields.separator)) {
        return k + 1;
    }
    return std::nullopt;
}

// The separator at `at` ends a string of the text's letters that runs up to it from a boundary
// (a separator, free space or the table): where that string begins, if so. As the first string
// of a text, it would be an empty one whose separator the string before it lacks.
std::optional<std::uint64_t> StringEndingAt(const View& view, const Reading& r, std::uint64_t at) {
    // Three letters at least: fewer are as often the last bytes of other data.
    constexpr std::uint64_t kLetters = 3;
    if (!view.text.Holds(at) || view.text[at] != r.fields.separator || at == 0) {
        return std::nullopt;
    }
    const auto back = LettersBack(view, r, at - 1);
    if (!back) {
        return std::nullopt;
    }
    const std::uint64_t k = *back;
    // The table's own bytes are no string.
    if (!view.text.Holds(k) || at - 1 - k < kLetters ||
        (k + 1 <= r.fields.tableEnd && at - 1 >= r.fields.tableStart)) {
        return std::nullopt;
    }
    return Boundary(view, r, k) ? std::optional<std::uint64_t>(k + 1) : std::nullopt;
}

// The first string read is empty, and past the strings read exactly one string is left before
// free space: TEXT was typed on the separator before the text.
bool EmptyFirstAndOneLeft(const View& view, const Reading& r) {
    const std::uint64_t t = r.fields.textStart;
    // Three strings or fewer show too few of the text's letters to tell the next block's strings
    // from other data.
    if (!view.text.Holds(t) || view.text[t] != r.fields.separator || r.strings.starts.size() < 4) {
        return false;
    }
    std::uint64_t at = r.strings.end + 1;
    if (!TextLike(view.text, at, r.fields.separator, r.charset)) {
        return false;
    }
    while (view.text.Holds(at) && view.text[at] != r.fields.separator) {
        ++at;
    }
    return IsFree(view.text, at + 1, kFreeRun / 2) ||
           (view.text.Holds(at + 1) && view.text[at + 1] != r.fields.separator &&
            !TextLike(view.text, at + 1, r.fields.separator, r.charset));
}

// The last string read is made of other bytes than the rest: data after the text, read as a
// string because TEXT (or END) reaches one string too far.
bool LastIsData(const View& view, const Reading& r) {
    // Three other strings show too few of a game's symbols: on corpora drawn from other seeds,
    // a translated fourth string was taken for data (one job in 800), for two typos written
    // more in 7,000.
    const std::size_t m = r.strings.starts.size();
    if (m < 5 || r.strings.end == r.strings.starts.back()) {
        return false;
    }
    // The bytes of the other strings: all the strings' counts, less the last one's own.
    ByteCounts others = r.counts;
    for (std::uint64_t at = r.strings.starts.back(); at < r.strings.end; ++at) {
        --others[view.text[at]];
    }
    // Half its bytes new to the text, not a third: a short text has not shown all its symbols
    // yet, and a last string with the first digits or accents is still text ("Cura 50 PV.").
    return !TextLike(view.text, r.strings.starts.back(), r.fields.separator, Charset(others), 0.5);
}

// Strings that were empty in the old table (their value one byte below the next) and have text
// now. A translation leaves an empty string empty, as a rule: a few filled are a translator
// using unused slots, but where the pairing is off by a string they turn up all over.
std::size_t EmptiesFilled(const Reading& r) {
    std::size_t filled = 0;
    std::size_t empties = 0;
    const std::size_t m = std::min(r.values.size(), r.strings.starts.size());
    for (std::size_t j = 0; j + 1 < m; ++j) {
        const std::uint64_t p = r.at[j];
        const std::uint64_t q = r.at[j + 1];
        const std::uint64_t end = r.strings.starts[j + 1] - 1;
        if (p != Reading::kNowhere && q == p + 1) {
            ++empties;
            filled += end > r.strings.starts[j] ? 1 : 0;
        }
    }
    // Off by a string, most of them get text; a translator fills a few at most.
    return 2 * filled > empties ? filled : 0;
}

// Whole strings of the text lead from `from` to TEXT: the text begins at `from`, and the typed
// TEXT skipped its first strings (a long one can carry TEXT past all the old values).
bool LeadsTo(const View& view, const Reading& r, std::uint64_t from) {
    const std::uint64_t t = r.fields.textStart;
    if (from >= t || !view.text.Holds(from, t - from) || t - from > kLongestString * 4) {
        return false;
    }
    std::uint64_t at = from;
    while (at < t) {
        if (view.text[at] != r.fields.separator &&
            !TextLike(view.text, at, r.fields.separator, r.charset)) {
            return false;
        }
        while (view.text[at] != r.fields.separator) {
            ++at;
        }
        ++at;
    }
    return at == t;
}

// A first pointer typed the other way round: nothing but FIRST is to blame.
Finding Reversal(Finding finding) {
    finding.suspects = {Field::FirstPointer};
    return finding;
}

} // namespace

std::optional<Finding> Separator(const View& view, const Reading& r) {
    const std::size_t m = r.values.size();
    if (m < 2) {
        return OldSeparators(view, r);
    }
    const InFreeSpace swallowed = Swallowed(view, r);
    const bool bad =
        swallowed.holding || swallowed.starting > kTrailingEmpty || 2 * swallowed.starting > m;
    // In a table of three strings or fewer, two emptied are as likely as a wrong separator:
    // there, only 00 or FF ending the strings where the text ends says which.
    const bool few = m <= 3 && !swallowed.holding && swallowed.starting <= kTrailingEmpty;
    const std::string typed = "con el separador " + HexDigits(r.fields.separator, 2) + ", ";
    // Strings that run into free space, or text left after the strings read: evidence enough to
    // look for a byte that ends exactly the table's strings; for text left, only 00 or FF, which
    // a text seldom holds (the next block of text may follow, and among the dozens of bytes a
    // text does hold, one would end the table's number of strings now and then by chance).
    const bool unended = RunsOnUnended(view, r);
    if (bad || unended || HoldPadding(view, r) ||
        TextGoesOn(view.text, r.strings.end, r.fields.separator, r.charset)) {
        std::vector<std::uint8_t> candidates = Candidates(view, r, bad || unended);
        if (few && bad) {
            for (const std::uint8_t b : {0x00, 0xFF}) {
                if (b != r.fields.separator) {
                    candidates.push_back(b);
                }
            }
        }
        for (const std::uint8_t b : candidates) {
            if (EndsTheText(view, r, b, unended)) {
                Finding finding{Exit::LooksWrong, Field::Separator,
                                typed + "las " + std::to_string(m) +
                                    " cadenas de la tabla no acaban donde acaba el texto; con " +
                                    HexDigits(b, 2) + ", sí"};
                finding.separator = b;
                return finding;
            }
        }
    }
    if (swallowed.holding) {
        return Finding{Exit::LooksWrong, Field::Separator,
                       typed + StringAt(*swallowed.holding, r.strings.starts[*swallowed.holding]) +
                           " se extiende por el espacio libre que sigue al texto"};
    }
    if (bad && !few) {
        return Finding{Exit::LooksWrong, Field::Separator,
                       typed + std::to_string(swallowed.starting) + " de las " + std::to_string(m) +
                           " cadenas de la tabla quedan en el espacio libre que sigue al texto"};
    }
    return OldSeparators(view, r);
}

namespace {

// The bases a plain file's pointers most often have over its positions: none, or a Game Boy
// Advance's 0x08000000.
constexpr std::array<std::uint64_t, 2> kFileBases = {0, 0x08000000};

} // namespace

std::optional<Finding> TextAndFirst(const View& view, const Reading& r) {
    const Fields& f = r.fields;
    const OldText old = OldTextOf(r);
    const std::uint32_t v0 = r.values.front();
    if (!view.mapKnown) {
        // A plain file: the old text still standing elsewhere, or a first pointer typed the
        // other way round.
        if (!f.first && view.oldTextAt) {
            const std::int64_t moved =
                static_cast<std::int64_t>(f.textStart) - static_cast<std::int64_t>(*view.oldTextAt);
            const auto first = static_cast<std::uint32_t>(static_cast<std::int64_t>(v0) + moved);
            return Finding{Exit::LooksWrong, Field::FirstPointer,
                           "el texto anterior sigue en " + Hex(*view.oldTextAt) +
                               " (cada valor de la tabla señala allí el principio de una de sus "
                               "cadenas): si lo ha movido a " +
                               Hex(f.textStart) + ", indique el primer puntero, " +
                               AsTyped(first, f.size) + " si los punteros no cambian de base"};
        }
        if (!f.first) {
            return std::nullopt;
        }
        // Moved where the old text still stands: with the pointers' base unchanged, FIRST is
        // the smallest old value plus the move.
        if (view.oldTextAt) {
            const auto first = static_cast<std::uint32_t>(
                static_cast<std::int64_t>(v0) + static_cast<std::int64_t>(f.textStart) -
                static_cast<std::int64_t>(*view.oldTextAt));
            if (*f.first != first && Reversed(*f.first, f.size) == first) {
                return Reversal(Finding{Exit::LooksWrong, Field::FirstPointer,
                                        "el primer puntero indicado tiene los bytes al revés: el "
                                        "texto anterior sigue en " +
                                            Hex(*view.oldTextAt) + ", y el que corresponde a " +
                                            Hex(f.textStart) + " es " + AsTyped(first, f.size) +
                                            " en la ROM"});
            }
        }
        for (const std::uint32_t current : {r.entries.front(), v0}) {
            if (current != *f.first && Reversed(current, f.size) == *f.first) {
                return Reversal(Finding{Exit::LooksWrong, Field::FirstPointer,
                                        "el primer puntero indicado es el " +
                                            std::string(current == r.entries.front()
                                                            ? "de la entrada 0"
                                                            : "que apunta a la primera cadena") +
                                            " con los bytes al revés (" + AsTyped(current, f.size) +
                                            " en la ROM)"});
            }
        }
        // Turned round, it is TEXT's own position (or that above 0x08000000): the pointers are
        // the file's positions.
        for (const std::uint64_t base : kFileBases) {
            const std::uint64_t at = f.textStart + base;
            if (at <= 0xFFFFFFFF && *f.first != at &&
                Reversed(*f.first, f.size) == static_cast<std::uint32_t>(at)) {
                return Reversal(
                    Finding{Exit::LooksWrong, Field::FirstPointer,
                            "el primer puntero indicado tiene los bytes al revés: "
                            "el texto empieza en " +
                                Hex(f.textStart) + (base != 0 ? " (más 0x08000000)" : "") +
                                ", que como puntero es " +
                                AsTyped(static_cast<std::uint32_t>(at), f.size) + " en la ROM"});
            }
        }
        return std::nullopt;
    }
    const auto here = r.basis.ValueOf(f.textStart, v0);
    if (!here) {
        return Finding{Exit::Overflow, Field::TextStart,
                       "el texto (" + Hex(f.textStart) +
                           ") está donde la consola no ve la ROM con el mapa " + view.map->Name() +
                           " (en una cabecera, o fuera de la PRG)"};
    }
    const bool inPlace = old.known && old.low == f.textStart;
    // The old text reaches at least one string past its highest value: as far as the longest
    // string between them, or, where it still stands, to that string's separator.
    std::uint64_t oldEnd = old.high + std::max<std::uint64_t>(old.longestGap, 1);
    for (std::uint64_t at = old.high; at < oldEnd && view.old.Holds(at); ++at) {
        if (view.old[at] == f.separator) {
            oldEnd = at;
        }
    }
    // Strings that end right where the old text begins touch it: a text moved there would have
    // to fill the space before it to the byte, a TEXT typed one byte early does.
    const bool overlap = old.known && f.textStart <= oldEnd && r.strings.end + 1 >= old.low;
    const bool firstHere = f.first && r.basis.Where(*f.first) == f.textStart;
    if (f.first && !firstHere) {
        const bool reversed = r.basis.Where(Reversed(*f.first, f.size)) == f.textStart ||
                              Reversed(r.entries.front(), f.size) == *f.first ||
                              Reversed(v0, f.size) == *f.first;
        if (reversed) {
            return Reversal(Finding{Exit::LooksWrong, Field::FirstPointer,
                                    "el primer puntero indicado tiene los bytes al revés: el que "
                                    "señala el inicio del texto (" +
                                        Hex(f.textStart) + ") es " + AsTyped(*here, f.size) +
                                        " en la ROM"});
        }
        const auto points = r.basis.Where(*f.first);
        if (!(overlap && !inPlace && points == old.low)) {
            return Finding{
                Exit::LooksWrong, Field::FirstPointer,
                "el primer puntero indicado señala " +
                    (points ? "la posición " + Hex(*points) : std::string("fuera de la ROM")) +
                    ", no el inicio del texto (" + Hex(f.textStart) + ")"};
        }
    }
    if (inPlace || firstHere || (!overlap && !LeadsTo(view, r, old.low))) {
        return std::nullopt;
    }
    Finding typo{Exit::LooksWrong, Field::TextStart,
                 "el menor valor de la tabla, " + ValueText(r, v0) + ", señala la posición " +
                     Hex(old.low) + ", no " + Hex(f.textStart),
                 false,
                 "; si ha movido el texto a propósito, indique el primer puntero: " +
                     AsTyped(*here, f.size)};
    typo.textAt = old.low;
    return typo;
}

std::optional<Finding> TextEdges(const View& view, const Reading& r) {
    const Fields& f = r.fields;
    const OldText old = OldTextOf(r);
    if (view.mapKnown && old.known && old.low == f.textStart) {
        return std::nullopt; // the old table says where the text starts
    }
    const std::uint64_t t = f.textStart;
    const auto at = [](Finding finding, std::uint64_t start) {
        finding.textAt = start;
        return finding;
    };
    if (t >= 2 && view.text.Holds(t - 2, 2) && !Boundary(view, r, t - 1) &&
        InTextRange(r, view.text[t - 1]) && Boundary(view, r, t - 2)) {
        return at(Finding{Exit::LooksWrong, Field::TextStart,
                          "el byte anterior al texto (" + HexDigits(view.text[t - 1], 2) + " en " +
                              Hex(t - 1) + ") parece el primer carácter de la primera cadena"},
                  t - 1);
    }
    // Padding then text; or padding then an empty string, where the padding goes on before
    // TEXT (a first string made of one byte of it is free space, not text).
    const auto padded = [&](std::uint64_t at) {
        return view.text.Holds(at - 1, 3) && view.text[at - 1] == view.text[at] &&
               view.text[at + 1] == f.separator;
    };
    if (view.text.Holds(t, 2) && (view.text[t] == 0x00 || view.text[t] == 0xFF) &&
        view.text[t] != f.separator && (Text(r, view.text[t + 1]) || (t > 0 && padded(t)))) {
        return at(Finding{Exit::LooksWrong, Field::TextStart,
                          "la primera cadena empieza con un byte de relleno (" +
                              HexDigits(view.text[t], 2) + " en " + Hex(t) + ")"},
                  t + 1);
    }
    if (const auto from = StringEndingAt(view, r, t)) {
        return at(Finding{Exit::LooksWrong, Field::TextStart,
                          "el separador en " + Hex(t) +
                              " cierra la cadena de texto que lo precede (desde " + Hex(*from) +
                              "), no una primera cadena vacía: el texto parece empezar después"},
                  t + 1);
    }
    if (const auto lone = OneStringBefore(view, r)) {
        return at(Finding{Exit::LooksWrong, Field::TextStart,
                          "justo antes de " + Hex(t) +
                              " hay una cadena suelta, tras espacio libre: el texto parece "
                              "empezar en ella"},
                  *lone);
    }
    if (LastIsData(view, r)) {
        const std::size_t j = r.strings.starts.size() - 1;
        return Finding{Exit::LooksWrong, Field::TextStart,
                       StringAt(j, r.strings.starts[j]) +
                           ", la última leída, no parece del texto sino de lo que lo sigue: se "
                           "ha leído una cadena de más"};
    }
    if (const std::size_t filled = EmptiesFilled(r); filled >= kEmptiesFilled) {
        return Finding{Exit::LooksWrong, Field::TextStart,
                       std::to_string(filled) +
                           " cadenas que estaban vacías en la tabla anterior (un valor a 1 byte "
                           "del siguiente) tienen texto ahora: las cadenas no se emparejan con sus "
                           "valores"};
    }
    if (EmptyFirstAndOneLeft(view, r)) {
        return at(Finding{Exit::LooksWrong, Field::TextStart,
                          "la primera cadena leída está vacía y tras la última queda otra antes "
                          "del espacio libre: el texto parece empezar un byte después"},
                  t + 1);
    }
    return std::nullopt;
}

namespace {

// Other bytes than free space end right before TEXT (the table's own aside): another block's
// last string, or data.
bool RightAfterOther(const View& view, const Reading& r) {
    const std::uint64_t t = r.fields.textStart;
    for (std::uint64_t k = 1; k <= kApart && k <= t && view.text.Holds(t - k); ++k) {
        const std::uint64_t at = t - k;
        if (at >= r.fields.tableStart && at <= r.fields.tableEnd) {
            return false;
        }
        if (!Between(view.text[at], r.fields.separator)) {
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<Finding> MovedRightAfter(const View& view, const Reading& r) {
    const Fields& f = r.fields;
    const OldText old = OldTextOf(r);
    if (!view.mapKnown || f.first || !old.known || !MovedAway(r, old) ||
        !RightAfterOther(view, r)) {
        return std::nullopt;
    }
    const auto here = r.basis.ValueOf(f.textStart, r.values.front());
    if (!here) {
        return std::nullopt;
    }
    return Finding{Exit::LooksWrong, Field::TextStart,
                   "el texto se ha movido a " + Hex(f.textStart) +
                       ", justo tras otros datos, donde no se distingue de una " +
                       FieldName(Field::TextStart) + " desplazada una cadena o un byte: revise " +
                       FieldName(Field::TextStart) + " o, si el texto empieza ahí, indique " +
                       FieldName(Field::FirstPointer) + ": " + AsTyped(*here, f.size),
                   true};
}

std::optional<Finding> TextInSeparators(const View& view, const Reading& r) {
    const Fields& f = r.fields;
    const std::uint64_t t = f.textStart;
    const OldText old = OldTextOf(r);
    if (!view.mapKnown || f.first || !old.known || t == 0 || !view.text.Holds(t - 1, 2) ||
        view.text[t] != f.separator || view.text[t - 1] != f.separator ||
        (t - 1 >= f.tableStart && t - 1 <= f.tableEnd) || !MovedAway(r, old)) {
        return std::nullopt;
    }
    const auto here = r.basis.ValueOf(t, r.values.front());
    std::uint64_t text = t;
    while (view.text.Holds(text) && view.text[text] == f.separator) {
        ++text;
    }
    if (!here || !view.text.Holds(text)) {
        return std::nullopt;
    }
    return Finding{Exit::LooksWrong, Field::TextStart,
                   "el texto se ha movido a " + Hex(t) +
                       ", donde su primera cadena está vacía entre separadores y no se distingue "
                       "de una " +
                       FieldName(Field::TextStart) +
                       " puesta antes de tiempo: si el texto empieza en " + Hex(text) +
                       ", revise " + FieldName(Field::TextStart) +
                       "; si la primera cadena se ha vaciado, indique " +
                       FieldName(Field::FirstPointer) + ": " + AsTyped(*here, f.size),
                   true};
}

std::optional<Finding> FileOffsets(const View& view, const Reading& r) {
    if (view.mapKnown || r.fields.first) {
        return std::nullopt;
    }
    const std::uint64_t t = r.fields.textStart;
    const std::uint32_t v0 = r.values.front();
    for (const std::uint64_t base : kFileBases) {
        if (v0 < base || r.values.back() - base >= view.fileSize || v0 - base == t ||
            (base != 0 && r.fields.size != 4)) {
            continue;
        }
        const std::uint64_t p = v0 - base;
        const bool near = p + 2 >= t && p <= t + 2;
        // TEXT on the second string: from p, one string ends right before it.
        bool before = p < t && view.text.Holds(p, t - p) && view.text[t - 1] == r.fields.separator;
        for (std::uint64_t k = p; before && k + 1 < t; ++k) {
            before = !Between(view.text[k], r.fields.separator);
        }
        if (!near && !before) {
            continue;
        }
        Finding finding{Exit::LooksWrong, Field::TextStart,
                        "el menor valor de la tabla, " + ValueText(r, v0) + ", es la posición " +
                            Hex(p) + (base != 0 ? " (menos 0x08000000)" : "") +
                            ", junto al texto: si los punteros son posiciones del archivo, el "
                            "texto empieza ahí"};
        finding.textAt = p;
        return finding;
    }
    return std::nullopt;
}

Verdict StoryOf(const View& view, const Reading& r) {
    Verdict verdict;
    const std::uint32_t v0 = r.values.front();
    if (!view.mapKnown) {
        verdict.story = r.fields.first ? Story::Declared : Story::Assumed;
        verdict.first = r.fields.first.value_or(v0);
        return verdict;
    }
    const OldText old = OldTextOf(r);
    const bool inPlace = old.known && old.low == r.fields.textStart;
    verdict.first =
        r.fields.first ? *r.fields.first : r.basis.ValueOf(r.fields.textStart, v0).value_or(v0);
    verdict.story = inPlace ? Story::InPlace : r.fields.first ? Story::Declared : Story::Moved;
    if (!inPlace && old.known) {
        verdict.notes.push_back("El texto se ha movido: el menor valor de la tabla anterior, " +
                                ValueText(r, v0) + ", señalaba " + Hex(old.low) +
                                "; ahora empieza en " + Hex(r.fields.textStart) +
                                ", y su primer "
                                "puntero es " +
                                ValueText(r, verdict.first) + ".");
    }
    return verdict;
}

} // namespace zeltor
