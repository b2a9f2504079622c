#include "zeltor/rom/PointerFormat.h"

#include "portable/Hex.h"
#include "zeltor/words/Arguments.h"
#include "zeltor/words/Text.h"

#include <algorithm>

namespace zeltor {

namespace {

// The bit where the entry's `j`th stored byte goes in its value.
unsigned Shift(const PointerFormat& format, unsigned j) {
    const unsigned size = format.size.Bytes();
    return 8 * (format.bigEndian ? size - 1 - j : j);
}

// Where the entry's `j`th stored byte lies in a table of `count` entries.
std::size_t At(const PointerFormat& format, std::size_t count, std::size_t k, unsigned j) {
    return format.split ? j * count + k : k * format.size.Bytes() + j;
}

std::string Range(std::uint64_t first, std::uint64_t size) {
    return Hex(first) + "-" + Hex(first + size - 1);
}

std::optional<Refusal> RunsOverlap(const TablePlace& place, std::uint64_t length) {
    std::vector<std::uint64_t> starts{place.start};
    starts.insert(starts.end(), place.runs.begin(), place.runs.end());
    for (std::size_t i = 1; i < starts.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (starts[i] < starts[j] + length && starts[j] < starts[i] + length) {
                return Bad(Exit::BadTable, "el tramo " + std::to_string(i + 1) + " de la tabla (" +
                                               Range(starts[i], length) +
                                               ") se solapa con el tramo " + std::to_string(j + 1) +
                                               " (" + Range(starts[j], length) + ")");
            }
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::uint64_t> EntryCount(std::uint64_t span, const PointerFormat& format) {
    const unsigned size = format.size.Bytes();
    if (span % size != 0) {
        return std::nullopt;
    }
    return span / size;
}

std::string NotWholeEntries(std::uint64_t span, const PointerFormat& format) {
    if (format.split) {
        return "la tabla dividida mide " + Hex(span) + " bytes, que no son " + format.size.Text() +
               " tramos iguales, uno por byte de puntero";
    }
    return "la tabla mide " + Hex(span) + " bytes, que no son un número entero de punteros de " +
           format.size.Text() + " bytes";
}

std::variant<std::uint64_t, Refusal> CountEntries(const TablePlace& place,
                                                  const PointerFormat& format) {
    if (place.end < place.start) {
        return Bad(Exit::BadTable, "el final de la tabla (" + Hex(place.end) +
                                       ") está antes de su inicio (" + Hex(place.start) + ")");
    }
    const std::uint64_t span = std::uint64_t{place.end} - place.start + 1;
    if (place.runs.empty()) {
        if (auto count = EntryCount(span, format)) {
            return *count;
        }
        return Bad(Exit::BadTable, NotWholeEntries(span, format));
    }
    const std::size_t later = format.size.Bytes() - 1;
    if (!format.split) {
        return Bad(Exit::BadTable, "solo una tabla dividida (--split) tiene tramos (--run)");
    }
    if (place.runs.size() != later) {
        return Bad(Exit::BadTable, "una tabla dividida de punteros de " + format.size.Text() +
                                       " bytes con los tramos separados necesita " +
                                       std::to_string(later) +
                                       " --run (uno por tramo tras el "
                                       "primero) y tiene " +
                                       std::to_string(place.runs.size()));
    }
    if (auto overlap = RunsOverlap(place, span)) {
        return *overlap;
    }
    return span;
}

std::vector<Piece> TablePieces(const TablePlace& place, const PointerFormat& format,
                               std::uint64_t entries) {
    if (place.runs.empty()) {
        return {Piece{place.start, entries * format.size.Bytes()}};
    }
    std::vector<Piece> pieces{Piece{place.start, entries}};
    for (const std::uint32_t run : place.runs) {
        pieces.push_back(Piece{run, entries});
    }
    return pieces;
}

std::uint32_t DecodeEntry(const PointerFormat& format, std::span<const std::uint8_t> table,
                          std::size_t k) {
    const unsigned size = format.size.Bytes();
    const std::size_t count = table.size() / size;
    std::uint32_t value = 0;
    for (unsigned j = 0; j < size; ++j) {
        value |= std::uint32_t{table[At(format, count, k, j)]} << Shift(format, j);
    }
    return value;
}

void EncodeEntry(const PointerFormat& format, std::uint32_t value, std::span<std::uint8_t> table,
                 std::size_t k) {
    const unsigned size = format.size.Bytes();
    const std::size_t count = table.size() / size;
    for (unsigned j = 0; j < size; ++j) {
        table[At(format, count, k, j)] = static_cast<std::uint8_t>(value >> Shift(format, j));
    }
}

std::vector<std::uint32_t> DecodeTable(const PointerFormat& format,
                                       std::span<const std::uint8_t> table) {
    std::vector<std::uint32_t> values(table.size() / format.size.Bytes());
    for (std::size_t k = 0; k < values.size(); ++k) {
        values[k] = DecodeEntry(format, table, k);
    }
    return values;
}

std::vector<std::uint8_t> EncodeTable(const PointerFormat& format,
                                      std::span<const std::uint32_t> values) {
    std::vector<std::uint8_t> table(values.size() * format.size.Bytes());
    for (std::size_t k = 0; k < values.size(); ++k) {
        EncodeEntry(format, values[k], table, k);
    }
    return table;
}

std::optional<std::uint32_t> FirstPointerValue(std::string_view typed,
                                               const PointerFormat& format) {
    // Read lowest byte first, then turned round when the format stores the highest first, which
    // only a whole pointer makes unambiguous.
    const std::optional<std::uint32_t> lowFirst = ParseLittleEndian(typed, format.size);
    if (!format.bigEndian) {
        return lowFirst;
    }
    if (!lowFirst || typed.size() != format.size.Digits()) {
        return std::nullopt;
    }
    return Reversed(*lowFirst, format.size.Bytes());
}

std::string FirstPointerRule(const PointerFormat& format) {
    const std::string digits = std::to_string(format.size.Digits());
    if (format.bigEndian) {
        return "debe dar sus " + format.size.Text() +
               " bytes tal como están en la ROM, el más significativo primero (big endian): "
               "exactamente " +
               digits + " cifras hexadecimales";
    }
    return std::string("debe dar sus bytes tal como están en la ROM") +
           (format.split ? ", el más bajo primero" : "") +
           ": un número par de cifras hexadecimales, como mucho " + digits;
}

std::string TypedAs(std::uint32_t value, const PointerFormat& format) {
    const unsigned size = format.size.Bytes();
    return format.bigEndian ? HexDigits(value, static_cast<int>(2 * size)) : AsTyped(value, size);
}

std::string FormatName(const PointerFormat& format) {
    return std::string(format.bigEndian ? "big endian" : "little endian") +
           (format.split ? ", dividida en " + format.size.Text() + " tramos" : "");
}

} // namespace zeltor
