#pragma once

#include "zeltor/judge/View.h"
#include "zeltor/rom/PointerFormat.h"
#include "zeltor/words/Arguments.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <vector>

// What the bytes of the view show, each a pure function of them.
namespace zeltor {

// The fields as numbers: the ones typed, or one of them corrected.
struct Fields {
    std::uint64_t textStart = 0, tableStart = 0, tableEnd = 0;
    unsigned size = 2;
    std::uint8_t separator = 0;
    std::optional<std::uint32_t> first;
    // How the table stores its pointers, and a split table's later runs when they lie apart.
    bool bigEndian = false, split = false;
    std::vector<std::uint32_t> runs;

    static Fields Of(const Request& request);
    PointerFormat Format() const;
    TablePlace Place() const;
    // Its entries, START to END as whole entries (a span left over is the rule's to tell) and,
    // for a split table, where each run lies.
    std::uint64_t Entries() const;
    std::vector<Piece> Pieces() const;
    bool operator==(const Fields&) const = default;
};

// An entry that holds no pointer: all its bytes FF or, where the console's map puts no ROM at
// 0, all 00 (a relative table in a plain file points at its text's start with 0).
bool IsNull(std::uint32_t value, unsigned size, bool zeroIsNull);

// Where the table's values point in the file: through the console's map (a 2-byte value in the
// text's bank) or, in a plain file, as if the smallest old value pointed at TEXT.
class Basis {
public:
    Basis(const View& view, const Fields& fields, std::uint32_t smallest);
    std::optional<std::uint64_t> Where(std::uint32_t value) const;
    // The value that points at `position` in the form the old values use (their mirror, or
    // the low 16 bits); nothing where the console does not see the file.
    std::optional<std::uint32_t> ValueOf(std::uint64_t position, std::uint32_t like) const;

private:
    const View* m_View;
    Fields m_Fields;
    std::int64_t m_Base = 0; // a plain file's
};

// The strings read from `from` with `separator`, no further than `limit`.
struct Strings {
    std::vector<std::uint64_t> starts;
    std::uint64_t end = 0; // the last one's separator
};
Strings Split(const Span& text, std::uint64_t from, std::uint8_t separator, std::size_t count,
              std::uint64_t limit);

// Padding or the separator: bytes that stand between strings, or between blocks, never in one.
bool Between(std::uint8_t b, std::uint8_t separator);
// No such byte, and between the lowest and the highest byte of `charset`: a letter of the text,
// seen or not.
bool AmongLetters(const std::bitset<256>& charset, std::uint8_t b, std::uint8_t separator);

// Free space or padding this long before a block sets it apart from what comes before it.
constexpr std::uint64_t kApart = 4;
// A run of this many bytes of 00 or of FF is free space, not text.
constexpr std::size_t kFreeRun = 16;
bool IsFree(const Span& bytes, std::uint64_t at, std::size_t run = kFreeRun);
// `at` lies inside free space.
bool InFreeRun(const Span& bytes, std::uint64_t at);
// Where the first free space at or after `from` begins, if the view holds one.
std::optional<std::uint64_t> FreeSpaceFrom(const Span& bytes, std::uint64_t from);

// How often each byte occurs in the strings, separators left out; and the bytes that do.
using ByteCounts = std::array<std::uint32_t, 256>;
ByteCounts CountBytes(const Span& text, const Strings& strings, std::uint8_t separator);
std::bitset<256> Charset(const ByteCounts& counts);
std::bitset<256> Charset(const Span& text, const Strings& strings, std::uint8_t separator);

// A string that long is no string of a game's text: other data. (A 200-byte line translated
// ten times as long is 2,000 bytes: four times that leaves room.)
constexpr std::uint64_t kLongestString = 8192;

// From `from` to the next separator lies a string of the text read (at least `share` of its
// bytes ones the strings use), not free space or other data.
bool TextLike(const Span& text, std::uint64_t from, std::uint8_t separator,
              const std::bitset<256>& charset, double share = 2.0 / 3);

// After `end`, text of the kind read goes on (rather than free space or other data): the
// string that follows is made of those bytes and is followed by another.
bool TextGoesOn(const Span& text, std::uint64_t end, std::uint8_t separator,
                const std::bitset<256>& charset);

// Past the strings read, strings of the text are left: more text, or a few empty strings (ones
// the translation emptied) before other data.
bool StringsLeft(const Span& text, std::uint64_t end, std::uint8_t separator,
                 const std::bitset<256>& charset);

// Past the strings read, exactly one string of the text is left before other data or free
// space: what one entry too few in the table leaves.
bool OneStringLeft(const Span& text, std::uint64_t end, std::uint8_t separator,
                   const std::bitset<256>& charset);

// Where a text whose strings begin at these distances from its start (the old values, less the
// smallest) stands in `file`, other than at `first`, where the new text begins.
std::optional<std::uint64_t> OldTextIn(const Span& file, const std::vector<std::uint64_t>& gaps,
                                       std::uint8_t separator, const std::bitset<256>& charset,
                                       std::uint64_t first);

} // namespace zeltor
