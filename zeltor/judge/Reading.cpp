#include "zeltor/Text.h"
#include "zeltor/judge/Judge.h"
#include "zeltor/judge/Rules.h"

#include <algorithm>

namespace zeltor {

bool Reading::IsNull(std::uint32_t value) const {
    return zeltor::IsNull(value, fields.size, zeroIsNull);
}

std::optional<Reading> Read(const View& view, const Fields& f) {
    if (f.tableEnd < f.tableStart ||
        !view.table.Holds(f.tableStart, f.tableEnd - f.tableStart + 1) ||
        !view.text.Holds(f.textStart, 0) ||
        (f.textStart >= f.tableStart && f.textStart <= f.tableEnd)) {
        return std::nullopt;
    }
    std::vector<std::uint32_t> entries;
    for (std::uint64_t at = f.tableStart; at + f.size <= f.tableEnd + 1; at += f.size) {
        entries.push_back(ReadLittleEndian(&view.table.bytes[at - view.table.from], f.size));
    }
    // Through a console's banks, 0 addresses no text (RAM, registers or interrupt vectors): an
    // entry of zeros is none of the table's pointers.
    const bool zeroIsNull = view.mapKnown && view.mapKind != MapKind::Linear;
    std::vector<std::uint32_t> values;
    for (const std::uint32_t value : entries) {
        if (!zeltor::IsNull(value, f.size, zeroIsNull)) {
            values.push_back(value);
        }
    }
    if (!std::is_sorted(values.begin(), values.end())) {
        std::sort(values.begin(), values.end());
    }
    values.erase(std::unique(values.begin(), values.end()), values.end());
    Basis basis(view, f, values.empty() ? 0 : values.front());
    const std::uint64_t limit = f.tableStart > f.textStart ? f.tableStart : view.fileSize;
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
