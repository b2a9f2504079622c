// The rules about the table's own fields (START, END, SIZE): whole entries, no padding at its
// ends, values that address the ROM, enough strings, nothing of it left out before START or
// after END, nothing of another table's taken in.
#include "portable/Hex.h"
#include "zeltor/judge/Rules.h"
#include "zeltor/words/Text.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace zeltor {

namespace {

// How far past the old values an entry may point and still be this table's next string: twice
// the table's longest old string, and 256 bytes for a table of one or two strings. It measures
// the old table against itself, never against the translation. Sized on the corpus of
// tests/zeltor/Corpus.cpp, whose old strings are at most 200 bytes: four times let an unrelated
// table whose text began 946 bytes on pass for this one's; twice wrote one typo more in 6,900.
constexpr std::uint64_t kReachFactor = 2;
constexpr std::uint64_t kReachSlack = 256;

std::uint64_t Reach(const OldText& old) {
    return kReachFactor * old.longestGap + kReachSlack;
}

// Beyond that reach of the old text either side: another text's.
bool FarFrom(const OldText& old, std::uint64_t p) {
    return p > old.high + Reach(old) || p + Reach(old) < old.low;
}

std::string At(const Reading& r, std::uint64_t tableOffset, std::uint32_t value) {
    return "en " + Hex(tableOffset) + " hay " + ValueText(r, value);
}

// An entry beside the table, as the view holds it; nothing where it does not, or where those
// bytes are the text's own.
std::optional<std::uint32_t> EntryAt(const View& view, const Reading& r, std::uint64_t at) {
    const unsigned size = r.fields.size;
    const std::uint64_t textEnd = std::max(r.strings.end, r.fields.textStart);
    const Span* span = view.TableHolding(at, size);
    // A split table's neighbours are no whole entries.
    if (r.fields.split || span == nullptr || (at + size > r.fields.textStart && at <= textEnd)) {
        return std::nullopt;
    }
    const PointerFormat one{r.fields.Format().size, r.fields.bigEndian, false};
    return DecodeEntry(one, std::span(&span->bytes[at - span->from], size), 0);
}

// The old text is still where the old values point: the byte before nearly every string of it
// is the separator.
bool OldTextKept(const View& view, const Reading& r) {
    std::size_t seen = 0;
    std::size_t ends = 0;
    for (std::size_t j = 1; j < r.values.size(); ++j) {
        if (const auto p = r.basis.Where(r.values[j]); p && view.old.Holds(*p - 1)) {
            ++seen;
            ends += view.old[*p - 1] == r.fields.separator ? 1 : 0;
        }
    }
    return seen > 0 && 5 * ends >= 4 * seen;
}

// Where the entries step back: how many times a pointer, padding aside, is smaller than the one
// before it. A table kept in its text's order has none.
std::size_t Descents(const Reading& r) {
    std::size_t descents = 0;
    std::optional<std::uint32_t> previous;
    for (const std::uint32_t e : r.entries) {
        if (r.IsNull(e)) {
            continue;
        }
        descents += previous && e < *previous ? 1 : 0;
        previous = e;
    }
    return descents;
}

// Entries enough that they all ascending is no chance: one order in 720 for six.
constexpr std::size_t kFewestOrdered = 6;

// A string of the old text ends at `at`, where it still stands (`kept`); where it does not,
// nothing says otherwise.
bool OldStringEndsAt(const View& view, const Reading& r, bool kept, std::uint64_t at) {
    return !kept || (view.old.Holds(at) && view.old[at] == r.fields.separator);
}

// How many bytes of one value beside a table of `size`-byte entries are filler, no entries.
std::uint64_t FillerRun(unsigned size) {
    return std::max<std::uint64_t>(kApart, 2 * std::uint64_t{size});
}

// FillerRun bytes of one value from `at`, as the view holds them beside the table.
bool FillerAt(const View& view, std::uint64_t at, unsigned size) {
    const std::uint64_t count = FillerRun(size);
    const Span* span = view.TableHolding(at, count);
    if (span == nullptr) {
        return false;
    }
    for (std::uint64_t k = 1; k < count; ++k) {
        if ((*span)[at + k] != (*span)[at]) {
            return false;
        }
    }
    return true;
}

// How an entry beside the table relates to it.
enum class Tie {
    None,
    Shares, // repeats one of its values
    Inside, // points at TEXT, or inside its old text while the new text goes on past the strings
    Next,   // points just past its old text, where the new text goes on
    Before  // points just before its old text, and the new text goes on past the strings
};

// All its bytes alike: what filler between data looks like. As a pointer it is weak evidence.
bool Filler(std::uint32_t value, unsigned size) {
    for (unsigned i = 1; i < size; ++i) {
        if (((value >> (8 * i)) & 0xFF) != (value & 0xFF)) {
            return false;
        }
    }
    return true;
}

// FillerRun bytes of one value end right before `at`.
bool FillerBefore(const View& view, std::uint64_t at, unsigned size) {
    return at >= FillerRun(size) && FillerAt(view, at - FillerRun(size), size);
}

// How many of the values, from the first on, step through the strings that begin at `at`, one
// string each: the next one's value is as far from its own as the string is long.
std::size_t StepsThrough(const Span& span, std::uint64_t at,
                         const std::vector<std::uint32_t>& values, std::uint8_t separator) {
    const Strings s = Split(span, at, separator, values.size(), span.End());
    std::size_t stepped = 0;
    while (stepped < s.starts.size()) {
        const std::size_t i = stepped;
        const std::uint64_t next = i + 1 < s.starts.size() ? s.starts[i + 1] : s.end + 1;
        const std::uint64_t length = next - s.starts[i];
        // Empty strings step by one byte: a run of separators would match anything that does.
        if (length < 2 || (i + 1 < values.size() && values[i + 1] - values[i] != length)) {
            break;
        }
        ++stepped;
    }
    return stepped;
}

// How many steps from string to string, at least, show the next table's strings: one more
// value than that, the entries taken in and those after END.
constexpr std::size_t kStepsShown = 3;

// Where the next block may lie now: after the strings read (or the last of them, which an
// entry taken in gets), past free space, where it was put back after this text and its table
// not yet recalculated; or where `first` points, after free space, where it stayed.
std::vector<std::pair<const Span*, std::uint64_t>> NextBlocks(const View& view, const Reading& r,
                                                              std::uint32_t first) {
    const std::uint8_t sep = r.fields.separator;
    std::vector<std::pair<const Span*, std::uint64_t>> blocks;
    for (const std::uint64_t from : {r.strings.starts.back(), r.strings.end + 1}) {
        std::uint64_t at = from;
        while (view.text.Holds(at) && Between(view.text[at], sep)) {
            ++at;
        }
        if (at >= from + kApart && view.text.Holds(at) &&
            (blocks.empty() || blocks.back().second != at)) {
            blocks.emplace_back(&view.text, at);
        }
    }
    if (const auto p = r.basis.Where(first)) {
        for (const Span* span : {&view.old, &view.text}) {
            bool apart = span->Holds(*p) && *p >= span->from + kApart;
            for (std::uint64_t k = 1; apart && k <= kApart; ++k) {
                apart = Between((*span)[*p - k], sep);
            }
            if (apart) {
                blocks.emplace_back(span, *p);
            }
        }
    }
    return blocks;
}

// How far `values` step through the strings of the next block, and where it begins: the most
// steps found (between the values, one per string).
std::pair<std::size_t, std::uint64_t>
StepsThroughNextBlock(const View& view, const Reading& r,
                      const std::vector<std::uint32_t>& values) {
    std::pair<std::size_t, std::uint64_t> best{0, 0};
    if (values.size() < 2 || r.strings.starts.empty()) {
        return best;
    }
    for (const auto& [span, from] : NextBlocks(view, r, values.front())) {
        const std::size_t steps =
            std::min(StepsThrough(*span, from, values, r.fields.separator), values.size() - 1);
        if (steps > best.first) {
            best = {steps, from};
        }
    }
    return best;
}

// The strong entries from `at` on, ascending, as far as `count` of them.
std::vector<std::uint32_t> RunFrom(const View& view, const Reading& r, std::uint64_t at,
                                   std::size_t count) {
    std::vector<std::uint32_t> run;
    for (std::size_t i = 0; i < count; ++i) {
        const auto e = EntryAt(view, r, at + i * r.fields.size);
        if (!e || r.IsNull(*e) || Filler(*e, r.fields.size) || (!run.empty() && *e <= run.back())) {
            break;
        }
        run.push_back(*e);
    }
    return run;
}

// The byte before `at`, outside the table, is a letter of the text.
bool LetterBefore(const View& view, const Reading& r, std::uint64_t at) {
    const Span* span = at > 0 ? view.TableHolding(at - 1, 1) : nullptr;
    if (span == nullptr || (at - 1 >= r.fields.tableStart && at - 1 <= r.fields.tableEnd)) {
        return false;
    }
    const std::uint8_t b = (*span)[at - 1];
    return b != r.fields.separator && b != 0x00 && b != 0xFF && r.charset.test(b);
}

// How the entry at `at` beside the table relates to it.
Tie TieOf(const View& view, const Reading& r, const OldText& old, std::uint64_t at) {
    const auto entry = EntryAt(view, r, at);
    if (!entry || r.IsNull(*entry)) {
        return Tie::None;
    }
    const auto p = r.basis.Where(*entry);
    const bool shares = std::binary_search(r.values.begin(), r.values.end(), *entry);
    const bool strong = !Filler(*entry, r.fields.size);
    if (strong && (shares || p == r.fields.textStart)) {
        return shares ? Tie::Shares : Tie::Inside;
    }
    if (!strong || !p || !old.known) {
        return Tie::None;
    }
    // Where the text was moved and the old one is still there, it shows whether a string of it
    // began there; where it is not (wiped, or in a bank a 2-byte value does not name), nothing
    // tells this table's next string from the next table's first.
    const bool moved = MovedAway(r, old);
    const bool kept = moved && OldTextKept(view, r);
    const auto endsAt = [&](std::uint64_t at) { return OldStringEndsAt(view, r, kept, at); };
    // A string of the old text, still there, begins where it points, among the table's own:
    // evidence enough, whatever is left of the new text (its last strings may be emptied into
    // free space of the separator's byte).
    if (kept && *p > old.low && *p < old.high && endsAt(*p - 1)) {
        return shares ? Tie::Shares : Tie::Inside;
    }
    // Anything weaker counts only where, without one more of its strings, the text read leaves
    // a string of it behind. A plain file's relative values are small: any letter then the
    // separator reads as one inside the text, so such an entry counts only with one string
    // left, not the next block's, and never right after a letter (then it ends a string).
    const unsigned top = r.fields.bigEndian ? 0 : r.fields.size - 1;
    const bool likeText = !view.mapKnown && ((*entry >> (8 * top)) & 0xFF) == r.fields.separator;
    if (likeText && LetterBefore(view, r, at)) {
        return Tie::None;
    }
    const bool left = likeText
                          ? OneStringLeft(view.text, r.strings.end, r.fields.separator, r.charset)
                          : StringsLeft(view.text, r.strings.end, r.fields.separator, r.charset);
    if (!left) {
        return Tie::None;
    }
    if (shares) {
        return Tie::Shares;
    }
    // Inside a moved text's old span, with the old text not there to show its strings, only a
    // value that other data would seldom hold by chance: one that names a bank, or a 2-byte one
    // in a span no larger than a 32nd of its bank.
    if (*p >= old.low && *p <= old.high) {
        const auto place = view.map->Locate(r.fields.textStart);
        const std::uint64_t bank = place ? place->bankLast - place->bankFirst + 1 : 0;
        const bool seldom = r.fields.size > 2 || 32 * (old.high - old.low) <= bank;
        return (!moved || kept || seldom) && endsAt(*p - 1) ? Tie::Inside : Tie::None;
    }
    // Either side of the table: an unordered table's entry beside it may hold its last string
    // or its first.
    if (*p > old.high && *p - old.high <= Reach(old) && endsAt(*p - 1)) {
        return Tie::Next;
    }
    // Its string would end where the first of the table's begins.
    // Not where a known map shows the text in place: there TEXT, where the smallest value
    // points, begins it.
    const bool inPlace = view.mapKnown && old.low == r.fields.textStart;
    if (!inPlace && *p < old.low && old.low - *p <= Reach(old) && endsAt(old.low - 1)) {
        return Tie::Before;
    }
    return Tie::None;
}

// An entry beside the table, one of no other tie, that points among the table's strings or just
// past them, where the old text still stands only at one of its string starts: how, if so.
std::optional<Tie> Among(const View& view, const Reading& r, const OldText& old,
                         std::optional<std::uint32_t> entry) {
    if (!entry || r.IsNull(*entry) || Filler(*entry, r.fields.size) || r.fields.split) {
        return std::nullopt;
    }
    const auto p = r.basis.Where(*entry);
    const bool kept = MovedAway(r, old) && OldTextKept(view, r);
    if (!p || !old.known || *p <= old.low || (*p > old.high && *p - old.high > Reach(old)) ||
        !OldStringEndsAt(view, r, kept, *p - 1)) {
        return std::nullopt;
    }
    return *p < old.high ? Tie::Inside : Tie::Next;
}

std::string Points(Tie tie) {
    return tie == Tie::Next     ? "señala justo después de su texto"
           : tie == Tie::Before ? "señala justo antes de su texto"
           : tie == Tie::Shares ? "repite uno de sus valores"
                                : "señala dentro de su texto";
}

// Whose else an entry beside the table may be: the neighbouring table's (`after` END, the next
// one's first; before START, the last of the one before), by where its text lies.
std::string OtherTable(Tie tie, bool after) {
    if (tie != Tie::Next && tie != Tie::Before) {
        return "de otra tabla que comparte este texto";
    }
    return std::string(after ? "la primera de la siguiente" : "la última de la anterior") +
           ", cuyo texto " + (tie == Tie::Next ? "sigue a este" : "acaba justo antes de este");
}

// String j holds free space: it begins in it, or a run of it lies inside.
bool InFreeSpace(const Reading& r, std::size_t j, const View& view) {
    if (j >= r.strings.starts.size()) {
        return false;
    }
    const std::uint64_t start = r.strings.starts[j];
    const std::uint64_t end =
        j + 1 < r.strings.starts.size() ? r.strings.starts[j + 1] - 1 : r.strings.end;
    const auto free = FreeSpaceFrom(view.text, start);
    return (r.freeSpace && start >= *r.freeSpace) || (free && *free < end);
}

// The table's first entry reads as the end of a string of the text before it: letters from
// the byte before START on, then the separator as its last byte.
bool EndsTextBefore(const View& view, const Reading& r) {
    const unsigned size = r.fields.size;
    const std::uint64_t at = r.fields.tableStart;
    const Span* span = view.TableHolding(at, size);
    if (span == nullptr || r.fields.split || (*span)[at + size - 1] != r.fields.separator ||
        !LetterBefore(view, r, at)) {
        return false;
    }
    for (std::uint64_t k = at; k + 1 < at + size; ++k) {
        if (!AmongLetters(r.charset, (*span)[k], r.fields.separator)) {
            return false;
        }
    }
    return true;
}

// No console addresses with a 4-byte pointer's top byte, so a table's pointers share it: the
// others' when every other entry has one and `value` another.
std::optional<unsigned> OtherTop(const Reading& r, std::uint32_t value) {
    std::optional<unsigned> top;
    std::size_t seen = 0;
    for (const std::uint32_t e : r.entries) {
        if (e == value || r.IsNull(e)) {
            continue;
        }
        if (top && *top != e >> 24) {
            return std::nullopt;
        }
        top = e >> 24;
        ++seen;
    }
    if (r.fields.size != 4 || seen < 2 || *top == value >> 24) {
        return std::nullopt;
    }
    return top;
}

} // namespace

