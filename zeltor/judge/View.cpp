#include "zeltor/judge/View.h"

#include "portable/Hex.h"
#include "zeltor/judge/Rules.h"
#include "zeltor/rom/Recognize.h"
#include "zeltor/words/Text.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace zeltor {

namespace {

// Big enough to stream a 64 MiB ROM quickly, small enough for a 32-bit process.
constexpr std::size_t kChunk = std::size_t{1} << 20;

// No pointer table shares one string among more entries than this on average: a table that
// would have to is refused before it is read, so that a wrong table end costs neither time
// nor memory.
constexpr std::uint64_t kMostSharing = 256;

// Past the strings, the view holds at least this much.
constexpr std::uint64_t kLookahead = std::uint64_t{64} << 10;
// The old text is read when it lies apart from the new one and is no larger than this.
constexpr std::uint64_t kOldTextMost = std::uint64_t{4} << 20;

const char kOffsetsNote[] = "; las posiciones son del archivo, no direcciones de la consola";

Refusal CannotRead(const Request& r, const char* what, File& rom) {
    return Bad(Exit::CannotOpen, std::string("no se pudo leer ") + what + " de la ROM " +
                                     Quote(r.romName) + ": " + Describe(rom.Error()));
}

bool ReadSpan(File& rom, std::uint64_t from, std::uint64_t to, Span& span) {
    span.from = from;
    span.bytes.resize(static_cast<std::size_t>(to - from));
    return span.bytes.empty() || rom.Read(from, span.bytes.data(), span.bytes.size());
}

// The table's place against the file and the text, before anything is read.
std::optional<Refusal> CheckPlaces(const Request& r, std::uint64_t span, std::uint64_t fileSize) {
    const std::string table = "la tabla (" + Hex(r.tableStart) + "-" + Hex(r.tableEnd) + ")";
    if (r.tableEnd >= fileSize) {
        return Bad(Exit::BadTable, table + " queda fuera del archivo, que mide " + Hex(fileSize) +
                                       " bytes" + kOffsetsNote + ": revise " +
                                       FieldName(Field::TableEnd));
    }
    if (r.textStart >= r.tableStart && r.textStart <= r.tableEnd) {
        // In the table's last entry: an END one entry long that runs into the text, as often as
        // a TEXT typed too early.
        const bool last = r.textStart + r.pointerSize.Bytes() > r.tableEnd;
        return Bad(Exit::BadTable,
                   "el texto (" + Hex(r.textStart) + ") empieza dentro de " + table + ": revise " +
                       FieldName(last ? Field::TableEnd : Field::TextStart) + " y " +
                       FieldName(last ? Field::TextStart : Field::TableStart));
    }
    if (r.textStart >= fileSize) {
        return Bad(Exit::TextTooShort, "el texto empieza en " + Hex(r.textStart) +
                                           ", pero el archivo solo mide " + Hex(fileSize) +
                                           " bytes" + kOffsetsNote + ": revise " +
                                           FieldName(Field::TextStart));
    }
    if (span > std::numeric_limits<std::size_t>::max() / 2) {
        return Bad(Exit::BadTable, table + " es demasiado grande para este sistema: revise " +
                                       FieldName(Field::TableStart) + " y " +
                                       FieldName(Field::TableEnd));
    }
    return std::nullopt;
}

// Finds up to `count` strings from the text's start, keeping only where each ends, to refuse a
// table whose declared size the file cannot back before the table is read.
bool FindStringEnds(const Request& r, File& rom, std::uint64_t count, std::uint64_t limit,
                    std::vector<std::uint64_t>& ends) {
    std::vector<std::uint8_t> buffer;
    std::size_t chunk = kChunk / 64;
    for (std::uint64_t at = r.textStart; ends.size() < count && at < limit;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(limit - at, chunk));
        chunk = std::min(chunk * 2, kChunk);
        buffer.resize(std::max(buffer.size(), n));
        if (!rom.Read(at, buffer.data(), n)) {
            return false;
        }
        const std::uint8_t* p = buffer.data();
        const std::uint8_t* stop = p + n;
        while (ends.size() < count) {
            const void* hit = std::memchr(p, r.separator, static_cast<std::size_t>(stop - p));
            if (hit == nullptr) {
                break;
            }
            p = static_cast<const std::uint8_t*>(hit) + 1;
            ends.push_back(at + static_cast<std::uint64_t>(p - buffer.data()) - 1);
        }
        at += n;
    }
    return true;
}

