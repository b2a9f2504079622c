#pragma once

#include "zeltor/Files.h"
#include "zeltor/Outcome.h"
#include "zeltor/rom/Maps.h"
#include "zeltor/rom/Recognize.h"
#include "zeltor/words/Arguments.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace zeltor {

// Bytes of the file from `from` on, as read.
struct Span {
    std::uint64_t from = 0;
    std::vector<std::uint8_t> bytes;

    std::uint64_t End() const { return from + bytes.size(); }
    bool Holds(std::uint64_t at, std::uint64_t count = 1) const {
        return at >= from && at - from <= bytes.size() && bytes.size() - (at - from) >= count;
    }
    // `at` must be held.
    std::uint8_t operator[](std::uint64_t at) const {
        return bytes[static_cast<std::size_t>(at - from)];
    }
};

// Everything the judgement of the fields needs, read from the ROM once: the rules that judge
// read nothing else, so each is tested from bytes alone.
struct View {
    std::uint64_t fileSize = 0;
    std::unique_ptr<AddressMap> map;
    std::string mapReason;
    // The map came from a console's header or from --map: addresses, and so the old table's
    // meaning, are known. Otherwise the file is plain and the values' base is not known.
    bool mapKnown = false;
    MapKind mapKind = MapKind::Linear;
    // Where strings may not run: the table, when it comes after the text, or the file's end.
    std::uint64_t textLimit = 0;
    // The console stores its pointers most significant byte first (a Mega Drive).
    bool bigEndian = false;
    // The header a checksum belongs to, when one was recognised.
    std::optional<RecognisedHeader> header;
    // Each table of the text block and a few entries' worth of bytes on either side: what a
    // START or END typed a little off would take in or leave out (a split table's runs each).
    std::vector<Span> tables;
    // From a little before TEXT to past the strings and what follows them: enough for the
    // strings any separator or start near the typed ones would read, and for the free space
    // after them.
    Span text;
    // Where the old values point, when that lies apart from `text` (the text was moved and
    // the old one may still be there).
    Span old;
    // A plain file: where the old text was found still standing, if anywhere but at TEXT (each
    // old value, less the smallest, from there, begins a string of it).
    std::optional<std::uint64_t> oldTextAt;
    // On a console's map, the byte before where the typed table's last entry points: a
    // separator there begins a string, anything else lies inside data or a string.
    Span beforeLast;

    // Where every table the run names lies, this block's and the others' (first and last byte
    // of each run of bytes): an entry there is that table's, never one this table goes on into.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> named;
    // Where the next text block the run names begins, after this one's: this text's bytes end
    // there at the latest.
    std::uint64_t nextText = ~std::uint64_t{0};

    // Whether `at` lies in a table the run names.
    bool Named(std::uint64_t at) const;
    // The byte at `at`, where `text`, `old` or `beforeLast` holds it.
    std::optional<std::uint8_t> ByteAt(std::uint64_t at) const;
    // The table span that holds `count` bytes from `at`, if one does.
    const Span* TableHolding(std::uint64_t at, std::uint64_t count) const;
};

// Bytes held either side of the table and before the text.
constexpr std::uint64_t kMargin = 32;

// `needed` strings (one per entry) cannot be found: the table is refused before it is read.
Refusal TooFewStrings(const Request& request, std::uint64_t needed, std::uint64_t found,
                      std::uint64_t limit, std::uint64_t fileSize);

// Reads the view for `request`: the table, the text, the bytes around them and the console's
// header. Refuses what cannot be read or does not fit the file.
std::variant<View, Refusal> ReadView(const Request& request, File& rom);
// The same for the tables of one text block: they share TEXT and the separator.
std::variant<View, Refusal> ReadView(const std::vector<Request>& block, File& rom);

struct Reading;
// Then, with where the typed fields say the old values point (`typed`, read from this view),
// the old text: its bytes where it lies apart from the text, and where it stands in a plain
// file.
std::optional<Refusal> ReadOldText(const Request& request, const Reading& typed, File& rom,
                                   View& view);

} // namespace zeltor