bool MovedAway(const Reading& r, const OldText& old) {
    return r.fields.textStart > old.high || r.strings.end < old.low;
}

std::optional<Finding> EndsMissOldText(const View& view, const Reading& r) {
    const OldText old = OldTextOf(r);
    if (!MovedAway(r, old) || r.entries.size() < 2 || !OldTextKept(view, r)) {
        return std::nullopt;
    }
    for (const bool last : {true, false}) {
        const std::uint32_t value = last ? r.entries.back() : r.entries.front();
        const auto p = r.basis.Where(value);
        if (r.IsNull(value) || !p || *p == old.low || !view.old.Holds(*p - 1) ||
            view.old[*p - 1] == r.fields.separator ||
            std::count(r.entries.begin(), r.entries.end(), value) != 1) {
            continue;
        }
        const std::uint64_t offset =
            last ? r.fields.tableEnd + 1 - r.fields.size : r.fields.tableStart;
        Finding finding{Exit::LooksWrong, last ? Field::TableEnd : Field::TableStart,
                        std::string(last ? "la última" : "la primera") + " entrada de la tabla (" +
                            At(r, offset, value) +
                            ") no señala el principio de una cadena del texto anterior, que sigue "
                            "en " +
                            Hex(old.low) + "-" + Hex(old.high) + ", como las demás"};
        if (last) {
            finding.suspects = {Field::TableEnd, Field::TableStart, Field::PointerSize};
        }
        return finding;
    }
    return std::nullopt;
}