// The old table's distinct values, for how much text is needed.
std::size_t DistinctValues(const Request& r, const View& view) {
    std::vector<std::uint8_t> bytes;
    for (const Piece& piece : Fields::Of(r).Pieces()) {
        const Span* span = view.TableHolding(piece.start, piece.size);
        if (span == nullptr) {
            return 0;
        }
        const auto* p = &span->bytes[static_cast<std::size_t>(piece.start - span->from)];
        bytes.insert(bytes.end(), p, p + piece.size);
    }
    std::vector<std::uint32_t> values = DecodeTable(r.Format(), bytes);
    std::sort(values.begin(), values.end());
    return static_cast<std::size_t>(std::unique(values.begin(), values.end()) - values.begin());
}

// Before TEXT, as far as a first string it skipped would reach (a long line, translated).
constexpr std::uint64_t kLookBack = 1024;

// From before TEXT to the end of the few strings after the ones needed, and on: to
// free space if it comes soon, or as far again as the text, where a separator that ends strings
// less often than the one typed (a line break typed as the separator) would end them.
bool ReadText(const Request& r, File& rom, const std::vector<std::uint64_t>& ends,
              std::size_t strings, std::uint64_t limit, Span& text) {
    const std::uint64_t end = std::min(strings, ends.size()) == 0
                                  ? r.textStart
                                  : ends[std::min(strings, ends.size()) - 1] + 1;
    const std::uint64_t from = r.textStart - std::min<std::uint64_t>(r.textStart, kLookBack);
    const auto upTo = [&](std::uint64_t ahead) {
        return std::min(limit, end + std::min(ahead, limit - std::min(limit, end)));
    };
    if (!ReadSpan(rom, from, upTo(kLookahead), text)) {
        return false;
    }
    const std::uint64_t further = upTo(std::max(kLookahead, 2 * (end - r.textStart)));
    if (FreeSpaceFrom(text, end) || further <= text.End()) {
        return true;
    }
    return ReadSpan(rom, from, further, text);
}

// The old text, where the old values say it was, when the new text does not cover it.
bool ReadOldSpan(const Reading& reading, File& rom, View& view) {
    const OldText old = OldTextOf(reading);
    if (!old.known || old.high - old.low > kOldTextMost) {
        return true;
    }
    // With room on either side for the strings an entry beside the table would point to.
    const std::uint64_t around = 4 * old.longestGap + 256;
    const std::uint64_t from = old.low - std::min(old.low, around);
    const std::uint64_t to = std::min(view.fileSize, old.high + around);
    // Only where the text moved away from the old values: else they point into the new text.
    if (to <= from || !MovedAway(reading, old)) {
        return true;
    }
    return ReadSpan(rom, from, to, view.old);
}

// The old text of a plain file, looked for where the typed fields do not say: every old value,
// counted from the smallest, must fall right after a separator, and the strings between be of
// the text. Only files this small are searched, a chunk at a time.
constexpr std::uint64_t kSearchedMost = std::uint64_t{16} << 20;

bool FindOldText(const Request& r, const Reading& reading, File& rom, View& view) {
    if (view.mapKnown || reading.values.size() < 3 || view.fileSize > kSearchedMost) {
        return true;
    }
    std::vector<std::uint64_t> gaps;
    for (const std::uint32_t v : reading.values) {
        gaps.push_back(v - reading.values.front());
    }
    Span file;
    if (!ReadSpan(rom, 0, view.fileSize, file)) {
        return false;
    }
    view.oldTextAt = OldTextIn(file, gaps, r.separator, reading.charset, r.textStart);
    // Three values match two string ends somewhere in a file by chance: only over the typed
    // text's own span do they count.
    const std::uint64_t span = gaps.back();
    if (view.oldTextAt && reading.values.size() < 4 &&
        (*view.oldTextAt + span < r.textStart || *view.oldTextAt > r.textStart + span)) {
        view.oldTextAt.reset();
    }
    return true;
}

// Each table's bytes and a few entries' worth on either side; a split table's runs each.
bool ReadTables(const std::vector<Request>& block, File& rom, View& view) {
    for (const Request& r : block) {
        std::vector<Piece> pieces = Fields::Of(r).Pieces();
        // A split table of no whole runs has no pieces: its bytes are read as one, for the
        // corrections of its start or end to be judged.
        if (pieces.empty() && r.tableEnd >= r.tableStart) {
            pieces.push_back(Piece{r.tableStart, r.tableEnd - r.tableStart + 1});
        }
        for (const Piece& piece : pieces) {
            Span span;
            if (!ReadSpan(rom, piece.start - std::min<std::uint64_t>(piece.start, kMargin),
                          std::min(view.fileSize, piece.start + piece.size + kMargin), span)) {
                return false;
            }
            view.tables.push_back(std::move(span));
        }
    }
    return true;
}

