#include "zeltor/judge/Evidence.h"

#include "zeltor/words/Text.h"

#include <algorithm>
#include <cstring>

namespace zeltor {

Fields Fields::Of(const Request& r) {
    return Fields{r.textStart,           r.tableStart, r.tableEnd,
                  r.pointerSize.Bytes(), r.separator,  r.firstPointer,
                  r.bigEndian,           r.split,      r.runs};
}

PointerFormat Fields::Format() const {
    return {*PointerSize::FromText(std::to_string(size)), bigEndian, split};
}

TablePlace Fields::Place() const {
    return {static_cast<std::uint32_t>(tableStart), static_cast<std::uint32_t>(tableEnd), runs};
}

std::uint64_t Fields::Entries() const {
    if (tableEnd < tableStart) {
        return 0;
    }
    const std::uint64_t span = tableEnd - tableStart + 1;
    if (!split) {
        return span / size;
    }
    const auto counted = CountEntries(Place(), Format());
    const auto* count = std::get_if<std::uint64_t>(&counted);
    return count != nullptr ? *count : 0;
}

std::vector<Piece> Fields::Pieces() const {
    const std::uint64_t entries = Entries();
    if (!split) {
        return {Piece{tableStart, entries * size}};
    }
    return entries == 0 ? std::vector<Piece>{} : TablePieces(Place(), Format(), entries);
}

bool IsNull(std::uint32_t value, unsigned size, bool zeroIsNull) {
    const std::uint64_t ones = (std::uint64_t{1} << (8 * size)) - 1;
    return value == ones || (zeroIsNull && value == 0);
}

Basis::Basis(const View& view, const Fields& fields, std::uint32_t smallest)
    : m_View(&view), m_Fields(fields) {
    // A plain file's old values are taken as if the smallest pointed at TEXT: where the text was
    // before is not known (FIRST says where the new one starts, not where the old one was), but
    // the distances between the old values are.
    if (!view.mapKnown) {
        m_Base = static_cast<std::int64_t>(smallest) - static_cast<std::int64_t>(fields.textStart);
    }
}

std::optional<std::uint64_t> Basis::Where(std::uint32_t value) const {
    std::optional<std::uint64_t> position;
    if (!m_View->mapKnown) {
        const std::int64_t at = static_cast<std::int64_t>(value) - m_Base;
        if (at >= 0) {
            position = static_cast<std::uint64_t>(at);
        }
    } else {
        const AddressMap& map = *m_View->map;
        position = map.Position(m_Fields.size == 2 ? map.InBankOf(m_Fields.textStart, value)
                                                   : std::uint64_t{value});
    }
    if (position && *position >= m_View->fileSize) {
        return std::nullopt;
    }
    return position;
}

std::optional<std::uint32_t> Basis::ValueOf(std::uint64_t position, std::uint32_t like) const {
    if (!m_View->mapKnown) {
        return static_cast<std::uint32_t>(static_cast<std::int64_t>(position) + m_Base);
    }
    const AddressMap& map = *m_View->map;
    const std::optional<Place> place = map.Locate(position);
    if (!place) {
        return std::nullopt;
    }
    if (m_Fields.size == 2) {
        return static_cast<std::uint32_t>(place->address & 0xFFFF);
    }
    // The old values' mirror: a LoROM game may address its ROM at $80xxxx.
    std::int64_t mirror = 0;
    if (const auto was = Where(like)) {
        if (const auto seen = map.Locate(*was)) {
            mirror = static_cast<std::int64_t>(like) - static_cast<std::int64_t>(seen->address);
        }
    }
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(place->address) + mirror);
}

Strings Split(const Span& text, std::uint64_t from, std::uint8_t separator, std::size_t count,
              std::uint64_t limit) {
    Strings strings;
    strings.end = from;
    if (!text.Holds(from, 0)) {
        return strings;
    }
    const std::uint64_t stop = std::min(limit, text.End());
    const std::uint8_t* base = text.bytes.data();
    std::uint64_t at = from;
    strings.starts.reserve(std::min<std::size_t>(count, 1 << 16));
    while (strings.starts.size() < count && at < stop) {
        const void* hit =
            std::memchr(base + (at - text.from), separator, static_cast<std::size_t>(stop - at));
        if (hit == nullptr) {
            break;
        }
        strings.starts.push_back(at);
        strings.end =
            text.from + static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - base);
        at = strings.end + 1;
    }
    return strings;
}

bool Between(std::uint8_t b, std::uint8_t separator) {
    return b == 0x00 || b == 0xFF || b == separator;
}