std::optional<Finding> NextTableTakenIn(const View& view, const Reading& r) {
    const std::uint64_t next = r.fields.tableEnd + 1;
    const std::size_t n = r.entries.size();
    if (r.fields.split || n < 2 || view.Named(next)) {
        return std::nullopt;
    }
    const std::vector<std::uint32_t> after = RunFrom(view, r, next, kStepsShown);
    if (after.empty()) {
        return std::nullopt;
    }
    // The last `taken` entries, with the ones after END, step through it one string each.
    for (std::size_t taken = 1; taken <= std::min<std::size_t>(kStepsShown, n - 1); ++taken) {
        std::vector<std::uint32_t> values(r.entries.end() - static_cast<std::ptrdiff_t>(taken),
                                          r.entries.end());
        values.insert(values.end(), after.begin(), after.end());
        const bool own = std::any_of(values.begin(), values.begin() + taken, [&](std::uint32_t v) {
            return r.IsNull(v) || std::count(r.entries.begin(), r.entries.end(), v) != 1;
        });
        if (own || !std::is_sorted(values.begin(), values.end()) ||
            std::adjacent_find(values.begin(), values.end()) != values.end()) {
            continue;
        }
        // Steps shown between the values: each taken entry's to the next, and enough.
        const auto [steps, from] = StepsThroughNextBlock(view, r, values);
        if (steps < std::max(taken, kStepsShown)) {
            continue;
        }
        const std::size_t shown = steps + 1 - taken; // of the entries after END
        const std::uint64_t offset = r.fields.tableEnd + 1 - taken * r.fields.size;
        const std::string which =
            taken == 1 ? "la última entrada de la tabla (" + At(r, offset, values.front()) +
                             ") parece la primera"
                       : "las " + std::to_string(taken) + " últimas entradas de la tabla (desde " +
                             Hex(offset) + ") parecen las primeras";
        return Finding{Exit::LooksWrong, Field::TableEnd,
                       which + " de la siguiente: con " +
                           (shown == 1 ? std::string("la que sigue")
                                       : "las " + std::to_string(shown) + " que siguen") +
                           " a la tabla recorren, cadena a cadena, el texto de " + Hex(from)};
    }
    return std::nullopt;
}