bool ChooseTheMap(const Request& r, File& rom, View& view, std::optional<Refusal>& refusal) {
    auto choice = ChooseMap(r.map, rom, view.fileSize);
    if (auto* refused = std::get_if<Refusal>(&choice)) {
        refusal = std::move(*refused);
        return false;
    }
    MapChoice& chosen = std::get<MapChoice>(choice);
    view.map = std::move(chosen.map);
    view.mapReason = std::move(chosen.reason);
    view.mapKnown = chosen.known;
    view.mapKind = chosen.kind;
    view.bigEndian = chosen.bigEndian;
    view.header = chosen.header;
    return true;
}

std::variant<View, Refusal> ReadViewUnguarded(const std::vector<Request>& block, File& rom) {
    const Request& r = block.front();
    View view;
    if (!rom.Size(view.fileSize)) {
        return Bad(Exit::CannotOpen, "no se pudo leer el tamaño de la ROM " + Quote(r.romName) +
                                         ": " + Describe(rom.Error()));
    }
    std::uint64_t entries = 0;
    view.textLimit = view.fileSize;
    for (const Request& table : block) {
        const std::uint64_t span = std::uint64_t{table.tableEnd} - table.tableStart + 1;
        if (auto refusal = CheckPlaces(table, span, view.fileSize)) {
            return *refusal;
        }
        entries += span / table.pointerSize.Bytes();
        // Strings may not run into a table that follows the text.
        if (table.tableStart > r.textStart) {
            view.textLimit = std::min<std::uint64_t>(view.textLimit, table.tableStart);
        }
    }
    std::vector<std::uint64_t> ends;
    if (!FindStringEnds(r, rom, entries, view.textLimit, ends)) {
        return CannotRead(r, "el texto", rom);
    }
    if (ends.size() < entries && entries / kMostSharing >= ends.size()) {
        return TooFewStrings(r, entries, ends.size(), view.textLimit, view.fileSize);
    }
    if (!ReadTables(block, rom, view)) {
        return CannotRead(r, "la tabla", rom);
    }
    std::optional<Refusal> refusal;
    if (!ChooseTheMap(r, rom, view, refusal)) {
        return *refusal;
    }
    // A few strings more than the values: what an END a few entries further would need.
    std::size_t distinct = 0;
    for (const Request& table : block) {
        distinct += DistinctValues(table, view);
    }
    if (!ReadText(r, rom, ends, distinct + 4, view.textLimit, view.text)) {
        return CannotRead(r, "el texto", rom);
    }
    return view;
}

} // namespace

Refusal TooFewStrings(const Request& r, std::uint64_t needed, std::uint64_t found,
                      std::uint64_t limit, std::uint64_t fileSize) {
    const std::string what = Count(needed, "entrada", "entradas") + ", pero ";
    const std::string strings = Count(found, "cadena", "cadenas");
    const std::string check =
        ": revise " + FieldName(Field::TableEnd) + " y " + FieldName(Field::Separator);
    if (limit < fileSize) {
        return Bad(Exit::BadTable, "el texto se solapa con la tabla: la tabla tiene " + what +
                                       "al llegar a ella (" + Hex(r.tableStart) + ") solo hay " +
                                       strings + check);
    }
    return Bad(Exit::TextTooShort, "la tabla tiene " + what + "el archivo termina después de " +
                                       strings + " (en " + Hex(fileSize) + ")" + check);
}

std::optional<Refusal> ReadOldText(const Request& r, const Reading& typed, File& rom, View& view) {
    // The byte before where the last entry points: all that is read of the old text there.
    const std::uint64_t last =
        view.mapKnown && !typed.entries.empty() && !typed.IsNull(typed.entries.back())
            ? typed.basis.Where(typed.entries.back()).value_or(0)
            : 0;
    const bool before = last > 0 && last <= view.fileSize;
    if (!ReadOldSpan(typed, rom, view) || !FindOldText(r, typed, rom, view) ||
        (before && !ReadSpan(rom, last - 1, last, view.beforeLast))) {
        return CannotRead(r, "el texto anterior", rom);
    }
    return std::nullopt;
}

std::variant<View, Refusal> ReadView(const std::vector<Request>& block, File& rom) {
    return ReadViewUnguarded(block, rom);
}

std::variant<View, Refusal> ReadView(const Request& r, File& rom) {
    return ReadViewUnguarded({r}, rom);
}

bool View::Named(std::uint64_t at) const {
    return std::any_of(named.begin(), named.end(),
                       [&](const auto& table) { return at >= table.first && at <= table.second; });
}

std::optional<std::uint8_t> View::ByteAt(std::uint64_t at) const {
    for (const Span* span : {&text, &old, &beforeLast}) {
        if (span->Holds(at)) {
            return (*span)[at];
        }
    }
    return std::nullopt;
}

const Span* View::TableHolding(std::uint64_t at, std::uint64_t count) const {
    for (const Span& span : tables) {
        if (span.Holds(at, count)) {
            return &span;
        }
    }
    return nullptr;
}

} // namespace zeltor