bool AmongLetters(const std::bitset<256>& charset, std::uint8_t b, std::uint8_t separator) {
    if (Between(b, separator)) {
        return false;
    }
    bool below = false;
    bool above = false;
    for (std::size_t c = 0; c < charset.size(); ++c) {
        if (charset.test(c)) {
            below = below || c <= b;
            above = above || c >= b;
        }
    }
    return below && above;
}

bool IsFree(const Span& bytes, std::uint64_t at, std::size_t run) {
    if (!bytes.Holds(at, run)) {
        return false;
    }
    const std::uint8_t first = bytes[at];
    if (first != 0x00 && first != 0xFF) {
        return false;
    }
    const std::uint8_t* p = &bytes.bytes[static_cast<std::size_t>(at - bytes.from)];
    return std::all_of(p, p + run, [&](std::uint8_t b) { return b == first; });
}

bool InFreeRun(const Span& bytes, std::uint64_t at) {
    if (!bytes.Holds(at) || (bytes[at] != 0x00 && bytes[at] != 0xFF)) {
        return false;
    }
    std::uint64_t from = at;
    std::uint64_t to = at + 1;
    while (from > bytes.from && bytes[from - 1] == bytes[at] && at - from < kFreeRun) {
        --from;
    }
    while (to < bytes.End() && bytes[to] == bytes[at] && to - from < kFreeRun) {
        ++to;
    }
    return to - from >= kFreeRun;
}

std::optional<std::uint64_t> FreeSpaceFrom(const Span& bytes, std::uint64_t from) {
    const std::uint8_t* data = bytes.bytes.data();
    const std::size_t size = bytes.bytes.size();
    std::size_t at = static_cast<std::size_t>(std::max(from, bytes.from) - bytes.from);
    // A run of 16 holds two bytes 8 apart at every 8th position: only there is a run looked
    // for, which skips through text quickly.
    constexpr std::size_t kStep = kFreeRun / 2;
    for (std::size_t probe = at + kStep - 1; probe < size; probe += kStep) {
        const std::uint8_t b = data[probe];
        if (b != 0x00 && b != 0xFF) {
            continue;
        }
        std::size_t first = probe;
        while (first > at && data[first - 1] == b) {
            --first;
        }
        std::size_t end = probe + 1;
        while (end < size && data[end] == b && end - first < kFreeRun) {
            ++end;
        }
        if (end - first >= kFreeRun) {
            return bytes.from + first;
        }
    }
    return std::nullopt;
}

ByteCounts CountBytes(const Span& text, const Strings& strings, std::uint8_t separator) {
    ByteCounts counts{};
    if (strings.starts.empty() || !text.Holds(strings.starts.front()) ||
        !text.Holds(strings.end, 0)) {
        return counts;
    }
    const std::uint8_t* p =
        &text.bytes[static_cast<std::size_t>(strings.starts.front() - text.from)];
    const std::uint8_t* end = p + (strings.end - strings.starts.front());
    // Four tables in turn, so that a run of one byte does not wait on its own count.
    ByteCounts lanes[4] = {};
    for (; p + 4 <= end; p += 4) {
        ++lanes[0][p[0]];
        ++lanes[1][p[1]];
        ++lanes[2][p[2]];
        ++lanes[3][p[3]];
    }
    for (; p < end; ++p) {
        ++lanes[0][*p];
    }
    for (std::size_t b = 0; b < 256; ++b) {
        counts[b] = lanes[0][b] + lanes[1][b] + lanes[2][b] + lanes[3][b];
    }
    counts[separator] = 0;
    return counts;
}

std::bitset<256> Charset(const ByteCounts& counts) {
    std::bitset<256> set;
    for (std::size_t b = 0; b < 256; ++b) {
        set[b] = counts[b] != 0;
    }
    return set;
}

std::bitset<256> Charset(const Span& text, const Strings& strings, std::uint8_t separator) {
    return Charset(CountBytes(text, strings, separator));
}

constexpr std::size_t kFewSymbols = 16;

bool TextLike(const Span& text, std::uint64_t from, std::uint8_t separator,
              const std::bitset<256>& charset, double share) {
    // A few short strings hold few of the text's symbols: then its range counts too (letters
    // between the lowest and the highest seen). With more seen, a range wide enough to hold
    // other data's bytes by chance would prove nothing.
    int low = 256;
    int high = -1;
    for (int b = 0; b < 256 && charset.count() < kFewSymbols; ++b) {
        if (charset.test(static_cast<std::size_t>(b))) {
            low = std::min(low, b);
            high = std::max(high, b);
        }
    }
    std::uint64_t at = from;
    std::size_t known = 0;
    for (; text.Holds(at) && text[at] != separator; ++at) {
        if (at - from >= kLongestString || IsFree(text, at, kFreeRun / 2)) {
            return false;
        }
        known += charset.test(text[at]) || (text[at] >= low && text[at] <= high) ? 1 : 0;
    }
    const std::uint64_t length = at - from;
    // Two in three of its bytes (as a rule) are ones the strings use: a string of the same
    // text, not other data, whose bytes fall anywhere. (A text uses some symbols far more than
    // others: strings of it share most of their bytes even when few were read.)
    return text.Holds(at) && length > 0 &&
           static_cast<double>(known) >= share * static_cast<double>(length);
}