std::optional<Finding> EmptyLastBeforeNext(const View& view, const Reading& r) {
    const Fields& f = r.fields;
    const std::uint64_t next = f.tableEnd + 1;
    const std::size_t n = r.entries.size();
    const std::uint64_t end = r.strings.end;
    if (n < 2 || view.Named(next) || r.strings.starts.empty() || r.strings.starts.back() != end ||
        !view.text.Holds(end + 1) || view.text[end + 1] != f.separator ||
        !IsFree(view.text, end + 1)) {
        return std::nullopt;
    }
    // The last entry is the greatest value, alone, and gets that empty string.
    const std::uint32_t last = r.entries.back();
    if (r.IsNull(last) || last != r.values.back() ||
        std::count(r.entries.begin(), r.entries.end(), last) != 1) {
        return std::nullopt;
    }
    // The entries after END go on from it a string at a time: a table whose text follows.
    const std::vector<std::uint32_t> run = RunFrom(view, r, next, kStepsShown);
    if (run.size() < kStepsShown || run.front() <= last) {
        return std::nullopt;
    }
    // Each a string on from the one before, none as far as another text.
    const std::uint64_t reach = Reach(OldTextOf(r));
    std::uint32_t previous = last;
    for (const std::uint32_t v : run) {
        if (v - previous < 2 || v - previous > reach) {
            return std::nullopt;
        }
        previous = v;
    }
    // Where they step through a block seen apart, from the first of them on, that block is the
    // next table's and the last entry this one's.
    if (StepsThroughNextBlock(view, r, run).first + 1 >= kStepsShown) {
        return std::nullopt;
    }
    const std::uint64_t shorter = f.tableEnd - f.size;
    return Finding{
        Exit::LooksWrong, Field::TableEnd,
        "la última entrada de la tabla (" + At(r, next - f.size, last) +
            ") recibe una cadena vacía, ante espacio libre, y las entradas de después de "
            "la tabla continúan desde ella: puede ser la primera de la siguiente "
            "tabla. Si lo es, " +
            FieldName(Field::TableEnd) + " debe ser " + Hex(shorter) +
            "; si es suya y su cadena se ha vaciado, indique ambas tablas con --tables "
            "o use --force",
        true};
}

