#include "zeltor/judge/Judge.h"
#include "zeltor/judge/Rules.h"
#include "zeltor/words/Text.h"

#include <algorithm>

namespace zeltor {

bool Reading::IsNull(std::uint32_t value) const {
    return zeltor::IsNull(value, fields.size, zeroIsNull);
}

std::optional<std::vector<std::uint32_t>> TableEntries(const View& view, const Fields& f) {
    std::vector<std::uint8_t> bytes;
    for (const Piece& piece : f.Pieces()) {
        const Span* span = view.TableHolding(piece.start, piece.size);
        if (span == nullptr) {
            return std::nullopt;
        }
        const auto* p = &span->bytes[static_cast<std::size_t>(piece.start - span->from)];
        bytes.insert(bytes.end(), p, p + piece.size);
    }
    return DecodeTable(f.Format(), bytes);
}

std::optional<Reading> Read(const View& view, const Fields& f, const std::vector<Fields>& others,
                            const Reading* sibling) {
    if (f.tableEnd < f.tableStart || !view.text.Holds(f.textStart, 0) ||
        (f.textStart >= f.tableStart && f.textStart <= f.tableEnd)) {
        return std::nullopt;
    }
    std::optional<std::vector<std::uint32_t>> own = TableEntries(view, f);
    if (!own) {
        return std::nullopt;
    }
    std::vector<std::uint32_t> entries = std::move(*own);
    const auto limitOf = [&](const Fields& g) {
        return std::min(view.textLimit, g.tableStart > g.textStart ? g.tableStart : view.fileSize);
    };
    if (sibling != nullptr) {
        const Fields& s = sibling->fields;
        if (s.textStart == f.textStart && s.size == f.size && s.separator == f.separator &&
            s.first == f.first && s.bigEndian == f.bigEndian && s.split == f.split &&
            limitOf(s) == limitOf(f)) {
            Reading reading = *sibling;
            reading.fields = f;
            reading.entries = std::move(entries);
            return reading;
        }
    }
    // The other tables over the same text: their values are strings of the block as well.
    std::vector<std::uint32_t> block = entries;
    for (const Fields& other : others) {
        const auto theirs = TableEntries(view, other);
        if (!theirs) {
            return std::nullopt;
        }
        block.insert(block.end(), theirs->begin(), theirs->end());
    }
    // Through a console's banks, 0 addresses no text (RAM, registers or interrupt vectors): an
    // entry of zeros is none of the table's pointers.
    const bool zeroIsNull = view.mapKnown && view.mapKind != MapKind::Linear;
    std::vector<std::uint32_t> values;
    for (const std::uint32_t value : block) {
        if (!zeltor::IsNull(value, f.size, zeroIsNull)) {
            values.push_back(value);
        }
    }
    if (!std::is_sorted(values.begin(), values.end())) {
        std::sort(values.begin(), values.end());
    }
    values.erase(std::unique(values.begin(), values.end()), values.end());
    Basis basis(view, f, values.empty() ? 0 : values.front());
    const std::uint64_t limit = limitOf(f);
    Strings strings = Split(view.text, f.textStart, f.separator, values.size(), limit);
    const ByteCounts counts = CountBytes(view.text, strings, f.separator);
    const std::bitset<256> charset = Charset(counts);
    const std::optional<std::uint64_t> freeSpace = FreeSpaceFrom(view.text, f.textStart);
    std::vector<std::uint64_t> at;
    std::vector<std::uint64_t> positions;
    at.reserve(values.size());
    positions.reserve(values.size());
    for (const std::uint32_t value : values) {
        const auto p = basis.Where(value);
        at.push_back(p.value_or(Reading::kNowhere));
        if (p) {
            positions.push_back(*p);
        }
    }
    if (!std::is_sorted(positions.begin(), positions.end())) {
        std::sort(positions.begin(), positions.end());
    }
    const OldText old = OldTextFrom(positions);
    return Reading{f,
                   std::move(entries),
                   std::move(values),
                   std::move(strings),
                   zeroIsNull,
                   basis,
                   counts,
                   charset,
                   freeSpace,
                   std::move(at),
                   std::move(positions),
                   old};
}

} // namespace zeltor
