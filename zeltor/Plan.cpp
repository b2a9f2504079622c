#include "zeltor/Plan.h"

#include "portable/Hex.h"
#include "zeltor/Text.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace zeltor {

namespace {

// Big enough to stream a 64 MiB ROM quickly, small enough for a 32-bit process.
constexpr std::size_t kChunk = std::size_t{1} << 20;

const char kOffsetsNote[] =
    "; los desplazamientos son posiciones dentro del archivo, no direcciones de la consola";

// The table's place against the file and the text, before anything is read.
std::optional<Refusal> CheckPlaces(const Request& r, std::uint64_t span, std::uint64_t fileSize) {
    if (span % r.pointerSize.Bytes() != 0) {
        return Bad(Exit::BadTable, "la tabla mide " + Hex(span) +
                                       " bytes, que no son un número entero de punteros de " +
                                       r.pointerSize.Text() + " bytes");
    }
    if (r.tableEnd >= fileSize) {
        return Bad(Exit::BadTable, "la tabla (" + Hex(r.tableStart) + "-" + Hex(r.tableEnd) +
                                       ") queda fuera del archivo, que mide " + Hex(fileSize) +
                                       " bytes" + kOffsetsNote);
    }
    if (r.textStart >= r.tableStart && r.textStart <= r.tableEnd) {
        return Bad(Exit::BadTable, "el texto (" + Hex(r.textStart) +
                                       ") empieza dentro de la tabla (" + Hex(r.tableStart) + "-" +
                                       Hex(r.tableEnd) + ")");
    }
    if (r.textStart >= fileSize) {
        return Bad(Exit::TextTooShort, "el texto empieza en " + Hex(r.textStart) +
                                           ", pero el archivo solo mide " + Hex(fileSize) +
                                           " bytes" + kOffsetsNote);
    }
    if (span > std::numeric_limits<std::size_t>::max()) {
        return Bad(Exit::BadTable, "la tabla es demasiado grande para este sistema");
    }
    return std::nullopt;
}

// Finds up to `count` strings from the text's start, each ended by the separator, without
// running past `limit`. Until they are found, nothing grows with the table's declared size.
std::optional<Refusal> FindStrings(const Request& r, File& rom, std::uint64_t count,
                                   std::uint64_t limit, Plan& plan) {
    std::vector<std::uint8_t> buffer(kChunk);
    std::uint64_t current = r.textStart;
    for (std::uint64_t at = r.textStart; plan.starts.size() < count && at < limit;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(limit - at, kChunk));
        if (!rom.Read(at, buffer.data(), n)) {
            return Bad(Exit::CannotOpen, "no se pudo leer el texto de la ROM " + Quote(r.romName) +
                                             ": " + Describe(rom.Error()));
        }
        const std::uint8_t* p = buffer.data();
        const std::uint8_t* end = p + n;
        while (plan.starts.size() < count) {
            const void* hit = std::memchr(p, r.separator, static_cast<std::size_t>(end - p));
            if (hit == nullptr) {
                break;
            }
            const auto* separator = static_cast<const std::uint8_t*>(hit);
            plan.starts.push_back(current);
            plan.textEnd = at + static_cast<std::uint64_t>(separator - buffer.data());
            current = plan.textEnd + 1;
            p = separator + 1;
        }
        at += n;
    }
    return std::nullopt;
}

Refusal TooFewStrings(const Request& r, const Plan& plan, std::uint64_t count, bool tableAfterText,
                      std::uint64_t fileSize) {
    const std::string entries = Count(count, "entrada", "entradas");
    const std::string found = Count(plan.starts.size(), "cadena", "cadenas");
    if (tableAfterText) {
        return Bad(Exit::BadTable, "el texto se solapa con la tabla: la tabla tiene " + entries +
                                       ", pero al llegar a ella (" + Hex(r.tableStart) +
                                       ") solo hay " + found);
    }
    return Bad(Exit::TextTooShort, "la tabla tiene " + entries +
                                       ", pero el archivo termina después de " + found + " (en " +
                                       Hex(fileSize) + ")");
}