std::optional<Finding> SplitRunsShifted(const View& view, const Reading& r) {
    const Fields& f = r.fields;
    const std::size_t n = r.entries.size();
    if (!f.split || f.size != 2 || f.bigEndian || !f.runs.empty() || n < 4 ||
        r.strings.starts.size() < 3) {
        return std::nullopt;
    }
    // The high bytes are the text's pages: a few values side by side.
    unsigned low = 0xFF;
    unsigned high = 0;
    for (std::size_t k = 0; k + 1 < n; ++k) {
        if (!r.IsNull(r.entries[k])) {
            low = std::min(low, r.entries[k] >> 8);
            high = std::max(high, r.entries[k] >> 8);
        }
    }
    const unsigned last = r.entries.back() & 0xFF;
    // Or the page just before or after them: the one the left-out entry alone was on.
    const bool among = last >= low && last <= high;
    if (!among && last + 1 != low && last != high + 1) {
        return std::nullopt;
    }
    const std::string shows = "el último byte del primer tramo de la tabla (" + HexDigits(last, 2) +
                              " en " + Hex(f.tableStart + n - 1) +
                              ") parece de los altos, como los del segundo tramo";
    if (among && OneStringLeft(view.text, r.strings.end, f.separator, r.charset)) {
        return Finding{Exit::LooksWrong, Field::TableStart,
                       shows + ", y tras las cadenas leídas queda una más"};
    }
    // Or the table read from one entry earlier (its runs one byte longer each) agrees with
    // every rule, taking in no filler: its first value pairs a low byte of the typed table
    // with a byte before it, and that low byte then is a page too. Two low bytes among a few
    // pages is one chance in hundreds.
    if (FillerBefore(view, f.tableStart, f.size)) {
        return std::nullopt;
    }
    Fields earlier = f;
    earlier.tableStart -= 2;
    const std::optional<Reading> whole =
        f.tableStart >= 2 && !view.Named(earlier.tableStart) ? Read(view, earlier) : std::nullopt;
    if (!whole || FirstFindingOfShifted(view, *whole)) {
        return std::nullopt;
    }
    return Finding{Exit::LooksWrong, Field::TableStart,
                   shows + ": revise " + FieldName(Field::TableStart) + " (con " +
                       Hex(earlier.tableStart) + " todo concuerda)",
                   true};
}

// The first or the last entry points far from where the others do.
bool EndApart(const Reading& r) {
    for (const std::uint32_t value : {r.entries.front(), r.entries.back()}) {
        const OldText others = OldTextOf(r, value);
        const auto p = r.basis.Where(value);
        if (!r.IsNull(value) && others.known && (!p || FarFrom(others, *p))) {
            return true;
        }
    }
    return false;
}

std::optional<Finding> SplitOrderBroken(const View& view, const Reading& r) {
    const Fields& f = r.fields;
    if (!f.split || f.size != 2 || f.bigEndian || !f.runs.empty() ||
        r.entries.size() < kFewestOrdered) {
        return std::nullopt;
    }
    // A step back at most where each page gives way to the next: an unordered table steps
    // back about every other entry.
    std::set<std::uint32_t> pages;
    for (const std::uint32_t e : r.entries) {
        if (!r.IsNull(e)) {
            pages.insert(e >> 8);
        }
    }
    const std::size_t descents = Descents(r);
    if (descents == 0 || descents >= pages.size()) {
        return std::nullopt;
    }
    // Read one entry either way, the runs split where they should, and the values ascend.
    const std::pair<Field, std::pair<std::uint64_t, std::uint64_t>> tries[] = {
        {Field::TableStart, {f.tableStart - 2, f.tableEnd}},
        {Field::TableStart, {f.tableStart + 2, f.tableEnd}},
        {Field::TableEnd, {f.tableStart, f.tableEnd + 2}},
        {Field::TableEnd, {f.tableStart, f.tableEnd - 2}},
    };
    for (const auto& [field, place] : tries) {
        Fields c = f;
        std::tie(c.tableStart, c.tableEnd) = place;
        const std::uint64_t value = field == Field::TableStart ? c.tableStart : c.tableEnd;
        const bool outside = value < f.tableStart || value > f.tableEnd;
        if (f.tableStart < 2 || c.tableStart >= c.tableEnd || (outside && view.Named(value))) {
            continue;
        }
        const std::optional<Reading> other = Read(view, c);
        if (!other || other->entries.size() < kFewestOrdered || Descents(*other) != 0 ||
            EndApart(*other) || FirstFindingOfShifted(view, *other)) {
            continue;
        }
        return Finding{
            Exit::LooksWrong, field,
            "las entradas de la tabla dividida siguen el orden del texto, pero retroceden "
            "donde cambia la página: sus dos tramos están partidos un byte fuera de "
            "sitio. Revise " +
                FieldName(field) + " (con " + Hex(value) + " todo concuerda)",
            true};
    }
    return std::nullopt;
}