bool TextGoesOn(const Span& text, std::uint64_t end, std::uint8_t separator,
                const std::bitset<256>& charset) {
    // Empty strings are no evidence either way: skip them.
    std::uint64_t at = end + 1;
    while (text.Holds(at) && text[at] == separator && at - end < kFreeRun) {
        ++at;
    }
    return !IsFree(text, at, kFreeRun / 2) && TextLike(text, at, separator, charset);
}

bool StringsLeft(const Span& text, std::uint64_t end, std::uint8_t separator,
                 const std::bitset<256>& charset) {
    if (TextGoesOn(text, end, separator, charset)) {
        return true;
    }
    // A few empty strings, then other data or free space of another byte: strings emptied by
    // the translation, left behind.
    std::uint64_t at = end + 1;
    while (text.Holds(at) && text[at] == separator && at - end <= kFreeRun / 2) {
        ++at;
    }
    // Free space of the separator's own byte would read as empty strings too: no evidence.
    return at > end + 1 && at - end <= kFreeRun / 2 && text.Holds(at) &&
           (!IsFree(text, at, kFreeRun / 2) || text[at] != separator);
}

bool OneStringLeft(const Span& text, std::uint64_t end, std::uint8_t separator,
                   const std::bitset<256>& charset) {
    std::uint64_t at = end + 1;
    std::size_t empty = 0;
    while (text.Holds(at) && text[at] == separator && empty < kFreeRun / 2) {
        ++at;
        ++empty;
    }
    const auto ended = [&](std::uint64_t from) {
        return !text.Holds(from) || IsFree(text, from, kFreeRun / 2) ||
               !TextLike(text, from, separator, charset);
    };
    if (!text.Holds(at) || (IsFree(text, at, kFreeRun / 2) && text[at] == separator)) {
        return false;
    }
    if (!TextLike(text, at, separator, charset)) {
        return empty > 0; // an emptied string, then other data
    }
    while (text[at] != separator) {
        ++at;
    }
    // The next string, then nothing more of the text (empty strings aside).
    ++at;
    while (text.Holds(at) && text[at] == separator && !IsFree(text, at, kFreeRun / 2)) {
        ++at;
    }
    return ended(at) && empty == 0;
}

std::optional<std::uint64_t> OldTextIn(const Span& file, const std::vector<std::uint64_t>& gaps,
                                       std::uint8_t separator, const std::bitset<256>& charset,
                                       std::uint64_t first) {
    const std::uint64_t span = gaps.back();
    const std::uint8_t* base = file.bytes.data();
    // Candidates from the separator before the second string, which memchr finds fast.
    for (std::uint64_t at = file.from; at < file.End();) {
        const void* hit = std::memchr(base + (at - file.from), separator,
                                      static_cast<std::size_t>(file.End() - at));
        if (hit == nullptr) {
            break;
        }
        const std::uint64_t q =
            file.from + static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - base);
        at = q + 1;
        if (q + 1 < file.from + gaps[1]) {
            continue;
        }
        const std::uint64_t start = q + 1 - gaps[1];
        if (start == first || !file.Holds(start, span + 1)) {
            continue;
        }
        // Just before the new text, overlapping it, only where what it adds in front lies among
        // the text's letters (TEXT typed past them), not other bytes that a first string
        // shortened by as many lines up with.
        bool letters = true;
        for (std::uint64_t k = start; k < first && start + span >= first && letters; ++k) {
            letters = AmongLetters(charset, file[k], separator);
        }
        if (!letters) {
            continue;
        }
        // Every string's separator first, which rules out nearly every place at once.
        bool fits = true;
        for (std::size_t j = 2; j < gaps.size() && fits; ++j) {
            fits = file[start + gaps[j] - 1] == separator;
        }
        for (std::size_t j = 1; j < gaps.size() && fits; ++j) {
            // String j - 1 runs from its value to the byte before the next, which ends it.
            const std::uint64_t from = start + gaps[j - 1];
            const std::uint64_t end = start + gaps[j] - 1;
            const void* stop = std::memchr(base + (from - file.from), separator,
                                           static_cast<std::size_t>(end - from + 1));
            fits = stop == base + (end - file.from) &&
                   (end == from || TextLike(file, from, separator, charset));
        }
        if (fits) {
            return start;
        }
    }
    return std::nullopt;
}

} // namespace zeltor