// Entry k becomes the first value plus its string's distance from the text's start.
std::optional<Refusal> ComputeNewTable(const Request& r, Plan& plan) {
    const unsigned size = r.pointerSize.Bytes();
    plan.first = r.firstPointer ? *r.firstPointer : OldValue(r, plan, 0);
    const std::uint64_t max = r.pointerSize.MaxValue();
    plan.newTable.resize(plan.oldTable.size());
    for (std::size_t k = 0; k < plan.starts.size(); ++k) {
        const std::uint64_t value = plan.first + (plan.starts[k] - r.textStart);
        if (value > max) {
            return Bad(Exit::Overflow, "la entrada " + std::to_string(k) + " valdría " +
                                           Hex(value) + ", que no cabe en " + r.pointerSize.Text() +
                                           " bytes (máximo " + Hex(max) + ")");
        }
        WriteLittleEndian(static_cast<std::uint32_t>(value), size, &plan.newTable[k * size]);
    }
    return std::nullopt;
}

std::variant<Plan, Refusal> MakePlanUnguarded(const Request& r, File& rom, std::uint64_t span) {
    std::uint64_t fileSize = 0;
    if (!rom.Size(fileSize)) {
        return Bad(Exit::CannotOpen, "no se pudo leer el tamaño de la ROM " + Quote(r.romName) +
                                         ": " + Describe(rom.Error()));
    }
    if (auto refusal = CheckPlaces(r, span, fileSize)) {
        return *refusal;
    }
    const std::uint64_t count = span / r.pointerSize.Bytes();
    // Strings may not run into a table that follows the text.
    Plan plan;
    const bool tableAfterText = r.tableStart > r.textStart;
    if (auto refusal = FindStrings(r, rom, count, tableAfterText ? r.tableStart : fileSize, plan)) {
        return *refusal;
    }
    if (plan.starts.size() < count) {
        return TooFewStrings(r, plan, count, tableAfterText, fileSize);
    }
    plan.oldTable.resize(static_cast<std::size_t>(span));
    if (!rom.Read(r.tableStart, plan.oldTable.data(), plan.oldTable.size())) {
        return Bad(Exit::CannotOpen, "no se pudo leer la tabla de la ROM " + Quote(r.romName) +
                                         ": " + Describe(rom.Error()));
    }
    if (auto refusal = ComputeNewTable(r, plan)) {
        return *refusal;
    }
    AddWarnings(r, plan, rom, fileSize);
    return plan;
}

} // namespace

std::uint32_t OldValue(const Request& r, const Plan& plan, std::size_t k) {
    const unsigned size = r.pointerSize.Bytes();
    return ReadLittleEndian(&plan.oldTable[k * size], size);
}

Entry EntryAt(const Request& r, const Plan& plan, std::size_t k) {
    const unsigned size = r.pointerSize.Bytes();
    const std::uint64_t start = plan.starts[k];
    const std::uint64_t end = k + 1 < plan.starts.size() ? plan.starts[k + 1] - 1 : plan.textEnd;
    return Entry{r.tableStart + std::uint64_t{k} * size, OldValue(r, plan, k),
                 ReadLittleEndian(&plan.newTable[k * size], size), start, end - start};
}

std::variant<Plan, Refusal> MakePlan(const Request& r, File& rom) {
    if (r.tableEnd < r.tableStart) {
        return Bad(Exit::BadTable, "el final de la tabla (" + Hex(r.tableEnd) +
                                       ") está antes de su inicio (" + Hex(r.tableStart) + ")");
    }
    const std::uint64_t span = std::uint64_t{r.tableEnd} - r.tableStart + 1;
    try {
        return MakePlanUnguarded(r, rom, span);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return Bad(Exit::BadTable, "no hay memoria suficiente para una tabla de " +
                                   Count(span / r.pointerSize.Bytes(), "entrada", "entradas") +
                                   " (" + Hex(span) + " bytes)");
}

} // namespace zeltor