std::string ValueText(const Reading& r, std::uint32_t value) {
    return Hex(value, static_cast<int>(2 * r.fields.size));
}

OldText OldTextFrom(const std::vector<std::uint64_t>& positions) {
    OldText old;
    if (positions.empty()) {
        return old;
    }
    old = OldText{positions.front(), positions.back(), 0, true};
    for (std::size_t j = 1; j < positions.size(); ++j) {
        old.longestGap = std::max(old.longestGap, positions[j] - positions[j - 1]);
    }
    return old;
}

OldText OldTextOf(const Reading& r, std::optional<std::uint32_t> without) {
    if (!without) {
        return r.old;
    }
    std::vector<std::uint64_t> positions = r.positions;
    if (const auto p = r.basis.Where(*without)) {
        const auto at = std::lower_bound(positions.begin(), positions.end(), *p);
        if (at != positions.end() && *at == *p) {
            positions.erase(at);
        }
    }
    return OldTextFrom(positions);
}

std::optional<Finding> WholeEntries(const View&, const Reading& r) {
    const std::uint64_t span = r.fields.tableEnd - r.fields.tableStart + 1;
    if (span % r.fields.size == 0) {
        return std::nullopt;
    }
    return Finding{Exit::BadTable, Field::TableEnd, NotWholeEntries(span, r.fields.Format())};
}

std::optional<Finding> Padding(const View& view, const Reading& r) {
    const std::size_t n = r.entries.size();
    const std::string table =
        "la tabla (" + Hex(r.fields.tableStart) + "-" + Hex(r.fields.tableEnd) + ")";
    const std::uint64_t ones = (std::uint64_t{1} << (8 * r.fields.size)) - 1;
    // A relative table in a plain file may point two or three entries at its first string, at
    // 0: zeros alone are padding from four entries on.
    const std::size_t zeros =
        static_cast<std::size_t>(std::count(r.entries.begin(), r.entries.end(), 0u));
    const std::size_t ff =
        static_cast<std::size_t>(std::count(r.entries.begin(), r.entries.end(), ones));
    if (r.values.empty() || (zeros + ff == n && (zeros < n ? n >= 2 : n >= 4))) {
        return Finding{Exit::LooksWrong, Field::TableStart,
                       table + " solo tiene relleno (00 o FF), no punteros"};
    }
    const auto padding = [&](std::uint32_t v) { return v == ones || (r.zeroIsNull && v == 0); };
    // Filler (one byte over and over) at an end of the table that goes on beyond it is the
    // filler around the table, not its first or last entry.
    const auto filler = [&](std::size_t k, std::uint64_t beside) {
        const auto outside = EntryAt(view, r, beside);
        // A plain file's relative table begins at 0, and zeros may well stand before it.
        return Filler(r.entries[k], r.fields.size) && outside == r.entries[k] &&
               (r.entries[k] != 0 || r.zeroIsNull);
    };
    std::size_t lead = 0;
    std::size_t trail = 0;
    while (lead < n && padding(r.entries[lead])) {
        ++lead;
    }
    while (trail < n && padding(r.entries[n - 1 - trail])) {
        ++trail;
    }
    std::string kind = r.zeroIsNull ? " (00 o FF)" : " (FF)";
    const auto byte = [&](std::uint32_t v) { return " (" + HexDigits(v & 0xFF, 2) + " repetido)"; };
    if (lead == 0 && r.fields.tableStart >= r.fields.size &&
        filler(0, r.fields.tableStart - r.fields.size)) {
        lead = 1;
        kind = byte(r.entries.front());
    }
    if (trail == 0 && filler(n - 1, r.fields.tableEnd + 1)) {
        trail = 1;
        kind = byte(r.entries.back());
    }
    if (trail > 0) {
        return Finding{Exit::LooksWrong, Field::TableEnd,
                       Count(trail, "entrada", "entradas") + " al final de la tabla (desde " +
                           Hex(r.fields.tableStart + (n - trail) * r.fields.size) + ") " +
                           (trail == 1 ? "es" : "son") + " relleno" + kind + ", no punteros"};
    }
    if (lead > 0) {
        return Finding{Exit::LooksWrong, Field::TableStart,
                       Count(lead, "entrada", "entradas") + " al principio de la tabla (hasta " +
                           Hex(r.fields.tableStart + lead * r.fields.size - 1) + ") " +
                           (lead == 1 ? "es" : "son") + " relleno" + kind + ", no punteros"};
    }
    return std::nullopt;
}

std::optional<Finding> Addresses(const View& view, const Reading& r) {
    if (r.positions.size() == r.values.size()) {
        return std::nullopt; // every value points at a byte of the ROM
    }
    for (std::size_t k = 0; k < r.entries.size(); ++k) {
        const std::uint32_t value = r.entries[k];
        if (r.IsNull(value) || r.basis.Where(value)) {
            continue;
        }
        const std::string where =
            view.mapKnown
                ? "no es una dirección de la ROM con el mapa " + std::string(view.map->Name())
                : "queda fuera del archivo si el menor valor de la tabla "
                  "señala el inicio del texto";
        // An entry in the table's second half points at its end, in the first at its start.
        Finding finding{Exit::LooksWrong,
                        2 * k >= r.entries.size() ? Field::TableEnd : Field::TableStart,
                        "la entrada " + std::to_string(k) + " (" +
                            At(r, r.fields.tableStart + k * r.fields.size, value) + ") " + where};
        if (finding.field == Field::TableEnd) {
            finding.suspects = {Field::TableEnd, Field::TableStart, Field::PointerSize};
        }
        return finding;
    }
    return std::nullopt;
}

std::optional<Finding> EnoughStrings(const View& view, const Reading& r) {
    const std::size_t needed = r.values.size();
    const std::size_t found = r.strings.starts.size();
    if (found >= needed) {
        return std::nullopt;
    }
    const std::string values =
        needed == r.entries.size()
            ? Count(needed, "entrada", "entradas")
            : Count(needed, "valor distinto", "valores distintos") + " (uno por cadena)";
    const std::string strings = Count(found, "cadena", "cadenas");
    Finding finding =
        r.fields.tableStart > r.fields.textStart
            ? Finding{Exit::BadTable, Field::TableEnd,
                      "el texto se solapa con la tabla: la tabla tiene " + values +
                          ", pero al llegar a ella (" + Hex(r.fields.tableStart) + ") solo hay " +
                          strings}
            : Finding{Exit::TextTooShort, Field::TableEnd,
                      "la tabla tiene " + values + ", pero " +
                          (view.text.End() >= view.fileSize ? "el archivo termina"
                                                            : "el texto leído termina") +
                          " después de " + strings + " (en " + Hex(view.text.End()) + ")"};
    // Too few strings: too many entries, a separator that ends fewer (a line break typed), or
    // a TEXT past the first strings.
    finding.suspects.push_back(Field::Separator);
    finding.suspects.push_back(Field::TextStart);
    return finding;
}

std::optional<Finding> TableGoesOn(const View& view, const Reading& r) {
    const OldText old = OldTextOf(r);
    const std::uint64_t next = r.fields.tableEnd + 1;
    if (view.Named(next)) {
        return std::nullopt; // another table of the run: the run says where each one ends
    }
    const auto entry = EntryAt(view, r, next);
    const Tie tie = TieOf(view, r, old, next);
    if (tie == Tie::None) {
        // One entry lies between END and what comes next: another table's entries, stepping
        // through the next block, or the text itself. Pointing among this table's strings or
        // just past them, it is this table's last.
        const auto among = Among(view, r, old, entry);
        if (!among) {
            return std::nullopt;
        }
        const std::string goesOn =
            "la tabla parece seguir después de su final: " + At(r, next, *entry) + ", que " +
            Points(*among);
        if (next + r.fields.size == r.fields.textStart) {
            return Finding{Exit::LooksWrong, Field::TableEnd,
                           goesOn + ", y tras ella empieza el texto"};
        }
        if (FillerAt(view, next + r.fields.size, r.fields.size)) {
            return Finding{Exit::LooksWrong, Field::TableEnd, goesOn + ", y tras ella hay relleno"};
        }
        const auto run = RunFrom(view, r, next + r.fields.size, kStepsShown + 1);
        const auto [steps, from] = StepsThroughNextBlock(view, r, run);
        // Or they all point far from this text, together: another table's, and it is not one.
        const bool far =
            run.size() >= kStepsShown && std::all_of(run.begin(), run.end(), [&](std::uint32_t v) {
                const auto q = r.basis.Where(v);
                return !q || FarFrom(old, *q);
            });
        if (far && steps < kStepsShown) {
            return Finding{Exit::LooksWrong, Field::TableEnd,
                           goesOn + "; las que la siguen señalan lejos de su texto, a otro"};
        }
        if (steps < kStepsShown) {
            return std::nullopt;
        }
        return Finding{Exit::LooksWrong, Field::TableEnd,
                       goesOn +
                           "; las que la siguen recorren cadena a cadena el texto de la "
                           "siguiente, en " +
                           Hex(from)};
    }
    // The entry after END and the ones after it step through the next block's strings: it is
    // the next table's first, whatever lies past this text.
    if (tie == Tie::Next && !r.fields.split &&
        StepsThroughNextBlock(view, r, RunFrom(view, r, next, kStepsShown + 1)).first >=
            kStepsShown) {
        return std::nullopt;
    }
    // How many entries after END belong as well.
    std::uint64_t end = next + r.fields.size - 1;
    while (TieOf(view, r, old, end + 1) != Tie::None) {
        end += r.fields.size;
    }
    const std::string other = OtherTable(tie, true);
    const std::string goesOn =
        "la tabla parece seguir después de su final: " + At(r, next, *entry) + ", que " +
        Points(tie);
    // One string left and then free space or other data: as many strings as this table's
    // entries would read, and no next block for another table's to point at. (One or two
    // strings show too few letters to tell the next block's strings from other data.)
    if (tie == Tie::Next && r.strings.starts.size() > 2 &&
        OneStringLeft(view.text, r.strings.end, r.fields.separator, r.charset)) {
        // One string more than the entries read: END short, or an unordered table's first
        // entry left out, or TEXT past the first string. The correction that agrees says which.
        Finding finding{Exit::LooksWrong, Field::TableEnd,
                        goesOn + ", y tras las cadenas leídas queda una más"};
        finding.suspects.push_back(Field::TextStart);
        return finding;
    }
    return Finding{Exit::LooksWrong, Field::TableEnd,
                   goesOn + ". Si es suya, " + FieldName(Field::TableEnd) + " debe ser " +
                       Hex(end) + "; si es " + other + ", indique ambas con --tables o use --force",
                   true};
}

std::optional<Finding> TableStartsEarlier(const View& view, const Reading& r) {
    if (r.fields.tableStart < r.fields.size) {
        return std::nullopt;
    }
    const OldText old = OldTextOf(r);
    const std::uint64_t before = r.fields.tableStart - r.fields.size;
    if (view.Named(before)) {
        return std::nullopt;
    }
    const auto entry = EntryAt(view, r, before);
    const Tie tie = TieOf(view, r, old, before);
    if (tie == Tie::None) {
        // One entry between filler and START, pointing among the table's strings: the table's
        // first, left out (the string it gets may be one the translation emptied).
        const auto among = Among(view, r, old, entry);
        if (!among || !FillerBefore(view, before, r.fields.size)) {
            return std::nullopt;
        }
        return Finding{Exit::LooksWrong, Field::TableStart,
                       "la tabla parece empezar antes: " + At(r, before, *entry) + ", que " +
                           Points(*among) + ", y antes de ella hay relleno"};
    }
    std::uint64_t start = before;
    while (start >= r.fields.size && TieOf(view, r, old, start - r.fields.size) != Tie::None) {
        start -= r.fields.size;
    }
    const std::string other = OtherTable(tie, false);
    return Finding{Exit::LooksWrong, Field::TableStart,
                   "la tabla parece empezar antes: " + At(r, before, *entry) + ", que " +
                       Points(tie) + ". Si es suya, " + FieldName(Field::TableStart) +
                       " debe ser " + Hex(start) + "; si es " + other +
                       ", indique ambas con --tables o use --force",
                   true};
}

// The first or last entry points far from all the others, and what lies beyond it in the ROM
// sides with it: the entry after END (or before START) points near it, or the string it gets
// is free space. It is another table's, taken in by a START or END typed too wide.
std::optional<Finding> StrayEntries(const View& view, const Reading& r) {
    const std::size_t n = r.entries.size();
    if (n < 2 || r.values.size() < 2) {
        return std::nullopt;
    }
    for (const bool last : {true, false}) {
        const std::uint32_t value = last ? r.entries.back() : r.entries.front();
        if (std::count(r.entries.begin(), r.entries.end(), value) != 1) {
            continue;
        }
        const OldText others = OldTextOf(r, value);
        const auto p = r.basis.Where(value);
        if (!p || !others.known) {
            continue;
        }
        const std::uint64_t reach = Reach(others);
        if (!FarFrom(others, *p)) {
            continue;
        }
        const std::uint64_t beside =
            last ? r.fields.tableEnd + 1 : r.fields.tableStart - r.fields.size;
        const auto neighbour =
            last || r.fields.tableStart >= r.fields.size ? EntryAt(view, r, beside) : std::nullopt;
        const auto q =
            neighbour && !r.IsNull(*neighbour) ? r.basis.Where(*neighbour) : std::nullopt;
        const bool sides = q && (*q > *p ? *q - *p : *p - *q) <= reach;
        const std::size_t j = static_cast<std::size_t>(
            std::lower_bound(r.values.begin(), r.values.end(), value) - r.values.begin());
        const bool tail = !last && !sides && EndsTextBefore(view, r);
        const auto top = OtherTop(r, value);
        // A split table read an entry off puts a low byte among the pages: far is enough there.
        // So it is for the last entry on a console's map, whose addresses the old values are,
        // where no string of a text begins: the byte before is no separator.
        const auto before = *p > 0 ? view.ByteAt(*p - 1) : std::nullopt;
        const bool midData = last && view.mapKnown && before && *before != r.fields.separator;
        if (!sides && !InFreeSpace(r, j, view) && !tail && !top && !r.fields.split && !midData) {
            continue;
        }
        const std::uint64_t offset =
            last ? r.fields.tableEnd + 1 - r.fields.size : r.fields.tableStart;
        Finding finding{
            Exit::LooksWrong, last ? Field::TableEnd : Field::TableStart,
            std::string(last ? "la última" : "la primera") + " entrada de la tabla (" +
                At(r, offset, value) + ") señala " + Hex(*p) + ", lejos del texto de las demás (" +
                Hex(others.low) + "-" + Hex(others.high) + "): parece " +
                (tail ? "el final del texto que precede a la tabla, con su separador"
                 : top && !sides
                     ? "de otros datos: su byte más alto (" + HexDigits(value >> 24, 2) +
                           ") no es el de las demás (" + HexDigits(*top, 2) + ")"
                     : "de otra tabla")};
        if (last) {
            finding.suspects = {Field::TableEnd, Field::TableStart, Field::PointerSize};
        }
        return finding;
    }
    return std::nullopt;
}

} // namespace zeltor
